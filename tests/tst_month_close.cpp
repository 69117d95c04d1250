#include "catalogues/nomenclature_groups.h"
#include "catalogues/workers.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/session_identity.h"
#include "reports/hours_table_layout.h"
#include "shiftlog/shift_entries.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/shift_log_links.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/hour_paid_writes.h"
#include "timesheets/month_rebuild.h"
#include "timesheets/monthly_timesheet.h"
#include "timesheets/shift_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/version_watch.h"

#include <QDateEdit>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

namespace {

// The writes a closed month must refuse, each one user action (with its posting).
enum class Write {
    Insert,
    ChangeInside,
    MoveIn,
    MoveOut,
    Delete,
    Accept,
    Posting,
    ShiftRebuild,
    HourPaidRebuild,
    HourPaidAdd,
    HourPaidDelete,
};

const QDate Today(2026, 12, 10);
const QString NovemberClosed =
    QStringLiteral("Ноябрь 2026 закрыт для изменений; изменения не записаны.");

} // namespace

// A paid month closed for changes: the database refuses every write to its entries and monthly
// rows, whoever makes it; the windows say so and offer nothing that would be refused.
class TestMonthClose : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        Clock::set(QDateTime(Today, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("month_close"));
        m_dm = m_db->connect();
        m_worker = seed::worker(*m_dm, QStringLiteral("Жуков Ж.Ж."));
        m_product = seed::product(*m_dm, QStringLiteral("КР-5"));
        const qint64 kind = seed::kind(*m_dm, QStringLiteral("Литьё"));
        m_operation = seed::operation(*m_dm, kind, m_product, 0, {2});
        m_group = seed::group(*m_dm, QStringLiteral("Крышки"));
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // Every case starts with November 2026 open, an entry on 10 November, one on 20 October and
    // an hour-paid entry on 11 November, and no monthly rows.
    void init()
    {
        TestDatabase::exec(*m_db->admin(), QStringLiteral("delete from accounts_dep.closed_month; "
                                                          "delete from accounts_dep.smena; "
                                                          "delete from accounts_dep.fatigue; "
                                                          "delete from accounts_dep.h_tabel"));
        m_november = seed::entry(*m_dm, {m_worker, m_product, m_operation, QDate(2026, 11, 10)});
        m_october = seed::entry(*m_dm, {m_worker, m_product, m_operation, QDate(2026, 10, 20)});
        seed::hourPaid(*m_dm, m_worker, m_group, 7777, QDate(2026, 11, 11), 5, 100, false);
        m_hourPaid = TestDatabase::scalar(*m_dm, QStringLiteral("select max(id) from "
                                                                "accounts_dep.fatigue"));
    }

    void refusedWhileClosed_data()
    {
        QTest::addColumn<int>("write");
        QTest::newRow("new entry") << int(Write::Insert);
        QTest::newRow("change inside the month") << int(Write::ChangeInside);
        QTest::newRow("entry moved into the month") << int(Write::MoveIn);
        QTest::newRow("entry moved out of the month") << int(Write::MoveOut);
        QTest::newRow("delete") << int(Write::Delete);
        QTest::newRow("acceptance") << int(Write::Accept);
        QTest::newRow("posting of a day") << int(Write::Posting);
        QTest::newRow("rebuild of the shift rows") << int(Write::ShiftRebuild);
        QTest::newRow("rebuild of the hour-paid rows") << int(Write::HourPaidRebuild);
        QTest::newRow("hour-paid entry added") << int(Write::HourPaidAdd);
        QTest::newRow("hour-paid entry deleted") << int(Write::HourPaidDelete);
    }
    // Each write touching a day of the closed month is refused by the database: the user reads
    // one sentence naming the month, and no entry, hour or monthly row changed. Opened again, the
    // same write lands.
    void refusedWhileClosed()
    {
        QFETCH(int, write);
        const QString before = snapshot();
        closedmonths::close(*m_dm, 11, 2026);
        {
            MessageRecorder recorder;
            QVERIFY(!guard::run([&] { perform(Write(write)); }));
            QCOMPARE(recorder.texts(), QStringList{NovemberClosed});
            QCOMPARE(recorder.shown.first().detail, QString());
        }
        QCOMPARE(snapshot(), before);
        QCOMPARE(m_dm->ADO_DB.transactionDepth(), 0);

        closedmonths::open(*m_dm, 11, 2026);
        perform(Write(write));
        QVERIFY(snapshot() != before);
    }

    // A write begun before the close and committed after it never lands in the closed month,
    // whatever the writer's isolation: the close waits for a write under way (of monthly rows
    // too), and a writer whose snapshot predates the close is refused with a serialization
    // failure (the program shows such a failure as its sentence and writes nothing).
    void writeBegunBeforeTheClose_data()
    {
        QTest::addColumn<QString>("isolation");
        QTest::addColumn<QString>("statement"); // with WORKER, PRODUCT and OPERATION
        const QString monthlyRow = QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, month, year, smena, d12) values (WORKER, 11, "
            "2026, 2, 5) on conflict (w_id, month, year, smena, i_type, i_night) do update set "
            "d12=excluded.d12");
        const QString entry = QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
            "color, time, ok) values (WORKER, PRODUCT, OPERATION, 1, 1, 0, '2026-11-12', 2, 0, 4, "
            "'no')");
        QTest::newRow("monthly row, read committed") << "read committed" << monthlyRow;
        QTest::newRow("monthly row, repeatable read") << "repeatable read" << monthlyRow;
        QTest::newRow("entry, repeatable read") << "repeatable read" << entry;
        QTest::newRow("entry, serializable") << "serializable" << entry;
    }
    void writeBegunBeforeTheClose()
    {
        QFETCH(QString, isolation);
        QFETCH(QString, statement);
        statement.replace(QLatin1String("WORKER"), QString::number(m_worker))
            .replace(QLatin1String("PRODUCT"), QString::number(m_product))
            .replace(QLatin1String("OPERATION"), QString::number(m_operation));
        auto writer = m_db->connect();
        auto closer = m_db->connect();
        const QString before = snapshot();
        writer->ADO_DB.begin();
        writer->ADO_DB.run(QStringLiteral("set transaction isolation level %1").arg(isolation));
        writer->ADO_DB.run(QStringLiteral("select count(*) from accounts_dep.smena"));
        if (isolation == QLatin1String("read committed")) {
            // The write is under way: the close waits for it.
            writer->ADO_DB.run(statement);
            closer->ADO_DB.run(QStringLiteral("set lock_timeout = '300ms'"));
            try {
                closedmonths::close(*closer, 11, 2026);
                QFAIL("the month was closed under a write of it");
            } catch (const DbError &error) {
                QCOMPARE(error.sqlState(), QStringLiteral("55P03"));
            }
            writer->ADO_DB.commit();
            closedmonths::close(*closer, 11, 2026);
            QVERIFY(snapshot() != before); // landed before the close
            return;
        }
        // The writer's snapshot was taken before the close.
        closedmonths::close(*closer, 11, 2026);
        try {
            writer->ADO_DB.run(statement);
            writer->ADO_DB.commit();
            QFAIL("a write from before the close landed in the closed month");
        } catch (const DbError &error) {
            QCOMPARE(error.sqlState(), QStringLiteral("40001"));
            writer->ADO_DB.rollback();
        }
        QCOMPARE(snapshot(), before);
    }

    // A closed month of a year no entry can have (typed by hand past the check, before the table
    // had it) breaks no save of another month; the table itself refuses such a row now.
    void strayClosedMonthRow()
    {
        TestDatabase::exec(*m_db->admin(),
                           QStringLiteral("alter table accounts_dep.closed_month drop constraint "
                                          "closed_month_year_check; insert into "
                                          "accounts_dep.closed_month(year, month) values (0, 1); "
                                          "alter table accounts_dep.closed_month add constraint "
                                          "closed_month_year_check check (year between 2000 and "
                                          "2999) not valid"));
        seed::entry(*m_dm, {m_worker, m_product, m_operation, QDate(2026, 11, 14)});
        TestDatabase::exec(*m_dm, QStringLiteral("update accounts_dep.h_tabel set d14=d14 where "
                                                 "month=11 and year=2026"));
        QCOMPARE(seed::dayValue(*m_dm, m_worker, 1, QDate(2026, 11, 14)), 8);
        auto admin = m_db->admin();
        try {
            admin->ADO_DB.run(
                QStringLiteral("insert into accounts_dep.closed_month(year, month) values (0, 2)"));
            QFAIL("a closed month of year 0 was stored");
        } catch (const DbError &error) {
            QCOMPARE(error.sqlState(), QStringLiteral("23514"));
        }
    }

    // The server's refusal itself: the code of its own and the same sentence, whoever writes
    // (here plain SQL), and a statement outside the closed month passes.
    void refusalFromTheServer()
    {
        closedmonths::close(*m_dm, 11, 2026);
        try {
            m_dm->ADO_DB.run(QStringLiteral("update accounts_dep.smena set kol_vo=1"));
            QFAIL("the update of a closed month's entry was not refused");
        } catch (const DbError &error) {
            QCOMPARE(error.sqlState(), closedmonths::RefusedState);
            QCOMPARE(error.primaryMessage(), NovemberClosed);
        }
        m_dm->ADO_DB.run(
            QStringLiteral("update accounts_dep.smena set kol_vo=1 where id=%1").arg(m_october));
        QCOMPARE(closedmonths::refusal(11, 2026), NovemberClosed);
    }

    // A write that comes while another copy is closing the month waits for the close and is
    // then refused, instead of landing in the month just closed (the acceptance takes no lock of
    // its own: the server's guard does).
    void writeDuringTheClose_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("acceptance") << "update accounts_dep.smena set ok='ok' where id=NOVEMBER";
        QTest::newRow("entry moved into the month")
            << "update accounts_dep.smena set data='2026-11-02' where id=OCTOBER";
        QTest::newRow("hour-paid delete") << "delete from accounts_dep.fatigue where id=HOURPAID";
    }
    void writeDuringTheClose()
    {
        QFETCH(QString, statement);
        statement.replace(QStringLiteral("NOVEMBER"), QString::number(m_november))
            .replace(QStringLiteral("OCTOBER"), QString::number(m_october))
            .replace(QStringLiteral("HOURPAID"), QString::number(m_hourPaid));
        const QString before = snapshot();
        auto closer = m_db->connect();
        TestDatabase::exec(*m_dm, QStringLiteral("set lock_timeout = '200ms'"));
        const auto sqlStateOf = [&] {
            try {
                m_dm->ADO_DB.run(statement);
            } catch (const DbError &error) {
                return error.sqlState();
            }
            return QString();
        };
        closer->ADO_DB.inTransaction([&] {
            closedmonths::close(*closer, 11, 2026);
            QCOMPARE(sqlStateOf(), QStringLiteral("55P03")); // waited for the close
        });
        QCOMPARE(sqlStateOf(), closedmonths::RefusedState);
        TestDatabase::exec(*m_dm, QStringLiteral("reset lock_timeout"));
        QCOMPARE(snapshot(), before);
    }

    // The rebuild buttons of both timesheet windows refuse a closed month before they start (not
    // as a failed rebuild), and both captions say the month is closed.
    void rebuildButtonsRefuse()
    {
        closedmonths::close(*m_dm, 11, 2026);
        TForm15 hoursTable(*m_dm);
        TForm19 shifts(*m_dm, hoursTable);
        TForm27 monthly(*m_dm);
        MessageRecorder recorder;
        shifts.selectMonth(11, 2026);
        QCOMPARE(shifts.windowTitle(), QStringLiteral("Табель по времени (закрыт)"));
        shifts.Button1Click();
        QCOMPARE(recorder.texts(), QStringList{NovemberClosed});
        recorder.clear();
        inMonthly(monthly, TForm27::HouseholdWorks, [&] {
            monthly.selectMonth(11, 2026);
            QCOMPARE(monthly.windowTitle(), QStringLiteral("Табель хоз. работы (27) (закрыт)"));
            monthly.Button3Click();
            QCOMPARE(recorder.texts(), QStringList{NovemberClosed});
            QVERIFY(monthly.Button3->isEnabled());
            QVERIFY(monthly.PB->isHidden());
        });

        shifts.selectMonth(10, 2026);
        QCOMPARE(shifts.windowTitle(), QStringLiteral("Табель по времени"));
    }

    void closeAndOpenByRole_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("full access") << int(Role::Full) << true;
        QTest::newRow("planning") << int(Role::Planning) << false;
        QTest::newRow("foremen") << int(Role::Foremen) << false;
        QTest::newRow("warehouse") << int(Role::Warehouse) << false;
    }
    // Only full access closes and opens the month shown, each time after "Да" to its question;
    // "Нет" changes nothing. The closed month records who closed it and from where.
    void closeAndOpenByRole()
    {
        QFETCH(int, role);
        QFETCH(bool, allowed);
        TForm27 window(*m_dm);
        window.applyRole(Role(role));
        inMonthly(window, TForm27::PieceWork, [&] { closeAndOpen(window, allowed); });
    }

    // The shift log on a day of a closed month: the mark shows, adding, changing and deleting are
    // off and a double click accepts nothing; on a day of an open month all is back as the role
    // allows it.
    void shiftLogOnAClosedDay()
    {
        closedmonths::close(*m_dm, 11, 2026);
        VersionWatch watch(*m_dm, BuildStamp{20240305, 0});
        RecordedShiftLogLinks links;
        TForm1 log(*m_dm, watch, links);
        log.Timer1->stop();
        log.applyRole(Role::Foremen);
        showDay(log, QDate(2026, 11, 10));
        QVERIFY(log.dayClosed());
        QVERIFY(!log.ClosedMark->isHidden());
        for (QPushButton *button : {log.Button1, log.Button2, log.Button3})
            QVERIFY(!button->isEnabled());
        log.applyRole(Role::Full);
        QVERIFY(!log.Button1->isEnabled());
        log.DBGrid2DblClick();
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.smena where ok='ok'")),
                 0);
        QVERIFY(log.HistoryButton->isEnabled());

        showDay(log, QDate(2026, 10, 20));
        QVERIFY(!log.dayClosed());
        QVERIFY(log.ClosedMark->isHidden());
        for (QPushButton *button : {log.Button1, log.Button2, log.Button3})
            QVERIFY(button->isEnabled());
        log.DBGrid2DblClick();
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.smena where ok='ok'")),
                 1);
        log.applyRole(Role::Foremen);
        QVERIFY(log.Button1->isEnabled());
        QVERIFY(!log.Button2->isEnabled());
    }

    // The hour-paid list on a day of a closed month: the mark shows, its commands are off and a
    // double click opens nothing; on a day of an open month all is back.
    void hourPaidListOnAClosedDay()
    {
        closedmonths::close(*m_dm, 11, 2026);
        TForm2 workerEditor(*m_dm);
        TForm5 workers(*m_dm, workerEditor);
        TForm26 groups(*m_dm);
        TForm25 list(*m_dm, workers, groups);
        QPushButton *const commands[] = {list.Button5, list.Button6, list.Button7, list.Button1};

        list.DTPcker1->setDate(QDate(2026, 11, 11));
        list.FormActivate();
        QCOMPARE(list.fatigue->recordCount(), 1);
        QVERIFY(list.dayClosed());
        QVERIFY(!list.ClosedMark->isHidden());
        for (QPushButton *command : commands)
            QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
        list.Button6Click(); // what a double click does; a dialog would fail the test
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.fatigue")),
                 1);

        list.DTPcker1->setDate(QDate(2026, 10, 21));
        list.DTPcker1Change();
        QVERIFY(!list.dayClosed());
        QVERIFY(list.ClosedMark->isHidden());
        for (QPushButton *command : commands)
            QVERIFY2(command->isEnabled(), qPrintable(command->objectName()));
    }

private:
    static void inMonthly(TForm27 &window, int tag, const std::function<void()> &checks)
    {
        // The window runs modally: the checks run while it is shown.
        ModalScript modal([&](QDialog &) { checks(); });
        window.showMode(tag, nullptr);
    }

    void closeAndOpen(TForm27 &window, bool allowed)
    {
        window.selectMonth(11, 2026);
        QCOMPARE(window.windowTitle(), QStringLiteral("Табель сделка (27)"));
        QCOMPARE(window.CloseMonth->isEnabled(), allowed);
        QVERIFY(!window.OpenMonth->isEnabled());

        MessageRecorder recorder;
        if (!allowed) {
            window.CloseMonthClick();
            QVERIFY(recorder.shown.isEmpty());
            QVERIFY(!closedmonths::isClosed(*m_dm, 11, 2026));
            return;
        }
        recorder.answers.enqueue(false);
        window.CloseMonthClick();
        QVERIFY(!closedmonths::isClosed(*m_dm, 11, 2026));
        recorder.answers.enqueue(true);
        window.CloseMonthClick();
        QCOMPARE(recorder.shown.size(), 2);
        QCOMPARE(recorder.shown.at(1).kind, messages::Kind::Question);
        QVERIFY2(recorder.shown.at(1).text.startsWith(
                     QStringLiteral("Закрыть месяц Ноябрь 2026 для изменений?")),
                 qPrintable(recorder.shown.at(1).text));
        QVERIFY(closedmonths::isClosed(*m_dm, 11, 2026));
        QCOMPARE(window.windowTitle(), QStringLiteral("Табель сделка (27) (закрыт)"));
        QVERIFY(!window.CloseMonth->isEnabled());
        QVERIFY(window.OpenMonth->isEnabled());
        QSqlQuery who = m_dm->ADO_DB.run(
            QStringLiteral("select os_user, workstation, db_user from accounts_dep.closed_month"));
        QVERIFY(who.next());
        QCOMPARE(who.value(0).toString(), session::local().osUser);
        QCOMPARE(who.value(1).toString(), session::local().workstation);
        QCOMPARE(who.value(2).toString(), QStringLiteral("sys"));

        recorder.answers.enqueue(false);
        window.OpenMonthClick();
        QVERIFY(closedmonths::isClosed(*m_dm, 11, 2026));
        recorder.answers.enqueue(true);
        window.OpenMonthClick();
        QVERIFY(!closedmonths::isClosed(*m_dm, 11, 2026));
        QCOMPARE(window.windowTitle(), QStringLiteral("Табель сделка (27)"));
        QVERIFY(window.CloseMonth->isEnabled());
    }

    static void showDay(TForm1 &log, const QDate &day)
    {
        log.DateT->setDate(day);
        log.DateTChange();
    }

    // Every entry, hour-paid entry and monthly row as text.
    QString snapshot()
    {
        QSqlQuery query = m_dm->ADO_DB.run(QStringLiteral(
            "select (select string_agg(s::text, '|' order by s.id) from accounts_dep.smena s) "
            "|| '#' || coalesce((select string_agg(f::text, '|' order by f.id) from "
            "accounts_dep.fatigue f), '') || '#' || coalesce((select string_agg(h::text, '|' "
            "order by h.id) from accounts_dep.h_tabel h), '')"));
        return query.next() ? query.value(0).toString() : QString();
    }

    shiftentries::Entry entryOn(const QDate &day, qint64 pieces = 10) const
    {
        shiftentries::Entry entry;
        entry.workerId = m_worker;
        entry.productId = m_product;
        entry.operationId = m_operation;
        entry.price = 2;
        entry.pieces = pieces;
        entry.day = day;
        entry.hours = 8;
        return entry;
    }

    void perform(Write write)
    {
        Command command(m_dm->ADO_DB);
        switch (write) {
        case Write::Insert:
            shiftentries::save(command, entryOn(QDate(2026, 11, 12)), 0, Today);
            break;
        case Write::ChangeInside:
            shiftentries::save(command, entryOn(QDate(2026, 11, 10), 12), m_november, Today);
            break;
        case Write::MoveIn:
            shiftentries::save(command, entryOn(QDate(2026, 11, 15)), m_october, Today);
            break;
        case Write::MoveOut:
            shiftentries::save(command, entryOn(QDate(2026, 12, 1)), m_november, Today);
            break;
        case Write::Delete:
            shiftentries::remove(*m_dm, m_november);
            break;
        case Write::Accept:
            command.setText(shiftentries::acceptanceStatement());
            shiftentries::setAcceptance(command, m_november, QStringLiteral("ok"));
            break;
        case Write::Posting:
            // A monthly row written by hand, as a rebuild or a posting would write it.
            m_dm->ADO_DB.run(QStringLiteral("insert into accounts_dep.h_tabel(w_id, month, year, "
                                            "smena, d10) values (%1, 11, 2026, 1, 9) on conflict "
                                            "(w_id, month, year, smena, i_type, i_night) do update "
                                            "set d10=excluded.d10")
                                 .arg(m_worker));
            break;
        case Write::ShiftRebuild:
            rebuild::shiftMonth(*m_dm, 11, 2026);
            break;
        case Write::HourPaidRebuild:
            rebuild::fatigueMonth(*m_dm, 11, 2026);
            break;
        case Write::HourPaidAdd: {
            hourpaid::Entry entry;
            entry.groupId = m_group;
            entry.workerId = m_worker;
            entry.hours = 3;
            entry.price = 100;
            entry.day = QDate(2026, 11, 13);
            hourpaid::save(*m_dm, entry, 0);
            break;
        }
        case Write::HourPaidDelete:
            hourpaid::remove(*m_dm, m_hourPaid);
            break;
        }
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    qint64 m_worker = 0;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    qint64 m_group = 0;
    qint64 m_november = 0;
    qint64 m_october = 0;
    qint64 m_hourPaid = 0;
};

TABEL_TEST_MAIN(TestMonthClose)
#include "tst_month_close.moc"
