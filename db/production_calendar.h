#pragma once

#include <QDate>
#include <QString>
#include <QVector>

class Connection;
class Dataset;

// The production calendar (accounts_dep.prod_calendar): whether a day is a day off. Saturday and
// Sunday are days off and the other days working days unless the calendar stores the day: a
// public holiday or a day off moved onto a weekday, or a Saturday or Sunday that is worked.
namespace calendar {

enum class Kind {
    Plain,   // nothing stored: the weekday decides
    Holiday, // a public holiday
    DayOff,  // a day off on a weekday (moved from a holiday, or by decree)
    Working, // a Saturday or Sunday that is worked
};

struct Day
{
    QDate date;
    Kind kind = Kind::Plain;
    QString name; // as stored; empty when nothing is stored
    bool dayOff = false;
};

// Saturday or Sunday: a day off when the calendar stores nothing for it.
bool isWeekend(const QDate &day);

// Every day from first to last (both included), in order, read with one query.
QVector<Day> days(Connection &connection, const QDate &first, const QDate &last);
// The same read with a window's other queries (db/batch.h): the query to open, then its days.
void askDays(Dataset &query, const QDate &first, const QDate &last);
QVector<Day> daysFrom(Dataset &query, const QDate &first, const QDate &last);
// One day.
Day day(Connection &connection, const QDate &date);
// Whether the day is a day off.
bool isDayOff(Connection &connection, const QDate &date);
// The day, and whether its month is closed, in one round trip (what a day's window shows).
struct DayAndMonth
{
    Day day;
    bool monthClosed = false;
};
DayAndMonth dayAndMonth(Connection &connection, const QDate &date);
void askDayAndMonth(Dataset &query, const QDate &date);
DayAndMonth dayAndMonthFrom(Dataset &query, const QDate &date);

// Whether the calendar stores any day of the year.
bool hasYear(Connection &connection, int year);
// Stores the public holidays of each year from first to last and the days off the law moves from
// them, for the years that have no day stored yet, in one statement; returns how many days it
// stored (0 when every year was already there).
int fillYears(Connection &connection, int first, int last);
// Whether every year from first to last already has a day stored (fillYears would store nothing),
// read with other queries (db/batch.h): the query to open, then the answer.
void askYearsStored(Dataset &query, int first, int last);
bool yearsStoredFrom(Dataset &query, int first, int last);

// Makes the day a day off or a working day, with a name (may be empty), in one transaction: a
// day that the weekday rule already gives that status loses its stored row, any other is stored.
void setDay(Connection &connection, const QDate &date, bool dayOff, const QString &name);

// The longest name stored.
constexpr int MaxNameLength = 128;

} // namespace calendar
