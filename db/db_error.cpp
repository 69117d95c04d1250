#include "db/db_error.h"

DbError::DbError(const QString &message, const QString &statement, const QString &sqlState,
                 Kind kind)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_statement(statement)
    , m_sqlState(sqlState)
    , m_kind(kind)
{}
