#include "db/hours_posting.h"

#include "db/data_module.h"
#include "db/sql_text.h"

#include <QList>
#include <QSqlQuery>

namespace posting {

namespace {

// Advisory lock keys: (class, object). Class -1 is a whole month, class 1 a worker's month.
constexpr int MonthLockClass = -1;

int monthKey(int month, int year)
{
    return year * 100 + month;
}

QString daySum(qint64 workerId, int shift, const QDate &day)
{
    return QStringLiteral("select sum(time) from accounts_dep.smena where w_id=%1 and smena=%2 and "
                          "data=%3")
        .arg(sql::integer(workerId), sql::integer(shift), sql::toDate(day));
}

QString fatigueSum(qint64 workerId, qint64 kind, int night, const QDate &day)
{
    return QStringLiteral("select sum(f.cnt) from accounts_dep.fatigue f where f.id_p=%1 and "
                          "f.id_o=%2 and f.i_night=%3 and f.d_date=%4")
        .arg(sql::integer(workerId), sql::integer(kind), sql::integer(night), sql::toDate(day));
}

} // namespace

void lockMonth(TDataModule6 &dm, int month, int year)
{
    dm.ADO_DB.run(QStringLiteral("select pg_advisory_xact_lock(%1, %2)")
                      .arg(MonthLockClass)
                      .arg(monthKey(month, year)));
}

void lockWorkerMonth(TDataModule6 &dm, qint64 workerId, int month, int year)
{
    dm.ADO_DB.run(QStringLiteral("select pg_advisory_xact_lock_shared(%1, %2)")
                      .arg(MonthLockClass)
                      .arg(monthKey(month, year)));
    // The worker id and the month fold into one 64-bit key of its own key space.
    dm.ADO_DB.run(
        QStringLiteral("select pg_advisory_xact_lock(%1)")
            .arg(sql::integer((qint64(1) << 62) | (workerId << 20) | monthKey(month, year))));
}

void postDay(TDataModule6 &dm, qint64 workerId, int shift, const QDate &day)
{
    dm.ADO_DB.inTransaction([&] {
        lockWorkerMonth(dm, workerId, day.month(), day.year());
        const QString column = sql::dayColumn(day.day());
        dm.H_Tabel_ins.execute(
            QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, %1) "
                           "values(%2, %3, %4, %5, coalesce((%6), 0)) "
                           "on conflict (w_id, month, year, smena, i_type, i_night) "
                           "do update set %1=excluded.%1")
                .arg(column, sql::integer(shift), sql::integer(workerId), sql::integer(day.month()),
                     sql::integer(day.year()), daySum(workerId, shift, day)));
    });
}

void postDayAfterDelete(TDataModule6 &dm, qint64 workerId, int shift, const QDate &day)
{
    dm.ADO_DB.inTransaction([&] {
        lockWorkerMonth(dm, workerId, day.month(), day.year());
        dm.H_Tabel_ins.execute(
            QStringLiteral("update accounts_dep.h_tabel set %1=(%2) where w_id=%3 and smena=%4 "
                           "and month=%5 and year=%6")
                .arg(sql::dayColumn(day.day()), daySum(workerId, shift, day),
                     sql::integer(workerId), sql::integer(shift), sql::integer(day.month()),
                     sql::integer(day.year())));
    });
}

int deleteEntries(TDataModule6 &dm, const QString &condition)
{
    int deleted = 0;
    dm.ADO_DB.inTransaction([&] {
        // The days the entries leave, kept for the transaction (dropped with its end either way;
        // so one call per transaction).
        dm.H_Tabel_ins.execute(
            QStringLiteral("create temp table reposted_days on commit drop as select distinct "
                           "w_id, smena, data::date as day from accounts_dep.smena where ") +
            condition);
        // The locks postDay takes, for every worker's month at once and in one order, so that
        // two copies cannot wait for each other.
        dm.ADO_DB.run(
            QStringLiteral(
                "select count(pg_advisory_xact_lock_shared(%1, k)) from (select distinct "
                "extract(year from day)::int * 100 + extract(month from day)::int as k from "
                "pg_temp.reposted_days order by k) months")
                .arg(MonthLockClass));
        dm.ADO_DB.run(QStringLiteral(
            "select count(pg_advisory_xact_lock(k)) from (select distinct (1::bigint << 62) | "
            "(w_id::bigint << 20) | (extract(year from day)::int * 100 + extract(month from "
            "day)::int) as k from pg_temp.reposted_days order by k) workers"));
        deleted = dm.DelSmena.execute(QStringLiteral("delete from accounts_dep.smena where ") +
                                      condition);
        QSqlQuery days = dm.ADO_DB.run(QStringLiteral(
            "select distinct extract(day from day)::int from pg_temp.reposted_days order by 1"));
        QList<int> dayNumbers;
        while (days.next())
            dayNumbers << days.value(0).toInt();
        // A day column per statement: the sum of the entries left, empty when none is left.
        for (const int dayNumber : dayNumbers)
            dm.H_Tabel_ins.execute(
                QStringLiteral(
                    "update accounts_dep.h_tabel h set %1=(select sum(e.time) from "
                    "accounts_dep.smena e where e.w_id=r.w_id and e.smena=r.smena and "
                    "e.data=r.day) from pg_temp.reposted_days r where extract(day from r.day)=%2 "
                    "and h.w_id=r.w_id and h.smena=r.smena and h.month=extract(month from "
                    "r.day) and h.year=extract(year from r.day)")
                    .arg(sql::dayColumn(dayNumber), sql::integer(dayNumber)));
    });
    return deleted;
}

void postFatigueDay(TDataModule6 &dm, qint64 workerId, qint64 kind, int night, const QDate &day)
{
    dm.ADO_DB.inTransaction([&] {
        lockWorkerMonth(dm, workerId, day.month(), day.year());
        const QString column = sql::dayColumn(day.day());
        dm.H_Tabel_ins.execute(
            QStringLiteral("insert into accounts_dep.h_tabel(i_type, w_id, i_night, month, year, "
                           "%1) values(%2, %3, %4, %5, %6, coalesce((%7), 0)) "
                           "on conflict (w_id, month, year, smena, i_type, i_night) "
                           "do update set %1=excluded.%1")
                .arg(column, sql::integer(kind), sql::integer(workerId), sql::integer(night),
                     sql::integer(day.month()), sql::integer(day.year()),
                     fatigueSum(workerId, kind, night, day)));
    });
}

void postFatigueDayAfterDelete(TDataModule6 &dm, qint64 workerId, qint64 kind, int night,
                               const QDate &day)
{
    dm.ADO_DB.inTransaction([&] {
        lockWorkerMonth(dm, workerId, day.month(), day.year());
        dm.H_Tabel_ins.execute(
            QStringLiteral("update accounts_dep.h_tabel set %1=(%2) where w_id=%3 and smena=0 "
                           "and i_type=%4 and i_night=%5 and month=%6 and year=%7")
                .arg(sql::dayColumn(day.day()), fatigueSum(workerId, kind, night, day),
                     sql::integer(workerId), sql::integer(kind), sql::integer(night),
                     sql::integer(day.month()), sql::integer(day.year())));
    });
}

} // namespace posting
