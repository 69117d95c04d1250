#include "catalogues/production_calendar_window.h"
#include "db/data_module.h"
#include "db/month_days.h"
#include "db/production_calendar.h"
#include "support/recorders.h"
#include "support/shown_text.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/clock.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

// The production calendar: which days are days off, the filling of a year with the public
// holidays, and the window in which the office changes it.
class TestProductionCalendar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("production_calendar"));
        m_dm = m_db->connect();
        m_other = m_db->connect();
        // The decree of 2025 moved the day off of Saturday 1 November onto Monday 3 November.
        calendar::setDay(conn(), QDate(2025, 11, 1), false, QStringLiteral("Перенос на 03.11"));
        calendar::setDay(conn(), QDate(2025, 11, 3), true, QStringLiteral("Перенос с 01.11"));
    }
    void cleanupTestCase()
    {
        m_other.reset();
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // A day is off as the calendar has it: the public holidays of the Labour Code, a holiday on a
    // Saturday or Sunday moving the day off to the next working day (not the New Year holidays
    // from 2013 on), the decree's days entered by hand, else Saturday and Sunday. The query for
    // a day and the month's one query agree.
    void dayOff_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<QString>("name");
        QTest::newRow("ordinary weekday") << QDate(2025, 6, 11) << false << "";
        QTest::newRow("ordinary Saturday") << QDate(2025, 6, 14) << true << "";
        QTest::newRow("ordinary Sunday") << QDate(2026, 6, 14) << true << "";
        QTest::newRow("holiday on a Thursday") << QDate(2025, 6, 12) << true << "День России";
        QTest::newRow("holiday on a Wednesday")
            << QDate(2026, 11, 4) << true << "День народного единства";
        QTest::newRow("holiday on a Saturday")
            << QDate(2025, 3, 8) << true << "Международный женский день";
        QTest::newRow("its Monday") << QDate(2025, 3, 10) << true << "Перенос с 08.03";
        QTest::newRow("holiday on a Sunday")
            << QDate(2025, 2, 23) << true << "День защитника Отечества";
        QTest::newRow("its Monday, 2025") << QDate(2025, 2, 24) << true << "Перенос с 23.02";
        QTest::newRow("Victory Day on a Saturday") << QDate(2026, 5, 9) << true << "День Победы";
        QTest::newRow("its Monday, 2026") << QDate(2026, 5, 11) << true << "Перенос с 09.05";
        QTest::newRow("the Tuesday after") << QDate(2026, 5, 12) << false << "";
        QTest::newRow("Saturday worked by decree")
            << QDate(2025, 11, 1) << false << "Перенос на 03.11";
        QTest::newRow("Monday off by decree") << QDate(2025, 11, 3) << true << "Перенос с 01.11";
        QTest::newRow("New Year holiday on a Monday")
            << QDate(2026, 1, 5) << true << "Новогодние каникулы";
        QTest::newRow("8 January") << QDate(2025, 1, 8) << true << "Новогодние каникулы";
        QTest::newRow("Christmas") << QDate(2026, 1, 7) << true << "Рождество Христово";
        // Only the decree moves the New Year days that fell on 3 and 4 January 2026.
        QTest::newRow("9 January without the decree") << QDate(2026, 1, 9) << false << "";
        // Until 2012 the New Year holidays ended on 5 January and moved like the others.
        QTest::newRow("6 January 2012, moved from Sunday 1 January")
            << QDate(2012, 1, 6) << true << "Перенос с 01.01";
        QTest::newRow("9 January 2012, moved from Saturday 7 January")
            << QDate(2012, 1, 9) << true << "Перенос с 07.01";
        QTest::newRow("6 January 2011, moved from Saturday 1 January")
            << QDate(2011, 1, 6) << true << "Перенос с 01.01";
        QTest::newRow("11 January 2011") << QDate(2011, 1, 11) << false << "";
        QTest::newRow("6 January 2014") << QDate(2014, 1, 6) << true << "Новогодние каникулы";
    }
    void dayOff()
    {
        QFETCH(QDate, date);
        QFETCH(bool, dayOff);
        QFETCH(QString, name);
        QCOMPARE(calendar::isDayOff(conn(), date), dayOff);
        QCOMPARE(calendar::day(conn(), date).name, name);
        const MonthDays month(conn(), date.month(), date.year());
        QCOMPARE(month.days[date.day() - 1].dayOff, dayOff);
        QCOMPARE(month.days[date.day() - 1].name, name);
    }

    // A year with nothing stored gets its holidays once; a year the office has started on, or
    // one before the list of 2005, is left alone.
    void fillYear()
    {
        const auto count = [this](int year) {
            return TestDatabase::scalar(
                *m_dm, QStringLiteral("select count(*) from accounts_dep.prod_calendar where "
                                      "extract(year from d_date)=%1")
                           .arg(year));
        };
        QCOMPARE(count(2030), 0);
        // 14 holidays; Saturday 23 February moves to Monday 25 February.
        QCOMPARE(calendar::fillYears(conn(), 2030, 2030), 15);
        QCOMPARE(calendar::day(conn(), QDate(2030, 2, 25)).name, QStringLiteral("Перенос с 23.02"));
        QCOMPARE(calendar::fillYears(conn(), 2030, 2030), 0);
        QCOMPARE(count(2030), 15);

        calendar::setDay(conn(), QDate(2031, 3, 3), true, QStringLiteral("По решению"));
        QCOMPARE(calendar::fillYears(conn(), 2031, 2031), 0);
        QCOMPARE(count(2031), 1);
        QCOMPARE(calendar::fillYears(conn(), 2004, 2004), 0);
        QCOMPARE(count(2004), 0);
    }

    // Two copies starting at once fill a new year once: the second waits for the first and
    // finds the year there, instead of failing on the days the first has just stored.
    void twoCopiesFillOnce()
    {
        Transaction first(conn());
        QCOMPARE(calendar::fillYears(conn(), 2034, 2034), 15);
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGDATABASE"), m_db->name());
        second.setProcessEnvironment(environment);
        second.setProcessChannelMode(QProcess::MergedChannels);
        second.start(QStandardPaths::findExecutable(QStringLiteral("psql")),
                     {QStringLiteral("-X"), QStringLiteral("-At"), QStringLiteral("-c"),
                      QStringLiteral("select accounts_dep.prod_calendar_fill(2034)")});
        QVERIFY(second.waitForStarted());
        // The second copy waits on the year's lock until the first commits.
        QVERIFY(!second.waitForFinished(1000));
        first.commit();
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAll()).trimmed(), QStringLiteral("0"));
        QCOMPARE(TestDatabase::scalar(
                     *m_other, QStringLiteral("select count(*) from accounts_dep.prod_calendar "
                                              "where extract(year from d_date)=2034")),
                 15);
    }

    // Each change stores only what differs from the weekday rule, with the name as typed.
    void setDay_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored"); // kind and name, empty when no row
        QTest::newRow("weekday holiday made a working day") << QDate(2027, 11, 4) << false << ""
                                                            << "";
        QTest::newRow("Saturday made a working day")
            << QDate(2027, 6, 19) << false << "Перенос на 21.06"
            << "рабочий Перенос на 21.06";
        QTest::newRow("weekday made a day off")
            << QDate(2027, 6, 21) << true << "  Перенос с 19.06 "
            << "выходной Перенос с 19.06";
        QTest::newRow("name with quotes") << QDate(2027, 6, 22) << true << "День 'цеха'; --"
                                          << "выходной День 'цеха'; --";
        QTest::newRow("Saturday holiday made a working day") << QDate(2027, 5, 1) << false << ""
                                                             << "рабочий ";
        QTest::newRow("Saturday back to a day off") << QDate(2027, 6, 19) << true << "x"
                                                    << "";
    }
    void setDay()
    {
        QFETCH(QDate, date);
        QFETCH(bool, dayOff);
        QFETCH(QString, name);
        QFETCH(QString, stored);
        calendar::setDay(conn(), date, dayOff, name);
        QSqlQuery row = m_other->ADO_DB.run(
            QStringLiteral("select kind || ' ' || s_name from accounts_dep.prod_calendar where "
                           "d_date='%1'")
                .arg(date.toString(Qt::ISODate)));
        QCOMPARE(row.next() ? row.value(0).toString() : QString(), stored);
        QCOMPARE(calendar::isDayOff(m_other->ADO_DB, date), dayOff);
    }

    // The window with full access: a click or Space on a day changes it at once, as another copy
    // sees; a day leaving the weekday rule asks for its name first, "Отмена" changes nothing.
    void windowTogglesDays()
    {
        ProductionCalendar window(*m_dm);
        window.setReadOnly(false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.loadYear(2026);
        QStringList asked;
        QString typed;
        bool accept = true;
        ModalScript modal([&](QDialog &dialog) {
            auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("DayName"));
            QVERIFY(box);
            asked << dialog.windowTitle();
            typeText(box, typed);
            (accept ? dialog.findChild<QPushButton *>(QStringLiteral("OkButton"))
                    : dialog.findChild<QPushButton *>(QStringLiteral("CancelButton")))
                ->click();
        });

        typed = QStringLiteral("Перенос на 02.11");
        click(window, QDate(2026, 10, 31));
        QCOMPARE(asked, QStringList{QStringLiteral("Рабочий день")});
        QVERIFY(!calendar::isDayOff(m_other->ADO_DB, QDate(2026, 10, 31)));
        QCOMPARE(calendar::day(m_other->ADO_DB, QDate(2026, 10, 31)).name, typed);
        QCOMPARE(foreground(window, QDate(2026, 10, 31)), QColor(Qt::black));

        typed = QStringLiteral("Перенос с 31.10");
        space(window, QDate(2026, 11, 2));
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.last(), QStringLiteral("Выходной день"));
        QVERIFY(calendar::isDayOff(m_other->ADO_DB, QDate(2026, 11, 2)));
        QVERIFY(foreground(window, QDate(2026, 11, 2)) != QColor(Qt::black));
        QVERIFY(tooltip(window, QDate(2026, 11, 2)).contains(typed));
        QCOMPARE(window.Months[10]->currentIndex().data().toInt(), 2);

        // Back to what the weekday says: no question, the stored day goes.
        space(window, QDate(2026, 6, 12));
        click(window, QDate(2026, 10, 31));
        QCOMPARE(asked.size(), 2);
        QVERIFY(!calendar::isDayOff(m_other->ADO_DB, QDate(2026, 6, 12)));
        QVERIFY(calendar::isDayOff(m_other->ADO_DB, QDate(2026, 10, 31)));
        QCOMPARE(TestDatabase::scalar(*m_other, QStringLiteral("select count(*) from "
                                                               "accounts_dep.prod_calendar where "
                                                               "d_date in ('2026-06-12', "
                                                               "'2026-10-31')")),
                 0);

        accept = false;
        click(window, QDate(2026, 11, 3));
        QCOMPARE(asked.size(), 3);
        QVERIFY(!calendar::isDayOff(m_other->ADO_DB, QDate(2026, 11, 3)));
        QCOMPARE(foreground(window, QDate(2026, 11, 3)), QColor(Qt::black));
    }

    // Holidays are red with their names on hover; the year's counts are shown.
    void windowShowsTheYear()
    {
        ProductionCalendar window(*m_dm);
        window.loadYear(2025);
        QVERIFY(foreground(window, QDate(2025, 6, 12)) != QColor(Qt::black));
        QVERIFY(tooltip(window, QDate(2025, 6, 12)).contains(QStringLiteral("День России")));
        QCOMPARE(foreground(window, QDate(2025, 6, 11)), QColor(Qt::black));
        QCOMPARE(foreground(window, QDate(2025, 11, 1)), QColor(Qt::black)); // worked Saturday
        // 104 Saturdays and Sundays and 12 holidays or moved days off on weekdays; the decree's
        // Saturday and Monday in November cancel out (its other moves are not entered here).
        QCOMPARE(window.Summary->text(),
                 QStringLiteral("2025 год: рабочих дней 249, выходных и праздничных 116"));
        QCOMPARE(window.YearBox->itemText(0), QStringLiteral("2007"));
        QCOMPARE(window.YearBox->itemText(window.YearBox->count() - 1), QStringLiteral("2027"));
    }

    // A day's name with markup in it shows on hover as written, not drawn as a red banner; the
    // screen reader's text is the plain sentence.
    void markupInDayName()
    {
        const QDate day(2025, 6, 18);
        calendar::setDay(conn(), day, true, markupName());
        const auto restore = qScopeGuard([&] {
            TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.prod_calendar where "
                                                     "d_date = '2025-06-18'"));
        });
        ProductionCalendar window(*m_dm);
        window.loadYear(2025);
        QVERIFY2(tooltip(window, day).endsWith(QStringLiteral(" — ") + markupName()),
                 qPrintable(tooltip(window, day)));
        QVERIFY(cell(window, day)
                    .data(Qt::AccessibleTextRole)
                    .toString()
                    .endsWith(QStringLiteral(" — ") + markupName()));
    }

    // Without full access nothing changes and nothing is asked (no modal script is there to
    // answer), and a year with nothing stored is shown by the weekday rule without storing it.
    // With full access opening such a year stores its holidays.
    void readOnlyWindow()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.prod_calendar where "
                                                 "d_date between '2027-01-01' and '2027-12-31'"));
        ProductionCalendar window(*m_dm);
        window.setReadOnly(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.loadYear(2027);
        QVERIFY(!calendar::hasYear(conn(), 2027));
        QCOMPARE(foreground(window, QDate(2027, 1, 5)), QColor(Qt::black));
        click(window, QDate(2027, 1, 9));
        space(window, QDate(2027, 1, 11));
        QVERIFY(!calendar::hasYear(conn(), 2027));

        window.setReadOnly(false);
        window.loadYear(2027);
        QVERIFY(calendar::hasYear(m_other->ADO_DB, 2027));
        QVERIFY(foreground(window, QDate(2027, 1, 5)) != QColor(Qt::black));
    }

private:
    Connection &conn() { return m_dm->ADO_DB; }

    static QModelIndex cell(ProductionCalendar &window, const QDate &date)
    {
        QTableView *view = window.Months[date.month() - 1];
        const auto *model = static_cast<CalendarMonthModel *>(view->model());
        return model->indexOf(date);
    }
    static void click(ProductionCalendar &window, const QDate &date)
    {
        QTableView *view = window.Months[date.month() - 1];
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(cell(window, date)).center());
    }
    static void space(ProductionCalendar &window, const QDate &date)
    {
        QTableView *view = window.Months[date.month() - 1];
        view->setCurrentIndex(cell(window, date));
        QTest::keyClick(view, Qt::Key_Space);
    }
    static QColor foreground(ProductionCalendar &window, const QDate &date)
    {
        return cell(window, date).data(Qt::ForegroundRole).value<QBrush>().color();
    }
    static QString tooltip(ProductionCalendar &window, const QDate &date)
    {
        return shownText(cell(window, date).data(Qt::ToolTipRole).toString());
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TDataModule6> m_other; // another copy of the program
};

TABEL_TEST_MAIN(TestProductionCalendar)
#include "tst_production_calendar.moc"
