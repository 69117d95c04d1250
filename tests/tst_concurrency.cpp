#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "shiftlog/shift_entries.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/hour_paid_writes.h"
#include "timesheets/month_rebuild.h"
#include "ui/clock.h"
#include "ui/error_guard.h"
#include "ui/locale_setup.h"

#include <QDateEdit>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

constexpr int Clients = 4;
constexpr int StepsPerClient = 150;
const QDate Today(2024, 6, 3);
// Few workers and days, so the clients keep meeting on the same monthly rows.
const QList<QDate> Days{QDate(2024, 5, 1), QDate(2024, 5, 2), QDate(2024, 5, 3), QDate(2024, 5, 30),
                        QDate(2024, 5, 31)};

struct Operation
{
    qint64 id = 0;
    qint64 product = 0;
    double price = 0;
};

// What the clients were told about their writes. Each write carries a marker of its own (the
// pieces of a shift entry, the price of an hour-paid entry), so the final rows show which write
// they hold.
struct Ledger
{
    std::mutex mutex;
    QHash<qint64, shiftentries::Entry> written; // marker -> the entry a successful write stored
    QHash<qint64, QList<qint64>> markersOf;     // entry id -> markers written to it
    QHash<qint64, QSet<int>> writersOf;         // entry id -> clients that wrote it
    QList<qint64> created;                      // every entry id a client created
    QSet<qint64> deleted;                       // entry ids whose delete succeeded
    QHash<qint64, QString> acceptance;          // entry id -> what its creator set last
    QHash<qint64, hourpaid::Entry> paidWritten; // marker -> hour-paid entry stored
    QHash<qint64, qint64> paidMarkerOf;         // hour-paid id -> its marker
    QList<qint64> paidCreated;
    QSet<qint64> paidDeleted;
    int refused = 0;   // the same entry was already stored
    int gone = 0;      // a change or delete of an entry another client deleted first
    int conflicts = 0; // deadlock or serialization failures left after the retries
    int retries = 0;   // transactions run again after a deadlock or serialization failure
    int rebuilds = 0;
    QStringList unexpected;
};

QString dayColumns()
{
    QStringList columns;
    for (int day = 1; day <= 31; ++day)
        columns << QStringLiteral("h.d%1").arg(day);
    return columns.join(QLatin1String(", "));
}

} // namespace

// Several copies of the program at once on one database, each with its own connection, going
// through the program's own writes: shift entries added, changed (moved between workers and days)
// and deleted with their hours posting, entries accepted, hour-paid entries added and deleted, and
// month rebuilds running meanwhile. Nothing may be lost, doubled or left with stale hours.
class TestConcurrency : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("concurrency"));
        m_dm = m_db->connect();
        m_group = TestDatabase::scalar(*m_dm, QStringLiteral("insert into cmn_classifier.item("
                                                             "s_caption) values ('Блоки') "
                                                             "returning id"));
        for (const QString &name : {QStringLiteral("Абрамов А.А."), QStringLiteral("Борисов Б.Б."),
                                    QStringLiteral("Васильев В.В."), QStringLiteral("Глебов Г.Г."),
                                    QStringLiteral("Дёмин Д.Д."), QStringLiteral("Егоров Е.Е.")})
            m_workers << seed::worker(*m_dm, name);
        const qint64 pipe = seed::product(*m_dm, QStringLiteral("ТП-120"));
        const qint64 cap = seed::product(*m_dm, QStringLiteral("Крышка"));
        const qint64 casting = seed::kind(*m_dm, QStringLiteral("Литьё"));
        const qint64 grinding = seed::kind(*m_dm, QStringLiteral("Шлифовка"));
        m_operations << Operation{seed::operation(*m_dm, casting, pipe, 0, {12}), pipe, 12}
                     << Operation{seed::operation(*m_dm, grinding, pipe, 1, {7.5}), pipe, 7.5}
                     << Operation{seed::operation(*m_dm, casting, cap, 0, {3}), cap, 3};
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // A session left open in psql holding an entry (a row lock): the program's delete of it waits
    // a few seconds at most, then says in Russian that another user holds the data, and deletes
    // nothing. Every session of the program has such a limit from the start.
    void heldDataRefusedInTime()
    {
        QSqlQuery limit = m_dm->ADO_DB.run(QStringLiteral("show lock_timeout"));
        QVERIFY(limit.next());
        QCOMPARE(limit.value(0).toString(), QStringLiteral("5s"));
        const Operation &operation = m_operations.first();
        const qint64 id = seed::entry(
            *m_dm, {m_workers.first(), operation.product, operation.id, QDate(2024, 10, 3)});
        auto holder = m_db->connect();
        holder->ADO_DB.begin();
        holder->ADO_DB.run(
            QStringLiteral("select id from accounts_dep.smena where id=%1 for update").arg(id));
        m_dm->ADO_DB.setLockTimeout(300);
        const auto restore = qScopeGuard([&] { m_dm->ADO_DB.setLockTimeout(5000); });
        MessageRecorder recorder;
        QVERIFY(!guard::run([&] { shiftentries::remove(*m_dm, id); }));
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Данные заняты другим пользователем, повторите через "
                                            "несколько секунд. Действие не выполнено.")});
        holder->ADO_DB.rollback();
        QCOMPARE(TestDatabase::scalar(
                     *m_dm,
                     QStringLiteral("select count(*) from accounts_dep.smena where id=%1").arg(id)),
                 1);
        QVERIFY(shiftentries::remove(*m_dm, id));
    }
    void init()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena; delete from "
                                                 "accounts_dep.fatigue; delete from "
                                                 "accounts_dep.h_tabel"));
    }

    // The clients write at once; afterwards every entry a client was told is saved is there as it
    // was last written, nothing a client was told failed is there, no monthly row is doubled and
    // every day holds the hours of its entries. Without rebuilds that holds as the postings left
    // it; with rebuilds racing the writes it holds both before and after one final rebuild.
    void clients_data()
    {
        QTest::addColumn<bool>("rebuilding");
        QTest::newRow("entries only") << false;
        QTest::newRow("month rebuilds meanwhile") << true;
    }
    void clients()
    {
        QFETCH(bool, rebuilding);
        Ledger ledger;
        std::atomic<int> running{Clients};
        std::vector<std::thread> threads;
        for (int client = 1; client <= Clients; ++client) {
            threads.emplace_back([&, client] {
                runClient(client, ledger);
                --running;
            });
        }
        if (rebuilding)
            threads.emplace_back([&] { runRebuilds(running, ledger); });
        for (std::thread &thread : threads)
            thread.join();

        qInfo("%d clients, %d steps each: %d refused as already stored, %d on entries deleted "
              "first by another client, %d transactions retried after a deadlock, %d conflicts "
              "reported after the retries, %d month rebuilds",
              Clients, StepsPerClient, ledger.refused, ledger.gone, ledger.retries,
              ledger.conflicts, ledger.rebuilds);
        QVERIFY2(ledger.unexpected.isEmpty(),
                 qPrintable(ledger.unexpected.join(QLatin1Char('\n'))));
        QVERIFY(!ledger.created.isEmpty());
        checkEntries(ledger);
        checkHourPaidEntries(ledger);
        checkMonthlyRows();
        if (!rebuilding || QTest::currentTestFailed())
            return;
        rebuild::shiftMonth(*m_dm, 5, 2024);
        rebuild::fatigueMonth(*m_dm, 5, 2024);
        checkMonthlyRows();
    }

    // A transaction that keeps meeting a deadlock is run again a bounded number of times, then
    // reported with a clear message and nothing of it stored.
    void conflictReportedAfterRetries()
    {
        MessageRecorder recorder;
        const int retriesBefore = m_dm->ADO_DB.retries();
        int attempts = 0;
        const bool done = guard::run([&] {
            m_dm->ADO_DB.inTransaction([&] {
                ++attempts;
                m_dm->ADO_DB.run(QStringLiteral("insert into accounts_dep.h_tabel(w_id, month, "
                                                "year, smena, d1) values (1, 1, 2024, 1, 8)"));
                m_dm->ADO_DB.run(QStringLiteral(
                    "do $$ begin raise exception 'deadlock detected' using errcode = '40P01'; "
                    "end $$"));
            });
        });
        QVERIFY(!done);
        QCOMPARE(attempts, 4);
        QCOMPARE(m_dm->ADO_DB.retries() - retriesBefore, 3);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral(
                                       "Эти же данные в то же время изменял другой "
                                       "пользователь. Действие не выполнено; повторите его.")});
        QCOMPARE(TestDatabase::scalar(*m_dm,
                                      QStringLiteral("select count(*) from accounts_dep.h_tabel")),
                 0);
    }

    // The connection drops while the server commits: the program cannot know whether the work
    // landed and says so, instead of "not done".
    void lossAtCommitSaysTheOutcomeIsUnknown()
    {
        auto dm = m_db->connect();
        TestDatabase::exec(*dm, QStringLiteral(R"(
create table commit_probe(x int);
create function commit_probe_end() returns trigger language plpgsql as $$
begin
    perform pg_terminate_backend(pg_backend_pid());
    return null;
end $$;
create constraint trigger commit_probe_end after insert on commit_probe
    deferrable initially deferred for each row execute function commit_probe_end();
)"));
        MessageRecorder recorder;
        const bool done = guard::run([&] {
            dm->ADO_DB.inTransaction(
                [&] { dm->ADO_DB.run(QStringLiteral("insert into commit_probe values (1)")); });
        });
        QVERIFY(!done);
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Связь с сервером базы данных прервалась в момент "
                                            "записи: действие могло быть выполнено. Проверьте "
                                            "данные, прежде чем повторять его.")});
        // The next statement reconnects by itself.
        QCOMPARE(TestDatabase::scalar(*dm, QStringLiteral("select count(*) from commit_probe")), 0);
        TestDatabase::exec(*dm, QStringLiteral("drop table commit_probe; drop function "
                                               "commit_probe_end()"));
    }

    // The shift log shows an entry; before the user changes or deletes it, another copy moves it
    // to another worker and day, or deletes it. The window works on the entry as it is stored: the
    // day it is on now loses its hours (not the day the list showed), and a change of an entry
    // that is gone says so and writes nothing.
    void staleShiftLog_data()
    {
        QTest::addColumn<bool>("change");       // else delete
        QTest::addColumn<bool>("otherDeletes"); // else the other copy moves it
        QTest::newRow("change, moved meanwhile") << true << false;
        QTest::newRow("delete, moved meanwhile") << false << false;
        QTest::newRow("change, deleted meanwhile") << true << true;
    }
    void staleShiftLog()
    {
        QFETCH(bool, change);
        QFETCH(bool, otherDeletes);
        const QDate shown = Days.at(0);
        const QDate other = Days.at(1);
        const qint64 first = m_workers.at(0);
        const qint64 second = m_workers.at(1);
        const qint64 third = m_workers.at(2);
        Clock::set(QDateTime(shown, QTime(9, 0)));
        RunningProgram program(*m_db);
        QVERIFY(program.started());
        TForm1 &main = program.mainWindow();
        TForm11 &editor = program.forms().Form11;
        main.applyRole(Role::Full);
        main.ShiftNo = 1;
        QRandomGenerator random(1);
        shiftentries::Entry entry = randomEntry(random, 5);
        entry.workerId = first;
        entry.day = shown;
        entry.shift = 1;
        entry.hours = 5;
        Command command(m_dm->ADO_DB);
        const qint64 id = shiftentries::save(command, entry, 0, Today);
        main.FormActivate();
        QCOMPARE(program.dataModule().Smena1.recordCount(), 1);

        if (otherDeletes) {
            QVERIFY(shiftentries::remove(*m_dm, id));
        } else {
            entry.workerId = second;
            entry.day = other;
            QCOMPARE(shiftentries::save(command, entry, id, Today), id);
        }

        MessageRecorder recorder;
        int result = -1;
        if (change) {
            ModalScript modal([&](QDialog &dialog) {
                editor.WorkerId = third;
                editor.Edit1->setText(QStringLiteral("Васильев В.В."));
                editor.Button1->click();
                result = dialog.result();
            });
            main.Button2->click();
        } else {
            main.Button3->click();
        }
        Clock::set({});
        QCOMPARE(seed::dayValue(*m_dm, second, 1, other), otherDeletes ? -1 : -2);
        QCOMPARE(seed::dayValue(*m_dm, first, 1, shown), -2);
        if (otherDeletes) {
            QCOMPARE(recorder.texts(), QStringList{DbError::rowDeleted().message()});
            QCOMPARE(result, 0);
            QCOMPARE(seed::dayValue(*m_dm, third, 1, shown), -1);
            QCOMPARE(TestDatabase::scalar(
                         *m_dm, QStringLiteral("select count(*) from accounts_dep.smena")),
                     0);
        } else if (change) {
            QCOMPARE(recorder.texts(), QStringList());
            QCOMPARE(seed::dayValue(*m_dm, third, 1, shown), 5);
        } else {
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить позицию из списка?")});
            QCOMPARE(TestDatabase::scalar(
                         *m_dm, QStringLiteral("select count(*) from accounts_dep.smena")),
                     0);
        }
    }

    // The same for the day list of hour-paid work: another copy moved the entry to another
    // worker; deleting it from the list takes the hours off that worker's day.
    void staleHourPaidList()
    {
        const QDate day = Days.at(0);
        RunningProgram program(*m_db);
        QVERIFY(program.started());
        TForm25 &list = program.forms().Form25;
        QRandomGenerator random(1);
        hourpaid::Entry entry = randomPaidEntry(random, 7);
        entry.workerId = m_workers.at(0);
        entry.day = day;
        const qint64 id = hourpaid::save(*m_dm, entry, 0);
        list.DTPcker1->setDate(day);
        list.FormActivate();
        QCOMPARE(list.fatigue->recordCount(), 1);

        entry.workerId = m_workers.at(1);
        QCOMPARE(hourpaid::save(*m_dm, entry, id), id);
        MessageRecorder recorder;
        list.Button7->click();
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить позицию из списка?")});
        QCOMPARE(TestDatabase::scalar(*m_dm,
                                      QStringLiteral("select count(*) from accounts_dep.fatigue")),
                 0);
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select count(*) from accounts_dep.h_tabel where "
                                           "d1 is not null")),
                 0);
    }

private:
    shiftentries::Entry randomEntry(QRandomGenerator &random, qint64 marker) const
    {
        const Operation &operation = m_operations.at(random.bounded(int(m_operations.size())));
        shiftentries::Entry entry;
        entry.workerId = m_workers.at(random.bounded(int(m_workers.size())));
        entry.productId = operation.product;
        entry.operationId = operation.id;
        entry.price = operation.price;
        entry.pieces = marker;
        entry.day = Days.at(random.bounded(int(Days.size())));
        entry.shift = 1 + random.bounded(4);
        entry.hours = random.bounded(13); // 0 hours too: such a day holds 0, not nothing
        return entry;
    }

    hourpaid::Entry randomPaidEntry(QRandomGenerator &random, qint64 marker) const
    {
        hourpaid::Entry entry;
        entry.groupId = m_group;
        entry.kind = random.bounded(2) == 0 ? hourpaid::HouseholdWorks : hourpaid::AveragePieceRate;
        entry.workerId = m_workers.at(random.bounded(int(m_workers.size())));
        entry.hours = 1 + random.bounded(8);
        entry.price = double(marker);
        entry.night = random.bounded(2);
        entry.day = Days.at(random.bounded(int(Days.size())));
        return entry;
    }

    // An entry to change or delete: half the time one of the client's own, else one of the
    // newest of all, which the other clients are likely to be changing at the same moment.
    static qint64 pick(QRandomGenerator &random, const QList<qint64> &own, Ledger &ledger,
                       const QList<qint64> Ledger::*all)
    {
        if (!own.isEmpty() && random.bounded(10) < 5)
            return own.at(random.bounded(int(own.size())));
        const std::lock_guard lock(ledger.mutex);
        const QList<qint64> &ids = ledger.*all;
        const int newest = std::min(4, int(ids.size()));
        return newest == 0 ? 0 : ids.at(ids.size() - 1 - random.bounded(newest));
    }

    // One copy of the program: its own connection, data module and commands, and a fixed random
    // sequence of actions.
    struct Client
    {
        Client(int number, TDataModule6 &dm)
            : number(number)
            , dm(dm)
            , random(quint32(1000 + number))
            , smenaIU(dm.ADO_DB)
            , updtOK(dm.ADO_DB, shiftentries::acceptanceStatement())
        {}
        int number;
        TDataModule6 &dm;
        QRandomGenerator random;
        Command smenaIU;
        Command updtOK;
        QList<qint64> own;     // entries it created
        QList<qint64> ownPaid; // hour-paid entries it created
    };

    void runClient(int number, Ledger &ledger)
    {
        try {
            auto dm = m_db->connect();
            Client client(number, *dm);
            for (int step = 1; step <= StepsPerClient; ++step) {
                const qint64 marker = qint64(number) * 1000000 + step;
                try {
                    act(client, marker, ledger);
                } catch (const DbError &error) {
                    const std::lock_guard lock(ledger.mutex);
                    if (error.isRetryable())
                        ++ledger.conflicts;
                    else if (error.message() == DbError::rowDeleted().message())
                        ++ledger.gone;
                    else
                        ledger.unexpected << QStringLiteral("client %1: %2\n%3")
                                                 .arg(number)
                                                 .arg(error.message(), error.statement());
                }
            }
            const std::lock_guard lock(ledger.mutex);
            ledger.retries += dm->ADO_DB.retries();
        } catch (const std::exception &error) {
            const std::lock_guard lock(ledger.mutex);
            ledger.unexpected << QStringLiteral("client %1: %2").arg(number).arg(error.what());
        }
    }

    // One action of a client, chosen at random; what succeeded goes into the ledger.
    void act(Client &client, qint64 marker, Ledger &ledger)
    {
        const int action = client.random.bounded(100);
        if (action < 35)
            addEntry(client, marker, ledger);
        else if (action < 55)
            changeEntry(client, marker, ledger);
        else if (action < 65)
            deleteEntry(client, ledger);
        else if (action < 75)
            toggleAcceptance(client, ledger);
        else if (action < 90)
            addPaidEntry(client, marker, ledger);
        else
            deletePaidEntry(client, ledger);
    }

    void addEntry(Client &client, qint64 marker, Ledger &ledger)
    {
        const shiftentries::Entry entry = randomEntry(client.random, marker);
        const qint64 id = shiftentries::save(client.smenaIU, entry, 0, Today);
        const std::lock_guard lock(ledger.mutex);
        if (id == 0) {
            ++ledger.refused;
            return;
        }
        client.own << id;
        ledger.created << id;
        ledger.written.insert(marker, entry);
        ledger.markersOf[id] << marker;
        ledger.writersOf[id] << client.number;
    }

    // Moves an entry to a random worker, day and shift with new hours.
    void changeEntry(Client &client, qint64 marker, Ledger &ledger)
    {
        const qint64 id = pick(client.random, client.own, ledger, &Ledger::created);
        if (id == 0)
            return;
        const shiftentries::Entry entry = randomEntry(client.random, marker);
        const bool saved = shiftentries::save(client.smenaIU, entry, id, Today) != 0;
        const std::lock_guard lock(ledger.mutex);
        if (!saved) {
            ++ledger.refused;
            return;
        }
        ledger.written.insert(marker, entry);
        ledger.markersOf[id] << marker;
        ledger.writersOf[id] << client.number;
    }

    void deleteEntry(Client &client, Ledger &ledger)
    {
        const qint64 id = pick(client.random, client.own, ledger, &Ledger::created);
        if (id == 0)
            return;
        const bool removed = shiftentries::remove(client.dm, id);
        const std::lock_guard lock(ledger.mutex);
        if (removed)
            ledger.deleted << id;
        else
            ++ledger.gone;
    }

    // Only the creator accepts its entries, so the last value it set must stay whatever the
    // others change in them.
    void toggleAcceptance(Client &client, Ledger &ledger)
    {
        if (client.own.isEmpty())
            return;
        const qint64 id = client.own.at(client.random.bounded(int(client.own.size())));
        QString ok;
        {
            const std::lock_guard lock(ledger.mutex);
            ok = ledger.acceptance.value(id) == QLatin1String("ok") ? QStringLiteral("no")
                                                                    : QStringLiteral("ok");
        }
        shiftentries::setAcceptance(client.updtOK, id, ok);
        const std::lock_guard lock(ledger.mutex);
        ledger.acceptance.insert(id, ok);
    }

    void addPaidEntry(Client &client, qint64 marker, Ledger &ledger)
    {
        const hourpaid::Entry entry = randomPaidEntry(client.random, marker);
        const qint64 id = hourpaid::save(client.dm, entry, 0);
        client.ownPaid << id;
        const std::lock_guard lock(ledger.mutex);
        ledger.paidCreated << id;
        ledger.paidWritten.insert(marker, entry);
        ledger.paidMarkerOf.insert(id, marker);
    }

    void deletePaidEntry(Client &client, Ledger &ledger)
    {
        const qint64 id = pick(client.random, client.ownPaid, ledger, &Ledger::paidCreated);
        if (id == 0)
            return;
        const bool removed = hourpaid::remove(client.dm, id);
        const std::lock_guard lock(ledger.mutex);
        if (removed)
            ledger.paidDeleted << id;
        else
            ++ledger.gone;
    }

    // The office rebuilding the month over and over while the clients write.
    void runRebuilds(const std::atomic<int> &running, Ledger &ledger)
    {
        try {
            auto dm = m_db->connect();
            int rebuilds = 0;
            while (running > 0) {
                rebuild::shiftMonth(*dm, 5, 2024);
                rebuild::fatigueMonth(*dm, 5, 2024);
                ++rebuilds;
            }
            const std::lock_guard lock(ledger.mutex);
            ledger.rebuilds = rebuilds;
            ledger.retries += dm->ADO_DB.retries();
        } catch (const std::exception &error) {
            const std::lock_guard lock(ledger.mutex);
            ledger.unexpected << QStringLiteral("rebuild: %1").arg(error.what());
        }
    }

    void checkEntries(const Ledger &ledger)
    {
        QSqlQuery rows = m_dm->ADO_DB.run(
            QStringLiteral("select id, kol_vo, w_id, i_id, o_id, data::date, smena, time, ok, "
                           "cena from accounts_dep.smena"));
        QSet<qint64> present;
        while (rows.next()) {
            const qint64 id = rows.value(0).toLongLong();
            const qint64 marker = rows.value(1).toLongLong();
            present << id;
            const QString where = QStringLiteral("entry %1 (write %2)").arg(id).arg(marker);
            QVERIFY2(
                ledger.written.contains(marker),
                qPrintable(where + QStringLiteral(": no client was told this write succeeded")));
            QVERIFY2(ledger.markersOf.value(id).contains(marker),
                     qPrintable(where + QStringLiteral(": written to another entry")));
            QVERIFY2(!ledger.deleted.contains(id), qPrintable(where + QStringLiteral(": deleted")));
            const shiftentries::Entry &entry = ledger.written[marker];
            QCOMPARE(rows.value(2).toLongLong(), entry.workerId);
            QCOMPARE(rows.value(3).toLongLong(), entry.productId);
            QCOMPARE(rows.value(4).toLongLong(), entry.operationId);
            QCOMPARE(rows.value(5).toDate(), entry.day);
            QCOMPARE(rows.value(6).toInt(), entry.shift);
            QCOMPARE(rows.value(7).toLongLong(), entry.hours);
            QCOMPARE(rows.value(9).toDouble(), entry.price);
            // A change keeps the acceptance that the creator gave.
            QCOMPARE(rows.value(8).toString(), ledger.acceptance.value(id, QStringLiteral("no")));
            // Written by one client only: its last write is the one stored.
            if (ledger.writersOf.value(id).size() == 1)
                QCOMPARE(marker, ledger.markersOf.value(id).last());
        }
        for (qint64 id : ledger.created) {
            QVERIFY2(
                present.contains(id) || ledger.deleted.contains(id),
                qPrintable(
                    QStringLiteral("entry %1 was saved and never deleted, but is gone").arg(id)));
        }
    }

    void checkHourPaidEntries(const Ledger &ledger)
    {
        QSqlQuery rows = m_dm->ADO_DB.run(
            QStringLiteral("select id, price::bigint, id_p, id_o, i_night, d_date, cnt from "
                           "accounts_dep.fatigue"));
        QSet<qint64> present;
        while (rows.next()) {
            const qint64 id = rows.value(0).toLongLong();
            const qint64 marker = rows.value(1).toLongLong();
            present << id;
            QVERIFY2(
                ledger.paidMarkerOf.value(id) == marker && !ledger.paidDeleted.contains(id),
                qPrintable(QStringLiteral("hour-paid entry %1 (write %2)").arg(id).arg(marker)));
            const hourpaid::Entry &entry = ledger.paidWritten[marker];
            QCOMPARE(rows.value(2).toLongLong(), entry.workerId);
            QCOMPARE(rows.value(3).toLongLong(), entry.kind);
            QCOMPARE(rows.value(4).toInt(), entry.night);
            QCOMPARE(rows.value(5).toDate(), entry.day);
            QCOMPARE(rows.value(6).toLongLong(), entry.hours);
        }
        for (qint64 id : ledger.paidCreated) {
            QVERIFY2(present.contains(id) || ledger.paidDeleted.contains(id),
                     qPrintable(QStringLiteral("hour-paid entry %1 was saved and never deleted, "
                                               "but is gone")
                                    .arg(id)));
        }
    }

    // One monthly row per key; every day of every row holds the sum of the hours of its entries
    // (nothing where there is none), and every day with entries has its row.
    void checkMonthlyRows()
    {
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select count(*) from (select 1 from "
                                           "accounts_dep.h_tabel group by w_id, month, year, "
                                           "smena, i_type, i_night having count(*) > 1) doubled")),
                 0);
        QSqlQuery wrong = m_dm->ADO_DB.run(
            QStringLiteral(
                "with posted as (select h.w_id, h.smena, h.i_type, h.i_night, "
                "make_date(h.year, h.month, 1) + (d.day - 1) as day, (array[%1])[d.day] as hours "
                "from accounts_dep.h_tabel h cross join generate_series(1, 31) d(day) "
                "where extract(month from make_date(h.year, h.month, 1) + (d.day - 1)) = h.month), "
                "entered as (select w_id, smena::integer as smena, 0 as i_type, 0 as i_night, "
                "data::date as day, sum(time) as hours from accounts_dep.smena "
                "group by w_id, smena, data::date "
                "union all select id_p::integer, 0, id_o::integer, i_night, d_date, sum(cnt) "
                "from accounts_dep.fatigue group by id_p, id_o, i_night, d_date) "
                "select format('worker %s, shift %s, kind %s, night %s, %s: %s posted, %s "
                "entered', w_id, smena, i_type, i_night, day, coalesce(p.hours::text, 'nothing'), "
                "coalesce(e.hours::text, 'nothing')) from posted p full join entered e "
                "using (w_id, smena, i_type, i_night, day) "
                "where p.hours is distinct from e.hours order by 1")
                .arg(dayColumns()));
        QStringList mismatches;
        while (wrong.next())
            mismatches << wrong.value(0).toString();
        QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QLatin1Char('\n'))));
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    qint64 m_group = 0;
    QList<qint64> m_workers;
    QList<Operation> m_operations;
};

TABEL_TEST_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
