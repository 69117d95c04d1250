#include "app/login_dialog.h"
#include "db/data_module.h"
#include "db/version_check.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/shift_log_links.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/version_watch.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

// The version stamp shared by every running copy: newer builds raise it, older ones end.
class TestVersionCheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("version_check"));
        m_dm = m_db->connect();
        // The stamp is the database's to raise: tests set the one they start from as the superuser.
        m_admin = m_db->admin();
    }
    void cleanupTestCase()
    {
        m_admin.reset();
        m_dm.reset();
        m_db.reset();
    }

    void compare_data()
    {
        QTest::addColumn<int>("dbDate");
        QTest::addColumn<int>("dbTime");
        QTest::addColumn<int>("buildDate");
        QTest::addColumn<int>("buildTime");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<int>("storedDate");
        QTest::addColumn<int>("storedTime");
        QTest::newRow("equal: nothing written")
            << 20240305 << 3600 << 20240305 << 3600 << false << 20240305 << 3600;
        QTest::newRow("older date: raised")
            << 20240101 << 86000 << 20240305 << 10 << false << 20240305 << 10;
        QTest::newRow("same date, smaller time: raised")
            << 20240305 << 100 << 20240305 << 200 << false << 20240305 << 200;
        QTest::newRow("newer date: ends, unchanged")
            << 20240306 << 0 << 20240305 << 86399 << true << 20240306 << 0;
        QTest::newRow("same date, larger time: ends")
            << 20240305 << 201 << 20240305 << 200 << true << 20240305 << 201;
        QTest::newRow("midnight build compares by date first")
            << 20240304 << 86399 << 20240305 << 0 << false << 20240305 << 0;
        QTest::newRow("null stamp is raised") << 0 << 0 << 20240305 << 0 << false << 20240305 << 0;
    }
    void compare()
    {
        QFETCH(int, dbDate);
        QFETCH(int, dbTime);
        QFETCH(int, buildDate);
        QFETCH(int, buildTime);
        QFETCH(bool, ends);
        QFETCH(int, storedDate);
        QFETCH(int, storedTime);
        TestDatabase::exec(*m_admin,
                           QStringLiteral("delete from accounts_dep.ver; insert into "
                                          "accounts_dep.ver(d, t, delim) values (%1, %2, '.')")
                               .arg(dbDate ? QString::number(dbDate) : QStringLiteral("null"),
                                    dbDate ? QString::number(dbTime) : QStringLiteral("null")));
        m_dm->DecimalDelimiter.clear();
        const VersionState state = CheckVersion(*m_dm, {buildDate, buildTime});
        QCOMPARE(state == VersionState::DatabaseNewer, ends);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select d from accounts_dep.ver")),
                 storedDate);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select t from accounts_dep.ver")),
                 storedTime);
        QCOMPARE(m_dm->DecimalDelimiter, QStringLiteral("."));
    }

    // An empty table gets one row with the build stamp; the delimiter stays empty.
    void emptyTable()
    {
        TestDatabase::exec(*m_admin, QStringLiteral("delete from accounts_dep.ver"));
        QCOMPARE(CheckVersion(*m_dm, {20240305, 77}), VersionState::Current);
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.ver")),
            1);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select t from accounts_dep.ver")), 77);
        QCOMPARE(m_dm->DecimalDelimiter, QString());
        // Two copies checking one after the other still leave one row.
        QCOMPARE(CheckVersion(*m_dm, {20240306, 1}), VersionState::Current);
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.ver")),
            1);
    }

    // A read-only check (the report tool) never raises the stamp.
    void readOnly()
    {
        TestDatabase::exec(
            *m_admin, QStringLiteral("delete from accounts_dep.ver; insert into "
                                     "accounts_dep.ver(d, t, delim) values (20240101, 0, '.')"));
        QCOMPARE(CheckVersion(*m_dm, {20250101, 0}, true), VersionState::Current);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select d from accounts_dep.ver")),
                 20240101);
        QCOMPARE(CheckVersion(*m_dm, {20230101, 0}, true), VersionState::DatabaseNewer);
    }

    // The check runs every half minute in every copy and never waits: with another session
    // holding the check's lock or the version row, it answers at once from the row as it is and
    // raises the stamp at a later check.
    void neverWaits_data()
    {
        QTest::addColumn<QString>("held");
        QTest::newRow("the check's lock") << "select pg_advisory_lock(7777001)";
        QTest::newRow("the version row") << "select * from accounts_dep.ver for update";
    }
    void neverWaits()
    {
        QFETCH(QString, held);
        TestDatabase::exec(
            *m_admin, QStringLiteral("delete from accounts_dep.ver; insert into "
                                     "accounts_dep.ver(d, t, delim) values (20240305, 0, '.')"));
        auto holder = m_db->admin();
        holder->ADO_DB.begin();
        holder->ADO_DB.run(held);
        // A wait would end here with an error instead of hanging the test.
        m_dm->ADO_DB.run(QStringLiteral("set statement_timeout = '3s'"));
        const auto reset =
            qScopeGuard([&] { m_dm->ADO_DB.run(QStringLiteral("reset statement_timeout")); });
        QCOMPARE(CheckVersion(*m_dm, {20240306, 0}), VersionState::Current);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select d from accounts_dep.ver")),
                 20240305);
        holder->ADO_DB.rollback();
        holder->ADO_DB.run(QStringLiteral("select pg_advisory_unlock_all()"));
        QCOMPARE(CheckVersion(*m_dm, {20240306, 0}), VersionState::Current);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select d from accounts_dep.ver")),
                 20240306);
    }

    // A running copy whose database was raised by a newer build: the main window's timer shows the
    // message, starts the login dialog's 5 s timer and asks the program to end.
    void olderCopyEndsAtNextTick()
    {
        TestDatabase::exec(
            *m_admin, QStringLiteral("delete from accounts_dep.ver; insert into "
                                     "accounts_dep.ver(d, t, delim) values (20240305, 0, '.')"));
        MessageRecorder recorder;
        TerminationRecorder terminations;
        VersionWatch watch(*m_dm, {20240305, 0});
        RecordedShiftLogLinks links;
        TForm1 main(*m_dm, watch, links);
        TForm23 login(*m_dm, watch, main);
        main.Timer1->stop();
        login.FormActivate();
        QCOMPARE(login.windowTitle(), QStringLiteral("Авторизация (build: 20240305.0)"));
        QVERIFY(recorder.shown.isEmpty());

        TestDatabase::exec(*m_admin, QStringLiteral("update accounts_dep.ver set t=1"));
        main.Timer1Timer();
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral(
                     "Версия программы не соответсвует БД! Запустите программу через 5 мин.")});
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(terminations.requests, QList<int>{1});
        QVERIFY(login.Timer1->isActive());
        QCOMPARE(login.Timer1->interval(), 5000);
        // Once ending, further ticks neither check nor show anything.
        main.Timer1Timer();
        QCOMPARE(recorder.shown.size(), 1);
    }

    // A failing statement on a timer tick shows one error; the next tick tries again.
    void timerErrorShownOnce()
    {
        MessageRecorder recorder;
        TerminationRecorder terminations;
        VersionWatch watch(*m_dm, {20990101, 0});
        RecordedShiftLogLinks links;
        TForm1 main(*m_dm, watch, links);
        main.Timer1->stop();
        TestDatabase::exec(*m_admin,
                           QStringLiteral("alter table accounts_dep.ver rename to ver_away"));
        main.Timer1Timer();
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.shown.first().text.startsWith(QStringLiteral("Действие не выполнено")));
        QVERIFY(recorder.shown.first().detail.contains(QStringLiteral("ver")));
        TestDatabase::exec(*m_admin,
                           QStringLiteral("alter table accounts_dep.ver_away rename to ver"));
        main.Timer1Timer();
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(terminations.requests.isEmpty());
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TDataModule6> m_admin;
};

TABEL_TEST_MAIN(TestVersionCheck)
#include "tst_version_check.moc"
