#include "bench/reference_rebuild.h"

#include "db/data_module.h"
#include "db/sql_text.h"

#include <QDate>
#include <QStringList>

#include <functional>

namespace reference {

namespace {

// One day's rows of the day query, then a count and an update or insert for each of them.
// keyCondition and insertColumns/insertValues get the row's fields by name through `field`.
struct Family
{
    QString deleteCondition;
    QString dayQuery;
    std::function<QString(const Dataset &)> keyCondition;
    std::function<QString(const Dataset &, int day)> insert;
};

void rebuildMonth(TDataModule6 &dm, int month, int year, const Family &family)
{
    const QString m = sql::integer(month);
    const QString y = sql::integer(year);
    dm.DelSmena.execute(QStringLiteral("delete from accounts_dep.h_tabel where %1 and month=%2 "
                                       "and year=%3")
                            .arg(family.deleteCondition, m, y));
    Dataset dt(dm.ADO_DB);
    dt.setSql(family.dayQuery);
    const QDate first(year, month, 1);
    for (int day = 1; day <= first.daysInMonth(); ++day) {
        dt.setParam(QStringLiteral("data"), QDate(year, month, day));
        dt.open();
        for (dt.first(); !dt.eof(); dt.next()) {
            const QString key =
                family.keyCondition(dt) + QStringLiteral(" and month=%1 and year=%2").arg(m, y);
            const qint64 count = dm.scalar(
                QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel h_tabel "
                               "where %1")
                    .arg(key),
                QStringLiteral("cnt"));
            if (count != 0)
                dm.H_Tabel_ins.execute(
                    QStringLiteral("update accounts_dep.h_tabel set d%1=%2 where %3")
                        .arg(day)
                        .arg(dt.text(QStringLiteral("tim")), key));
            else
                dm.H_Tabel_ins.execute(family.insert(dt, day));
        }
        dt.close();
    }
}

} // namespace

void shiftMonth(TDataModule6 &dm, int month, int year)
{
    rebuildMonth(
        dm, month, year,
        {QStringLiteral("smena>0"),
         QStringLiteral(" select smena, w_id, sum(time) as tim from accounts_dep.smena where "
                        "data=:data group by smena,w_id;"),
         [](const Dataset &dt) {
             return QStringLiteral("w_id=%1 and smena=%2")
                 .arg(dt.text(QStringLiteral("w_id")), dt.text(QStringLiteral("smena")));
         },
         [month, year](const Dataset &dt, int day) {
             return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, "
                                   "d%1) values(%2, %3, %4, %5, %6)")
                 .arg(day)
                 .arg(dt.text(QStringLiteral("smena")), dt.text(QStringLiteral("w_id")),
                      sql::integer(month), sql::integer(year), dt.text(QStringLiteral("tim")));
         }});
}

void fatigueMonth(TDataModule6 &dm, int month, int year)
{
    rebuildMonth(
        dm, month, year,
        {QStringLiteral("smena=0"),
         QStringLiteral(" select f.id_p, f.id_o, f.i_night, sum(f.cnt) as tim from "
                        "accounts_dep.fatigue f where f.d_date =:data group by f.id_p, f.id_o, "
                        "f.i_night order by id_p;"),
         [](const Dataset &dt) {
             return QStringLiteral("w_id=%1 and i_type=%2 and i_night=%3")
                 .arg(dt.text(QStringLiteral("id_p")), dt.text(QStringLiteral("id_o")),
                      dt.text(QStringLiteral("i_night")));
         },
         [month, year](const Dataset &dt, int day) {
             return QStringLiteral("insert into accounts_dep.h_tabel(i_type, w_id, i_night, "
                                   "month, year, d%1) values(%2, %3, %4, %5, %6, %7)")
                 .arg(day)
                 .arg(dt.text(QStringLiteral("id_o")), dt.text(QStringLiteral("id_p")),
                      dt.text(QStringLiteral("i_night")), sql::integer(month), sql::integer(year),
                      dt.text(QStringLiteral("tim")));
         }});
}

QString snapshot(TDataModule6 &dm, const QString &family, int month, int year)
{
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << QStringLiteral("coalesce(d%1::text,'-')").arg(day);
    Dataset rows(dm.ADO_DB);
    rows.setSql(QStringLiteral("select string_agg(w_id || '/' || smena || '/' || i_type || '/' || "
                               "i_night || ':' || %1, '|' order by w_id, smena, i_type, i_night) "
                               "as rows from accounts_dep.h_tabel where %2 and month=%3 and "
                               "year=%4")
                    .arg(days.join(QLatin1String(" || ',' || ")), family, sql::integer(month),
                         sql::integer(year)));
    rows.open();
    return rows.text(QStringLiteral("rows"));
}

} // namespace reference
