#include "db/absences.h"

#include "db/command.h"
#include "db/connection.h"
#include "db/dataset.h"

namespace absences {

QVector<Kind> kinds(Connection &connection)
{
    Dataset query(connection);
    query.setSql(QStringLiteral(
        "select code, num, caption from accounts_dep.absence_kind order by ord, num"));
    query.open();
    QVector<Kind> result;
    for (query.first(); !query.eof(); query.next())
        result.append({query.text(QStringLiteral("code")), query.text(QStringLiteral("num")),
                       query.text(QStringLiteral("caption"))});
    return result;
}

QVector<Person> workers(Connection &connection)
{
    Dataset query(connection);
    query.setSql(QStringLiteral("select id, fio from accounts_dep.person order by fio, id"));
    query.open();
    QVector<Person> result;
    for (query.first(); !query.eof(); query.next())
        result.append({query.integer(QStringLiteral("id")), query.text(QStringLiteral("fio"))});
    return result;
}

QHash<WorkerDay, QString> ofMonth(Connection &connection, int month, int year)
{
    Dataset query(connection);
    askMonth(query, month, year);
    query.open();
    return monthFrom(query);
}

void askMonth(Dataset &query, int month, int year)
{
    const QDate first(year, month, 1);
    query.setSql(QStringLiteral("select a.w_id, extract(day from a.d_date)::integer as day, a.code "
                                "from accounts_dep.absence a where a.d_date >= :first and "
                                "a.d_date < :next"));
    query.setParam(QStringLiteral("first"), first);
    query.setParam(QStringLiteral("next"), first.addMonths(1));
}

QHash<WorkerDay, QString> monthFrom(Dataset &query)
{
    QHash<WorkerDay, QString> marks;
    for (query.first(); !query.eof(); query.next())
        marks.insert(
            {query.integer(QStringLiteral("w_id")), int(query.integer(QStringLiteral("day")))},
            query.text(QStringLiteral("code")));
    return marks;
}

QVector<QDate> daysWithHours(Connection &connection, qint64 worker, const QDate &from,
                             const QDate &to)
{
    Dataset query(connection);
    query.setSql(QStringLiteral(
        "select distinct d from (select s.data::date as d from accounts_dep.smena s where "
        "s.w_id = :w1 and s.data >= :from1 and s.data < :to1 and s.time > 0 union select "
        "f.d_date from accounts_dep.fatigue f where f.id_p = :w2 and f.d_date >= :from2 and "
        "f.d_date < :to2 and f.cnt > 0) worked order by d"));
    for (const char *n : {"1", "2"}) {
        query.setParam(QStringLiteral("w") + QLatin1String(n), worker);
        query.setParam(QStringLiteral("from") + QLatin1String(n), from);
        query.setParam(QStringLiteral("to") + QLatin1String(n), to.addDays(1));
    }
    query.open();
    QVector<QDate> days;
    for (query.first(); !query.eof(); query.next())
        days.append(query.date(QStringLiteral("d")));
    return days;
}

void mark(Connection &connection, qint64 worker, const QDate &from, const QDate &to,
          const QString &code)
{
    Command insert(connection,
                   QStringLiteral("insert into accounts_dep.absence (w_id, d_date, code) select "
                                  ":w, d::date, :code from generate_series(:from::date, "
                                  ":to::date, interval '1 day') d order by 2 on conflict (w_id, "
                                  "d_date) do update set code = excluded.code where "
                                  "accounts_dep.absence.code <> excluded.code"));
    insert.setParam(QStringLiteral("w"), worker);
    insert.setParam(QStringLiteral("code"), code);
    insert.setParam(QStringLiteral("from"), from);
    insert.setParam(QStringLiteral("to"), to);
    insert.execute();
}

int clear(Connection &connection, qint64 worker, const QDate &from, const QDate &to)
{
    Command remove(connection, QStringLiteral("delete from accounts_dep.absence where w_id = :w "
                                              "and d_date >= :from and d_date <= :to"));
    remove.setParam(QStringLiteral("w"), worker);
    remove.setParam(QStringLiteral("from"), from);
    remove.setParam(QStringLiteral("to"), to);
    return remove.execute();
}

} // namespace absences
