#pragma once

#include "db/session_identity.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>

class QSqlDriver;
class QSqlError;

// The program's one database connection: opened from a connection string, with the session set up
// for day-first date texts. Statements run here raise DbError on failure. A lost connection is
// reopened once by the next statement outside a transaction (a restarted server needs no restart
// of the program); a statement that may have reached the server is never sent twice.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &text) { m_connectionString = text; }
    const QString &connectionString() const { return m_connectionString; }

    // Of several servers named ("db1,db2"), the program takes the one that accepts writes (the
    // primary, also after a standby was promoted). A read-only connection (reports) takes any
    // server, a read-only standby too, and its session refuses every write.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // How long a statement waits for data another session holds before it is refused ("Данные
    // заняты другим пользователем…"): a few seconds for a user's action; long work sets its own
    // for its transaction.
    void setLockTimeout(int milliseconds);
    void open();
    void close();
    bool isOpen() const;

    // Runs one statement (no placeholders) and returns the query positioned before its first row.
    QSqlQuery run(const QString &statement);
    // Runs one statement and returns the first value of its first row (null without a row), once
    // the statement has ended: a write that fails at its end raises DbError.
    QVariant firstValue(const QString &statement);
    // The same with every value of the first row (empty without a row).
    QVariantList firstRow(const QString &statement);

    // Transactions. Scopes nest: only the outermost commits, and a failed inner scope makes the
    // outer one roll back.
    int transactionDepth() const { return m_depth; }
    void begin();
    void commit();
    void rollback() noexcept;

    // Runs work in a transaction: commits when it returns, rolls back when it throws. When this is
    // the outermost scope, a deadlock or serialization failure runs the work again (a few times);
    // after the last attempt the DbError (isRetryable()) goes to the caller.
    void inTransaction(const std::function<void()> &work);
    // How many times inTransaction has run work again after a deadlock or serialization failure.
    int retries() const { return m_retries; }

    // Notifications: the channel is listened to now (when open) and again whenever the connection
    // is opened anew; the driver reports what is heard. After a reopening has listened again,
    // the handler is told that notifications may have been missed meanwhile.
    void listen(const QString &channel);
    void setReopenedHandler(std::function<void()> handler) { m_reopened = std::move(handler); }
    QSqlDriver *driver() const;
    // The role granted at login, told to the server with the user and workstation (again after a
    // reconnect), so that the change history says who made each change; and the database group
    // the session switches to (SET ROLE) with it after an access code, so that the program can
    // never exceed the role. An empty group: the login's own rights.
    void setProgramRole(const QString &role, const QString &group = {});
    // A person's own login (personal logins): replaces the site's user and password from the
    // next open(); empty user: the site's login again.
    void setLogin(const QString &user, const QString &password);

private:
    // Runs a statement on the connection as it is: no reopening.
    QSqlQuery execute(const QString &statement);
    // The same outside a transaction: a write that loses the connection may have been done.
    QSqlQuery executeAlone(const QString &statement, bool repeatable);
    [[noreturn]] void failOn(const QSqlError &error, const QString &statement);
    [[noreturn]] void fail(const QString &message, const QString &statement, const QString &code,
                           bool connectionHint);
    void applySessionSettings();
    void listenAgain();
    QString sessionTarget() const;
    session::Identity identity() const;
    QString identityStatement() const;

    QString m_name;
    QString m_connectionString;
    QString m_programRole;
    QString m_sessionGroup;
    QString m_loginUser;
    QString m_loginPassword;
    int m_depth = 0;
    bool m_rollbackOnly = false;
    bool m_broken = false;
    int m_retries = 0;
    QStringList m_channels;
    std::function<void()> m_reopened;
    bool m_openedBefore = false;
    bool m_readOnly = false;
    int m_lockTimeout = 5000;
};

// A transaction scope: rolls back when it ends without commit().
class Transaction
{
public:
    explicit Transaction(Connection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Connection &m_connection;
    bool m_done = false;
};
