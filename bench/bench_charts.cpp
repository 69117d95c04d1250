// The period charts over a whole year of the large shop: for each chart the grouped statement,
// the chart built from its figures and one paint of it, as the office waits for it after
// "Графики" (target: under a second each).

#include "bench/bench_charts.h"

#include "bench/harness.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "reports/charts_window.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTabWidget>

namespace {

QDate busiestYear(TDataModule6 &dm)
{
    Dataset query(dm.ADO_DB);
    query.setSql(QStringLiteral("select extract(year from data)::integer as y from "
                                "accounts_dep.smena group by 1 order by count(*) desc, 1 desc "
                                "limit 1"));
    query.open();
    return QDate(int(query.integer(QStringLiteral("y"))), 1, 1);
}

} // namespace

void chartsBench(bench::Run &run)
{
    TDataModule6 dm;
    dm.ADO_DB.setConnectionString(connection::build(run.database(), run.server()));
    dm.ADO_DB.open();
    const QDate from = busiestYear(dm);
    const QDate to = from.addYears(1);

    ChartsWindow window(dm);
    window.resize(1100, 720);
    window.show();
    QApplication::processEvents();
    const char *const names[ChartsWindow::ChartCount] = {"output by day and shift",
                                                         "pay by day and shift",
                                                         "top 20 workers by pay", "rejects by day"};
    for (int which = 0; which < ChartsWindow::ChartCount; ++which) {
        const auto chart = ChartsWindow::Chart(which);
        window.Tabs->setCurrentIndex(which);
        for (int i = 0; i < run.runs(); ++i) {
            // Nothing read before: the output and pay charts each read their own figures here.
            window.setPeriod(from, to, ProductKind::All);
            QImage image(window.chart(chart).size().toSize(), QImage::Format_RGB32);
            run.time(
                QStringLiteral("%1, a year: statement, chart, paint")
                    .arg(QLatin1String(names[which])),
                [&] {
                    window.drawChart(chart);
                    QApplication::processEvents();
                    image.fill(Qt::white);
                    QPainter painter(&image);
                    window.view(chart).render(&painter);
                },
                // The limit is set for the benchmark's shop; on the larger one a year holds four
                // times the entries.
                run.onLargerShop() ? std::nullopt
                                   : std::optional<bench::Target>(bench::Target{1.0}));
        }
    }
    Dataset count(dm.ADO_DB);
    count.setSql(QStringLiteral("select count(*) as n from accounts_dep.smena where data>=:data1 "
                                "and data<:data2"));
    count.setParam(QStringLiteral("data1"), from);
    count.setParam(QStringLiteral("data2"), to);
    count.open();
    run.note(QStringLiteral("charts: the year %1, %2 shift entries")
                 .arg(from.year())
                 .arg(count.integer(QStringLiteral("n"))));
}
