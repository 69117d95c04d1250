#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>

class Connection;
class Dataset;

// Absences of workers by day with the codes of the timesheet form T-13 (accounts_dep.absence).
// The database keeps them as it keeps entries: refused in a closed month, written to the change
// history, announced to the other copies, and written by full access only. A day holds either
// hours of work or an absence, never both; the database refuses the second of them.
namespace absences {

// The server's error code of a day refused because it would hold hours and an absence.
inline const QString RefusedState = QStringLiteral("TB003");

// One absence code: its letter code ("ОТ"), its number ("09") and what it means.
struct Kind
{
    QString code;
    QString num;
    QString caption;
};

// The absence codes in the order they are offered.
QVector<Kind> kinds(Connection &connection);

// A worker who may be marked: id and name.
struct Person
{
    qint64 id = 0;
    QString name;
};

// Every worker, by name.
QVector<Person> workers(Connection &connection);

// A worker's day of a month: (worker id, day of the month).
using WorkerDay = QPair<qint64, int>;

// The codes marked in a month, by worker and day.
QHash<WorkerDay, QString> ofMonth(Connection &connection, int month, int year);
// The same read with a window's other queries (db/batch.h): the query to open, then the marks.
void askMonth(Dataset &query, int month, int year);
QHash<WorkerDay, QString> monthFrom(Dataset &query);

// The days from..to (both included) on which the worker has hours of work (shift or hour-paid
// entries with hours above 0), in order.
QVector<QDate> daysWithHours(Connection &connection, qint64 worker, const QDate &from,
                             const QDate &to);

// Marks every day from..to (both included) with the code, replacing the marks there, in one
// statement: all the days or none. Raises DbError (RefusedState when a day has hours, the closed
// month's state when the month is closed).
void mark(Connection &connection, qint64 worker, const QDate &from, const QDate &to,
          const QString &code);
// Removes the marks of the days from..to (both included); returns how many there were.
int clear(Connection &connection, qint64 worker, const QDate &from, const QDate &to);

} // namespace absences
