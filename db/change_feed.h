#pragma once

#include <QDate>
#include <QObject>
#include <QString>

class Connection;

// What one statement of another copy changed: the table and the days it touched. Monthly rows
// touch their whole months. An empty range means "unknown": everything may have changed.
struct TableChange
{
    QString table;
    QDate first;
    QDate last;

    bool touchesEverything() const { return !first.isValid() || !last.isValid(); }
    bool touches(const QString &name, const QDate &from, const QDate &to) const;
    bool touchesDay(const QString &name, const QDate &day) const { return touches(name, day, day); }
    bool touchesMonth(const QString &name, int month, int year) const;

    // "smena 2024-03-06 2024-03-08": the table, the first and the last day touched (either may be
    // missing). nullopt-like: an empty table name when the text is not one of ours.
    static TableChange parse(const QString &payload);
};

// Whether the change concerns a month's timesheet: its shift entries, hour-paid entries, monthly
// rows or absences.
bool touchesTimesheetMonth(const TableChange &change, int month, int year);

// The changes other copies write, heard on the connection (LISTEN on the channel the tables'
// triggers notify). A copy's own statements are not reported: it re-reads after them itself.
// After the connection was opened again, reconnected() says that anything may have been missed.
class ChangeFeed : public QObject
{
    Q_OBJECT
public:
    static const QString Channel;

    explicit ChangeFeed(Connection &connection, QObject *parent = nullptr);
    ~ChangeFeed() override;

    // Listens from now on, and again after every reopening of the connection.
    void start();

public:
Q_SIGNALS:
    void changed(const TableChange &change);
    void reconnected();

private:
    void heard(const QString &name, bool own, const QVariant &payload);

    Connection &m_connection;
    bool m_started = false;
};
