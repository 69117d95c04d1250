#include "db/data_module.h"
#include "db/hours_posting.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QCoreApplication>
#include <QTest>

#include <barrier>
#include <thread>

// Posting a worker's hours of a shift and day into his monthly row.
class TestHoursPosting : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("hours_posting"));
        m_dm = m_db->connect();
        m_product = seed::product(*m_dm, QStringLiteral("ТП-120"));
        const qint64 kind = seed::kind(*m_dm, QStringLiteral("Литьё"));
        m_oper = seed::operation(*m_dm, kind, m_product, 0, {10});
        m_oper2 = seed::operation(*m_dm, kind, m_product, 1, {12});
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    seed::Entry entry(qint64 worker, const QDate &day, int shift, int hours, qint64 oper = 0)
    {
        seed::Entry e{worker, m_product, oper ? oper : m_oper, day};
        e.shift = shift;
        e.hours = hours;
        return e;
    }

    // Two entries of 3 and 5 hours: the first posting inserts the row with only that day, a third
    // entry of 2 hours updates it to 10; another shift gets a row of its own.
    void sumsTheDay()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        const QDate day(2024, 3, 5);
        seed::entry(*m_dm, entry(w, day, 2, 3));
        seed::entry(*m_dm, entry(w, day, 2, 5, m_oper2));
        posting::postDay(*m_dm, w, 2, day);
        QCOMPARE(seed::dayValue(*m_dm, w, 2, day), 8);
        QCOMPARE(seed::dayValue(*m_dm, w, 2, QDate(2024, 3, 4)), -2);
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.h_tabel "
                                                       "where w_id=%1 and i_type=0 and i_night=0")
                                            .arg(w)),
            1);

        const qint64 kind = seed::kind(*m_dm, QStringLiteral("Упаковка"));
        const qint64 third = seed::operation(*m_dm, kind, m_product, 0, {3});
        seed::entry(*m_dm, entry(w, day, 2, 2, third));
        posting::postDay(*m_dm, w, 2, day);
        QCOMPARE(seed::dayValue(*m_dm, w, 2, day), 10);
        QCOMPARE(seed::shiftRows(*m_dm, w, 2, 3, 2024), 1);

        seed::entry(*m_dm, entry(w, day, 1, 4));
        posting::postDay(*m_dm, w, 1, day);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), 4);
        QCOMPARE(seed::dayValue(*m_dm, w, 2, day), 10);
    }

    // The date of the entry decides the column and the month's row; overtime goes to shift 4.
    void columnAndRow_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("hours");
        QTest::newRow("the 1st") << QDate(2024, 5, 1) << 1 << 7;
        QTest::newRow("the 31st") << QDate(2024, 5, 31) << 3 << 6;
        QTest::newRow("overtime") << QDate(2024, 5, 15) << 4 << 2;
        QTest::newRow("29 February") << QDate(2024, 2, 29) << 2 << 8;
        QTest::newRow("only entry with 0 hours writes 0") << QDate(2024, 5, 20) << 1 << 0;
    }
    void columnAndRow()
    {
        QFETCH(QDate, day);
        QFETCH(int, shift);
        QFETCH(int, hours);
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Петров П.П."));
        seed::entry(*m_dm, entry(w, day, shift, hours));
        posting::postDay(*m_dm, w, shift, day);
        QCOMPARE(seed::dayValue(*m_dm, w, shift, day), hours);
        QCOMPARE(seed::shiftRows(*m_dm, w, shift, day.month(), day.year()), 1);
        for (int other = 1; other <= 4; ++other)
            if (other != shift)
                QCOMPARE(seed::shiftRows(*m_dm, w, other, day.month(), day.year()), 0);
    }

    // After a delete: the remaining entries' hours; empty when none remains; other days kept;
    // never a new row.
    void afterDelete()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Сидоров С.С."));
        const QDate day(2024, 6, 10);
        const QDate other(2024, 6, 11);
        const qint64 first = seed::entry(*m_dm, entry(w, day, 1, 3));
        const qint64 second = seed::entry(*m_dm, entry(w, day, 1, 5, m_oper2));
        seed::entry(*m_dm, entry(w, other, 1, 6));
        posting::postDay(*m_dm, w, 1, day);
        posting::postDay(*m_dm, w, 1, other);

        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.smena where id=%1").arg(first));
        posting::postDayAfterDelete(*m_dm, w, 1, day);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), 5);

        TestDatabase::exec(
            *m_dm, QStringLiteral("delete from accounts_dep.smena where id=%1").arg(second));
        posting::postDayAfterDelete(*m_dm, w, 1, day);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), -2);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, other), 6);

        // No row is created on this path.
        posting::postDayAfterDelete(*m_dm, w, 3, day);
        QCOMPARE(seed::shiftRows(*m_dm, w, 3, 6, 2024), 0);
    }

    // Remaining entries of 0 hours leave 0, not an empty day.
    void afterDeleteZeroHoursRemain()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Нулев Н.Н."));
        const QDate day(2024, 6, 12);
        const qint64 gone = seed::entry(*m_dm, entry(w, day, 1, 4));
        seed::entry(*m_dm, entry(w, day, 1, 0, m_oper2));
        posting::postDay(*m_dm, w, 1, day);
        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.smena where id=%1").arg(gone));
        posting::postDayAfterDelete(*m_dm, w, 1, day);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), 0);
    }

    // A posting inside the caller's transaction is undone with it.
    void joinsTheCallersTransaction()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Откатов О.О."));
        const QDate day(2024, 7, 1);
        try {
            m_dm->ADO_DB.inTransaction([&] {
                seed::entry(*m_dm, entry(w, day, 1, 8));
                posting::postDay(*m_dm, w, 1, day);
                throw std::runtime_error("the save failed after the posting");
            });
        } catch (const std::runtime_error &) {
        }
        QCOMPARE(seed::shiftRows(*m_dm, w, 1, 7, 2024), 0);
        QCOMPARE(
            TestDatabase::scalar(
                *m_dm,
                QStringLiteral("select count(*) from accounts_dep.smena where w_id=%1").arg(w)),
            0);
    }

    // Two copies, each saving an entry of the same worker, shift and day and posting in its own
    // transaction at the same moment, leave one row with both entries' hours.
    void concurrentCopies()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Гонкин Г.Г."));
        const int rounds = 12;
        std::barrier sync(2);
        QStringList failures;
        std::mutex failuresMutex;
        const auto copy = [&](qint64 oper, int hours) {
            try {
                auto dm = m_db->connect();
                for (int round = 0; round < rounds; ++round) {
                    const QDate day = QDate(2024, 8, 1).addDays(round);
                    sync.arrive_and_wait();
                    dm->ADO_DB.inTransaction([&] {
                        seed::entry(*dm, entry(w, day, 2, hours, oper));
                        posting::postDay(*dm, w, 2, day);
                        // Hold the transaction so the other copy's posting overlaps it.
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    });
                }
            } catch (const std::exception &e) {
                const std::lock_guard lock(failuresMutex);
                failures << QString::fromUtf8(e.what());
            }
        };
        std::thread a(copy, m_oper, 3);
        std::thread b(copy, m_oper2, 5);
        a.join();
        b.join();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
        QCOMPARE(seed::shiftRows(*m_dm, w, 2, 8, 2024), 1);
        for (int round = 0; round < rounds; ++round)
            QCOMPARE(seed::dayValue(*m_dm, w, 2, QDate(2024, 8, 1).addDays(round)), 8);
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    qint64 m_product = 0;
    qint64 m_oper = 0;
    qint64 m_oper2 = 0;
};

TABEL_TEST_GUILESS_MAIN(TestHoursPosting)
#include "tst_hours_posting.moc"
