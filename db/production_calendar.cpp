#include "db/production_calendar.h"

#include "db/connection.h"
#include "db/sql_text.h"

#include <QHash>
#include <QSqlQuery>

namespace calendar {

namespace {

const QString Table = QStringLiteral("accounts_dep.prod_calendar");

Kind kindOf(const QString &stored)
{
    if (stored == QStringLiteral("праздник"))
        return Kind::Holiday;
    if (stored == QStringLiteral("рабочий"))
        return Kind::Working;
    return Kind::DayOff;
}

struct Stored
{
    Kind kind;
    QString name;
};

} // namespace

bool isWeekend(const QDate &day)
{
    return day.dayOfWeek() == Qt::Saturday || day.dayOfWeek() == Qt::Sunday;
}

QVector<Day> days(Connection &connection, const QDate &first, const QDate &last)
{
    QVector<Day> result;
    if (!first.isValid() || !last.isValid() || last < first)
        return result;
    QSqlQuery query = connection.run(
        QStringLiteral("select d_date, kind, s_name from %1 where d_date between %2 and %3")
            .arg(Table, sql::toDate(first), sql::toDate(last)));
    QHash<QDate, Stored> stored;
    while (query.next())
        stored.insert(query.value(0).toDate(),
                      {kindOf(query.value(1).toString()), query.value(2).toString()});
    result.reserve(first.daysTo(last) + 1);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        Day day{date, Kind::Plain, {}, isWeekend(date)};
        if (const auto found = stored.constFind(date); found != stored.constEnd()) {
            day.kind = found->kind;
            day.name = found->name;
            day.dayOff = found->kind != Kind::Working;
        }
        result.append(day);
    }
    return result;
}

Day day(Connection &connection, const QDate &date)
{
    const QVector<Day> found = days(connection, date, date);
    return found.isEmpty() ? Day{date, Kind::Plain, {}, isWeekend(date)} : found.first();
}

DayAndMonth dayAndMonth(Connection &connection, const QDate &date)
{
    QSqlQuery query = connection.run(
        QStringLiteral("select exists (select 1 from accounts_dep.closed_month where year=%1 and "
                       "month=%2), p.kind, p.s_name from (select 1) one left join %3 p on "
                       "p.d_date=%4")
            .arg(sql::integer(date.year()), sql::integer(date.month()), Table, sql::toDate(date)));
    DayAndMonth result{Day{date, Kind::Plain, {}, isWeekend(date)}, false};
    if (!query.next())
        return result;
    result.monthClosed = query.value(0).toBool();
    if (!query.isNull(1)) {
        result.day.kind = kindOf(query.value(1).toString());
        result.day.name = query.value(2).toString();
        result.day.dayOff = result.day.kind != Kind::Working;
    }
    return result;
}

bool isDayOff(Connection &connection, const QDate &date)
{
    return day(connection, date).dayOff;
}

bool hasYear(Connection &connection, int year)
{
    QSqlQuery query = connection.run(
        QStringLiteral("select exists (select 1 from %1 where d_date between %2 and %3)")
            .arg(Table, sql::toDate(QDate(year, 1, 1)), sql::toDate(QDate(year, 12, 31))));
    return query.next() && query.value(0).toBool();
}

int fillYears(Connection &connection, int first, int last)
{
    QSqlQuery query =
        connection.run(QStringLiteral("select coalesce(sum(accounts_dep.prod_calendar_fill(y)), 0) "
                                      "from generate_series(%1, %2) y")
                           .arg(sql::integer(first), sql::integer(last)));
    return query.next() ? int(query.value(0).toLongLong()) : 0;
}

void setDay(Connection &connection, const QDate &date, bool dayOff, const QString &name)
{
    connection.inTransaction([&] {
        if (dayOff == isWeekend(date)) {
            connection.run(
                QStringLiteral("delete from %1 where d_date=%2").arg(Table, sql::toDate(date)));
            return;
        }
        const QString kind = dayOff ? QStringLiteral("выходной") : QStringLiteral("рабочий");
        connection.run(QStringLiteral("insert into %1 (d_date, kind, s_name) values (%2, %3, %4) "
                                      "on conflict (d_date) do update set kind=excluded.kind, "
                                      "s_name=excluded.s_name")
                           .arg(Table, sql::toDate(date), sql::quote(kind),
                                sql::quote(name.trimmed().left(MaxNameLength))));
    });
}

} // namespace calendar
