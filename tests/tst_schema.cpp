#include "db/data_module.h"
#include "db/db_error.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QCoreApplication>
#include <QTest>

// What the program relies on from the database: defaults, mirrors, reserved rows and keys.
class TestSchema : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("schema"));
        m_dm = m_db->connect();
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    qint64 scalar(const QString &sql) { return TestDatabase::scalar(*m_dm, sql); }
    void exec(const QString &sql) { TestDatabase::exec(*m_dm, sql); }

    // A product created in the goods table shows in izdel at once, with its group's caption.
    void newGoodsRowVisibleInIzdel()
    {
        exec(QStringLiteral("insert into cmn_classifier.item(s_caption) values ('Плитка')"));
        const qint64 group =
            scalar(QStringLiteral("select id from cmn_classifier.item where s_caption='Плитка'"));
        QCOMPARE(
            scalar(
                QStringLiteral("select id_level from cmn_classifier.item where id=%1").arg(group)),
            2);
        exec(QStringLiteral(
                 "insert into cmn_gds_and_srv.gds_and_srv(s_caption, massa, id_class_item) "
                 "values ('ТП-120 белый', 2.5, %1)")
                 .arg(group));
        Dataset izdel(m_dm->ADO_DB);
        izdel.setSql(QStringLiteral("select * from accounts_dep.izdel where marka='ТП-120 белый'"));
        izdel.open();
        QCOMPARE(izdel.recordCount(), 1);
        QCOMPARE(izdel.text(QStringLiteral("nom")), QStringLiteral("Плитка"));
        QCOMPARE(izdel.decimal(QStringLiteral("massa")), 2.5);
        QCOMPARE(izdel.integer(QStringLiteral("id_nom")), group);
        QCOMPARE(izdel.integer(QStringLiteral("id_class_item")), group);
        // New ids stay clear of the reserved product.
        QVERIFY(izdel.integer(QStringLiteral("id")) > 7778);
        // A product without a group is still listed.
        exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(s_caption) values ('Без группы')"));
        QCOMPARE(scalar(QStringLiteral(
                     "select count(*) from accounts_dep.izdel where marka='Без группы'")),
                 1);
    }

    // A worker added, renamed and deleted in the catalogue is mirrored into the ERP person table,
    // where the shift log finds him by id and the timesheets by s_code.
    void workerMirrored()
    {
        exec(QStringLiteral(
            "insert into accounts_dep.person(fio, s_staffpos_hl) values ('Петров П.П.', 'Цех 1')"));
        const qint64 id =
            scalar(QStringLiteral("select id from accounts_dep.person where fio='Петров П.П.'"));
        QCOMPARE(
            scalar(QStringLiteral("select count(*) from cmn_contractor.person where id=%1 and "
                                  "s_code::t_id=%1 and s_code::integer=%1 and s_code::t_integer=%1 "
                                  "and s_caption='Петров П.П.'")
                       .arg(id)),
            1);
        exec(QStringLiteral("update accounts_dep.person set fio='Петров-Водкин П.П.' where id=%1")
                 .arg(id));
        QCOMPARE(scalar(QStringLiteral("select count(*) from cmn_contractor.person where id=%1 and "
                                       "s_caption='Петров-Водкин П.П.'")
                            .arg(id)),
                 1);
        exec(QStringLiteral("delete from accounts_dep.person where id=%1").arg(id));
        QCOMPARE(
            scalar(
                QStringLiteral("select count(*) from cmn_contractor.person where id=%1").arg(id)),
            0);
    }

    // Shift rows inserted without i_type and i_night read back 0; fatigue rows without smena read
    // 0; day columns never posted are null and count as 0.
    void monthlyRowDefaults()
    {
        exec(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d5) values "
                            "(2, 17, 3, 2024, 8)"));
        QCOMPARE(
            scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=17 and "
                                  "i_type=0 and i_night=0 and d1 is null and d5=8")),
            1);
        exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, i_type, i_night, month, year, "
                            "d3) values (17, 7777, 1, 3, 2024, 4)"));
        QCOMPARE(
            scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=17 and "
                                  "smena=0 and i_type=7777")),
            1);
        QCOMPARE(scalar(QStringLiteral("select sum(coalesce(d1,0)+coalesce(d3,0)+coalesce(d5,0)) "
                                       "from accounts_dep.h_tabel where w_id=17")),
                 12);
        // One row per worker, month, year, shift, kind and flag.
        QVERIFY_THROWS_EXCEPTION(DbError, m_dm->ADO_DB.run(QStringLiteral(
                                              "insert into accounts_dep.h_tabel(smena, w_id, "
                                              "month, year, d6) values (2, 17, 3, 2024, 1)")));
        exec(QStringLiteral("delete from accounts_dep.h_tabel where w_id=17"));
    }

    // The reserved kinds with an operation on product 7777 and a base hourly price each.
    void reservedKinds()
    {
        for (int kind : {7777, 7778}) {
            QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.vid_oper where id=%1")
                                .arg(kind)),
                     1);
            QVERIFY(scalar(QStringLiteral(
                               "select count(*) from accounts_dep.oper o join accounts_dep.norm n "
                               "on n.o_id=o.id where o.vid=%1 and o.i_id>=7777 and n.price>0")
                               .arg(kind)) >= 1);
        }
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.izdel where id=7777")),
                 1);
        exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Новая операция')"));
        QVERIFY(scalar(QStringLiteral(
                    "select id from accounts_dep.vid_oper where vid='Новая операция'")) > 7778);
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.ver where delim='.'")),
                 1);
    }

    // The shift log's worker match: a person row carrying the worker id only in s_code.
    void sCodeCastsToTId()
    {
        exec(QStringLiteral("insert into cmn_contractor.person(id, s_code, s_caption) values "
                            "(900001, '4242', 'Только код')"));
        QCOMPARE(scalar(QStringLiteral(
                     "select count(*) from cmn_contractor.person where s_code::t_id=4242")),
                 1);
        exec(QStringLiteral("delete from cmn_contractor.person where id=900001"));
    }

    // A delete that would leave entries without their worker, product or operation is refused;
    // norms go with their operation.
    void referencesKeepEntriesWhole()
    {
        exec(QStringLiteral(
            "insert into accounts_dep.person(id, fio) values (5001, 'Сидоров С.С.');"
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption) values (5001, 'Изделие 5001');"
            "insert into accounts_dep.vid_oper(id, vid) values (5001, 'Сборка');"
            "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (5001, 5001, 0, "
            "5001, 0);"
            "insert into accounts_dep.norm(o_id, norma, prize, price) values (5001, 10, 0, 10.5), "
            "(5001, 20, 0, 9);"
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
            "color, time, ok, vvod, prize) "
            "values (5001, 5001, 5001, 9, 10, 0, '2024-03-05', 1, 0, 8, 'no', now(), 0)"));
        QVERIFY_THROWS_EXCEPTION(DbError, m_dm->ADO_DB.run(QStringLiteral(
                                              "delete from accounts_dep.person where id=5001")));
        QVERIFY_THROWS_EXCEPTION(
            DbError, m_dm->ADO_DB.run(
                         QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv where id=5001")));
        QVERIFY_THROWS_EXCEPTION(DbError, m_dm->ADO_DB.run(QStringLiteral(
                                              "delete from accounts_dep.oper where id=5001")));
        QVERIFY_THROWS_EXCEPTION(DbError, m_dm->ADO_DB.run(QStringLiteral(
                                              "delete from accounts_dep.vid_oper where id=5001")));
        // The lowest norm price and the norm count of the operation list.
        m_dm->Oper.open();
        QVERIFY(m_dm->Oper.locate(QStringLiteral("id"), 5001));
        QCOMPARE(m_dm->Oper.decimal(QStringLiteral("cena")), 9.0);
        QCOMPARE(m_dm->Oper.integer(QStringLiteral("norma")), 2);
        m_dm->Oper.close();
        // The same entry twice is refused by the database too.
        QVERIFY_THROWS_EXCEPTION(
            DbError, m_dm->ADO_DB.run(QStringLiteral(
                         "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, "
                         "data, smena, color, time, ok) "
                         "values (5001, 5001, 5001, 9, 1, 0, '2024-03-05', 1, 0, 1, 'no')")));
        exec(QStringLiteral("delete from accounts_dep.smena where w_id=5001; delete from "
                            "accounts_dep.oper where id=5001"));
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.norm where o_id=5001")),
                 0);
    }

    // Russian names sort as Russian readers expect.
    void russianOrder()
    {
        Dataset ds(m_dm->ADO_DB);
        ds.setSql(QStringLiteral("select v from (values ('Ёлкин'), ('Егоров'), ('абрамов'), "
                                 "('Жуков'), ('Борисов')) t(v) order by v"));
        ds.open();
        QStringList order;
        for (ds.first(); !ds.eof(); ds.next())
            order << ds.text(QStringLiteral("v"));
        QCOMPARE(order, (QStringList{"абрамов", "Борисов", "Егоров", "Ёлкин", "Жуков"}));
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
};

TABEL_TEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
