// Month rebuilds of the monthly rows against the statement-by-statement reference sequence (a
// query per day, then a count and an update or insert per worker, shift and day, each statement on
// its own), on the same data in the same run. Prints the median time of several runs of each, the
// ratio, the peak memory, and whether both leave identical rows.
//
// Needs a cluster as the tests use it (PG* variables, template database loaded with the schema):
//     eval "$(scripts/pg start)"; build/bench/bench_rebuild [workers] [runs]

#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/test_database.h"
#include "timesheets/month_rebuild.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Month = 3;
constexpr int Year = 2024;

// The reference: the shift rebuild as the per-row statement sequence writes it.
void referenceShiftRebuild(TDataModule6 &dm)
{
    const QString m = sql::integer(Month);
    const QString y = sql::integer(Year);
    dm.DelSmena.execute(
        QStringLiteral("delete from accounts_dep.h_tabel where smena>0 and month=%1 "
                       "and year=%2")
            .arg(m, y));
    Dataset dt(dm.ADO_DB);
    dt.setSql(QStringLiteral(" select smena, w_id, sum(time) as tim from accounts_dep.smena where "
                             "data=:data group by smena,w_id;"));
    const QDate first(Year, Month, 1);
    for (int day = 1; day <= first.daysInMonth(); ++day) {
        dt.setParam(QStringLiteral("data"), QDate(Year, Month, day));
        dt.open();
        for (dt.first(); !dt.eof(); dt.next()) {
            const QString s = dt.text(QStringLiteral("smena"));
            const QString w = dt.text(QStringLiteral("w_id"));
            const QString t = dt.text(QStringLiteral("tim"));
            const qint64 count = dm.scalar(
                QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel h_tabel where "
                               "w_id=%1 and smena=%2 and month=%3 and year=%4")
                    .arg(w, s, m, y),
                QStringLiteral("cnt"));
            if (count != 0)
                dm.H_Tabel_ins.execute(
                    QStringLiteral("update accounts_dep.h_tabel set d%1='%2' where "
                                   "w_id=%3 and smena=%4 and month=%5 and year=%6")
                        .arg(day)
                        .arg(t, w, s, m, y));
            else
                dm.H_Tabel_ins.execute(
                    QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, "
                                   "month, year, d%1) values(%2, %3, %4, %5, %6)")
                        .arg(day)
                        .arg(s, w, m, y, t));
        }
        dt.close();
    }
}

// Every shift row of the month as one text, in key order.
QString snapshot(TDataModule6 &dm)
{
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << QStringLiteral("coalesce(d%1::text,'-')").arg(day);
    Dataset rows(dm.ADO_DB);
    rows.setSql(QStringLiteral("select string_agg(w_id || '/' || smena || ':' || %1, '|' order by "
                               "w_id, smena) as rows from accounts_dep.h_tabel where smena>0 and "
                               "month=%2 and year=%3")
                    .arg(days.join(QLatin1String(" || ',' || ")))
                    .arg(Month)
                    .arg(Year));
    rows.open();
    return rows.text(QStringLiteral("rows"));
}

void fillMonth(TDataModule6 &dm, int workers)
{
    // Workers × 3 shifts × the working days of the month; one entry per worker and day, in his
    // shift, plus a second entry on every fifth day.
    dm.ADO_DB.run(
        QStringLiteral("insert into accounts_dep.person(fio) select 'Работник ' || g from "
                       "generate_series(1, %1) g;"
                       "insert into cmn_gds_and_srv.gds_and_srv(s_caption) values ('Изделие');"
                       "insert into accounts_dep.vid_oper(vid) values ('Операция'), ('Упаковка');"
                       "insert into accounts_dep.oper(vid, naimen, i_id, cena_new) select v.id, 0, "
                       "g.id, 0 from "
                       "accounts_dep.vid_oper v, cmn_gds_and_srv.gds_and_srv g where v.id > 7778 "
                       "and g.id > 7777;")
            .arg(workers));
    dm.ADO_DB.run(
        QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
            "color, "
            "time, ok, vvod, prize) "
            "select p.id, o.i_id, o.id, 10, 100, 0, d, 1 + p.id %% 3, 0, 4 + (p.id + extract(day "
            "from d)::int) %% 5, "
            "'no', now(), 0 from accounts_dep.person p, generate_series(date '%1-%2-01', date "
            "'%1-%2-01' + "
            "interval '1 month' - interval '1 day', interval '1 day') d, accounts_dep.oper o "
            "where extract(isodow from d) < 6 and o.i_id > 7777 and (o.vid = (select min(id) from "
            "accounts_dep.vid_oper where id > 7778) or extract(day from d)::int %% 5 = 0)")
            .arg(Year)
            .arg(Month, 2, 10, QLatin1Char('0'))
            .replace(QLatin1String("%%"), QLatin1String("%")));
    // A database in use has its statistics; a freshly filled one gets them here.
    dm.ADO_DB.run(QStringLiteral("analyze accounts_dep.smena; analyze accounts_dep.h_tabel"));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double spread(const std::vector<double> &values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return *high - *low;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int workers = argc > 1 ? std::atoi(argv[1]) : 300;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    TestDatabase db(QStringLiteral("bench_rebuild"));
    auto dm = db.connect();
    fillMonth(*dm, workers);
    const qint64 entries = dm->scalar(
        QStringLiteral("select count(*) as cnt from accounts_dep.smena"), QStringLiteral("cnt"));

    std::vector<double> reference;
    std::vector<double> setBased;
    QString referenceRows;
    QString setBasedRows;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        referenceShiftRebuild(*dm);
        reference.push_back(timer.nsecsElapsed() / 1e9);
        referenceRows = snapshot(*dm);
        dm->ADO_DB.run(QStringLiteral("analyze accounts_dep.h_tabel"));
        timer.restart();
        rebuild::shiftMonth(*dm, Month, Year);
        setBased.push_back(timer.nsecsElapsed() / 1e9);
        setBasedRows = snapshot(*dm);
        dm->ADO_DB.run(QStringLiteral("analyze accounts_dep.h_tabel"));
    }
    std::printf("shift-month rebuild, %d workers, %lld entries, %d runs\n", workers, entries, runs);
    std::printf("  reference (statement by statement): median %.3f s, spread %.3f s\n",
                median(reference), spread(reference));
    std::printf("  set-based in one transaction:       median %.3f s, spread %.3f s\n",
                median(setBased), spread(setBased));
    std::printf("  ratio: %.1f x; identical rows: %s; peak memory %.1f MB\n",
                median(reference) / median(setBased),
                referenceRows == setBasedRows && !referenceRows.isEmpty() ? "yes" : "NO",
                peakKilobytes() / 1024.0);
    return referenceRows == setBasedRows ? 0 : 1;
}
