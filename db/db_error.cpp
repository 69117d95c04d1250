#include "db/db_error.h"

#include <QRegularExpression>

DbError::DbError(const QString &message, const QString &statement, const QString &sqlState,
                 Kind kind)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_statement(statement)
    , m_sqlState(sqlState)
    , m_kind(kind)
{}

DbError DbError::rowDeleted(const QString &statement)
{
    return DbError(
        QStringLiteral("Запись уже удалена другим пользователем, изменения не записаны."),
        statement);
}

DbError DbError::explained(const QString &text, const DbError &server)
{
    DbError error(text, server.statement(), server.sqlState(), server.kind());
    error.m_detail = server.message();
    return error;
}

DbError DbError::outcomeUnknown(const DbError &lost)
{
    DbError error = lost;
    error.m_outcomeUnknown = true;
    return error;
}

QString DbError::primaryMessage() const
{
    static const QRegularExpression severity(QStringLiteral("^[A-ZА-ЯЁ]+:\\s+"));
    QString line = m_message.section(QLatin1Char('\n'), 0, 0).trimmed();
    return line.remove(severity);
}
