#include "db/data_module.h"
#include "db/db_error.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/clock.h"
#include "ui/locale_setup.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>
#include <thread>

#include <unistd.h>

namespace {

struct Run
{
    bool ok = false;
    QString out;
    QString err;
};

Run runProcess(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// The server's programs, where scripts/pg finds them: PG_BINDIR, else the newest installed.
QString serverBinaries()
{
    if (qEnvironmentVariableIsSet("PG_BINDIR"))
        return qEnvironmentVariable("PG_BINDIR");
    QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (auto version = versions.crbegin(); version != versions.crend(); ++version) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*version);
        if (QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

bool isRoot()
{
    return geteuid() == 0;
}

// A directory the server's user (postgres when the tests run as root) may use.
bool giveToServer(const QString &path)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return !isRoot() || runProcess(QStringLiteral("chown"), {QStringLiteral("postgres:"), path}).ok;
}

// Runs one of the server's programs as the server's user.
Run asServer(const QString &tool, const QStringList &arguments,
             const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    const QString path = serverBinaries() + QLatin1Char('/') + tool;
    if (isRoot())
        return runProcess(QStringLiteral("runuser"),
                          QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                      QStringLiteral("--"), path} +
                              arguments,
                          environment);
    return runProcess(path, arguments, environment);
}

QProcessEnvironment withoutPg()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : environment.keys()) {
        if (name.startsWith(QLatin1String("PG")) || name.startsWith(QLatin1String("TABEL_PG")))
            environment.remove(name);
    }
    return environment;
}

// The error messages shown, in order (questions left out).
QStringList errors(const MessageRecorder &recorder)
{
    QStringList texts;
    for (const messages::Message &message : recorder.shown) {
        if (message.kind == messages::Kind::Error)
            texts << message.text + QLatin1Char(' ') + message.detail;
    }
    return texts;
}

} // namespace

// Two servers on this machine: a primary and a streaming standby made from it. The program is
// given both; reports run off the standby; when the primary fails and the standby is promoted,
// the program's next save lands on the new primary by itself. The test runs both clusters itself,
// socket-only in temporary folders.
class TestFailover : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY2(!serverBinaries().isEmpty(), "no PostgreSQL server installed");
        QVERIFY(m_primaryData.isValid() && m_standbyParent.isValid() && m_standbySocket.isValid());
        startPrimary();
        QVERIFY(!m_primarySocket.isEmpty());
        // Before the base backup: the standby starts with the database in it.
        m_db = std::make_unique<TestDatabase>(QStringLiteral("failover"));
        makeStandby();
        QVERIFY(m_standbyRunning);
        // A synchronous pair: the primary confirms a commit once the standby has it. Set after the
        // base backup, so that the standby, once promoted, does not wait for a standby of its own.
        {
            auto admin = m_db->admin();
            admin->ADO_DB.run(QStringLiteral("alter system set synchronous_standby_names = '*'"));
            admin->ADO_DB.run(QStringLiteral("select pg_reload_conf()"));
            QTRY_COMPARE(TestDatabase::scalar(
                             *admin, QStringLiteral("select count(*) from pg_stat_replication "
                                                    "where sync_state = 'sync'")),
                         1);
        }
        // From here on the program and the test's connections are given both servers, the
        // read-only standby first: they must pass it by for the primary.
        qputenv("PGHOST",
                (m_standbySocket.path() + QLatin1Char(',') + m_primarySocket).toLocal8Bit());
        Clock::set(QDateTime(m_day, QTime(9, 0)));
        std::unique_ptr<TDataModule6> dm;
        try {
            dm = m_db->connect();
        } catch (const DbError &error) {
            QFAIL(qPrintable(error.message()));
        }
        const seed::SmallShop shop = seed::smallShop(*dm);
        m_shop = shop;
        seed::entry(*dm, {shop.antonov, shop.lid, shop.castLid, m_day.addDays(-2), 1, 8, 100, 4,
                          1.5, QStringLiteral("ok"), 0});
        seed::monthRow(*dm, shop.antonov, m_day.month(), m_day.year(), 1, {{4, 8}});
        seed::monthRow(*dm, shop.borisov, m_day.month(), m_day.year(), 2, {{5, 6}});
        QVERIFY(caughtUp(*dm));
    }
    void cleanupTestCase() { shutDown(); }

    // tabel-report run off the read-only standby writes the same report as off the primary.
    void reportFromStandby_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("hours table")
            << QStringList{QStringLiteral("--report"), QStringLiteral("hours"),
                           QStringLiteral("--month"),  QString::number(m_day.month()),
                           QStringLiteral("--year"),   QString::number(m_day.year())};
        QTest::newRow("workers") << QStringList{
            QStringLiteral("--report"),   QStringLiteral("workers"), QStringLiteral("--from"),
            QStringLiteral("01.03.2024"), QStringLiteral("--to"),    QStringLiteral("31.03.2024")};
    }
    void reportFromStandby()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir out;
        QStringList lines[2];
        const QString servers[] = {m_primarySocket, m_standbySocket.path()};
        for (int n = 0; n < 2; ++n) {
            const QString path = out.filePath(QStringLiteral("report%1.pdf").arg(n));
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
            const Run run = runProcess(QStringLiteral(TABEL_REPORT_PATH),
                                       QStringList{m_db->name(), servers[n]} + arguments +
                                           QStringList{QStringLiteral("--pdf"), path},
                                       environment);
            QVERIFY2(run.ok, qPrintable(run.err));
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
            lines[n] = pdf::lines(path);
        }
        QVERIFY(lines[0].size() > 2);
        QVERIFY(lines[0].join(QLatin1Char(' ')).contains(QStringLiteral("Антонов")));
        QCOMPARE(lines[1], lines[0]);
        // The standby is read-only: nothing was written there, nor could be.
        QCOMPARE(psql(m_standbySocket.path(), QStringLiteral("select pg_is_in_recovery()")),
                 QStringLiteral("t"));
    }

    // The primary fails at once and the standby is promoted: the next save in the entry editor
    // reconnects to the new primary by itself and lands there once, with its hours posted once.
    // Before that, a save confirmed to the user while the standby lagged (its receiver stalled)
    // was confirmed only once the standby had it, and is there after the promotion.
    void saveAfterPromotion()
    {
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
        TForm1 &main = m_program->mainWindow();
        main.applyRole(Role::Full);
        main.ShiftNo = 1;
        main.FormActivate();
        QCOMPARE(TestDatabase::scalar(m_program->dataModule(),
                                      QStringLiteral("select pg_is_in_recovery()::int cnt")),
                 0);

        // The standby's receiver stalls while the entry is saved: the save waits for it, and is
        // confirmed once the receiver goes on.
        const qint64 receiver =
            psql(m_standbySocket.path(), QStringLiteral("select pid from pg_stat_wal_receiver"))
                .toLongLong();
        QVERIFY(receiver > 0);
        QCOMPARE(::kill(pid_t(receiver), SIGSTOP), 0);
        std::atomic<bool> waited = false;
        std::atomic<bool> saved = false;
        std::thread lag([&] {
            try {
                auto watcher = m_db->connect();
                for (int poll = 0; poll < 2000 && !waited && !saved; ++poll) {
                    waited = TestDatabase::scalar(*watcher,
                                                  QStringLiteral("select count(*) from "
                                                                 "pg_stat_activity where "
                                                                 "wait_event = 'SyncRep'")) > 0;
                    if (!waited)
                        QThread::msleep(10);
                }
            } catch (const std::exception &error) {
                qWarning("the watcher failed: %s", error.what());
            }
            ::kill(pid_t(receiver), SIGCONT);
        });
        {
            MessageRecorder recorder;
            addEntry(m_shop.borisov, QStringLiteral("Борисов Б.Б."), QStringLiteral("6"));
            saved = true;
            QCOMPARE(errors(recorder), QStringList());
        }
        lag.join();
        QVERIFY(waited);

        stopPrimary();
        QVERIFY(!m_primaryRunning);
        // The copy sits idle meanwhile: its listening connection hears the server go, and Qt's
        // driver, whose watch is left on the socket the client library closed, says so once and
        // stops watching it (the reconnect below makes a new one).
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral(
                              "^QSocketNotifier: Invalid socket \\d+ and type 'Read', disabling")));
        QTest::qWait(200);
        const Run promoted =
            asServer(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), standbyData(),
                                                QStringLiteral("-w"), QStringLiteral("promote")});
        QVERIFY2(promoted.ok, qPrintable(promoted.err));
        m_promoted = true;

        MessageRecorder recorder;
        addEntry(m_shop.vasiliev, QStringLiteral("Васильев В.В."), QStringLiteral("7"));
        QVERIFY2(errors(recorder).size() <= 1,
                 qPrintable(errors(recorder).join(QLatin1Char('\n'))));

        const QString count =
            QStringLiteral("select count(*) from accounts_dep.smena where w_id=%1 and data='%2'");
        // The save confirmed while the standby lagged.
        QCOMPARE(psql(m_standbySocket.path(),
                      count.arg(m_shop.borisov).arg(m_day.toString(Qt::ISODate))),
                 QStringLiteral("1"));
        QCOMPARE(psql(m_standbySocket.path(),
                      count.arg(m_shop.vasiliev).arg(m_day.toString(Qt::ISODate))),
                 QStringLiteral("1"));
        QCOMPARE(psql(m_standbySocket.path(),
                      QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and "
                                     "smena=1 and month=%3 and year=%4")
                          .arg(m_day.day())
                          .arg(m_shop.vasiliev)
                          .arg(m_day.month())
                          .arg(m_day.year())),
                 QStringLiteral("7"));
        QCOMPARE(psql(m_standbySocket.path(), QStringLiteral("select pg_is_in_recovery()")),
                 QStringLiteral("f"));
        // The shift log lists both, read from the new primary.
        QCOMPARE(m_program->dataModule().Smena1.recordCount(), 2);
    }

public:
    // The servers go with the test, also when a check failed half-way.
    ~TestFailover() override { shutDown(); }

private:
    void shutDown()
    {
        m_program.reset();
        // The test database is dropped on whichever server takes writes now.
        if (m_primaryRunning)
            qputenv("PGHOST", m_primarySocket.toLocal8Bit());
        else if (m_promoted)
            qputenv("PGHOST", m_standbySocket.path().toLocal8Bit());
        if (m_primaryRunning || m_promoted)
            m_db.reset();
        else
            m_db.release(); // nowhere to drop it: it goes with the clusters' folders
        if (m_standbyRunning)
            asServer(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), standbyData(), QStringLiteral("-m"),
                      QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        m_standbyRunning = false;
        if (m_primaryRunning)
            stopPrimary();
        Clock::set({});
    }

    // "Добавить" in the shift log, the entry editor filled in for a worker with 5 pieces of the
    // lid's casting in the given hours, and "Запись".
    void addEntry(qint64 worker, const QString &name, const QString &hours)
    {
        TForm11 &editor = m_program->forms().Form11;
        ModalScript modal([&](QDialog &) {
            editor.WorkerId = worker;
            editor.Edit1->setText(name);
            editor.ProductId = m_shop.lid;
            editor.OperationId = m_shop.castLid;
            editor.PiecePrice = 1.5;
            editor.Edit2->setText(QStringLiteral("КР-1 белая; Литьё; Готовая продукция"));
            editor.Edit3->setText(QStringLiteral("5"));
            editor.Edit6->setText(hours);
            editor.Button1->click();
        });
        m_program->mainWindow().Button1->click();
    }

    QString standbyData() const { return m_standbyParent.filePath(QStringLiteral("data")); }

    void startPrimary()
    {
        giveToServer(m_primaryData.path());
        const Run run = runProcess(
            QStringLiteral(TABEL_SOURCE_DIR "/scripts/pg"),
            {QStringLiteral("start"), QStringLiteral("--data"), m_primaryData.path()}, withoutPg());
        QVERIFY2(run.ok, qPrintable(run.err));
        m_primaryRunning = true;
        m_primarySocket = TestDatabase::adoptCluster(run.out);
    }

    void stopPrimary()
    {
        // At once, as a crash or a pulled cable would.
        m_primaryRunning = false;
        runProcess(QStringLiteral(TABEL_SOURCE_DIR "/scripts/pg"),
                   {QStringLiteral("stop"), QStringLiteral("--data"), m_primaryData.path(),
                    QStringLiteral("--immediate")},
                   withoutPg());
    }

    // A streaming standby from a base backup of the primary, its own socket folder.
    void makeStandby()
    {
        QVERIFY(giveToServer(m_standbyParent.path()));
        QVERIFY(giveToServer(m_standbySocket.path()));
        QFile password(m_primaryData.filePath(QStringLiteral("tabel-superuser-password")));
        QVERIFY(password.open(QIODevice::ReadOnly));
        QProcessEnvironment environment = withoutPg();
        environment.insert(QStringLiteral("PGPASSWORD"), QString::fromLatin1(password.readAll()));
        const Run backup = asServer(
            QStringLiteral("pg_basebackup"),
            {QStringLiteral("-h"), m_primarySocket, QStringLiteral("-p"), QStringLiteral("5432"),
             QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-D"), standbyData(),
             QStringLiteral("-R"), QStringLiteral("-X"), QStringLiteral("stream"),
             QStringLiteral("-c"), QStringLiteral("fast"), QStringLiteral("--no-sync")},
            environment);
        QVERIFY2(backup.ok, qPrintable(backup.err));
        const Run start = asServer(
            QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), standbyData(), QStringLiteral("-l"),
             m_standbyParent.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
             QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
             QStringLiteral("-c listen_addresses='' -c unix_socket_directories='%1' -p 5432")
                 .arg(m_standbySocket.path()),
             QStringLiteral("start")});
        QVERIFY2(start.ok, qPrintable(start.err + start.out));
        m_standbyRunning = true;
    }

    // One value from a server, read as the program's user.
    QString psql(const QString &socket, const QString &sql)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGHOST"), socket);
        const Run run =
            runProcess(serverBinaries() + QStringLiteral("/psql"),
                       {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"),
                        QStringLiteral("-d"), m_db->name(), QStringLiteral("-c"), sql},
                       environment);
        if (!run.ok)
            qWarning("psql failed: %s", qPrintable(run.err));
        return run.out.trimmed();
    }

    // Until the standby has replayed everything the primary has written so far.
    bool caughtUp(TDataModule6 &primary)
    {
        QSqlQuery position =
            primary.ADO_DB.run(QStringLiteral("select pg_current_wal_lsn()::text"));
        if (!position.next())
            return false;
        const QString target = position.value(0).toString();
        for (int attempt = 0; attempt < 300; ++attempt) {
            if (psql(m_standbySocket.path(),
                     QStringLiteral("select pg_last_wal_replay_lsn() >= '%1'").arg(target)) ==
                QLatin1String("t"))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    const QDate m_day{2024, 3, 6};
    QTemporaryDir m_primaryData{QStringLiteral("/tmp/tabel-primary-XXXXXX")};
    QTemporaryDir m_standbyParent{QStringLiteral("/tmp/tabel-standby-XXXXXX")};
    QTemporaryDir m_standbySocket{QStringLiteral("/tmp/tabel-standby-socket-XXXXXX")};
    QString m_primarySocket;
    bool m_primaryRunning = false;
    bool m_standbyRunning = false;
    bool m_promoted = false;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    seed::SmallShop m_shop;
};

TABEL_TEST_MAIN(TestFailover)
#include "tst_failover.moc"
