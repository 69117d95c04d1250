#include "db/batch.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <tuple>

// The fetched-rows dataset that every list of the program stands on.
class TestDataset : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("dataset"));
        m_dm = m_db->connect();
        TestDatabase::exec(
            *m_dm,
            QStringLiteral(
                "create table public.items(id serial primary key, name text, qty integer, "
                "price double precision, amount numeric(15,4), day date, moment timestamp, kind "
                "smallint);"
                "insert into public.items(name, qty, price, amount, day, moment, kind) values "
                "('Ёлкин А.А.', 3, 10.5, 12.3400, '2024-03-05', '2024-03-05 00:00', 0),"
                "('абрамов б.б.', 5, 9, 1.5, '2024-03-31', '2024-03-31 08:30', 1),"
                "('Борисов В.В.', 0, 0.125, 0, '2024-02-29', null, 1),"
                "(null, null, null, null, null, null, null);"
                "create table public.people(id serial primary key, name text, qty integer, price "
                "numeric(15,4), day date, moment timestamp, kind smallint);"
                "insert into public.people(name, qty, price, day, moment, kind) values "
                "('Ёлкин А.А.', 3, 10.5, '2024-03-05', '2024-03-05 09:00', 0),"
                "('Елисеев Г.Г.', 12, 9, '2024-02-29', '2024-03-31 08:30', 1),"
                "('абрамов б.б.', 100, 0.125, '2024-03-31', '2023-12-31 23:00', 1),"
                "('Борисов В.В.', 20, 75, '2023-11-15', '2024-01-10 12:00', 0),"
                "('Ежов Д.Д.', 7, 1000.5, '2024-01-02', '2024-03-05 08:00', 1),"
                "('Ершов Е.Е.', 45, 2.25, '2024-12-01', '2024-02-01 00:00', 0),"
                "('Яковлев Я.Я.', 9, 300, '2024-02-01', '2024-11-11 11:11', 1),"
                "(null, null, null, null, null, null)"));
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    // A parameter set, the query closed and opened again: the same rows come back, and the
    // parameter name matches whatever its case.
    // Queries opened together get each its own rows, in its own order, with its parameters; one
    // without rows is open and empty; a filter set before still applies.
    void openTogether()
    {
        const QString text = QStringLiteral(
            "select g as n, 'строка ' || g as label from generate_series(1, :last) g "
            "where g % :step = 0 order by g desc");
        Dataset evens(m_dm->ADO_DB);
        Dataset threes(m_dm->ADO_DB);
        Dataset none(m_dm->ADO_DB);
        const std::tuple<Dataset *, int, int> set[] = {
            {&evens, 10, 2}, {&threes, 10, 3}, {&none, 1, 5}};
        for (const auto &[query, last, step] : set) {
            query->setSql(text);
            query->setParam(QStringLiteral("last"), last);
            query->setParam(QStringLiteral("step"), step);
        }
        threes.setFilter(QStringLiteral("n = 6"));
        threes.setFiltered(true);
        Batch(m_dm->ADO_DB).open({&evens, &threes, &none}).run();
        const auto column = [](Dataset &query) {
            QStringList values;
            for (int row = 0; row < query.recordCount(); ++row)
                values << query.valueAt(row, 0).toString() + QLatin1Char('/') +
                              query.valueAt(row, 1).toString();
            return values;
        };
        QCOMPARE(column(evens), (QStringList{"10/строка 10", "8/строка 8", "6/строка 6",
                                             "4/строка 4", "2/строка 2"}));
        QCOMPARE(column(threes), QStringList{"6/строка 6"});
        threes.setFiltered(false);
        QCOMPARE(column(threes), (QStringList{"9/строка 9", "6/строка 6", "3/строка 3"}));
        QVERIFY(none.isOpen());
        QVERIFY(none.isEmpty());
        QCOMPARE(evens.integer(QStringLiteral("n")), 10);
        QCOMPARE(none.columnOf(QStringLiteral("label")), 1);
    }

    // Queries of different columns in one statement: each gets its own columns, types, rows and
    // order, beside a union of same-column queries; a query without rows and a one-row status
    // come back too. A failing part fails the whole and leaves every query closed.
    void batchOfDifferentColumns()
    {
        Dataset items(m_dm->ADO_DB);
        items.setSql(QStringLiteral(
            "select name, amount, day from public.items where kind = :kind order by id desc"));
        items.setParam(QStringLiteral("kind"), 1);
        Dataset early(m_dm->ADO_DB);
        Dataset late(m_dm->ADO_DB);
        for (Dataset *people : {&early, &late})
            people->setSql(QStringLiteral("select name, qty from public.people where day %1 "
                                          "'2024-02-01' order by qty")
                               .arg(people == &early ? QStringLiteral("<") : QStringLiteral(">=")));
        Dataset nothing(m_dm->ADO_DB);
        nothing.setSql(QStringLiteral("select id, moment from public.people where false"));
        Dataset status(m_dm->ADO_DB);
        status.setSql(QStringLiteral("select exists (select 1 from public.items where qty > 4) as "
                                     "big, 'ok'::text as word"));
        Batch(m_dm->ADO_DB).open(items).open({&early, &late}).open(nothing).open(status).run();

        QCOMPARE(items.fieldNames(), (QStringList{"name", "amount", "day"}));
        QCOMPARE(items.recordCount(), 2);
        QCOMPARE(items.text(QStringLiteral("name")), QStringLiteral("Борисов В.В."));
        QCOMPARE(items.decimal(QStringLiteral("amount")), 0.0);
        items.next();
        QCOMPARE(items.date(QStringLiteral("day")), QDate(2024, 3, 31));
        QCOMPARE(items.decimal(QStringLiteral("amount")), 1.5);
        QCOMPARE(early.fieldNames(), (QStringList{"name", "qty"}));
        QStringList earlyNames;
        for (early.first(); !early.eof(); early.next())
            earlyNames << early.text(QStringLiteral("name"));
        QCOMPARE(earlyNames, (QStringList{"Ежов Д.Д.", "Борисов В.В."}));
        QCOMPARE(late.recordCount(), 5);
        QCOMPARE(late.integer(QStringLiteral("qty")), 3);
        QVERIFY(nothing.isOpen());
        QVERIFY(nothing.isEmpty());
        QCOMPARE(nothing.fieldNames(), (QStringList{"id", "moment"}));
        QCOMPARE(status.recordCount(), 1);
        QCOMPARE(status.value(QStringLiteral("big")).toBool(), true);
        QCOMPARE(status.text(QStringLiteral("word")), QStringLiteral("ok"));

        Dataset broken(m_dm->ADO_DB);
        broken.setSql(QStringLiteral("select no_such_column from public.items"));
        QVERIFY_THROWS_EXCEPTION(DbError, Batch(m_dm->ADO_DB).open(items).open(broken).run());
        QVERIFY(!items.isOpen());
        QVERIFY(!broken.isOpen());
    }

    void parametersSurviveCloseAndOpen()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringList{QStringLiteral("select id, name from public.items"),
                              QStringLiteral("where kind = :KIND order by id")});
        ds.setParam(QStringLiteral("kind"), 1);
        ds.open();
        QCOMPARE(ds.recordCount(), 2);
        ds.close();
        QCOMPARE(ds.recordCount(), 0);
        ds.open();
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.text(QStringLiteral("NAME")), QStringLiteral("абрамов б.б."));
        ds.setParam(QStringLiteral("Kind"), 0);
        ds.reopen();
        QCOMPARE(ds.recordCount(), 1);
    }

    // Nulls read as "", 0, 0 and no date; a field the result lacks is an error.
    void nullsAndTypes()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select * from public.items order by id"));
        ds.open();
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("Ёлкин А.А."));
        QCOMPARE(ds.integer(QStringLiteral("qty")), 3);
        QCOMPARE(ds.decimal(QStringLiteral("price")), 10.5);
        QCOMPARE(ds.text(QStringLiteral("price")), QStringLiteral("10,5"));
        QCOMPARE(ds.decimal(QStringLiteral("amount")), 12.34);
        QCOMPARE(ds.text(QStringLiteral("amount")), QStringLiteral("12,34"));
        QCOMPARE(ds.date(QStringLiteral("day")), QDate(2024, 3, 5));
        QCOMPARE(ds.text(QStringLiteral("moment")), QStringLiteral("05.03.2024"));
        QCOMPARE(ds.date(QStringLiteral("moment")), QDate(2024, 3, 5));
        ds.setRecNo(2);
        QCOMPARE(ds.text(QStringLiteral("moment")), QStringLiteral("31.03.2024 08:30:00"));
        ds.last();
        QCOMPARE(ds.text(QStringLiteral("name")), QString());
        QCOMPARE(ds.integer(QStringLiteral("qty")), 0);
        QCOMPARE(ds.decimal(QStringLiteral("amount")), 0.0);
        QVERIFY(!ds.date(QStringLiteral("day")).isValid());
        QVERIFY_THROWS_EXCEPTION(DbError, ds.text(QStringLiteral("nosuch")));
    }

    // Integers come back whatever type the server gives them (count, sum of int, numeric ids).
    void integerKinds()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select count(*) as cnt, sum(qty) as s, -sum(qty) as neg, "
                                 "7777::numeric(15,0) as id from public.items"));
        ds.open();
        QCOMPARE(ds.integer(QStringLiteral("cnt")), 4);
        QCOMPARE(ds.integer(QStringLiteral("s")), 8);
        QCOMPARE(ds.integer(QStringLiteral("neg")), -8);
        QCOMPARE(ds.integer(QStringLiteral("id")), 7777);
        QCOMPARE(ds.text(QStringLiteral("id")), QStringLiteral("7777"));
    }

    // Record numbers, forward iteration, go-to clamps to the last row, locate.
    void navigation()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select id, name, kind from public.items order by id"));
        ds.open();
        QCOMPARE(ds.recNo(), 1);
        int seen = 0;
        for (ds.first(); !ds.eof(); ds.next())
            ++seen;
        QCOMPARE(seen, 4);
        ds.setRecNo(99);
        QCOMPARE(ds.recNo(), 4);
        ds.setRecNo(0);
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(ds.locate(QStringLiteral("name"), QStringLiteral("Борисов В.В.")));
        QCOMPARE(ds.recNo(), 3);
        QVERIFY(!ds.locate(QStringLiteral("name"), QStringLiteral("Нет такого")));
        QCOMPARE(ds.recNo(), 3);
        QVERIFY(ds.locate(QStringLiteral("id"), ds.integer(QStringLiteral("id")) - 1));
        QCOMPARE(ds.recNo(), 2);
    }

    // The filter changes the count without a round trip and restores it when switched off; the
    // current record moves to the first passing row; locate stays within passing rows.
    void clientFilter()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select id, name, kind from public.items order by id"));
        ds.open();
        ds.setRecNo(4);
        ds.setFilter(QStringLiteral("kind=1"));
        QCOMPARE(ds.recordCount(), 4); // set, not yet on
        // With the connection closed any statement would fail: switching the filter runs none.
        m_dm->ADO_DB.close();
        QSignalSpy resets(&ds, &Dataset::rowsReset);
        ds.setFiltered(true);
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.recNo(), 1);
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("абрамов б.б."));
        QVERIFY(!ds.locate(QStringLiteral("name"), QStringLiteral("Ёлкин А.А.")));
        ds.setFilter(RowFilter::like(QStringLiteral("name"), QStringLiteral("БОР%")));
        QCOMPARE(ds.recordCount(), 1);
        ds.setFilter(RowFilter::like(QStringLiteral("name"), QStringLiteral("ёл'%")));
        QCOMPARE(ds.recordCount(), 0);
        QCOMPARE(ds.recNo(), 0);
        ds.setFiltered(false);
        QCOMPARE(ds.recordCount(), 4);
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(resets.count() >= 3);
        m_dm->ADO_DB.open();
        // The filter is kept across close and open.
        ds.setFilter(QStringLiteral("kind<>1"));
        ds.setFiltered(true);
        ds.reopen();
        QCOMPARE(ds.recordCount(), 2);
    }

    // A table opened for editing: edit, insert, delete and post of the current row by its key,
    // kept sorted on the client.
    void tableEditing()
    {
        TestDatabase::exec(
            *m_dm,
            QStringLiteral(
                "create table public.norms(id serial primary key, o_id integer, norma integer, "
                "price double precision);"
                "insert into public.norms(o_id, norma, price) values (1, 20, 5), (1, 10, 7.5), (2, "
                "5, 1)"));
        Dataset ds(m_dm->ADO_DB);
        ds.openTable(QStringLiteral("public.norms"));
        ds.setSortField(QStringLiteral("norma"));
        ds.setFilter(QStringLiteral("o_id=1"));
        ds.setFiltered(true);
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.integer(QStringLiteral("norma")), 10);

        ds.edit();
        ds.setValue(QStringLiteral("price"), 8.25);
        QCOMPARE(ds.state(), Dataset::State::Edit);
        ds.post();
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select count(*) from public.norms where price=8.25")),
                 1);

        ds.append();
        ds.setValue(QStringLiteral("o_id"), 1);
        ds.setValue(QStringLiteral("norma"), 15);
        ds.setValue(QStringLiteral("price"), QStringLiteral("6.5"));
        ds.post();
        QVERIFY(ds.integer(QStringLiteral("id")) > 0); // the key the database assigned
        QCOMPARE(ds.integer(QStringLiteral("norma")), 15);
        QCOMPARE(ds.recNo(), 2); // sorted between 10 and 20
        QCOMPARE(ds.recordCount(), 3);

        ds.first();
        ds.remove();
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.integer(QStringLiteral("norma")), 15);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from public.norms")),
                 3);

        // A cancelled insert leaves nothing behind.
        ds.append();
        ds.setValue(QStringLiteral("norma"), 1);
        ds.cancel();
        QCOMPARE(ds.recordCount(), 2);
        ds.reopen();
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from public.norms")),
                 3);
    }

    // A click on a column title sorts the fetched rows on the client: numbers as numbers and dates
    // as dates (not as their texts: "10,5" after "9", "05.03.2024" after "29.02.2024"), names in
    // Russian alphabetical order without regard to case and with "ё" as "е" (the server's or the
    // code points' order would put "Ёлкин" first and "абрамов" last). Empty values come first,
    // last when reversed.
    void clientSort_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("names");
        const QString none;
        QTest::newRow("names") << QStringLiteral("name") << false
                               << QStringList{none,
                                              QStringLiteral("абрамов б.б."),
                                              QStringLiteral("Борисов В.В."),
                                              QStringLiteral("Ежов Д.Д."),
                                              QStringLiteral("Елисеев Г.Г."),
                                              QStringLiteral("Ёлкин А.А."),
                                              QStringLiteral("Ершов Е.Е."),
                                              QStringLiteral("Яковлев Я.Я.")};
        QTest::newRow("names reversed")
            << QStringLiteral("name") << true
            << QStringList{QStringLiteral("Яковлев Я.Я."), QStringLiteral("Ершов Е.Е."),
                           QStringLiteral("Ёлкин А.А."),   QStringLiteral("Елисеев Г.Г."),
                           QStringLiteral("Ежов Д.Д."),    QStringLiteral("Борисов В.В."),
                           QStringLiteral("абрамов б.б."), none};
        QTest::newRow("integers") << QStringLiteral("qty") << false
                                  << QStringList{none,
                                                 QStringLiteral("Ёлкин А.А."),
                                                 QStringLiteral("Ежов Д.Д."),
                                                 QStringLiteral("Яковлев Я.Я."),
                                                 QStringLiteral("Елисеев Г.Г."),
                                                 QStringLiteral("Борисов В.В."),
                                                 QStringLiteral("Ершов Е.Е."),
                                                 QStringLiteral("абрамов б.б.")};
        QTest::newRow("money") << QStringLiteral("price") << false
                               << QStringList{none,
                                              QStringLiteral("абрамов б.б."),
                                              QStringLiteral("Ершов Е.Е."),
                                              QStringLiteral("Елисеев Г.Г."),
                                              QStringLiteral("Ёлкин А.А."),
                                              QStringLiteral("Борисов В.В."),
                                              QStringLiteral("Яковлев Я.Я."),
                                              QStringLiteral("Ежов Д.Д.")};
        QTest::newRow("dates") << QStringLiteral("day") << false
                               << QStringList{none,
                                              QStringLiteral("Борисов В.В."),
                                              QStringLiteral("Ежов Д.Д."),
                                              QStringLiteral("Яковлев Я.Я."),
                                              QStringLiteral("Елисеев Г.Г."),
                                              QStringLiteral("Ёлкин А.А."),
                                              QStringLiteral("абрамов б.б."),
                                              QStringLiteral("Ершов Е.Е.")};
        QTest::newRow("moments reversed")
            << QStringLiteral("moment") << true
            << QStringList{QStringLiteral("Яковлев Я.Я."), QStringLiteral("Елисеев Г.Г."),
                           QStringLiteral("Ёлкин А.А."),   QStringLiteral("Ежов Д.Д."),
                           QStringLiteral("Ершов Е.Е."),   QStringLiteral("Борисов В.В."),
                           QStringLiteral("абрамов б.б."), none};
    }
    void clientSort()
    {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        QFETCH(QStringList, names);
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select * from public.people order by id"));
        ds.open();
        // With the connection closed any statement would fail: sorting runs none.
        m_dm->ADO_DB.close();
        ds.setSortField(field, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        m_dm->ADO_DB.open();
        QStringList sorted;
        for (ds.first(); !ds.eof(); ds.next())
            sorted << ds.text(QStringLiteral("name"));
        QCOMPARE(sorted, names);
    }

    // Sorting keeps the record the user was on; the filter, record numbers and locate work on the
    // sorted rows; a re-read keeps the order; no sort field gives the statement's order back.
    void sortKeepsCurrentRecordAndFilter()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select * from public.people order by id"));
        ds.open();
        QVERIFY(ds.locate(QStringLiteral("name"), QStringLiteral("Ежов Д.Д.")));
        QCOMPARE(ds.recNo(), 5);
        ds.setSortField(QStringLiteral("name"));
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("Ежов Д.Д."));
        QCOMPARE(ds.recNo(), 4);
        ds.setFilter(QStringLiteral("kind=1"));
        ds.setFiltered(true);
        QCOMPARE(ds.recordCount(), 4);
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("абрамов б.б."));
        QVERIFY(ds.locate(QStringLiteral("name"), QStringLiteral("Елисеев Г.Г.")));
        QCOMPARE(ds.recNo(), 3);
        ds.setRecNo(4);
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("Яковлев Я.Я."));
        ds.setSortField(QStringLiteral("name"), Qt::DescendingOrder);
        QCOMPARE(ds.recNo(), 1);
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("Яковлев Я.Я."));
        ds.reopen();
        QCOMPARE(ds.recordCount(), 4);
        QStringList reread;
        for (ds.first(); !ds.eof(); ds.next())
            reread << ds.text(QStringLiteral("name"));
        QCOMPARE(reread,
                 (QStringList{QStringLiteral("Яковлев Я.Я."), QStringLiteral("Елисеев Г.Г."),
                              QStringLiteral("Ежов Д.Д."), QStringLiteral("абрамов б.б.")}));
        QCOMPARE(ds.sortField(), QStringLiteral("name"));
        QCOMPARE(ds.sortOrder(), Qt::DescendingOrder);
        ds.setSortField(QString());
        ds.first();
        QCOMPARE(ds.text(QStringLiteral("name")), QStringLiteral("Елисеев Г.Г."));
    }

    // A name holding a quote goes through a parameter and comes back unchanged.
    void quotesRoundTrip()
    {
        const QString name = QStringLiteral("O'Коннор '; drop table public.items; --");
        Command insert(m_dm->ADO_DB,
                       QStringLiteral("insert into public.items(name) values (:name)"));
        insert.setParam(QStringLiteral("name"), name);
        insert.execute();
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select name from public.items where name = :name"));
        ds.setParam(QStringLiteral("name"), name);
        ds.open();
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(ds.text(QStringLiteral("name")), name);
        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from public.items where name like 'O''%'"));
    }

    // The grid shows the filtered rows and follows the current record both ways.
    void gridFollowsDataset()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select id, name, price from public.items order by id"));
        ds.open();
        DataGrid grid;
        grid.bind(ds, {{QStringLiteral("name"), QStringLiteral("Фамилия И.О."), 250},
                       {QStringLiteral("price"), QStringLiteral("Цена"), 60,
                        Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("#0.00#")}});
        QCOMPARE(grid.model()->rowCount(), 4);
        QCOMPARE(grid.model()->index(0, 1).data().toString(), QStringLiteral("10,50"));
        QCOMPARE(grid.model()->index(2, 1).data().toString(), QStringLiteral("0,125"));
        QCOMPARE(grid.model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Фамилия И.О."));
        ds.setRecNo(3);
        QCOMPARE(grid.currentIndex().row(), 2);
        grid.setCurrentIndex(grid.model()->index(1, 0));
        QCOMPARE(ds.recNo(), 2);
        ds.setFilter(QStringLiteral("price=9"));
        ds.setFiltered(true);
        QCOMPARE(grid.model()->rowCount(), 1);
        QCOMPARE(grid.currentIndex().row(), 0);
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
};

TABEL_TEST_MAIN(TestDataset)
#include "tst_dataset.moc"
