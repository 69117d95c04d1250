#include "app/login_dialog.h"
#include "db/data_module.h"
#include "designs/report_functions.h"
#include "reports/charts_window.h"
#include "reports/summary_reports.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/shown_text.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/clock.h"
#include "ui/locale_setup.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <map>

namespace {

// One shift entry of the fixture as the test knows it, to sum independently of the program.
struct Fixture
{
    qint64 worker;
    QString name;
    qint64 product;
    qint64 operation;
    int naimen;
    QDate day;
    int shift;
    int hours;
    int pieces;
    int rejects;
    double price;
};

bool kindPasses(int naimen, ProductKind kind)
{
    return kind == ProductKind::All || (kind == ProductKind::Finished && naimen == 0) ||
           (kind == ProductKind::Blanks && naimen == 1);
}

// A chart's first series of a type.
template<typename Series>
Series *seriesOf(const QChart &chart)
{
    for (QAbstractSeries *series : chart.series())
        if (auto *found = qobject_cast<Series *>(series))
            return found;
    return nullptr;
}

QList<qreal> valuesOf(const QBarSet &set)
{
    QList<qreal> values;
    for (int i = 0; i < set.count(); ++i)
        values.append(set.at(i));
    return values;
}

// The figure printed after "Итого:" at the given place (0 the first figure) on a report's last
// page, as a number.
double reportTotal(const report::PreparedReport &prepared, int place)
{
    const QStringList texts = prepared.texts(prepared.pageCount() - 1);
    const qsizetype at = texts.lastIndexOf(QStringLiteral("Итого:"));
    return texts.value(at + 1 + place).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

bool near(double a, double b)
{
    return std::abs(a - b) < 0.005;
}

} // namespace

// The period charts: their series read back from the chart objects equal the sums of the
// fixture's entries computed here, and the period reports' totals; each chart saved as PNG and
// as PDF and printed; a click on a day leads to the shift log of that day.
//
// February 2024 begins on a Thursday; the 3rd and 4th are a Saturday and a Sunday. The entries
// spread over shifts 1 to 3 and the overtime list, finished products and blanks, a day with every
// piece rejected, two entries of one worker in one shift, and entries just outside the period.
const QString LongName =
    QStringLiteral("Константинопольский-Задунайский Александр Вениаминович (бригада №12)");

class TestCharts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("charts"));
        m_dm = m_db->connect();
        TDataModule6 &dm = *m_dm;
        const seed::SmallShop s = seed::smallShop(dm);
        const auto add = [&](qint64 worker, const QString &name, qint64 product, qint64 operation,
                             int naimen, QDate day, int shift, int hours, int pieces, int rejects,
                             double price) {
            seed::entry(dm, {worker, product, operation, day, shift, hours, pieces, rejects, price,
                             QStringLiteral("ok"), 0});
            m_entries.append({worker, name, product, operation, naimen, day, shift, hours, pieces,
                              rejects, price});
        };
        const QString antonov = QStringLiteral("Антонов А.А.");
        const QString borisov = QStringLiteral("Борисов Б.Б.");
        const QString vasiliev = QStringLiteral("Васильев В.В.");
        add(s.antonov, antonov, s.lid, s.castLid, 0, QDate(2024, 2, 1), 1, 8, 100, 4, 1.5);
        add(s.antonov, antonov, s.lid, s.paintLid, 0, QDate(2024, 2, 1), 1, 2, 10, 0, 2.25);
        add(s.borisov, borisov, s.lid, s.paintLid, 0, QDate(2024, 2, 1), 2, 6, 50, 5, 2.5);
        add(s.vasiliev, vasiliev, s.box, s.castBox, 1, QDate(2024, 2, 1), 4, 4, 30, 0, 3.2);
        add(s.antonov, antonov, s.lid, s.castLid, 0, QDate(2024, 2, 3), 3, 5, 20, 1, 3.6);
        add(s.borisov, borisov, s.box, s.castBox, 1, QDate(2024, 2, 5), 1, 2, 10, 10, 3);
        add(s.vasiliev, vasiliev, s.lid, s.castLid, 0, QDate(2024, 2, 29), 3, 7, 40, 2, 1.8);
        add(s.antonov, antonov, s.lid, s.castLid, 0, QDate(2024, 3, 1), 1, 8, 1000, 0, 1.5);
        add(s.borisov, borisov, s.lid, s.castLid, 0, QDate(2024, 1, 31), 1, 8, 500, 0, 1.5);
        // A name longer than the workers' chart has room for, alone in May.
        add(seed::worker(dm, LongName), LongName, s.lid, s.castLid, 0, QDate(2024, 5, 6), 1, 4, 100,
            0, 1.25);
        // More workers than the chart shows, in pairs of equal pay.
        for (int n = 1; n <= 22; ++n) {
            const QString name = QStringLiteral("Рабочий %1").arg(n, 2, 10, QLatin1Char('0'));
            add(seed::worker(dm, name), name, s.lid, s.castLid, 0, QDate(2024, 2, 6), 2, 1,
                10 + n / 2, 0, 1.1);
        }
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }
    void init()
    {
        m_window = std::make_unique<ChartsWindow>(*m_dm);
        m_window->resize(1000, 700);
    }
    void cleanup() { m_window.reset(); }

    void figures_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("kind");
        const QDate feb(2024, 2, 1);
        const QDate mar(2024, 3, 1);
        QTest::newRow("February") << feb << mar << int(ProductKind::All);
        QTest::newRow("February, finished products") << feb << mar << int(ProductKind::Finished);
        QTest::newRow("February, blanks") << feb << mar << int(ProductKind::Blanks);
        QTest::newRow("a Saturday alone")
            << QDate(2024, 2, 3) << QDate(2024, 2, 4) << int(ProductKind::All);
        QTest::newRow("a week without entries")
            << QDate(2024, 4, 1) << QDate(2024, 4, 8) << int(ProductKind::All);
        QTest::newRow("empty period") << feb << feb << int(ProductKind::All);
        QTest::newRow("end before start") << mar << feb << int(ProductKind::All);
    }
    // Every chart's series against the fixture summed here: good pieces and pay per day and
    // shift, the days off shaded, the best-paid workers with their hours, the rejects per day and
    // the period's average.
    void figures()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(int, kind);
        m_window->draw(from, to, ProductKind(kind));

        const int days = int(qMax<qint64>(0, from.daysTo(to)));
        QVector<std::array<qint64, 4>> pieces(days);
        QVector<std::array<double, 4>> pay(days);
        QVector<qint64> all(days);
        QVector<qint64> rejects(days);
        std::map<qint64, std::pair<double, qint64>> byWorker;
        std::map<qint64, QString> names;
        for (const Fixture &e : std::as_const(m_entries)) {
            if (e.day < from || e.day >= to || !kindPasses(e.naimen, ProductKind(kind)))
                continue;
            const int i = int(from.daysTo(e.day));
            pieces[i][e.shift - 1] += e.pieces - e.rejects;
            pay[i][e.shift - 1] += (e.pieces - e.rejects) * e.price;
            all[i] += e.pieces;
            rejects[i] += e.rejects;
            byWorker[e.worker].first += (e.pieces - e.rejects) * e.price;
            byWorker[e.worker].second += e.hours;
            names[e.worker] = e.name;
        }

        // Output and pay, one set per shift, one value per day.
        const QStringList shifts = {QStringLiteral("1 смена"), QStringLiteral("2 смена"),
                                    QStringLiteral("3 смена"), QStringLiteral("Переработка")};
        for (const bool money : {false, true}) {
            const QChart &chart =
                m_window->chart(money ? ChartsWindow::DailyPay : ChartsWindow::DailyPieces);
            const auto *stacked = seriesOf<QStackedBarSeries>(chart);
            QVERIFY(stacked);
            QCOMPARE(stacked->count(), 4);
            for (int shift = 0; shift < 4; ++shift) {
                const QBarSet &set = *stacked->barSets().at(shift);
                QCOMPARE(set.label(), shifts.at(shift));
                QCOMPARE(set.count(), days);
                for (int i = 0; i < days; ++i) {
                    const double expected = money ? pay[i][shift] : double(pieces[i][shift]);
                    QVERIFY2(near(set.at(i), expected),
                             qPrintable(QStringLiteral("%1 %2 day %3: %4, expected %5")
                                            .arg(money ? "pay" : "pieces", shifts.at(shift))
                                            .arg(i + 1)
                                            .arg(set.at(i))
                                            .arg(expected)));
                }
            }

            // The days off shaded: Saturdays and Sundays and the public holidays of the period
            // (23 February and 8 March 2024 are Fridays), and no other day.
            const auto *area = seriesOf<QAreaSeries>(chart);
            QSet<int> shaded;
            if (area) {
                QCOMPARE(area->name(), QStringLiteral("Выходные дни"));
                const QList<QPointF> points = area->upperSeries()->points();
                for (int p = 0; p + 3 < points.size(); p += 4)
                    for (int i = qRound(points.at(p).x() + 0.5); i < points.at(p + 3).x(); ++i)
                        shaded.insert(i);
            }
            QSet<int> weekends;
            for (int i = 0; i < days; ++i)
                if (from.addDays(i).dayOfWeek() >= 6 || from.addDays(i) == QDate(2024, 2, 23) ||
                    from.addDays(i) == QDate(2024, 3, 8))
                    weekends.insert(i);
            QCOMPARE(shaded, weekends);
        }

        // The best-paid workers, highest pay first (by name on equal pay), at most twenty; the
        // chart lists them from the bottom up.
        std::vector<std::pair<qint64, std::pair<double, qint64>>> ranked(byWorker.begin(),
                                                                         byWorker.end());
        std::sort(ranked.begin(), ranked.end(), [&](const auto &a, const auto &b) {
            if (!near(a.second.first, b.second.first))
                return a.second.first > b.second.first;
            return names[a.first] < names[b.first];
        });
        if (ranked.size() > 20)
            ranked.resize(20);
        const QChart &workers = m_window->chart(ChartsWindow::Workers);
        const QList<QHorizontalBarSeries *> bars = [&] {
            QList<QHorizontalBarSeries *> found;
            for (QAbstractSeries *series : workers.series())
                found.append(qobject_cast<QHorizontalBarSeries *>(series));
            return found;
        }();
        QCOMPARE(bars.size(), 2);
        const QBarSet *paySet = nullptr;
        const QBarSet *hoursSet = nullptr;
        for (const QHorizontalBarSeries *series : bars) {
            QVERIFY(series);
            for (const QBarSet *set : series->barSets()) {
                if (set->label() == QStringLiteral("Сдельная оплата, руб."))
                    paySet = set;
                else if (set->label() == QStringLiteral("Часы"))
                    hoursSet = set;
            }
        }
        QVERIFY(paySet && hoursSet);
        const auto *names_axis =
            qobject_cast<QBarCategoryAxis *>(workers.axes(Qt::Vertical).value(0));
        QVERIFY(names_axis);
        const int n = int(ranked.size());
        QCOMPARE(paySet->count(), n);
        QCOMPARE(hoursSet->count(), n);
        QCOMPARE(names_axis->count(), n);
        for (int r = 0; r < n; ++r) {
            const int row = n - 1 - r;
            const auto &[worker, figures] = ranked.at(size_t(r));
            QVERIFY2(near(paySet->at(row), figures.first), qPrintable(names[worker]));
            QCOMPARE(qint64(hoursSet->at(row)), figures.second);
            // The name with the average pay per hour, decimal comma.
            const QString perHour = QString::number(figures.first / double(figures.second), 'f', 2)
                                        .replace(QLatin1Char('.'), QLatin1Char(','));
            QCOMPARE(names_axis->at(row).trimmed(),
                     names[worker] + QStringLiteral(" · ") + perHour + QStringLiteral(" руб./ч"));
        }

        // Rejects per day as a share of the pieces, and the period's share as a line.
        const QChart &rejectChart = m_window->chart(ChartsWindow::Rejects);
        const auto *rejectBars = seriesOf<QBarSeries>(rejectChart);
        QVERIFY(rejectBars);
        QCOMPARE(rejectBars->count(), 1);
        const QList<qreal> shares = valuesOf(*rejectBars->barSets().first());
        QCOMPARE(shares.size(), days);
        qint64 allPieces = 0;
        qint64 allRejects = 0;
        for (int i = 0; i < days; ++i) {
            QVERIFY(near(shares.at(i), all[i] ? 100.0 * rejects[i] / all[i] : 0));
            allPieces += all[i];
            allRejects += rejects[i];
        }
        const auto *average = seriesOf<QLineSeries>(rejectChart);
        QVERIFY(average);
        const double expected = allPieces ? 100.0 * allRejects / allPieces : 0;
        QCOMPARE(average->count(), days > 0 ? 2 : 0);
        for (const QPointF &point : average->points())
            QVERIFY(near(point.y(), expected));
        QCOMPARE(average->name(), QStringLiteral("Среднее за период: %1 %")
                                      .arg(QString::number(expected, 'f', 2).replace('.', ',')));
    }

    // A long name is shortened, never the pay per hour after it; the tip names it in full.
    void longNameKeepsPayPerHour()
    {
        m_window->draw(QDate(2024, 5, 1), QDate(2024, 6, 1), ProductKind::All);
        const auto *names = qobject_cast<QBarCategoryAxis *>(
            m_window->chart(ChartsWindow::Workers).axes(Qt::Vertical).value(0));
        QVERIFY(names);
        QCOMPARE(names->count(), 1);
        const QString label = names->at(0);
        QVERIFY2(label.endsWith(QStringLiteral("… · 31,25 руб./ч")), qPrintable(label));
        QVERIFY(LongName.startsWith(label.left(label.indexOf(QChar(0x2026)))));
        QVERIFY(m_window->tip(ChartsWindow::Workers, 0, 0).contains(LongName));
    }

    // A worker's name with markup in it shows as written in the workers' chart (its labels are
    // drawn as rich text) and in the tip over the bars.
    void markupInWorkerName()
    {
        const QString name = QStringLiteral("<b>Б</b> & <i>К</i>");
        const Fixture &any = m_entries.first();
        const qint64 worker = seed::worker(*m_dm, name);
        seed::entry(*m_dm, {worker, any.product, any.operation, QDate(2024, 7, 3), 1, 4, 10, 0,
                            1.25, QStringLiteral("ok"), 0});
        const auto restore = qScopeGuard([&] {
            TestDatabase::exec(
                *m_dm, QStringLiteral("delete from accounts_dep.smena where w_id=%1").arg(worker));
        });
        m_window->draw(QDate(2024, 7, 1), QDate(2024, 8, 1), ProductKind::All);
        const auto *names = qobject_cast<QBarCategoryAxis *>(
            m_window->chart(ChartsWindow::Workers).axes(Qt::Vertical).value(0));
        QVERIFY(names);
        QCOMPARE(names->count(), 1);
        const QString label = shownText(names->at(0), true);
        QVERIFY2(label.startsWith(name + QStringLiteral(" · ")), qPrintable(label));
        QVERIFY(m_window->tip(ChartsWindow::Workers, 0, 0).startsWith(name + QLatin1Char('\n')));
    }

    void equalReports_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("every kind") << int(ProductKind::All);
        QTest::newRow("finished products") << int(ProductKind::Finished);
        QTest::newRow("blanks") << int(ProductKind::Blanks);
    }
    // The charts' sums over the period are the totals the period reports print for it: good
    // pieces of the product report, pieces, rejects and pay of the detailed product report.
    void equalReports()
    {
        QFETCH(int, kind);
        const QDate from(2024, 2, 1);
        const QDate to(2024, 3, 1);
        m_window->draw(from, to, ProductKind(kind));
        const auto sumOf = [&](ChartsWindow::Chart which) {
            double sum = 0;
            for (const QBarSet *set :
                 seriesOf<QStackedBarSeries>(m_window->chart(which))->barSets())
                for (int i = 0; i < set->count(); ++i)
                    sum += set->at(i);
            return sum;
        };
        const QVector<charts::DayRejects> days =
            charts::dailyRejects(*m_dm, from, to, ProductKind(kind));
        qint64 pieces = 0;
        qint64 rejects = 0;
        for (const charts::DayRejects &day : days) {
            pieces += day.pieces;
            rejects += day.rejects;
        }

        const report::PreparedReport products = reporting::preparePeriodReport(
            *m_dm, reporting::PeriodReport::Products, from, to, ProductKind(kind));
        QCOMPARE(sumOf(ChartsWindow::DailyPieces), reportTotal(products, 1));
        const report::PreparedReport detailed = reporting::preparePeriodReport(
            *m_dm, reporting::PeriodReport::ProductsDetailed, from, to, ProductKind(kind));
        QCOMPARE(double(rejects), reportTotal(detailed, 0));
        QCOMPARE(double(pieces), reportTotal(detailed, 2));
        QVERIFY2(near(sumOf(ChartsWindow::DailyPay), reportTotal(detailed, 3)),
                 qPrintable(QString::number(sumOf(ChartsWindow::DailyPay))));
    }

    void output_data()
    {
        QTest::addColumn<int>("chart");
        QTest::addColumn<QString>("word");
        QTest::newRow("output") << int(ChartsWindow::DailyPieces) << QStringLiteral("Переработка");
        QTest::newRow("pay") << int(ChartsWindow::DailyPay) << QStringLiteral("Переработка");
        QTest::newRow("workers") << int(ChartsWindow::Workers) << QStringLiteral("Антонов");
        QTest::newRow("rejects") << int(ChartsWindow::Rejects) << QStringLiteral("Среднее");
    }
    // Each chart as a PNG (twice the size shown, with more on it than blank paper), as a vector
    // PDF whose texts an independent reader finds, and printed through the report preview; the
    // buttons ask where to save, and a file that cannot be written is said so.
    void output()
    {
        QFETCH(int, chart);
        QFETCH(QString, word);
        const auto which = ChartsWindow::Chart(chart);
        m_window->draw(QDate(2024, 2, 1), QDate(2024, 3, 1), ProductKind::All);
        m_window->Tabs->setCurrentIndex(chart);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

        const QString png = m_dir.filePath(QStringLiteral("chart%1.png").arg(chart));
        QVERIFY(m_window->savePng(which, png));
        const QImage image(png);
        QCOMPARE(image.size(), m_window->chart(which).size().toSize() * 2);
        QSet<QRgb> colours;
        int inked = 0;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                const QRgb pixel = image.pixel(x, y);
                colours.insert(pixel);
                inked += pixel != qRgb(255, 255, 255);
            }
        }
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
        QVERIFY(inked > image.width() * image.height() / 4 / 50);

        // Through the button and the file dialog; the text of the PDF is the chart's own.
        const QString path = m_dir.filePath(QStringLiteral("chart%1.pdf").arg(chart));
        ModalScript save([&](QDialog &dialog) {
            auto &files = static_cast<QFileDialog &>(dialog);
            QCOMPARE(files.acceptMode(), QFileDialog::AcceptSave);
            files.selectFile(path);
            dialog.accept();
        });
        m_window->ButtonPdf->click();
        QCOMPARE(save.opened, QList<QString>{QStringLiteral("SaveChart")});
        QVERIFY(QFileInfo(path).size() > 0);
        QCOMPARE(pdf::pageCount(path), 1);
        const QString text = pdf::lines(path).join(QLatin1Char(' '));
        QVERIFY2(text.contains(word), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("за период с 01.02.2024 по 01.03.2024")),
                 qPrintable(text));

        PreviewCapture capture(m_dir.path());
        m_window->ButtonPrint->click();
        QCOMPARE(capture.titles, QStringList{m_window->title(which)});
        const QString printed = pdf::lines(capture.files.value(0)).join(QLatin1Char(' '));
        QVERIFY2(printed.contains(word), qPrintable(printed));

        MessageRecorder messages;
        QVERIFY(!m_window->savePdf(which, m_dir.filePath(QStringLiteral("missing/chart.pdf"))));
        ModalScript refused([&](QDialog &dialog) {
            static_cast<QFileDialog &>(dialog).selectFile(
                m_dir.filePath(QStringLiteral("missing/chart.png")));
            dialog.accept();
        });
        m_window->ButtonPng->click();
        QCOMPARE(messages.described().size(), 1);
        QVERIFY2(messages.described().first().startsWith(
                     QStringLiteral("error Ошибка: Не удалось записать файл")),
                 qPrintable(messages.described().first()));
    }

    // A click on a day's column chooses that day and closes the window; a click beside the plot
    // or on the workers' chart chooses nothing.
    void clickOnDay_data()
    {
        QTest::addColumn<int>("chart");
        QTest::newRow("output") << int(ChartsWindow::DailyPieces);
        QTest::newRow("pay") << int(ChartsWindow::DailyPay);
        QTest::newRow("rejects") << int(ChartsWindow::Rejects);
    }
    void clickOnDay()
    {
        QFETCH(int, chart);
        const auto which = ChartsWindow::Chart(chart);
        m_window->draw(QDate(2024, 2, 1), QDate(2024, 3, 1), ProductKind::All);
        m_window->Tabs->setCurrentIndex(chart);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QChartView &view = m_window->view(which);

        // Resting on the 1st's bar shows its exact figures.
        QTest::mouseMove(view.viewport(), QPoint(3, 3));
        QTest::mouseMove(view.viewport(), dayPosition(which, 0));
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(shownText(QToolTip::text()).startsWith(QStringLiteral("чт 01.02.2024\n")),
                 qPrintable(QToolTip::text()));

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(m_window->isVisible());
        QVERIFY(!m_window->chosenDay().isValid());

        // Near the foot of the 5th's column, where an empty day has no bar either.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, dayPosition(which, 4));
        QCOMPARE(m_window->chosenDay(), QDate(2024, 2, 5));
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_window->result(), int(QDialog::Accepted));

        QChartView &workers = m_window->view(ChartsWindow::Workers);
        QVERIFY(
            !m_window->dayAt(ChartsWindow::Workers, workers.viewport()->rect().center()).isValid());
    }

    // From the shift log's menu to the summary reports, their charts, and a click on the 5th:
    // the charts and the reports close and the shift log lists the 5th. The planning role, whose
    // shift log stays on today, clicks in vain.
    void clickOpensShiftLog_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("follows");
        QTest::newRow("full access") << QStringLiteral("9073") << true;
        QTest::newRow("planning") << QStringLiteral("vadrik") << false;
    }
    void clickOpensShiftLog()
    {
        QFETCH(QString, code);
        QFETCH(bool, follows);
        RunningProgram program(*m_db);
        QVERIFY(program.started());
        TForm1 &log = program.mainWindow();
        QDate listed;
        int entries = -1;
        ModalScript modal([&](QDialog &dialog) {
            const QString name = dialog.objectName();
            if (name == QLatin1String("TForm1")) {
                log.N10->trigger();
                listed = log.DateT->date();
                entries = log.shiftQuery().recordCount();
            } else if (name == QLatin1String("TForm18")) {
                auto &reports = static_cast<TForm18 &>(dialog);
                reports.DTPicker1->setDate(QDate(2024, 2, 1));
                reports.DTPicker2->setDate(QDate(2024, 3, 1));
                reports.Button7->click();
            } else if (name == QLatin1String("ChartsWindow")) {
                auto &charts = static_cast<ChartsWindow &>(dialog);
                charts.resize(1000, 700);
                charts.show();
                QVERIFY(QTest::qWaitForWindowExposed(&charts));
                QTest::mouseClick(charts.view(ChartsWindow::DailyPieces).viewport(), Qt::LeftButton,
                                  {}, dayPosition(charts, ChartsWindow::DailyPieces, 4));
                QCOMPARE(charts.isVisible(), !follows);
                charts.hide();
            }
        });
        TForm23 &login = program.loginDialog();
        login.Edit1->setText(code);
        login.Button1->click();
        QCOMPARE(modal.opened, (QList<QString>{QStringLiteral("TForm1"), QStringLiteral("TForm18"),
                                               QStringLiteral("ChartsWindow")}));
        if (follows) {
            QCOMPARE(listed, QDate(2024, 2, 5));
            // Борисов's entry of the 5th, in shift 1.
            QCOMPARE(entries, 1);
        } else {
            QCOMPARE(listed, Clock::today());
        }
    }

private:
    QPoint dayPosition(ChartsWindow::Chart which, int index) const
    {
        return dayPosition(*m_window, which, index);
    }
    static QPoint dayPosition(const ChartsWindow &window, ChartsWindow::Chart which, int index)
    {
        QChart &chart = window.chart(which);
        const QPointF inChart = chart.mapToPosition(QPointF(index, 0), chart.series().last());
        return window.view(which).mapFromScene(chart.mapToScene(inChart - QPointF(0, 5)));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    QVector<Fixture> m_entries;
    std::unique_ptr<ChartsWindow> m_window;
};

TABEL_TEST_MAIN(TestCharts)
#include "tst_charts.moc"
