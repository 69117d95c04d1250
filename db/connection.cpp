#include "db/connection.h"

#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/server_hangup.h"
#include "db/session_identity.h"
#include "db/site_settings.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <atomic>

namespace {

std::atomic<int> s_connectionCounter{0};

bool isConnectionState(const QString &code)
{
    return code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") ||
           code == QLatin1String("57P02") || code == QLatin1String("57P03");
}

// A read or a "begin": it did nothing when it failed, and may run again.
bool isRepeatable(const QString &statement)
{
    QString text = statement.trimmed();
    // A statement that opens with a comment line is judged by what follows it.
    while (text.startsWith(QLatin1String("--"))) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'));
        text = end < 0 ? QString() : text.mid(end + 1).trimmed();
    }
    return text.startsWith(QLatin1String("select"), Qt::CaseInsensitive) ||
           text.compare(QLatin1String("begin"), Qt::CaseInsensitive) == 0;
}

bool isRetryableState(const QString &code)
{
    return code == QLatin1String("40001") || code == QLatin1String("40P01");
}

} // namespace

Connection::Connection()
    : m_name(QStringLiteral("tabel-%1").arg(++s_connectionCounter))
{
    QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
}

Connection::~Connection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Connection::open()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen())
        db.close();
    const connection::Settings settings = connection::forSite(m_connectionString);
    // Said before anything is sent: the site's file must be mended first.
    if (!settings.refusal.isEmpty())
        throw DbError(settings.refusal);
    db.setDatabaseName(settings.database);
    db.setHostName(settings.server);
    db.setPort(settings.port);
    db.setUserName(m_loginUser.isEmpty() ? settings.user : m_loginUser);
    db.setPassword(m_loginUser.isEmpty() ? settings.password : m_loginPassword);
    db.setConnectOptions(connection::clientOptions(settings) + sessionTarget());
    if (!db.open()) {
        const QSqlError error = db.lastError();
        throw DbError(error.databaseText().isEmpty() ? error.text() : error.databaseText(), {},
                      error.nativeErrorCode(), DbError::Kind::Connection);
    }
    m_depth = 0;
    m_rollbackOnly = false;
    m_broken = false;
    applySessionSettings();
    listenAgain();
}

void Connection::applySessionSettings()
{
    // One statement, one round trip: a server across town makes every statement of a connection
    // cost its distance. Day-first date texts ("05.03.2024") must read as 5 March whatever the
    // server's default; quotes in texts are doubled, never backslash-escaped. The timesheet
    // queries are costed above the JIT threshold, and compiling them takes a second where running
    // them takes a few milliseconds. No click waits without end for data another session holds.
    execute(session::identityStatement(
        identity(), {{QStringLiteral("DateStyle"), QStringLiteral("ISO, DMY")},
                     {QStringLiteral("standard_conforming_strings"), QStringLiteral("on")},
                     {QStringLiteral("jit"), QStringLiteral("off")},
                     {QStringLiteral("default_transaction_read_only"),
                      m_readOnly ? QStringLiteral("on") : QStringLiteral("off")},
                     {QStringLiteral("lock_timeout"), QString::number(m_lockTimeout)}}));
}

QString Connection::sessionTarget() const
{
    return m_readOnly ? QString() : QStringLiteral(";target_session_attrs=read-write");
}

void Connection::listen(const QString &channel)
{
    if (m_channels.contains(channel))
        return;
    m_channels << channel;
    if (isOpen())
        QSqlDatabase::database(m_name, false).driver()->subscribeToNotification(channel);
}

QSqlDriver *Connection::driver() const
{
    return QSqlDatabase::database(m_name, false).driver();
}

void Connection::listenAgain()
{
    // A closed driver forgets its subscriptions.
    QSqlDriver *sqlDriver = driver();
    for (const QString &channel : std::as_const(m_channels))
        sqlDriver->subscribeToNotification(channel);
    if (m_openedBefore && m_reopened && !m_channels.isEmpty())
        m_reopened();
    m_openedBefore = true;
}

session::Identity Connection::identity() const
{
    session::Identity identity = session::local();
    identity.programRole = m_programRole;
    identity.group = m_sessionGroup;
    return identity;
}

QString Connection::identityStatement() const
{
    return session::identityStatement(identity());
}

void Connection::setLockTimeout(int milliseconds)
{
    m_lockTimeout = milliseconds;
    if (isOpen())
        run(QStringLiteral("set lock_timeout = %1").arg(m_lockTimeout));
}

void Connection::setLogin(const QString &user, const QString &password)
{
    m_loginUser = user;
    m_loginPassword = password;
}

void Connection::setProgramRole(const QString &role, const QString &group)
{
    m_programRole = role;
    m_sessionGroup = group;
    if (isOpen())
        run(identityStatement());
}

void Connection::close()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen())
        db.close();
    m_depth = 0;
}

bool Connection::isOpen() const
{
    return QSqlDatabase::database(m_name, false).isOpen();
}

void Connection::fail(const QString &message, const QString &statement, const QString &code,
                      bool connectionHint)
{
    DbError::Kind kind = DbError::Kind::Statement;
    if (isConnectionState(code) || (code.isEmpty() && connectionHint)) {
        kind = DbError::Kind::Connection;
        m_broken = true;
    } else if (isRetryableState(code)) {
        kind = DbError::Kind::Retryable;
    }
    throw DbError(message, statement, code, kind);
}

QSqlQuery Connection::run(const QString &statement)
{
    // Inside a transaction a lost connection took the work so far with it: the error goes to the
    // caller, and the outermost scope ends.
    if (m_depth > 0)
        return execute(statement);
    const bool repeatable = isRepeatable(statement);
    // Known lost (an earlier statement failed on it): reopened once; when the server is still
    // away the statement fails with a connection error again.
    if (m_broken) {
        open();
        return executeAlone(statement, repeatable);
    }
    // Lost unnoticed while idle (the server restarted meanwhile): a read or a "begin" did nothing
    // when it failed and runs again on a new connection; before any other statement a read finds
    // out first, so a write is never sent twice.
    try {
        if (repeatable)
            return execute(statement);
        // Told by the connection itself where it can be: a round trip less for every write.
        const std::optional<bool> hungUp = serverHungUp(driver());
        if (!hungUp)
            execute(QStringLiteral("select 1"));
        else if (*hungUp)
            m_broken = true;
    } catch (const DbError &error) {
        if (!error.isConnectionError())
            throw;
        m_broken = true;
    }
    if (m_broken)
        open();
    return executeAlone(statement, repeatable);
}

QSqlQuery Connection::executeAlone(const QString &statement, bool repeatable)
{
    if (repeatable)
        return execute(statement);
    try {
        return execute(statement);
    } catch (const DbError &error) {
        // A write outside a transaction commits as it ends: the answer may have been lost after
        // the server had done it.
        if (error.isConnectionError())
            throw DbError::outcomeUnknown(error);
        throw;
    }
}

QSqlQuery Connection::execute(const QString &statement)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen())
        fail(QStringLiteral("Нет подключения к базе данных"), statement, {}, true);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(statement))
        failOn(query.lastError(), statement);
    return query;
}

void Connection::failOn(const QSqlError &error, const QString &statement)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // The client library reports a lost connection in the desktop's language, without a
    // SQLSTATE: "server closed the connection unexpectedly", "сервер неожиданно закрыл
    // соединение", "нет подключения к серверу".
    const bool lost = error.type() == QSqlError::ConnectionError ||
                      text.contains(QLatin1String("connection"), Qt::CaseInsensitive) ||
                      text.contains(QStringLiteral("соединени"), Qt::CaseInsensitive) ||
                      text.contains(QStringLiteral("подключени"), Qt::CaseInsensitive);
    fail(text.trimmed(), statement, error.nativeErrorCode(), lost);
}

QVariant Connection::firstValue(const QString &statement)
{
    return firstRow(statement).value(0);
}

QVariantList Connection::firstRow(const QString &statement)
{
    const bool alone = m_depth == 0 && !isRepeatable(statement);
    QSqlQuery query = run(statement);
    QVariantList value;
    if (query.next())
        for (int i = 0; i < query.record().count(); ++i)
            value.append(query.value(i));
    // The driver hands a row over as soon as it arrives, before the statement has ended: how it
    // ended (its commit, outside a transaction) comes after the rows.
    while (query.next()) {
    }
    if (query.lastError().isValid()) {
        try {
            failOn(query.lastError(), statement);
        } catch (const DbError &error) {
            if (alone && error.isConnectionError())
                throw DbError::outcomeUnknown(error);
            throw;
        }
    }
    return value;
}

void Connection::begin()
{
    if (m_depth == 0) {
        run(QStringLiteral("begin"));
        m_rollbackOnly = false;
    }
    ++m_depth;
}

void Connection::commit()
{
    if (m_depth == 0)
        return;
    if (m_depth > 1) {
        --m_depth;
        return;
    }
    if (m_rollbackOnly) {
        rollback();
        throw DbError(QStringLiteral("Транзакция отменена из-за ошибки"));
    }
    m_depth = 0;
    // Never on a new connection: a commit there would report success for work that was lost.
    execute(QStringLiteral("commit"));
}

void Connection::rollback() noexcept
{
    if (m_depth == 0)
        return;
    if (m_depth > 1) {
        --m_depth;
        m_rollbackOnly = true;
        return;
    }
    m_depth = 0;
    m_rollbackOnly = false;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen() || m_broken)
        return;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("rollback")))
        m_broken = true; // the server is gone; the next statement reconnects
}

void Connection::inTransaction(const std::function<void()> &work)
{
    const bool outermost = m_depth == 0;
    constexpr int attempts = 4;
    for (int attempt = 1;; ++attempt) {
        try {
            Transaction transaction(*this);
            work();
            transaction.commit();
            return;
        } catch (const DbError &error) {
            if (!outermost || !error.isRetryable() || attempt == attempts)
                throw;
        }
        ++m_retries;
    }
}

Transaction::Transaction(Connection &connection)
    : m_connection(connection)
{
    m_connection.begin();
}

Transaction::~Transaction()
{
    if (!m_done)
        m_connection.rollback();
}

void Transaction::commit()
{
    m_done = true;
    m_connection.commit();
}
