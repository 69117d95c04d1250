#include "db/data_module.h"
#include "db/hours_posting.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"
#include "ui/termination.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

const QString Lost = QStringLiteral("Нет связи с сервером базы данных. Действие не выполнено; "
                                    "повторите его, когда связь восстановится.");
const QString LostAtCommit =
    QStringLiteral("Связь с сервером базы данных прервалась в момент записи: действие могло быть "
                   "выполнено. Проверьте данные, прежде чем повторять его.");

// A PostgreSQL cluster of this test alone, stopped and started again at the same socket
// directory, so the program finds it where it was. The PG* variables of the process point at it.
class OwnCluster
{
public:
    OwnCluster()
        : m_data(QStringLiteral("/tmp/tabel-outage-XXXXXX"))
    {}
    ~OwnCluster()
    {
        if (m_running)
            stop();
    }
    OwnCluster(const OwnCluster &) = delete;
    OwnCluster &operator=(const OwnCluster &) = delete;

    bool start()
    {
        QStringList arguments{QStringLiteral("start"), QStringLiteral("--data"), m_data.path()};
        if (!m_socket.isEmpty())
            arguments << QStringLiteral("--socket") << m_socket;
        QByteArray output;
        if (!pg(arguments, &output))
            return false;
        m_socket = TestDatabase::adoptCluster(QString::fromLocal8Bit(output));
        m_running = true;
        return !m_socket.isEmpty();
    }

    bool running() const { return m_running; }
    // At once, as a crash or a pulled cable: with a fast shutdown a session waiting for a lock
    // could still be granted it and commit while the others are being ended.
    bool stop()
    {
        m_running = false;
        return pg({QStringLiteral("stop"), QStringLiteral("--data"), m_data.path(),
                   QStringLiteral("--immediate")});
    }

private:
    bool pg(const QStringList &arguments, QByteArray *output = nullptr)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : environment.keys()) {
            if (name.startsWith(QLatin1String("PG")) || name.startsWith(QLatin1String("TABEL_PG")))
                environment.remove(name);
        }
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TABEL_SOURCE_DIR "/scripts/pg"), arguments);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            qWarning("scripts/pg %s failed:\n%s", qPrintable(arguments.join(QLatin1Char(' '))),
                     process.readAllStandardError().constData());
            return false;
        }
        if (output)
            *output = process.readAllStandardOutput();
        return true;
    }

    QTemporaryDir m_data;
    QString m_socket;
    bool m_running = false;
};

// The error messages shown, in order (questions left out).
QStringList errors(const MessageRecorder &recorder)
{
    QStringList texts;
    for (const messages::Message &message : recorder.shown) {
        if (message.kind == messages::Kind::Error)
            texts << message.text;
    }
    return texts;
}

} // namespace

// The database server goes away while the program is in use and comes back: the action that
// meets the outage fails with one clear message and leaves nothing half-written, the windows stay
// usable, and once the server is back the next action works without restarting the program. The
// test runs its own cluster, which it stops and starts.
class TestOutage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_cluster.start());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("outage"));
        Clock::set(QDateTime(m_today, QTime(9, 0)));
        auto dm = m_db->connect();
        m_worker = seed::worker(*dm, QStringLiteral("Иванов И.И."));
        m_product = seed::product(*dm, QStringLiteral("ТП-120"));
        const qint64 kind = seed::kind(*dm, QStringLiteral("Литьё"));
        m_operation = seed::operation(*dm, kind, m_product, 0, {10});
        m_otherOperation = seed::operation(*dm, kind, m_product, 1, {12});
        m_group = seed::group(*dm, QStringLiteral("Блоки"));
    }
    void cleanupTestCase()
    {
        if (!m_cluster.running())
            QVERIFY(m_cluster.start());
        m_db.reset();
        Clock::set({});
    }
    void init()
    {
        if (!m_cluster.running()) // a failed case may have left it stopped
            QVERIFY(m_cluster.start());
        {
            auto dm = m_db->admin();
            TestDatabase::exec(*dm, QStringLiteral("delete from accounts_dep.smena; delete from "
                                                   "accounts_dep.h_tabel; delete from "
                                                   "accounts_dep.fatigue; update accounts_dep.ver "
                                                   "set d=0, t=0"));
        }
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
        main().applyRole(Role::Full);
        for (int shift = 1; shift <= 4; ++shift)
            dm().shiftQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        main().ShiftNo = 1;
    }
    void cleanup() { m_program.reset(); }

    // The server stops while a new entry is being saved (its posting waits for another copy's
    // lock): one message, nothing of the entry stored, the editor still open with its contents.
    // The save is one statement that commits as it ends, so the program cannot tell that it did
    // not land and says so. When the server is back, pressing "Запись" again saves it.
    void saveInFlight()
    {
        MessageRecorder recorder;
        main().FormActivate();
        ModalScript modal([&](QDialog &dialog) {
            dialog.show();
            fillEditor();
            QSemaphore locked;
            bool stopped = false;
            std::thread otherCopy([&] {
                // Another copy holds the month's lock; once the program waits for it, the
                // server goes away.
                try {
                    auto holder = m_db->connect();
                    auto watcher = m_db->connect();
                    holder->ADO_DB.begin();
                    posting::lockMonth(*holder, m_today.month(), m_today.year());
                    locked.release();
                    for (int poll = 0; poll < 1000; ++poll) {
                        if (TestDatabase::scalar(
                                *watcher, QStringLiteral("select count(*) from pg_stat_activity "
                                                         "where datname=current_database() and "
                                                         "wait_event='advisory'")) > 0)
                            break;
                        QThread::msleep(10);
                    }
                    stopped = m_cluster.stop();
                    holder->ADO_DB.rollback();
                } catch (const std::exception &error) {
                    qWarning("the other copy failed: %s", error.what());
                }
            });
            const bool holding = locked.tryAcquire(1, 60000);
            if (holding)
                editor().Button1->click();
            otherCopy.join();
            QVERIFY(holding);
            QVERIFY(stopped);

            QCOMPARE(recorder.texts(), QStringList{LostAtCommit});
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.result(), 0);
            QCOMPARE(editor().Edit1->text(), QStringLiteral("Иванов И.И."));

            QVERIFY(m_cluster.start());
            QCOMPARE(stored(QStringLiteral("accounts_dep.smena")), 0);
            QCOMPARE(stored(QStringLiteral("accounts_dep.h_tabel")), 0);

            recorder.clear();
            editor().Button1->click();
            QCOMPARE(recorder.texts(), QStringList());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });
        main().Button1->click();
        QCOMPARE(recorder.texts(), QStringList());
        QCOMPARE(stored(QStringLiteral("accounts_dep.smena")), 1);
        QCOMPARE(dayValue(), 8);
        QCOMPARE(dm().Smena1.recordCount(), 1);
    }

    // The server stores a new hour-paid entry, and the answer is lost with the connection (the
    // server waits for a standby that never confirms; the session is ended while it waits, after
    // its commit). The program says the outcome is unknown and keeps the dialog open; pressing
    // "Записать" again, even after changing the hours, leaves one entry with the hours shown,
    // posted once.
    void repeatedHourPaidSaveAfterLostAnswer()
    {
        MessageRecorder recorder;
        TForm25 &list = m_program->forms().Form25;
        TForm24 &dialog = m_program->forms().Form24;
        list.DTPcker1->setDate(m_today);
        list.FormActivate();
        auto admin = m_db->admin();
        const auto standbyWanted = [&](bool wanted) {
            admin->ADO_DB.run(wanted ? QStringLiteral("alter system set "
                                                      "synchronous_standby_names = 'nobody'")
                                     : QStringLiteral("alter system reset "
                                                      "synchronous_standby_names"));
            admin->ADO_DB.run(QStringLiteral("select pg_reload_conf()"));
            // Once a session has it, the server has read it: new sessions start with it too.
            QTRY_COMPARE(
                TestDatabase::scalar(*admin, QStringLiteral("select count(*) where current_setting("
                                                            "'synchronous_standby_names') = ''")),
                wanted ? 0 : 1);
        };
        const auto restore = qScopeGuard([&] { standbyWanted(false); });
        ModalScript modal([&](QDialog &) {
            dialog.WorkerId = m_worker;
            dialog.Edit1->setText(QStringLiteral("Иванов И.И."));
            dialog.GroupId = m_group;
            dialog.Edit2->setText(QStringLiteral("Блоки"));
            dialog.Edit6->setText(QStringLiteral("6"));
            standbyWanted(true);
            // The program's session has taken the new setting before it saves.
            QTRY_COMPARE(TestDatabase::scalar(dm(), QStringLiteral("select count(*) where "
                                                                   "current_setting('synchronous_"
                                                                   "standby_names') = 'nobody'")),
                         1);
            std::atomic<bool> ended = false;
            std::thread watcher([&] {
                try {
                    auto superuser = m_db->admin();
                    const QString waiting = QStringLiteral(
                        "select coalesce(max(pid), 0) from pg_stat_activity where datname = "
                        "current_database() and wait_event = 'SyncRep' and query like "
                        "'INSERT INTO accounts_dep.fatigue%'");
                    for (int poll = 0; poll < 3000 && !ended; ++poll) {
                        if (const qint64 pid = TestDatabase::scalar(*superuser, waiting))
                            ended = TestDatabase::scalar(
                                        *superuser,
                                        QStringLiteral("select pg_terminate_backend(%1)::int")
                                            .arg(pid)) == 1;
                        else
                            QThread::msleep(10);
                    }
                } catch (const std::exception &error) {
                    qWarning("the watcher failed: %s", error.what());
                }
            });
            dialog.Button1->click();
            watcher.join();
            // The driver's watch for notifications is left on the socket the client library
            // closed: Qt says so once, before any new connection could take the socket's number.
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral(
                                     "^QSocketNotifier: Invalid socket \\d+ and type 'Read', "
                                     "disabling")));
            QTest::qWait(100);
            QVERIFY2(ended, qPrintable(recorder.texts().join(QLatin1Char('\n'))));
            QCOMPARE(errors(recorder), QStringList{LostAtCommit});
            QCOMPARE(dialog.result(), 0);
            // It landed.
            QCOMPARE(stored(QStringLiteral("accounts_dep.fatigue")), 1);

            standbyWanted(false);
            recorder.clear();
            dialog.Edit6->setText(QStringLiteral("7"));
            dialog.Button1->click();
            QCOMPARE(errors(recorder), QStringList());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });
        list.Button5->click();
        QCOMPARE(stored(QStringLiteral("accounts_dep.fatigue")), 1);
        QCOMPARE(stored(QStringLiteral("accounts_dep.fatigue where cnt = 7")), 1);
        auto other = m_db->connect();
        QCOMPARE(seed::dayValue(*other, m_worker, 0, m_today), 7);
        QCOMPARE(list.fatigue->recordCount(), 1);
    }

    // The server restarts while nobody uses the program: the next action works at once, with no
    // message.
    void actionsAfterIdleRestart_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("refresh") << QStringLiteral("refresh");
        QTest::newRow("acceptance") << QStringLiteral("accept");
        QTest::newRow("delete") << QStringLiteral("delete");
        QTest::newRow("new entry") << QStringLiteral("add");
    }
    void actionsAfterIdleRestart()
    {
        QFETCH(QString, action);
        MessageRecorder recorder;
        prepareEntry();
        QVERIFY(m_cluster.stop());
        QVERIFY(m_cluster.start());
        act(action);
        QCOMPARE(errors(recorder), QStringList());
        checkDone(action);
    }

    // The server is away: the action fails with one message and changes nothing; the version
    // check keeps ticking and says so once. With the server back the same action works, and the
    // version check runs again. (Saving in the entry editor: saveInFlight.)
    void actionsWhileDown_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("refresh") << QStringLiteral("refresh");
        QTest::newRow("acceptance") << QStringLiteral("accept");
        QTest::newRow("delete") << QStringLiteral("delete");
    }
    void actionsWhileDown()
    {
        QFETCH(QString, action);
        MessageRecorder recorder;
        prepareEntry();
        QVERIFY(m_cluster.stop());

        act(action);
        QCOMPARE(errors(recorder), QStringList{Lost});
        main().Timer1->start(20);
        QTest::qWait(300);
        QCOMPARE(errors(recorder), (QStringList{Lost, Lost}));

        QVERIFY(m_cluster.start());
        QCOMPARE(stored(QStringLiteral("accounts_dep.smena")), 1);
        QCOMPARE(stored(QStringLiteral("accounts_dep.smena where ok='ok'")), 0);
        QCOMPARE(dayValue(), 3);
        QTest::qWait(200);
        main().Timer1->stop();
        recorder.clear();
        act(action);
        QCOMPARE(errors(recorder), QStringList());
        checkDone(action);

        // The timer checks again: a newer build stamped meanwhile ends the program.
        {
            auto other = m_db->admin();
            TestDatabase::exec(*other, QStringLiteral("update accounts_dep.ver set d=20990101"));
        }
        main().Timer1->start(20);
        QTRY_VERIFY(termination::requested());
        main().Timer1->stop();
        QCOMPARE(errors(recorder).size(), 1);
        QVERIFY(errors(recorder).first().startsWith(QStringLiteral("Версия программы")));
    }

private:
    TDataModule6 &dm() { return m_program->dataModule(); }
    TForm1 &main() { return m_program->mainWindow(); }
    TForm11 &editor() { return m_program->forms().Form11; }

    // The editor filled as after picking the worker and the operation and typing 5 pieces in 8
    // hours.
    void fillEditor()
    {
        editor().WorkerId = m_worker;
        editor().Edit1->setText(QStringLiteral("Иванов И.И."));
        editor().ProductId = m_product;
        editor().OperationId = m_operation;
        editor().PiecePrice = 10;
        editor().Edit2->setText(QStringLiteral("ТП-120; Литьё; Готовая продукция"));
        editor().Edit3->setText(QStringLiteral("5"));
        editor().Edit6->setText(QStringLiteral("8"));
    }

    // One entry of today (of another operation than the one the editor saves) with its 3 hours
    // posted, shown in the shift log.
    void prepareEntry()
    {
        {
            auto other = m_db->connect();
            seed::Entry entry{m_worker, m_product, m_otherOperation, m_today};
            entry.hours = 3;
            seed::entry(*other, entry);
        }
        main().FormActivate();
        QCOMPARE(dm().Smena1.recordCount(), 1);
    }

    void act(const QString &action)
    {
        if (action == QLatin1String("refresh")) {
            main().Button8->click();
        } else if (action == QLatin1String("accept")) {
            Q_EMIT main().DBGrid2->doubleClicked(main().DBGrid2->currentIndex());
        } else if (action == QLatin1String("delete")) {
            main().Button3->click();
        } else {
            ModalScript modal([&](QDialog &) {
                fillEditor();
                editor().Button1->click();
            });
            main().Button1->click();
        }
    }

    void checkDone(const QString &action)
    {
        if (action == QLatin1String("refresh")) {
            QCOMPARE(dm().Smena1.recordCount(), 1);
        } else if (action == QLatin1String("accept")) {
            QCOMPARE(stored(QStringLiteral("accounts_dep.smena where ok='ok'")), 1);
        } else if (action == QLatin1String("delete")) {
            QCOMPARE(stored(QStringLiteral("accounts_dep.smena")), 0);
            QCOMPARE(dayValue(), -2);
        } else {
            QCOMPARE(stored(QStringLiteral("accounts_dep.smena")), 2);
            QCOMPARE(dayValue(), 11);
        }
    }

    // Read on a connection of its own, so the program's connection is left as it is.
    qint64 stored(const QString &rows)
    {
        auto other = m_db->connect();
        return TestDatabase::scalar(*other, QStringLiteral("select count(*) from ") + rows);
    }
    int dayValue()
    {
        auto other = m_db->connect();
        return seed::dayValue(*other, m_worker, 1, m_today);
    }

    const QDate m_today{2024, 3, 6};
    OwnCluster m_cluster;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    qint64 m_worker = 0;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    qint64 m_otherOperation = 0;
    qint64 m_group = 0;
};

TABEL_TEST_MAIN(TestOutage)
#include "tst_outage.moc"
