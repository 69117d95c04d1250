#include "db/data_module.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QTest>

// The data module's helpers, its shared statements against the real schema, and transactions.
class TestDataModule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("data_module"));
        m_dm = m_db->connect();
        TestDatabase::exec(
            *m_dm,
            QStringLiteral(
                "insert into cmn_gds_and_srv.gds_and_srv(s_caption, massa) values ('ТП-120', 2)"));
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    void checkCount_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("found");
        QTest::newRow("no such mark: no message") << "ТП-999"
                                                  << "Такое изделие уже есть!" << false;
        QTest::newRow("existing mark: the message") << "ТП-120"
                                                    << "Такое изделие уже есть!" << true;
        QTest::newRow("no message given: empty text") << "ТП-120"
                                                      << "" << true;
    }
    // A count above 0 shows the caller's message with caption "Ошибка" and answers true.
    void checkCount()
    {
        QFETCH(QString, mark);
        QFETCH(QString, message);
        QFETCH(bool, found);
        MessageRecorder recorder;
        const bool result = m_dm->CheckCount(
            QStringLiteral("select count(*) as cnt from accounts_dep.izdel where marka=") +
                sql::quote(mark),
            message);
        QCOMPARE(result, found);
        QCOMPARE(recorder.shown.size(), found ? 1 : 0);
        if (found) {
            QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(recorder.shown.first().text, message);
        }
        QVERIFY(!m_dm->Control.isOpen());
    }

    // An empty result reads 0; a result without "cnt" is an error.
    void checkCountEdges()
    {
        MessageRecorder recorder;
        QVERIFY(
            !m_dm->CheckCount(QStringLiteral("select 1 as cnt where false"), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(DbError, m_dm->CheckCount(QStringLiteral("select 1 as n")));
        QVERIFY(recorder.shown.isEmpty());
    }

    void fixDecimal_data()
    {
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("comma to point") << "."
                                        << "12,5"
                                        << "12.5";
        QTest::newRow("only the first comma") << "."
                                              << "1.234,5"
                                              << "1.234.5";
        QTest::newRow("no separator") << "."
                                      << "12"
                                      << "12";
        QTest::newRow("point kept as point") << "."
                                             << "12.5"
                                             << "12.5";
        QTest::newRow("comma delimiter") << ","
                                         << "12.5"
                                         << "12,5";
        QTest::newRow("empty delimiter removes it") << ""
                                                    << "12,5"
                                                    << "125";
    }
    void fixDecimal()
    {
        QFETCH(QString, delimiter);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        m_dm->DecimalDelimiter = delimiter;
        QCOMPARE(m_dm->FixDecimal(text), expected);
    }

    // The shared queries run against the schema as they stand.
    void sharedQueriesRun()
    {
        m_dm->Workers.open();
        m_dm->Izdel.open();
        QVERIFY(m_dm->Izdel.locate(QStringLiteral("marka"), QStringLiteral("ТП-120")));
        m_dm->Oper.open();
        QVERIFY(m_dm->Oper.hasField(QStringLiteral("oper_vid")));
        m_dm->Vid_oper.open();
        QVERIFY(m_dm->Vid_oper.locate(QStringLiteral("id"), 7777));
        for (int shift = 1; shift <= 4; ++shift) {
            Dataset &query = m_dm->shiftQuery(shift);
            query.setParam(QStringLiteral("DATA"), QDate(2024, 3, 5));
            query.setParam(QStringLiteral("OK"), QStringLiteral("ta"));
            query.open();
            QCOMPARE(query.recordCount(), 0);
            query.close();
        }
        for (int shift = 1; shift <= 3; ++shift) {
            Dataset &query = m_dm->timesheetQuery(shift);
            query.setParam(QStringLiteral("mnth"), 3);
            query.setParam(QStringLiteral("yea"), 2024);
            query.setParam(QStringLiteral("date1"), QDate(2024, 3, 1));
            query.setParam(QStringLiteral("date2"), QDate(2024, 4, 1));
            query.open();
            QVERIFY(query.hasField(QStringLiteral("d31")));
            query.close();
        }
    }

    // The day's list finds each entry's person among the ERP's persons by id, or by the personnel
    // code where the ids differ; a code that is not a number elsewhere does not fail the list.
    void shiftListFindsPersonByIdOrCode_data()
    {
        // Rows of cmn_contractor.person, "id|code|caption;...": W stands for the worker's id, O for
        // another id.
        QTest::addColumn<QString>("persons");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("by id") << "W|W|По номеру" << QStringList{"По номеру"};
        QTest::newRow("by code, another id") << "O|W|По коду" << QStringList{"По коду"};
        QTest::newRow("code with spaces") << "O| W |С пробелами" << QStringList{"С пробелами"};
        QTest::newRow("by id and by another row's code")
            << "W|W|По номеру;O|W|По коду" << QStringList{"По коду", "По номеру"};
        QTest::newRow("a code that is not a number elsewhere")
            << "W|W|По номеру;O|Б/Н|Без номера" << QStringList{"По номеру"};
        QTest::newRow("no person") << "O|O|Другой" << QStringList{};
    }
    void shiftListFindsPersonByIdOrCode()
    {
        QFETCH(QString, persons);
        QFETCH(QStringList, listed);
        const qint64 worker = seed::worker(*m_dm, QStringLiteral("Работник"));
        const qint64 product = seed::product(*m_dm, QStringLiteral("ИЗ-%1").arg(worker));
        const qint64 operation =
            seed::operation(*m_dm, seed::kind(*m_dm, QStringLiteral("Литье")), product, 0, {1});
        const QDate day(2024, 4, 2);
        seed::entry(*m_dm, {worker, product, operation, day});
        const QString other = QString::number(worker * 1000 + 7);
        TestDatabase::exec(*m_dm, QStringLiteral("delete from cmn_contractor.person where id in "
                                                 "(%1, %2)")
                                      .arg(worker)
                                      .arg(other));
        for (QString row : persons.split(QLatin1Char(';'))) {
            row.replace(QLatin1Char('W'), QString::number(worker)).replace(QLatin1Char('O'), other);
            const QStringList f = row.split(QLatin1Char('|'));
            TestDatabase::exec(*m_dm, QStringLiteral("insert into cmn_contractor.person(id, "
                                                     "s_code, s_caption) values (%1, %2, %3)")
                                          .arg(f[0], sql::quote(f[1]), sql::quote(f[2])));
        }
        Dataset &query = m_dm->shiftQuery(1);
        query.close();
        query.setParam(QStringLiteral("data"), day);
        query.setParam(QStringLiteral("ok"), QStringLiteral("ok"));
        query.open();
        QStringList names;
        for (int row = 0; row < query.recordCount(); ++row)
            names << query.textAt(row, query.columnOf(QStringLiteral("fio")));
        query.close();
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena where w_id=%1; "
                                                 "delete from cmn_contractor.person where id=%2")
                                      .arg(worker)
                                      .arg(other));
        names.sort();
        QCOMPARE(names, listed);
    }

    // Statements of one action land together or not at all; inner scopes join the outer one.
    void transactions()
    {
        Connection &c = m_dm->ADO_DB;
        TestDatabase::exec(*m_dm, QStringLiteral("create table public.tx(v integer unique)"));
        c.inTransaction([&] {
            c.run(QStringLiteral("insert into public.tx values (1)"));
            c.inTransaction([&] { c.run(QStringLiteral("insert into public.tx values (2)")); });
            QCOMPARE(c.transactionDepth(), 1);
        });
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from public.tx")), 2);

        QVERIFY_THROWS_EXCEPTION(DbError, c.inTransaction([&] {
            c.run(QStringLiteral("insert into public.tx values (3)"));
            c.run(QStringLiteral("insert into public.tx values (1)")); // duplicate
        }));
        QCOMPARE(c.transactionDepth(), 0);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from public.tx")), 2);

        // An inner failure that the caller swallowed still takes the whole action back.
        QVERIFY_THROWS_EXCEPTION(DbError, c.inTransaction([&] {
            c.run(QStringLiteral("insert into public.tx values (4)"));
            try {
                c.inTransaction([&] { throw DbError(QStringLiteral("inner")); });
            } catch (const DbError &) {
            }
        }));
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from public.tx")), 2);
        // The connection is usable afterwards.
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select 41 + 1")), 42);
    }

    // Day-first date texts read right whatever the server's default.
    void dayFirstDates()
    {
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select extract(month from '05.03.2024'::date)")),
                 3);
    }

    // A server error keeps its text for the error display.
    void errorsCarryServerText()
    {
        try {
            m_dm->SQL_exec.execute(QStringLiteral("delete from accounts_dep.no_such_table"));
            QFAIL("no error");
        } catch (const DbError &e) {
            QVERIFY(e.message().contains(QStringLiteral("no_such_table")));
            QCOMPARE(e.sqlState(), QStringLiteral("42P01"));
            QVERIFY(!e.isConnectionError());
        }
    }

    // A write that hands back its new id and then fails as it commits (here a deferred check):
    // the id arrives before the failure, and the write must still count as failed.
    void returningWriteFailsAtCommit()
    {
        TestDatabase::exec(*m_dm, QStringLiteral(R"(
create table public.late(id serial primary key, v integer);
create function public.late_refuse() returns trigger language plpgsql as $$
begin
    raise exception 'refused at commit';
end $$;
create constraint trigger late_refuse after insert on public.late
    deferrable initially deferred for each row execute function public.late_refuse();
)"));
        try {
            m_dm->SQL_exec.setText(
                QStringLiteral("insert into public.late(v) values (1) returning id"));
            const QVariant id = m_dm->SQL_exec.executeReturning();
            QFAIL(qPrintable(QStringLiteral("no error; id %1").arg(id.toString())));
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("refused at commit")),
                     qPrintable(e.message()));
            QVERIFY(!e.isConnectionError());
        }
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from public.late")),
                 0);
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
};

TABEL_TEST_MAIN(TestDataModule)
#include "tst_data_module.moc"
