#include "db/data_module.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QCoreApplication>
#include <QTest>

#include <barrier>
#include <thread>

// Posting a worker's hours of a shift and day into his monthly row: the database does it for
// every statement that writes entries, whoever writes them.
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
        QCOMPARE(seed::dayValue(*m_dm, w, 2, day), 10);
        QCOMPARE(seed::shiftRows(*m_dm, w, 2, 3, 2024), 1);

        seed::entry(*m_dm, entry(w, day, 1, 4));
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

        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.smena where id=%1").arg(first));
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), 5);

        TestDatabase::exec(
            *m_dm, QStringLiteral("delete from accounts_dep.smena where id=%1").arg(second));
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), -2);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, other), 6);

        // No row is created on this path.
        QCOMPARE(seed::shiftRows(*m_dm, w, 3, 6, 2024), 0);
    }

    // Remaining entries of 0 hours leave 0, not an empty day.
    void afterDeleteZeroHoursRemain()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Нулев Н.Н."));
        const QDate day(2024, 6, 12);
        const qint64 gone = seed::entry(*m_dm, entry(w, day, 1, 4));
        seed::entry(*m_dm, entry(w, day, 1, 0, m_oper2));
        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.smena where id=%1").arg(gone));
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), 0);
    }

    // The posting is part of the entry's statement: undone with the caller's transaction.
    void joinsTheCallersTransaction()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Откатов О.О."));
        const QDate day(2024, 7, 1);
        try {
            m_dm->ADO_DB.inTransaction([&] {
                seed::entry(*m_dm, entry(w, day, 1, 8));
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

    // Two copies, each saving an entry of the same worker, shift and day in its own transaction
    // at the same moment, leave one row with both entries' hours.
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

    // A change that moves an entry to another worker, shift or day posts both days: the new one
    // gets the entry's hours, the one it left what is left there (empty when nothing is). A
    // change of price or acceptance leaves the hours as they are.
    void movedEntry_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("newShift");
        QTest::addColumn<int>("dayShift"); // days the entry moves
        QTest::addColumn<bool>("otherWorker");
        QTest::newRow("to another day") << "data=data + interval '1 day'" << 1 << 1 << false;
        QTest::newRow("to another month") << "data=data + interval '30 days'" << 1 << 30 << false;
        QTest::newRow("to another shift") << "smena=3" << 3 << 0 << false;
        QTest::newRow("to another worker") << "w_id=OTHER" << 1 << 0 << true;
    }
    void movedEntry()
    {
        QFETCH(QString, change);
        QFETCH(int, newShift);
        QFETCH(int, dayShift);
        QFETCH(bool, otherWorker);
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Переносов П.П."));
        const qint64 other = seed::worker(*m_dm, QStringLiteral("Другой Д.Д."));
        const QDate day(2024, 9, 10);
        const qint64 moved = seed::entry(*m_dm, entry(w, day, 1, 6));
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), 6);
        change.replace(QLatin1String("OTHER"), QString::number(other));
        TestDatabase::exec(
            *m_dm,
            QStringLiteral("update accounts_dep.smena set %1 where id=%2").arg(change).arg(moved));
        QCOMPARE(seed::dayValue(*m_dm, w, 1, day), -2);
        QCOMPARE(seed::dayValue(*m_dm, otherWorker ? other : w, newShift, day.addDays(dayShift)),
                 6);
    }
    void unchangedHours()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Принятов П.П."));
        const QDate day(2024, 9, 12);
        const qint64 id = seed::entry(*m_dm, entry(w, day, 2, 5));
        // A hand-made value shows whether the statements below posted the day again.
        TestDatabase::exec(*m_dm, QStringLiteral("update accounts_dep.h_tabel set d12=99 where "
                                                 "w_id=%1 and smena=2")
                                      .arg(w));
        TestDatabase::exec(*m_dm, QStringLiteral("update accounts_dep.smena set ok='да', cena=11 "
                                                 "where id=%1")
                                      .arg(id));
        QCOMPARE(seed::dayValue(*m_dm, w, 2, day), 99);
        TestDatabase::exec(
            *m_dm, QStringLiteral("update accounts_dep.smena set time=7 where id=%1").arg(id));
        QCOMPARE(seed::dayValue(*m_dm, w, 2, day), 7);
    }

    // Hour-paid entries post to the kind's day or night row of the worker; a delete of several
    // days at once re-posts each of them.
    void hourPaidEntries()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Почасов П.П."));
        TestDatabase::exec(
            *m_dm, QStringLiteral("insert into accounts_dep.fatigue(id_o, id_p, d_date, i_mnth, "
                                  "i_year, i_smena, cnt, price, i_holiday, i_night) values "
                                  "(7777, %1, '2024-10-01', 10, 2024, 1, 3, 150, 0, 0), "
                                  "(7777, %1, '2024-10-01', 10, 2024, 1, 2, 150, 0, 0), "
                                  "(7777, %1, '2024-10-01', 10, 2024, 1, 4, 150, 0, 1), "
                                  "(7778, %1, '2024-10-02', 10, 2024, 1, 6, 200, 0, 0)")
                       .arg(w));
        const auto fatigueDay = [&](int kind, int night, int day) {
            return TestDatabase::scalar(
                *m_dm, QStringLiteral("select coalesce(d%1, -2) from accounts_dep.h_tabel where "
                                      "w_id=%2 and smena=0 and i_type=%3 and i_night=%4 and "
                                      "month=10 and year=2024")
                           .arg(day)
                           .arg(w)
                           .arg(kind)
                           .arg(night));
        };
        QCOMPARE(fatigueDay(7777, 0, 1), 5);
        QCOMPARE(fatigueDay(7777, 1, 1), 4);
        QCOMPARE(fatigueDay(7778, 0, 2), 6);
        TestDatabase::exec(*m_dm, QStringLiteral("update accounts_dep.fatigue set i_night=1 where "
                                                 "id_p=%1 and cnt=2")
                                      .arg(w));
        QCOMPARE(fatigueDay(7777, 0, 1), 3);
        QCOMPARE(fatigueDay(7777, 1, 1), 6);
        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.fatigue where id_p=%1").arg(w));
        QCOMPARE(fatigueDay(7777, 0, 1), -2);
        QCOMPARE(fatigueDay(7777, 1, 1), -2);
        QCOMPARE(fatigueDay(7778, 0, 2), -2);
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
