#pragma once

#include <QString>

#include <stdexcept>

// A failed database operation, carrying the server's own message and the statement that failed.
class DbError : public std::runtime_error
{
public:
    enum class Kind { Statement, Connection, Retryable };

    explicit DbError(const QString &message, const QString &statement = {},
                     const QString &sqlState = {}, Kind kind = Kind::Statement);
    // A change of a row that another copy deleted meanwhile: nothing was written.
    static DbError rowDeleted(const QString &statement = {});
    // A failure told in the user's words: the server's text goes along as the detail.
    static DbError explained(const QString &text, const DbError &server);
    // A connection lost under a statement that commits on its own (outside a transaction): the
    // server may have done it before the answer was lost.
    static DbError outcomeUnknown(const DbError &lost);

    const QString &message() const { return m_message; }
    const QString &statement() const { return m_statement; }
    // What the server said when message() tells it in the user's words; empty otherwise.
    const QString &detail() const { return m_detail; }
    const QString &sqlState() const { return m_sqlState; }
    // The server's own sentence alone: the first line of message() without the severity in front
    // ("ERROR:  ") and without the context lines after it.
    QString primaryMessage() const;
    Kind kind() const { return m_kind; }
    bool isConnectionError() const { return m_kind == Kind::Connection; }
    // Lost while the server was committing (a commit, or a write that commits on its own): the
    // work may have landed before the answer was lost, so nobody can say whether it was done.
    bool isLostAtCommit() const
    {
        return isConnectionError() && (m_outcomeUnknown || m_statement == QLatin1String("commit"));
    }
    // A deadlock or serialization failure: the whole transaction may be run again.
    bool isRetryable() const { return m_kind == Kind::Retryable; }

private:
    QString m_message;
    QString m_statement;
    QString m_detail;
    QString m_sqlState;
    Kind m_kind;
    bool m_outcomeUnknown = false;
};
