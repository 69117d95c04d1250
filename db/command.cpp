#include "db/command.h"

#include "db/connection.h"

#include <QSqlQuery>

Command::Command(Connection &connection, const QString &text)
    : m_connection(connection)
    , m_text(text)
{}

int Command::execute()
{
    return m_connection.run(inlineParameters(m_text, m_params)).numRowsAffected();
}

int Command::execute(const QString &text)
{
    m_text = text;
    return execute();
}

QVariant Command::executeReturning()
{
    return m_connection.firstValue(inlineParameters(m_text, m_params));
}

QVariantList Command::executeReturningRow()
{
    return m_connection.firstRow(inlineParameters(m_text, m_params));
}
