#pragma once

#include <QSqlQuery>
#include <QString>

#include <functional>

// The program's one database connection: opened from a connection string, with the session set up
// for day-first date texts. Statements run here raise DbError on failure. A connection lost while
// idle is reopened once by the next statement.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &text) { m_connectionString = text; }
    const QString &connectionString() const { return m_connectionString; }

    void open();
    void close();
    bool isOpen() const;

    // Runs one statement (no placeholders) and returns the query positioned before its first row.
    QSqlQuery run(const QString &statement);

    // Transactions. Scopes nest: only the outermost commits, and a failed inner scope makes the
    // outer one roll back.
    int transactionDepth() const { return m_depth; }
    void begin();
    void commit();
    void rollback() noexcept;

    // Runs work in a transaction: commits when it returns, rolls back when it throws. When this is
    // the outermost scope, a deadlock or serialization failure runs the work again (a few times).
    void inTransaction(const std::function<void()> &work);

    const QString &connectionName() const { return m_name; }

private:
    void ensureUsable();
    [[noreturn]] void fail(const QString &message, const QString &statement, const QString &code,
                           bool connectionHint);
    void applySessionSettings();

    QString m_name;
    QString m_connectionString;
    int m_depth = 0;
    bool m_rollbackOnly = false;
    bool m_broken = false;
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
