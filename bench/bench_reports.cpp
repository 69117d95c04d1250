// The detailed report by workers over 5,000 detail lines (100 workers, 50 products each, with
// hour-paid work): the query, the pages prepared and the PDF written. The data goes into a
// database of its own, cloned from the template of the cluster in the PG* variables and dropped
// at the end. Each run is a child process, so its peak memory is its own; the median is reported.
//
//   eval "$(scripts/pg start)"; build/bench/bench_reports

#include "app/forms.h"
#include "app/locale_setup.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "reports/period_layouts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWorkers = 100;
constexpr int kProducts = 50; // one line per worker and product: 5,000 lines
constexpr int kRuns = 5;
const QDate From(2024, 2, 1);
const QDate To(2024, 3, 1);

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString env(const char *name, const char *fallback)
{
    const QByteArray value = qgetenv(name);
    return QString::fromLocal8Bit(value.isEmpty() ? QByteArray(fallback) : value);
}

bool maintenance(const QString &sql)
{
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench"));
        db.setHostName(env("PGHOST", "127.0.0.1"));
        db.setPort(env("PGPORT", "5432").toInt());
        db.setUserName(env("PGUSER", "sys"));
        db.setPassword(env("PGPASSWORD", "xvbtrlu"));
        db.setDatabaseName(QStringLiteral("postgres"));
        if (db.open()) {
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok)
                std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(db.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return ok;
}

std::unique_ptr<TDataModule6> connect(const QString &database)
{
    auto dm = std::make_unique<TDataModule6>();
    dm->ADO_DB.setConnectionString(connection::build(database, env("PGHOST", "127.0.0.1")));
    dm->ADO_DB.open();
    return dm;
}

// 100 workers, one nomenclature group of 50 products with one operation each (finished and
// blanks alternating, every fifth painted), one entry per worker and product in February 2024,
// and two hour-paid entries per worker.
void fill(TDataModule6 &dm)
{
    const QString sql = QStringLiteral(R"(
insert into accounts_dep.person(fio, s_staffpos_hl)
    select 'Работник ' || lpad(g::text, 3, '0') || ' Фамилия И.О.', 'Цех' from generate_series(1, %1) g;
insert into cmn_classifier.item(id, s_caption) values (900001, 'Крышки и ящики');
insert into cmn_gds_and_srv.gds_and_srv(s_caption, massa, id_msm_bs, id_class_item)
    select 'Изделие КР-' || lpad(g::text, 3, '0') || ' белое', 0.5, 6, 900001 from generate_series(1, %2) g;
insert into accounts_dep.vid_oper(vid) values ('Литьё под давлением');
insert into accounts_dep.oper(vid, naimen, i_id, cena_new)
    select (select max(id) from accounts_dep.vid_oper), (row_number() over (order by id)) % 2, id, 0
    from cmn_gds_and_srv.gds_and_srv where id <> 7777;
insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok,
                               vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)
    select p.id, o.i_id, o.id, 1.5 + (o.id % 7) * 0.25, 50 + (p.id * o.id) % 150, (p.id + o.id) % 5,
           date '2024-02-01' + ((p.id + o.id) % 29), 1 + (p.id % 3), case when o.id % 5 = 0 then 3 else 0 end,
           1 + (o.id % 8), 'ok', now(), 0, 0, 0, 0, 0, 0
    from accounts_dep.person p cross join accounts_dep.oper o where o.i_id <> 7777;
insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
    select 900001, 7777 + (k % 2), p.id, date '2024-02-05' + k, 2, 2024, 1, 4 + k, 150, 0, k % 2
    from accounts_dep.person p cross join generate_series(0, 1) k;
)")
                            .arg(kWorkers)
                            .arg(kProducts);
    // One statement at a time: a batch reports the errors of its first statement only.
    dm.ADO_DB.inTransaction([&] {
        for (const QString &statement : sql.split(QStringLiteral(";\n"), Qt::SkipEmptyParts))
            if (!statement.trimmed().isEmpty())
                dm.ADO_DB.run(statement);
    });
}

// One report; prints "total-s query-and-prepare-s pdf-s peak-kB baseline-kB pages lines bytes".
int runOnce(const QString &database)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    auto dm = connect(database);
    Forms forms;
    TForm20 layout(*dm, forms);
    const long baseline = peakKilobytes();
    const QString path = dir.filePath(QStringLiteral("detailed.pdf"));

    QElapsedTimer timer;
    timer.start();
    const report::PreparedReport prepared = layout.prepare(From, To, ProductKind::All);
    const int lines = layout.w_Report.recordCount();
    layout.w_Report.close();
    const double prepareSeconds = timer.nsecsElapsed() / 1e9;
    prepared.writePdf(path);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%.3f %.3f %.3f %ld %ld %d %d %lld\n", seconds, prepareSeconds,
                seconds - prepareSeconds, peakKilobytes(), baseline, prepared.pageCount(), lines,
                static_cast<long long>(QFileInfo(path).size()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setupRussianLocale(app);
    const QStringList arguments = app.arguments();
    try {
        const qsizetype once = arguments.indexOf(QStringLiteral("--once"));
        if (once >= 0)
            return runOnce(arguments.value(once + 1));

        if (qgetenv("PGHOST").isEmpty()) {
            std::fprintf(stderr, "PGHOST is not set: eval \"$(scripts/pg start)\" first\n");
            return 2;
        }
        const QString database = QStringLiteral("bench_reports_%1").arg(app.applicationPid());
        if (!maintenance(QStringLiteral("create database \"%1\" template \"%2\"")
                             .arg(database, env("PGDATABASE", "tabel_template"))))
            return 1;
        struct Drop
        {
            QString name;
            ~Drop()
            {
                maintenance(
                    QStringLiteral("drop database if exists \"%1\" with (force)").arg(name));
            }
        } drop{database};
        fill(*connect(database));

        std::vector<double> seconds, prepare, pdf;
        std::vector<long> peaks;
        long baseline = 0;
        QString shape;
        for (int run = 0; run < kRuns; ++run) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--once"), database});
            if (!child.waitForFinished(600000) || child.exitCode() != 0) {
                std::fprintf(stderr, "run %d failed: %s\n", run + 1,
                             child.readAllStandardError().constData());
                return 1;
            }
            const QStringList f =
                QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char(' '));
            seconds.push_back(f.value(0).toDouble());
            prepare.push_back(f.value(1).toDouble());
            pdf.push_back(f.value(2).toDouble());
            peaks.push_back(f.value(3).toLong());
            baseline = f.value(4).toLong();
            shape = QStringLiteral("%1 pages, %2 detail lines, %3 bytes")
                        .arg(f.value(5), f.value(6), f.value(7).trimmed());
            std::printf("run %d: %.3f s (query and pages %.3f s, PDF %.3f s), peak %.1f MB\n",
                        run + 1, seconds.back(), prepare.back(), pdf.back(), peaks.back() / 1024.0);
        }
        const auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        std::sort(peaks.begin(), peaks.end());
        std::printf("detailed report by workers, %s\n", qPrintable(shape));
        std::printf("median %.3f s (query and pages %.3f s, PDF %.3f s), peak memory %.1f MB "
                    "(%.1f MB before the report); target < 1.5 s, < 300 MB\n",
                    median(seconds), median(prepare), median(pdf), peaks[peaks.size() / 2] / 1024.0,
                    baseline / 1024.0);
        return 0;
    } catch (const DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
}
