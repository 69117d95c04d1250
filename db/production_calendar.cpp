#include "db/production_calendar.h"

#include "db/connection.h"
#include "db/dataset.h"
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

namespace {

// The day as the calendar keeps it: what is stored for it, else Saturday and Sunday off.
Day dayOf(const QDate &date, const Stored *stored)
{
    Day day{date, Kind::Plain, {}, isWeekend(date)};
    if (stored) {
        day.kind = stored->kind;
        day.name = stored->name;
        day.dayOff = stored->kind != Kind::Working;
    }
    return day;
}

} // namespace

void askDays(Dataset &query, const QDate &first, const QDate &last)
{
    query.setSql(
        QStringLiteral("select d_date, kind, s_name from %1 where d_date between %2 and %3")
            .arg(Table, sql::toDate(first), sql::toDate(last)));
}

QVector<Day> daysFrom(Dataset &query, const QDate &first, const QDate &last)
{
    QVector<Day> result;
    if (!first.isValid() || !last.isValid() || last < first)
        return result;
    QHash<QDate, Stored> stored;
    for (query.first(); !query.eof(); query.next())
        stored.insert(
            query.date(QStringLiteral("d_date")),
            {kindOf(query.text(QStringLiteral("kind"))), query.text(QStringLiteral("s_name"))});
    result.reserve(first.daysTo(last) + 1);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        const auto found = stored.constFind(date);
        result.append(dayOf(date, found != stored.constEnd() ? &*found : nullptr));
    }
    return result;
}

QVector<Day> days(Connection &connection, const QDate &first, const QDate &last)
{
    if (!first.isValid() || !last.isValid() || last < first)
        return {};
    Dataset query(connection);
    askDays(query, first, last);
    query.open();
    return daysFrom(query, first, last);
}

Day day(Connection &connection, const QDate &date)
{
    const QVector<Day> found = days(connection, date, date);
    return found.isEmpty() ? dayOf(date, nullptr) : found.first();
}

void askDayAndMonth(Dataset &query, const QDate &date)
{
    query.setSql(
        QStringLiteral("select exists (select 1 from accounts_dep.closed_month where year=%1 and "
                       "month=%2) as closed, p.kind, p.s_name from (select 1) one left join %3 p "
                       "on p.d_date=%4")
            .arg(sql::integer(date.year()), sql::integer(date.month()), Table, sql::toDate(date)));
}

DayAndMonth dayAndMonthFrom(Dataset &query, const QDate &date)
{
    query.first();
    if (query.isEmpty())
        return {dayOf(date, nullptr), false};
    const bool closed = query.value(QStringLiteral("closed")).toBool();
    if (query.isNull(QStringLiteral("kind")))
        return {dayOf(date, nullptr), closed};
    const Stored stored{kindOf(query.text(QStringLiteral("kind"))),
                        query.text(QStringLiteral("s_name"))};
    return {dayOf(date, &stored), closed};
}

DayAndMonth dayAndMonth(Connection &connection, const QDate &date)
{
    Dataset query(connection);
    askDayAndMonth(query, date);
    query.open();
    return dayAndMonthFrom(query, date);
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

void askYearsStored(Dataset &query, int first, int last)
{
    query.setSql(
        QStringLiteral("select count(distinct extract(year from d_date))::integer as years "
                       "from %1 where d_date between %2 and %3")
            .arg(Table, sql::toDate(QDate(first, 1, 1)), sql::toDate(QDate(last, 12, 31))));
}

bool yearsStoredFrom(Dataset &query, int first, int last)
{
    query.first();
    return !query.isEmpty() && query.integer(QStringLiteral("years")) == last - first + 1;
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
