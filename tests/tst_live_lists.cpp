#include "app/forms.h"
#include "app/login_dialog.h"
#include "db/change_feed.h"
#include "db/closed_months.h"
#include "db/command.h"
#include "db/data_module.h"
#include "shiftlog/shift_entries.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/monthly_timesheet.h"
#include "timesheets/shift_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/live_refresh.h"
#include "ui/locale_setup.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDriver>
#include <QTest>

// Several copies on one database: what one copy writes shows in another copy's open lists without
// a key press, as long as the re-read disturbs nobody; a burst of writes does not keep a copy
// re-reading. The watching copy is the whole program; the writing copy is a data module of its
// own, writing through the program's entry code.
class TestLiveLists : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(m_day, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("live_lists"));
        m_writer = m_db->connect();
        TDataModule6 &dm = *m_writer;
        m_first = seed::worker(dm, QStringLiteral("Абрамов А.А."));
        m_workers = {seed::worker(dm, QStringLiteral("Борисов Б.Б.")),
                     seed::worker(dm, QStringLiteral("Васильев В.В.")),
                     seed::worker(dm, QStringLiteral("Григорьев Г.Г."))};
        m_product = seed::product(dm, QStringLiteral("ТП-120"));
        m_operation =
            seed::operation(dm, seed::kind(dm, QStringLiteral("Литьё")), m_product, 0, {10});
        m_group = seed::group(dm, QStringLiteral("Крышки"));
    }
    void cleanupTestCase()
    {
        m_writer.reset();
        m_db.reset();
        Clock::set({});
    }
    void init()
    {
        TestDatabase::exec(*m_writer, QStringLiteral("delete from accounts_dep.smena; delete from "
                                                     "accounts_dep.fatigue; delete from "
                                                     "accounts_dep.h_tabel"));
        m_entries.clear();
        for (const qint64 worker : m_workers)
            m_entries << seed::entry(*m_writer, {worker, m_product, m_operation, m_day});
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
        m_program->loginDialog().hide();
        main().applyRole(Role::Full);
        for (int shift = 1; shift <= 4; ++shift)
            dm().shiftQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        main().ShiftNo = 1;
        main().show();
        main().FormActivate();
        QCOMPARE(dm().Smena1.recordCount(), 3);
        // The user stands on the second worker's entry.
        QVERIFY(dm().Smena1.locate(QStringLiteral("id"), m_entries.at(1)));
        m_heard = 0;
        m_heardAll = 0;
        connect(&dm().Changes, &ChangeFeed::changed, this, [this] { ++m_heard; });
        // Every notification, the copy's own included.
        connect(dm().ADO_DB.driver(), &QSqlDriver::notification, this, [this] { ++m_heardAll; });
    }
    void cleanup() { m_program.reset(); }

    // What a notification says: the table and the days; anything unreadable (a hand-written
    // NOTIFY, a statement over rows without a day) means "everything", never "nothing".
    void payloadRead_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("touched");
        const QDate day(2024, 3, 7);
        QTest::newRow("day inside the range") << "smena 2024-03-06 2024-03-08"
                                              << "smena" << day << true;
        QTest::newRow("day on the range's end") << "smena 2024-03-06 2024-03-07"
                                                << "smena" << day << true;
        QTest::newRow("day after the range") << "smena 2024-03-01 2024-03-06"
                                             << "smena" << day << false;
        QTest::newRow("other table") << "fatigue 2024-03-07 2024-03-07"
                                     << "smena" << day << false;
        QTest::newRow("no days") << "smena"
                                 << "smena" << day << true;
        QTest::newRow("one day missing") << "smena 2024-03-01"
                                         << "smena" << day << true;
        QTest::newRow("days unreadable") << "smena 01.03.2024 02.03.2024"
                                         << "smena" << day << true;
        QTest::newRow("empty") << ""
                               << "smena" << day << false;
    }
    void payloadRead()
    {
        QFETCH(QString, payload);
        QFETCH(QString, table);
        QFETCH(QDate, day);
        QFETCH(bool, touched);
        QCOMPARE(TableChange::parse(payload).touchesDay(table, day), touched);
    }

    // A write of another copy re-reads the shift log when it touches the shown day's entries,
    // within a second, and the user stays on his entry; other days, hour-paid entries and monthly
    // rows leave the shift log alone.
    void shiftLogFollowsOtherCopy_data()
    {
        QTest::addColumn<QString>("write");
        QTest::addColumn<bool>("reread");
        QTest::addColumn<int>("listed");
        QTest::newRow("new entry of the day, listed first") << "add" << true << 4;
        QTest::newRow("acceptance of another entry") << "accept" << true << 3;
        QTest::newRow("delete of another entry") << "delete" << true << 2;
        QTest::newRow("entry moved to the day") << "move in" << true << 4;
        QTest::newRow("entry of another day") << "other day" << false << 3;
        QTest::newRow("hour-paid entry of the day") << "hour-paid" << false << 3;
        QTest::newRow("monthly row of the month") << "monthly" << false << 3;
    }
    void shiftLogFollowsOtherCopy()
    {
        QFETCH(QString, write);
        QFETCH(bool, reread);
        QFETCH(int, listed);
        TDataModule6 &other = *m_writer;
        if (write == QLatin1String("add")) {
            seed::entry(other, {m_first, m_product, m_operation, m_day});
        } else if (write == QLatin1String("accept")) {
            Command accept(other.ADO_DB, shiftentries::acceptanceStatement());
            shiftentries::setAcceptance(accept, m_entries.at(2), QStringLiteral("ok"));
        } else if (write == QLatin1String("delete")) {
            QVERIFY(shiftentries::remove(other, m_entries.at(0)));
        } else if (write == QLatin1String("move in")) {
            const qint64 id =
                seed::entry(other, {m_first, m_product, m_operation, m_day.addDays(-3)});
            waitHeard(1);
            TestDatabase::exec(other, QStringLiteral("update accounts_dep.smena set data='%1' "
                                                     "where id=%2")
                                          .arg(m_day.toString(Qt::ISODate))
                                          .arg(id));
        } else if (write == QLatin1String("other day")) {
            seed::entry(other, {m_first, m_product, m_operation, m_day.addDays(1)});
        } else if (write == QLatin1String("hour-paid")) {
            seed::hourPaid(other, m_first, m_group, 7777, m_day, 8, 150, false);
        } else {
            seed::monthRow(other, m_first, m_day.month(), m_day.year(), 1, {{m_day.day(), 8}});
        }
        if (reread) {
            QTRY_COMPARE_WITH_TIMEOUT(main().Live->rereads(), 1, 1000);
        } else {
            waitHeard(1);
            // A re-read would come at once: the copy has re-read nothing for a while.
            QTest::qWait(100);
            QCOMPARE(main().Live->rereads(), 0);
        }
        QCOMPARE(dm().Smena1.recordCount(), listed);
        QCOMPARE(dm().Smena1.integer(QStringLiteral("id")), m_entries.at(1));
        QCOMPARE(main().DBGrid2->currentIndex().row(), dm().Smena1.recNo() - 1);
        QVERIFY(!main().Live->stale());
    }

    // The copy's own write re-reads its list once, as it always did, not again when its own
    // notification comes back.
    void ownWriteNotRereadTwice()
    {
        Q_EMIT main().DBGrid2->doubleClicked(main().DBGrid2->currentIndex());
        QTRY_COMPARE(m_heardAll, 1);
        QTest::qWait(100);
        QCOMPARE(main().Live->rereads(), 0);
        QCOMPARE(dm().Smena1.text(QStringLiteral("ok")), QStringLiteral("ok"));
    }

    // Another copy writes the day's entries 200 times in a row: the shift log re-reads about once
    // a second, not once per write, and ends showing all of them.
    void burstOfWrites()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        for (int colour = 1; colour <= 200; ++colour) {
            seed::Entry entry{m_first, m_product, m_operation, m_day};
            entry.color = colour;
            seed::entry(*m_writer, entry);
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(dm().Smena1.recordCount(), 203, 2 * LiveRefresh::MinimumInterval);
        const qint64 seconds = elapsed.elapsed() / LiveRefresh::MinimumInterval;
        QTest::qWait(LiveRefresh::MinimumInterval + 100);
        QVERIFY2(main().Live->rereads() <= seconds + 2,
                 qPrintable(QStringLiteral("%1 re-reads in %2 s")
                                .arg(main().Live->rereads())
                                .arg(elapsed.elapsed() / 1000.0)));
        QCOMPARE(dm().Smena1.integer(QStringLiteral("id")), m_entries.at(1));
    }

    // While the entry editor is open over the shift log, another copy's entry does not re-read
    // the list under it: the shift log says "данные изменились", the editor keeps what was typed,
    // and the list is read when the editor closes.
    void openEditorNotDisturbed()
    {
        ModalScript modal([&](QDialog &dialog) {
            // As exec() shows it.
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            TForm11 &editor = m_program->forms().Form11;
            editor.Edit3->setText(QStringLiteral("17"));
            seed::entry(*m_writer, {m_first, m_product, m_operation, m_day});
            QTRY_VERIFY_WITH_TIMEOUT(main().Live->stale(), 1000);
            QCOMPARE(main().Live->mark()->text(), QStringLiteral("данные изменились"));
            QCOMPARE(main().Live->rereads(), 0);
            QCOMPARE(dm().Smena1.recordCount(), 3);
            QCOMPARE(editor.Edit3->text(), QStringLiteral("17"));
            dialog.hide();
        });
        main().Button2->click();
        QVERIFY(!main().Live->stale());
        QCOMPARE(dm().Smena1.recordCount(), 4);
        QCOMPARE(dm().Smena1.integer(QStringLiteral("id")), m_entries.at(1));
    }

    // The connection is lost and the next action reconnects: the copy listens again and re-reads
    // once, for what it may have missed meanwhile.
    void listensAgainAfterReconnect()
    {
        TestDatabase::exec(*m_writer,
                           QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                          "where datname=current_database() and pid <> "
                                          "pg_backend_pid()"));
        MessageRecorder recorder;
        main().Button8->click();
        QCOMPARE(recorder.texts(), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(main().Live->rereads(), 1, 1000);
        QTest::qWait(LiveRefresh::MinimumInterval);
        QCOMPARE(main().Live->rereads(), 1);
        seed::entry(*m_writer, {m_first, m_product, m_operation, m_day});
        QTRY_COMPARE_WITH_TIMEOUT(main().Live->rereads(), 2, 2 * LiveRefresh::MinimumInterval);
        QCOMPARE(dm().Smena1.recordCount(), 4);
    }

    // The hour-paid list of a day follows the day's hour-paid entries of other copies.
    void hourPaidListFollows()
    {
        TForm25 &list = m_program->forms().Form25;
        ModalScript modal([&](QDialog &dialog) {
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            QCOMPARE(list.fatigue->recordCount(), 0);
            seed::hourPaid(*m_writer, m_first, m_group, 7777, m_day.addDays(1), 8, 150, false);
            waitHeard(1);
            QTest::qWait(100);
            QCOMPARE(list.Live->rereads(), 0);
            seed::hourPaid(*m_writer, m_first, m_group, 7777, m_day, 8, 150, false);
            QTRY_COMPARE_WITH_TIMEOUT(list.fatigue->recordCount(), 1, 1000);
            QCOMPARE(list.Live->rereads(), 1);
            dialog.hide();
        });
        list.showForDay(m_day, &main());
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm25")});
    }

    // Another copy closes the shown day's month, then opens it again: the shift log marks the
    // day closed and turns its commands off, then back, without the user re-reading.
    void closeByAnotherCopyFollows()
    {
        main().FormActivate();
        QVERIFY(main().ClosedMark->isHidden());
        QVERIFY(main().Button1->isEnabled());
        closedmonths::close(*m_writer, m_day.month(), m_day.year());
        QTRY_VERIFY_WITH_TIMEOUT(!main().ClosedMark->isHidden(), 5000);
        QVERIFY(!main().Button1->isEnabled());
        closedmonths::open(*m_writer, m_day.month(), m_day.year());
        QTRY_VERIFY_WITH_TIMEOUT(main().ClosedMark->isHidden(), 5000);
        QVERIFY(main().Button1->isEnabled());
    }

    // An open timesheet month follows the monthly rows other copies write; rows of another month
    // leave it alone.
    void timesheetFollows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("piece-work timesheet") << "TForm27";
        QTest::newRow("timesheet by shifts") << "TForm19";
    }
    void timesheetFollows()
    {
        QFETCH(QString, window);
        TForm27 &pieceWork = m_program->forms().Form27;
        const auto rows = [&] {
            return window == QLatin1String("TForm27") ? pieceWork.currentQuery().recordCount()
                                                      : dm().timesheetQuery(1).recordCount();
        };
        // A worker with an entry of the month (the timesheet by shifts lists only those) but no
        // monthly row yet: his new row is one more in the list.
        const qint64 newcomer =
            seed::worker(*m_writer, QStringLiteral("Новиков Н.Н. %1").arg(window));
        seed::entry(*m_writer, {newcomer, m_product, m_operation, m_day});
        TestDatabase::exec(
            *m_writer,
            QStringLiteral("delete from accounts_dep.h_tabel where w_id=%1").arg(newcomer));
        // Heard before the window opens: what it re-reads for is the writes below.
        waitHeard(1);
        QTest::qWait(200);
        seed::worker(*m_writer, QStringLiteral("Новиков Н.Н. %1").arg(window));
        ModalScript modal([&](QDialog &dialog) {
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            auto *live = dialog.findChild<LiveRefresh *>();
            QVERIFY(live);
            const int before = rows();
            const QDate next = m_day.addMonths(1);
            seed::monthRow(*m_writer, m_workers.at(0), next.month(), next.year(), 1, {{1, 8}});
            waitHeard(1);
            QTest::qWait(100);
            QCOMPARE(live->rereads(), 0);
            seed::monthRow(*m_writer, newcomer, m_day.month(), m_day.year(), 1, {{2, 8}});
            QTRY_COMPARE_WITH_TIMEOUT(live->rereads(), 1, 1000);
            QCOMPARE(rows(), before + 1);
            dialog.hide();
        });
        if (window == QLatin1String("TForm27"))
            pieceWork.showMode(TForm27::PieceWork, &main());
        else
            m_program->forms().Form19.showMonth(m_day, &main());
        QCOMPARE(modal.opened, QList<QString>{window});
    }

private:
    TDataModule6 &dm() { return m_program->dataModule(); }
    TForm1 &main() { return m_program->mainWindow(); }

    // Until the watching copy has heard so many more changes of other copies.
    void waitHeard(int more)
    {
        const int target = m_heard + more;
        QTRY_VERIFY_WITH_TIMEOUT(m_heard >= target, 5000);
    }

    const QDate m_day{2024, 3, 6};
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_writer;
    std::unique_ptr<RunningProgram> m_program;
    QList<qint64> m_workers;
    QList<qint64> m_entries;
    qint64 m_first = 0;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    qint64 m_group = 0;
    int m_heard = 0;
    int m_heardAll = 0;
};

TABEL_TEST_MAIN(TestLiveLists)
#include "tst_live_lists.moc"
