#include "db/data_module.h"
#include "db/production_calendar.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/shown_text.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "timesheets/monthly_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"
#include "ui/lookup_combo.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>

namespace {

constexpr int Household = 7777;
constexpr int Average = 7778;
const QStringList Months{
    QStringLiteral("Январь"),  QStringLiteral("Февраль"), QStringLiteral("Март"),
    QStringLiteral("Апрель"),  QStringLiteral("Май"),     QStringLiteral("Июнь"),
    QStringLiteral("Июль"),    QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
    QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"),  QStringLiteral("Декабрь")};
const QString NotRebuilt = QStringLiteral("Табель не перестроен: строки месяца остались прежними.");

// One hour-paid entry.
struct HourPaid
{
    qint64 worker;
    int kind;
    QDate day;
    int hours;
    double price = 100;
    int night = 0;
};

QString dayList()
{
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << sql::dayColumn(day);
    return days.join(QLatin1String(", "));
}

} // namespace

// The monthly timesheet window in its four modes: columns, month layout, totals and footer, the
// rebuild of the month's hour-paid rows and the export.
class TestMonthlyTimesheet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        QVERIFY(m_dir.isValid());
        XlsxExport::setFolder(m_dir.path());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("monthly_timesheet"));
        m_dm = m_db->connect();
        m_product = seed::product(*m_dm, QStringLiteral("ТП-120"));
        m_op = seed::operation(*m_dm, seed::kind(*m_dm, QStringLiteral("Литьё")), m_product, 0,
                               {10.0});
        m_anna = seed::worker(*m_dm, QStringLiteral("Анисимова А.А."));
        m_boris = seed::worker(*m_dm, QStringLiteral("Борисов Б.Б."));
        m_vera = seed::worker(*m_dm, QStringLiteral("Верина В.В."));
    }
    void cleanupTestCase()
    {
        XlsxExport::setFolder({});
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }
    void init()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena; delete from "
                                                 "accounts_dep.fatigue; delete from "
                                                 "accounts_dep.h_tabel"));
        m_window = std::make_unique<TForm27>(*m_dm);
    }
    void cleanup() { m_window.reset(); }

    // Each menu item opens its mode with its caption, query and columns on today's month; on
    // closing, the piece-work and overall modes give the columns back to the other modes.
    void modes_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("nameWidth");
        QTest::addColumn<bool>("night");
        QTest::addColumn<bool>("hourPrice");
        QTest::newRow("piece-work") << 9 << QStringLiteral("Табель сделка (27)")
                                    << QStringLiteral("H_Tabel0") << 238 << false << true;
        QTest::newRow("household works") << 14 << QStringLiteral("Табель хоз. работы (27)")
                                         << QStringLiteral("H_Tabel7777") << 208 << true << true;
        QTest::newRow("average piece rate") << 15 << QStringLiteral("Табель ср. сдельная (27)")
                                            << QStringLiteral("H_Tabel7778") << 208 << true << true;
        QTest::newRow("overall") << 17 << QStringLiteral("Общий табель (27)")
                                 << QStringLiteral("H_Tabel_all") << 304 << false << false;
    }
    void modes()
    {
        QFETCH(int, tag);
        QFETCH(QString, caption);
        QFETCH(QString, query);
        QFETCH(int, nameWidth);
        QFETCH(bool, night);
        QFETCH(bool, hourPrice);
        // Today is in December (31 days): no day column is hidden.
        addRow(m_anna, 12, 2026, 1, 0, 0, {{4, 8}});
        addRow(m_anna, 12, 2026, 0, Household, 0, {{4, 3}});
        addRow(m_anna, 12, 2026, 0, Average, 0, {{4, 2}});
        // Left over by an earlier opening in another mode: this opening sets its own columns.
        w().setMode(tag == 17 ? 9 : 17);
        runMode(tag, [&] {
            QCOMPARE(w().windowTitle(), caption);
            QCOMPARE(w().Tag, tag);
            DatasetModel *model = grid().gridModel();
            QVERIFY(model);
            QCOMPARE(model->dataset().objectName(), query);
            QVERIFY(model->dataset().isOpen());
            QCOMPARE(model->rowCount(), 1);
            QCOMPARE(w().ComboBox1->currentText(), QStringLiteral("Декабрь"));
            QCOMPARE(w().cb_year->shownText(), QStringLiteral("2026"));
            QCOMPARE(w().Button2->text(), QStringLiteral("Excel"));

            const QStringList titles{QStringLiteral("Фамилия И. О."),
                                     QStringLiteral(" "),
                                     QStringLiteral("1"),
                                     QStringLiteral("31"),
                                     QStringLiteral("Итого (р.)"),
                                     QStringLiteral("Итого (ч.)"),
                                     QStringLiteral("Час (р.)")};
            const int sections[] = {0, 1, 2, 32, 33, 34, 35};
            for (int i = 0; i < 7; ++i)
                QCOMPARE(model->headerData(sections[i], Qt::Horizontal).toString(), titles[i]);
            QCOMPARE(grid().columnWidth(TForm27::NameColumn), nameWidth);
            QCOMPARE(grid().isColumnHidden(TForm27::NightColumn), !night);
            QCOMPARE(grid().isColumnHidden(TForm27::HourPriceColumn), !hourPrice);
            if (night)
                QCOMPARE(grid().columnWidth(TForm27::NightColumn), 30);
            for (int day = 1; day <= 31; ++day) {
                QVERIFY(!grid().isColumnHidden(day + 1));
                QCOMPARE(grid().columnWidth(day + 1), 20);
            }
            for (int column : {33, 34, 35}) {
                if (!grid().isColumnHidden(column))
                    QCOMPARE(grid().columnWidth(column), 66);
                const QModelIndex total = model->index(0, column);
                QCOMPARE(total.data(Qt::BackgroundRole).value<QBrush>().color(),
                         QColor(225, 228, 255));
                QVERIFY(total.data(Qt::FontRole).value<QFont>().bold());
            }
            QCOMPARE(visibleWidth(), 1056);
        });
        QCOMPARE(grid().columnWidth(TForm27::NameColumn), 208);
        QVERIFY(!grid().isColumnHidden(TForm27::NightColumn));
        QVERIFY(!grid().isColumnHidden(TForm27::HourPriceColumn));
        QCOMPARE(grid().columnWidth(TForm27::NightColumn), 30);
        QCOMPARE(grid().columnWidth(TForm27::HourPriceColumn), 66);
        QVERIFY(!w().currentQuery().isOpen());
        QVERIFY(!w().q_year->isOpen());
        // The user may resize the window (tst_window_geometry: the grid takes the room).
        QVERIFY(w().minimumSize() != w().maximumSize());
    }

    // Only the month's days have columns; the days off of the production calendar (Saturdays,
    // Sundays, public holidays and the days off moved from them) have red titles and red hours;
    // the name column takes the room of the hidden days.
    void monthLayout_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("days");
        QTest::addColumn<QList<int>>("daysOff"); // all of them, read off a printed calendar
        QTest::addColumn<int>("namedDay");       // its title names it on hover; 0: none checked
        QTest::addColumn<QString>("name");
        QTest::newRow("31 days, New Year holidays")
            << 1 << 2024 << 31 << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 20, 21, 27, 28} << 8
            << "Новогодние каникулы";
        QTest::newRow("30 days") << 4 << 2024 << 30 << QList<int>{6, 7, 13, 14, 20, 21, 27, 28} << 0
                                 << "";
        QTest::newRow("leap February, holiday on a Friday")
            << 2 << 2024 << 29 << QList<int>{3, 4, 10, 11, 17, 18, 23, 24, 25} << 23
            << "День защитника Отечества";
        QTest::newRow("February, holiday on a Thursday")
            << 2 << 2023 << 28 << QList<int>{4, 5, 11, 12, 18, 19, 23, 25, 26} << 0 << "";
        QTest::newRow("starting on a Sunday")
            << 9 << 2024 << 30 << QList<int>{1, 7, 8, 14, 15, 21, 22, 28, 29} << 0 << "";
        QTest::newRow("holiday on a Saturday moved to Monday")
            << 5 << 2026 << 31 << QList<int>{1, 2, 3, 9, 10, 11, 16, 17, 23, 24, 30, 31} << 11
            << "Перенос с 09.05";
    }
    void monthLayout()
    {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(int, days);
        QFETCH(QList<int>, daysOff);
        QFETCH(int, namedDay);
        QFETCH(QString, name);
        QList<std::pair<int, int>> hours;
        for (int day = 1; day <= days; ++day)
            hours.append({day, 1});
        addRow(m_anna, month, year, 1, 0, 0, hours);
        runMode(9, [&] {
            choose(w().cb_year, QString::number(year));
            choose(w().ComboBox1, Months.at(month - 1));
            QCOMPARE(w().month(), month);
            QCOMPARE(w().year(), year);
            QAbstractItemModel *model = grid().model();
            QCOMPARE(model->rowCount(), 1);
            const auto red = [&](int day) {
                const QColor red(255, 0, 0);
                const QVariant title =
                    model->headerData(day + 1, Qt::Horizontal, Qt::ForegroundRole);
                const QVariant cell = model->index(0, day + 1).data(Qt::ForegroundRole);
                const bool titleRed = title.isValid() && title.value<QBrush>().color() == red;
                const bool cellRed = cell.isValid() && cell.value<QBrush>().color() == red;
                return titleRed && cellRed ? 1 : !titleRed && !cellRed ? 0 : -1;
            };
            for (int day = 1; day <= days; ++day) {
                QVERIFY(!grid().isColumnHidden(day + 1));
                QCOMPARE(model->index(0, day + 1).data().toString(), QStringLiteral("1"));
                QCOMPARE(red(day), daysOff.contains(day) ? 1 : 0);
                const QString tip =
                    model->headerData(day + 1, Qt::Horizontal, Qt::ToolTipRole).toString();
                if (day == namedDay)
                    QCOMPARE(shownText(tip), name);
                else if (!daysOff.contains(day))
                    QVERIFY2(tip.isEmpty(), qPrintable(tip)); // an ordinary working day has no name
            }
            for (int day = days + 1; day <= 31; ++day)
                QVERIFY(grid().isColumnHidden(day + 1));
            QCOMPARE(grid().columnWidth(TForm27::NameColumn), 238 + 20 * (31 - days));
            QCOMPARE(visibleWidth(), 1056);
        });
    }

    // A day's name with markup in it shows on hover over its title as written, not drawn as a red
    // banner over the window.
    void markupInDayName()
    {
        calendar::setDay(m_dm->ADO_DB, QDate(2026, 6, 17), true, markupName());
        const auto restore = qScopeGuard([&] {
            TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.prod_calendar "
                                                     "where d_date = '2026-06-17'"));
        });
        addRow(m_anna, 6, 2026, 1, 0, 0, {{17, 8}});
        runMode(9, [&] {
            choose(w().cb_year, QStringLiteral("2026"));
            choose(w().ComboBox1, Months.at(5));
            const QString tip =
                grid().model()->headerData(17 + 1, Qt::Horizontal, Qt::ToolTipRole).toString();
            QCOMPARE(shownText(tip), markupName());
        });
    }

    // Going back and forth between short and long months leaves the name column at the mode's
    // width plus 20 per hidden day, not wider.
    void switchingMonths()
    {
        addRow(m_anna, 3, 2023, 1, 0, 0, {{1, 1}});
        runMode(17, [&] {
            for (int round = 0; round < 3; ++round) {
                w().selectMonth(2, 2023);
                QCOMPARE(grid().columnWidth(TForm27::NameColumn), 304 + 60);
                QVERIFY(grid().isColumnHidden(2 + 28));
                w().selectMonth(3, 2023);
                QCOMPARE(grid().columnWidth(TForm27::NameColumn), 304);
                QVERIFY(!grid().isColumnHidden(2 + 30));
                QCOMPARE(visibleWidth(), 1056);
            }
        });
    }

    // Day columns sum the worker's rows of the mode; the totals come from the entries of the
    // month (not from the day columns), figures computed by hand.
    void totals_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("rows"); // name|day/night|day=hours|hours|money|per hour
        QTest::newRow("piece-work")
            << 9
            << QStringList{QStringLiteral("Анисимова А.А.|-|1=8,15=4|12|23,25|1,94"),
                           // a monthly row but no entries in the month
                           QStringLiteral("Борисов Б.Б.|-|2=7|||0")};
        QTest::newRow("household works")
            << 14
            << QStringList{QStringLiteral("Анисимова А.А.|дн.|3=3|3|301,5|100,5"),
                           QStringLiteral("Анисимова А.А.|ноч.|3=2|2|241,2|120,6"),
                           QStringLiteral("Верина В.В.|дн.|10=0|0|0|0")};
        QTest::newRow("average piece rate")
            << 15 << QStringList{QStringLiteral("Анисимова А.А.|дн.|5=4|4|200|50")};
        QTest::newRow("overall")
            << 17
            << QStringList{QStringLiteral("Анисимова А.А.|-|1=8,3=5,5=4,15=4|21|765,95|-"),
                           QStringLiteral("Борисов Б.Б.|-|2=7|0|0|-"),
                           QStringLiteral("Верина В.В.|-|10=0|0|0|-")};
    }
    void totals()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, rows);
        seedMarch();
        runMode(tag, [&] {
            w().selectMonth(3, 2024);
            QCOMPARE(gridRows(), rows);
            // The footer does not depend on the mode.
            QCOMPARE(footer(), QStringLiteral("200|542,7|23,25|765,95"));
        });
    }

    // The footer follows the selected month: its entries only, from the first day of the month
    // to the first day of the next.
    void footerFollowsTheMonth()
    {
        seedMarch();
        runMode(9, [&] {
            w().selectMonth(3, 2024);
            QCOMPARE(footer(), QStringLiteral("200|542,7|23,25|765,95"));
            choose(w().ComboBox1, QStringLiteral("Апрель"));
            // 1 April: 100 pieces at 1.00 and 10 household hours at 100.00.
            QCOMPARE(footer(), QStringLiteral("|1000|100|1100"));
            choose(w().ComboBox1, QStringLiteral("Февраль"));
            // 29 February: 50 pieces at 1.00, 10 household hours at 100.00, 1 hour of average
            // piece rate at 0 (not counted).
            QCOMPARE(footer(), QStringLiteral("|1000|50|1050"));
        });
    }

    // December ends before 1 January of the next year: grid and footer cover exactly December.
    void decemberBounds()
    {
        const QDate days[] = {QDate(2024, 11, 30), QDate(2024, 12, 1), QDate(2024, 12, 31),
                              QDate(2025, 1, 1)};
        const int pieces[] = {1000, 1, 2, 4000};
        const double prices[] = {10000, 10, 20, 40000};
        for (int i = 0; i < 4; ++i) {
            seed::Entry entry{m_anna, m_product, m_op, days[i]};
            entry.pieces = pieces[i];
            seed::entry(*m_dm, entry);
            addHourPaid({m_anna, Average, days[i], 1, prices[i]});
        }
        addRow(m_anna, 12, 2024, 1, 0, 0, {{1, 8}, {31, 8}});
        addRow(m_anna, 12, 2024, 0, Average, 0, {{1, 1}, {31, 1}});
        for (int tag : {9, 17, 15}) {
            runMode(tag, [&] {
                w().selectMonth(12, 2024);
                QCOMPARE(footer(), QStringLiteral("30||3|33"));
                const QStringList expected{
                    tag == 9    ? QStringLiteral("Анисимова А.А.|-|1=8,31=8|16|3|0,19")
                    : tag == 17 ? QStringLiteral("Анисимова А.А.|-|1=9,31=9|18|33|-")
                                : QStringLiteral("Анисимова А.А.|дн.|1=1,31=1|2|30|15")};
                QCOMPARE(gridRows(), expected);
            });
        }
    }

    // "Итого:" stays empty when the month has money of one part only.
    void overallEmptyWithOnePart_data()
    {
        QTest::addColumn<bool>("shifts");
        QTest::addColumn<QString>("footer");
        QTest::newRow("shift entries only") << true << QStringLiteral("||12|");
        QTest::newRow("hour-paid entries only") << false << QStringLiteral("|301,5||");
    }
    void overallEmptyWithOnePart()
    {
        QFETCH(bool, shifts);
        QFETCH(QString, footer);
        if (shifts) {
            seed::Entry entry{m_anna, m_product, m_op, QDate(2024, 3, 1)};
            entry.pieces = 10;
            entry.rejects = 2;
            entry.price = 1.5;
            seed::entry(*m_dm, entry);
        } else {
            addHourPaid({m_anna, Household, QDate(2024, 3, 3), 3, 100.5});
        }
        addRow(m_anna, 3, 2024, 1, 0, 0, {{1, 8}});
        runMode(17, [&] {
            w().selectMonth(3, 2024);
            QCOMPARE(this->footer(), footer);
        });
    }

    // "Обновить" reads the rows again for the same month.
    void refreshReadsAgain()
    {
        addRow(m_anna, 3, 2024, 1, 0, 0, {{1, 8}});
        runMode(9, [&] {
            w().selectMonth(3, 2024);
            QCOMPARE(grid().model()->rowCount(), 1);
            addRow(m_boris, 3, 2024, 2, 0, 0, {{2, 4}});
            w().Button5->click();
            QCOMPARE(grid().model()->rowCount(), 2);
            QCOMPARE(w().month(), 3);
        });
    }

    // The rebuild leaves exactly the rows the entries give, whatever the mode: one row per
    // worker, kind and flag with a value on every day with entries (0 where they sum to 0) and
    // nothing on other days. Shift rows and other months stay as they were.
    void rebuildMatchesEntries_data()
    {
        QTest::addColumn<int>("tag");
        QTest::newRow("piece-work") << 9;
        QTest::newRow("household works") << 14;
    }
    void rebuildMatchesEntries()
    {
        QFETCH(int, tag);
        const QList<HourPaid> entries{
            // days 3 and 5, each with day and night work
            {m_anna, Household, QDate(2024, 3, 3), 3},
            {m_anna, Household, QDate(2024, 3, 3), 2, 100, 1},
            {m_anna, Household, QDate(2024, 3, 5), 4},
            {m_anna, Household, QDate(2024, 3, 5), 2},
            {m_anna, Household, QDate(2024, 3, 5), 1, 100, 1},
            {m_anna, Average, QDate(2024, 3, 31), 5},
            {m_boris, Average, QDate(2024, 3, 2), 0},
            {m_boris, Average, QDate(2024, 3, 2), 0},
            {m_boris, Average, QDate(2024, 3, 1), 6},
            {m_vera, Household, QDate(2024, 3, 1), 7, 100, 1},
        };
        for (const HourPaid &entry : entries)
            addHourPaid(entry);
        // Other months' entries.
        addHourPaid({m_anna, Household, QDate(2024, 2, 29), 9});
        addHourPaid({m_anna, Household, QDate(2024, 4, 1), 9});
        // Stale rows of the month: a day without entries and a key without entries.
        addRow(m_anna, 3, 2024, 0, Household, 0, {{3, 1}, {9, 99}});
        addRow(m_vera, 3, 2024, 0, Average, 0, {{4, 5}});
        // Rows that stay: shift rows of the month, hour-paid rows of the next month.
        addRow(m_anna, 3, 2024, 1, 0, 0, {{1, 8}});
        addRow(m_boris, 3, 2024, 2, 0, 0, {{3, 4}});
        addRow(m_anna, 4, 2024, 0, Household, 0, {{1, 3}});
        const QString kept = QStringLiteral("smena>0 or month<>3");
        const QString before = snapshot(kept);

        QMap<QString, QMap<int, int>> expected; // "worker/kind/flag" → day → hours
        for (const HourPaid &entry : entries)
            expected[QStringLiteral("%1/%2/%3").arg(entry.worker).arg(entry.kind).arg(entry.night)]
                    [entry.day.day()] += entry.hours;

        MessageRecorder recorder;
        QList<int> progress;
        QList<bool> barShown;
        connect(w().PB, &QProgressBar::valueChanged, this, [&](int value) {
            progress << value;
            barShown << !w().PB->isHidden();
        });
        runMode(tag, [&] {
            w().selectMonth(3, 2024);
            w().Button3->click();
            QVERIFY(w().currentQuery().isOpen());
            if (tag == 14)
                QCOMPARE(gridRows(),
                         (QStringList{QStringLiteral("Анисимова А.А.|дн.|3=3,5=6|9|900|100"),
                                      QStringLiteral("Анисимова А.А.|ноч.|3=2,5=1|3|300|100"),
                                      QStringLiteral("Верина В.В.|ноч.|1=7|7|700|100")}));
        });
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(w().PB->isHidden());
        QCOMPARE(w().PB->maximum(), 31);
        QVERIFY(progress.size() > 2);
        QCOMPARE(progress.last(), 31);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QVERIFY(!barShown.contains(false));

        QSqlQuery rows = m_dm->ADO_DB.run(
            QStringLiteral("select w_id, i_type, i_night, %1 from accounts_dep.h_tabel where "
                           "month=3 and year=2024 and smena=0")
                .arg(dayList()));
        QMap<QString, QMap<int, int>> actual;
        while (rows.next()) {
            const QString key = QStringLiteral("%1/%2/%3")
                                    .arg(rows.value(0).toLongLong())
                                    .arg(rows.value(1).toLongLong())
                                    .arg(rows.value(2).toLongLong());
            QVERIFY2(!actual.contains(key), qPrintable(key));
            QMap<int, int> &days = actual[key];
            for (int day = 1; day <= 31; ++day)
                if (!rows.value(2 + day).isNull())
                    days[day] = rows.value(2 + day).toInt();
        }
        QCOMPARE(actual, expected);
        QCOMPARE(snapshot(kept), before);
    }

    // A rebuild never resizes the window, also when the month's figures are long (totals of
    // eight digits in the footer and the grid): the progress bar takes the room the row has, it
    // never asks the window for more (1271 pixels once became 1362, and the width was kept).
    void rebuildKeepsTheWindowSize()
    {
        for (int day = 1; day <= 28; ++day) {
            addHourPaid({m_anna, Household, QDate(2024, 3, day), 12, 98765.43});
            addHourPaid({m_boris, Average, QDate(2024, 3, day), 24, 123456.78, 1});
        }
        // The year is offered once it has monthly rows.
        addRow(m_anna, 3, 2024, 1, 0, 0, {{1, 8}});
        MessageRecorder recorder;
        for (const int tag : {14, 15}) {
            runMode(tag, [&] {
                w().show();
                QVERIFY(QTest::qWaitForWindowExposed(&w()));
                const QSize size = w().size();
                w().selectMonth(3, 2024);
                QCOMPARE(w().DBText1->text(), QStringLiteral("82962956,16"));
                QCOMPARE(w().size(), size);
                // The window as a display lays it out while the bar shows.
                QList<int> widths;
                const QMetaObject::Connection watch =
                    connect(w().PB, &QProgressBar::valueChanged, this, [&] {
                        w().layout()->activate();
                        widths << w().width();
                    });
                w().Button3->click();
                disconnect(watch);
                QVERIFY(!widths.isEmpty());
                QCOMPARE(*std::max_element(widths.begin(), widths.end()), size.width());
                QApplication::processEvents();
                QCOMPARE(w().size(), size);
                w().hide();
            });
        }
        QVERIFY(recorder.shown.isEmpty());
    }

    // A rebuild that fails part-way leaves the month as it was and says so; once the cause is
    // gone, the next rebuild goes through.
    void failedRebuildChangesNothing()
    {
        addHourPaid({m_anna, Household, QDate(2024, 3, 5), 4});
        addHourPaid({m_anna, Household, QDate(2024, 3, 20), 6});
        // The month's rows are the case's own, not those posted from the entries above.
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.h_tabel where w_id=%1 "
                                                 "and month=3 and year=2024")
                                      .arg(m_anna));
        addRow(m_anna, 3, 2024, 0, Household, 0, {{1, 11}});
        addRow(m_anna, 3, 2024, 1, 0, 0, {{1, 8}});
        TestDatabase::exec(*m_dm,
                           QStringLiteral("create function public.refuse_day20() returns trigger "
                                          "language plpgsql as $$ begin if new.d20 is not null "
                                          "then raise exception 'no day 20'; end if; return new; "
                                          "end $$; create trigger refuse_day20 before insert or "
                                          "update on accounts_dep.h_tabel for each row execute "
                                          "function public.refuse_day20()"));
        const QString before = snapshot(QStringLiteral("true"));
        MessageRecorder recorder;
        runMode(14, [&] {
            w().selectMonth(3, 2024);
            w().Button3->click();
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
            QCOMPARE(recorder.shown.first().text, NotRebuilt);
            QVERIFY(recorder.shown.first().detail.contains(QStringLiteral("no day 20")));
            QCOMPARE(snapshot(QStringLiteral("true")), before);
            QVERIFY(w().PB->isHidden());
            QVERIFY(w().Button3->isEnabled());
            QCOMPARE(gridRows(),
                     QStringList{QStringLiteral("Анисимова А.А.|дн.|1=11|10|1000|100")});

            TestDatabase::exec(*m_dm,
                               QStringLiteral("drop trigger refuse_day20 on accounts_dep.h_tabel; "
                                              "drop function public.refuse_day20()"));
            w().Button3->click();
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(gridRows(),
                     QStringList{QStringLiteral("Анисимова А.А.|дн.|5=4,20=6|10|1000|100")});
        });
    }

    // The export writes the month, the titles and a line per row; the day/night column only for
    // hour-paid work, "Час (р.)" in every mode but the overall one; hours before money.
    void exportColumns_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("lines"); // column 1, 2, days 1/3/5/15, 34, 35, 36
        const auto line = [](const QStringList &cells) { return cells.join(QLatin1Char('|')); };
        QTest::newRow("piece-work")
            << 9
            << QStringList{line({"Анисимова А.А.", "", "8", "", "", "4", "12", "23.25", "1.94"}),
                           line({"Борисов Б.Б.", "", "", "", "", "", "", "", "0"})};
        QTest::newRow("household works")
            << 14
            << QStringList{line({"Анисимова А.А.", "дн.", "", "3", "", "", "3", "301.5", "100.5"}),
                           line({"Анисимова А.А.", "ноч.", "", "2", "", "", "2", "241.2", "120.6"}),
                           line({"Верина В.В.", "дн.", "", "", "", "", "0", "0", "0"})};
        QTest::newRow("average piece rate")
            << 15
            << QStringList{line({"Анисимова А.А.", "дн.", "", "", "4", "", "4", "200", "50"})};
        QTest::newRow("overall")
            << 17
            << QStringList{line({"Анисимова А.А.", "", "8", "5", "4", "4", "21", "765.95", ""}),
                           line({"Борисов Б.Б.", "", "", "", "", "", "0", "0", ""}),
                           line({"Верина В.В.", "", "", "", "", "", "0", "0", ""})};
    }
    void exportColumns()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, lines);
        seedMarch();
        OpenerRecorder opener;
        runMode(tag, [&] {
            w().selectMonth(3, 2024);
            const int row = grid().currentIndex().row();
            w().Button2->click();
            QCOMPARE(w().Button2->text(), QStringLiteral("Excel (%1 из %1)").arg(lines.size()));
            QCOMPARE(grid().currentIndex().row(), row);
        });
        QCOMPARE(w().Button2->text(), QStringLiteral("Excel"));
        QCOMPARE(opener.opened.size(), 1);
        const QJsonObject book = readBack(opener.opened.first());
        QCOMPARE(cellText(book, 1, 1), QStringLiteral("Март 2024"));
        QStringList titles;
        for (int column : {1, 2, 3, 33, 34, 35, 36})
            titles << cellText(book, column, 2);
        QCOMPARE(titles.join(QLatin1Char('|')),
                 QStringLiteral("Фамилия И.О.||1|31|Итого (ч.)|Итого (р.)") +
                     (tag == 17 ? QStringLiteral("|") : QStringLiteral("|Час (р.)")));
        QVERIFY(cellAt(book, 1, 2).value(QStringLiteral("bold")).toBool());
        QStringList written;
        for (int row = 3; !cellText(book, 1, row).isEmpty(); ++row) {
            QStringList cells;
            for (int column : {1, 2, 3, 5, 7, 17, 34, 35, 36})
                cells << cellText(book, column, row);
            written << cells.join(QLatin1Char('|'));
        }
        written.sort();
        lines.sort();
        QCOMPARE(written, lines);
        // No cell at all in the columns a mode leaves out, not even empty ones.
        const QStringList keys = book.value(QStringLiteral("cells")).toObject().keys();
        const bool night = tag == 14 || tag == 15;
        QCOMPARE(keys.filter(QRegularExpression(QStringLiteral("^2,"))).isEmpty(), !night);
        QCOMPARE(keys.filter(QRegularExpression(QStringLiteral("^36,"))).isEmpty(), tag == 17);
    }

    // The year box offers the current year before any monthly row of it exists, and the rebuild
    // works on the year the box shows.
    void yearBoxOffersTheCurrentYear()
    {
        addRow(m_anna, 12, 2024, 1, 0, 0, {{1, 8}});
        addHourPaid({m_anna, Household, QDate(2026, 12, 7), 5});
        addHourPaid({m_boris, Household, QDate(2024, 12, 9), 2});
        // The current year's rows not written yet (entries typed before the database posted them).
        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.h_tabel where year=2026"));
        runMode(14, [&] {
            QStringList years;
            for (int i = 0; i < w().cb_year->count(); ++i)
                years << w().cb_year->itemText(i);
            QCOMPARE(years, (QStringList{QStringLiteral("2024"), QStringLiteral("2026")}));
            QCOMPARE(w().cb_year->shownText(), QStringLiteral("2026"));
            QCOMPARE(w().ComboBox1->currentText(), QStringLiteral("Декабрь"));
            QCOMPARE(grid().model()->rowCount(), 0);
            w().Button3->click();
            QCOMPARE(gridRows(), QStringList{QStringLiteral("Анисимова А.А.|дн.|7=5|5|500|100")});

            choose(w().cb_year, QStringLiteral("2024"));
            QCOMPARE(w().year(), 2024);
            w().Button3->click();
            QCOMPARE(gridRows(), QStringList{QStringLiteral("Борисов Б.Б.|дн.|9=2|2|200|100")});
        });
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.h_tabel where smena=0")),
                 2);
    }

private:
    TForm27 &w() { return *m_window; }
    DataGrid &grid() { return *w().DBGrid; }

    // Opens the window as the menu does and runs the checks while it is shown.
    void runMode(int tag, const std::function<void()> &checks)
    {
        ModalScript modal([&](QDialog &) { checks(); });
        w().showMode(tag, nullptr);
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm27")});
    }

    // Picks an entry of a box as the user does.
    static void choose(QComboBox *box, const QString &text)
    {
        const int index = box->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    }

    int visibleWidth()
    {
        int width = 0;
        for (int column = 0; column < grid().model()->columnCount(); ++column)
            if (!grid().isColumnHidden(column))
                width += grid().columnWidth(column);
        return width;
    }

    // The grid's rows as the user reads them: name|day/night|day=hours,...|hours|money|per hour,
    // sorted; a hidden column reads "-".
    QStringList gridRows()
    {
        QAbstractItemModel *model = grid().model();
        const auto text = [&](int row, int column) {
            return grid().isColumnHidden(column) ? QStringLiteral("-")
                                                 : model->index(row, column).data().toString();
        };
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList days;
            for (int day = 1; day <= 31; ++day) {
                const QString hours = text(row, day + 1);
                if (!hours.isEmpty() && hours != QLatin1String("-"))
                    days << QStringLiteral("%1=%2").arg(day).arg(hours);
            }
            rows << QStringList{text(row, TForm27::NameColumn),
                                text(row, TForm27::NightColumn),
                                days.join(QLatin1Char(',')),
                                text(row, TForm27::HoursColumn),
                                text(row, TForm27::MoneyColumn),
                                text(row, TForm27::HourPriceColumn)}
                        .join(QLatin1Char('|'));
        }
        rows.sort();
        return rows;
    }

    // "Ср. сдел.:|Хоз. работы:|Сделка:|Итого:" values as shown.
    QString footer()
    {
        return QStringList{w().DBText1->text(), w().DBText2->text(), w().DBText3->text(),
                           w().DBText4->text()}
            .join(QLatin1Char('|'));
    }

    // Every monthly row matching the condition, as text, in key order.
    QString snapshot(const QString &where)
    {
        QSqlQuery query =
            m_dm->ADO_DB.run(QStringLiteral("select string_agg(h::text, ';' order by h.id) from "
                                            "accounts_dep.h_tabel h where %1")
                                 .arg(where));
        query.next();
        return query.value(0).toString();
    }

    void addRow(qint64 worker, int month, int year, int shift, int kind, int night,
                const QList<std::pair<int, int>> &hours)
    {
        QStringList columns;
        QStringList values;
        for (const auto &[day, value] : hours) {
            columns << QStringLiteral(", ") + sql::dayColumn(day);
            values << QStringLiteral(", ") + QString::number(value);
        }
        TestDatabase::exec(*m_dm,
                           QStringLiteral("insert into accounts_dep.h_tabel(w_id, month, year, "
                                          "smena, i_type, i_night%1) values (%2, %3, %4, %5, %6, "
                                          "%7%8)")
                               .arg(columns.join(QString()))
                               .arg(worker)
                               .arg(month)
                               .arg(year)
                               .arg(shift)
                               .arg(kind)
                               .arg(night)
                               .arg(values.join(QString())));
    }

    void addHourPaid(const HourPaid &e)
    {
        TestDatabase::exec(
            *m_dm, QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, "
                                  "i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) "
                                  "values (0, %1, %2, %3, %4, %5, 1, %6, %7, 0, %8)")
                       .arg(e.kind)
                       .arg(e.worker)
                       .arg(sql::toDate(e.day))
                       .arg(e.day.month())
                       .arg(e.day.year())
                       .arg(e.hours)
                       .arg(sql::decimal(e.price))
                       .arg(e.night));
    }

    // March 2024 with entries on its edges outside it, and monthly rows that differ from the
    // entries (the totals come from the entries).
    void seedMarch()
    {
        const auto shiftEntry = [&](const QDate &day, int shift, int pieces, int rejects,
                                    double price, int hours) {
            seed::Entry entry{m_anna, m_product, m_op, day};
            entry.shift = shift;
            entry.pieces = pieces;
            entry.rejects = rejects;
            entry.price = price;
            entry.hours = hours;
            seed::entry(*m_dm, entry);
        };
        shiftEntry(QDate(2024, 3, 1), 1, 10, 2, 1.5, 8);  // 12.00
        shiftEntry(QDate(2024, 3, 15), 3, 5, 0, 2.25, 4); // 11.25
        shiftEntry(QDate(2024, 2, 29), 1, 50, 0, 1, 8);
        shiftEntry(QDate(2024, 4, 1), 1, 100, 0, 1, 8);
        addHourPaid({m_anna, Household, QDate(2024, 3, 3), 3, 100.5});    // 301.50
        addHourPaid({m_anna, Household, QDate(2024, 3, 3), 2, 120.6, 1}); // 241.20
        addHourPaid({m_anna, Average, QDate(2024, 3, 5), 4, 50});         // 200.00
        addHourPaid({m_vera, Household, QDate(2024, 3, 10), 0, 100});
        addHourPaid({m_anna, Household, QDate(2024, 2, 29), 10, 100});
        addHourPaid({m_anna, Average, QDate(2024, 2, 29), 1, 0});
        addHourPaid({m_anna, Household, QDate(2024, 4, 1), 10, 100});
        addRow(m_anna, 3, 2024, 1, 0, 0, {{1, 8}});
        addRow(m_anna, 3, 2024, 3, 0, 0, {{15, 4}});
        addRow(m_boris, 3, 2024, 1, 0, 0, {{2, 7}});
        addRow(m_anna, 3, 2024, 0, Household, 0, {{3, 3}});
        addRow(m_anna, 3, 2024, 0, Household, 1, {{3, 2}});
        addRow(m_anna, 3, 2024, 0, Average, 0, {{5, 4}});
        addRow(m_vera, 3, 2024, 0, Household, 0, {{10, 0}});
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm27> m_window;
    qint64 m_product = 0;
    qint64 m_op = 0;
    qint64 m_anna = 0;
    qint64 m_boris = 0;
    qint64 m_vera = 0;
};

TABEL_TEST_MAIN(TestMonthlyTimesheet)
#include "tst_monthly_timesheet.moc"
