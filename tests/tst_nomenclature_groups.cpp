#include "catalogues/nomenclature_groups.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

#include <functional>

namespace {

const QString HasProducts = QStringLiteral("В номенклатурной группе есть изделия.");
const QString HasEntries = QStringLiteral("В номенклатурной группе есть операции.");

} // namespace

// The nomenclature groups catalogue "Номенклатура (26)" with its editor, as a catalogue and as
// the group picker of hour-paid entries.
class TestNomenclatureGroups : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("nomenclature_groups"));
        m_dm = m_db->connect();
        m_worker = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        m_kind = seed::kind(*m_dm, QStringLiteral("Формовка"));
        m_hourPaidOper = TestDatabase::scalar(
            *m_dm, QStringLiteral("select min(id) from accounts_dep.oper where vid=7777"));
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    // Each case starts without groups, products (but the reserved one) or entries, with fresh
    // windows; a level 1 item is there and never listed.
    void init()
    {
        TestDatabase::exec(*m_dm,
                           QStringLiteral("delete from accounts_dep.smena; delete from "
                                          "accounts_dep.fatigue; delete from accounts_dep.oper "
                                          "where i_id<>7777; delete from "
                                          "cmn_gds_and_srv.gds_and_srv where id<>7777; delete "
                                          "from cmn_classifier.item"));
        m_topLevel = group(QStringLiteral("Верхний уровень"), 1);
        m_groups = std::make_unique<TForm26>(*m_dm);
        m_editor = &m_groups->Form29();
    }
    void cleanup()
    {
        m_editor = nullptr;
        m_groups.reset();
    }

    // A new group: its name trimmed (an empty name saved as an empty caption), level 2 so it is
    // listed at once; the list keeps its row number.
    void add_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("trimmed") << "  Новая группа  "
                                 << "Новая группа";
        QTest::newRow("empty name") << ""
                                    << "";
        QTest::newRow("blanks only") << "   "
                                     << "";
        QTest::newRow("quotes and percent") << "Группа \"А\" 'Б' 100%_"
                                            << "Группа \"А\" 'Б' 100%_";
    }
    void add()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        group(QStringLiteral("Блоки"));
        group(QStringLiteral("Газобетон"));
        group(QStringLiteral("Кирпич"));
        m_editor->Edit1->setText(QStringLiteral("от прошлого раза"));
        MessageRecorder recorder;
        int recNoAfter = 0;
        bool listed = false;
        const QStringList opened = runCatalogue(
            [&] {
                m_groups->item.setRecNo(2);
                m_groups->Button2->click();
                recNoAfter = m_groups->item.recNo();
                listed = m_groups->item.locate(QStringLiteral("s_caption"), stored);
            },
            [&] {
                QCOMPARE(m_editor->Tag, 1);
                QCOMPARE(m_editor->windowTitle(), QStringLiteral("Ведение групп (29)"));
                QCOMPARE(m_editor->Edit1->text(), QString());
                typeText(m_editor->Edit1, typed);
                m_editor->Button1->click();
            });
        QCOMPARE(opened, (QStringList{QStringLiteral("TForm26"), QStringLiteral("TForm29")}));
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(m_editor->result(), int(QDialog::Accepted));
        QVERIFY(listed);
        QCOMPARE(recNoAfter, 2);
        QCOMPARE(count(QStringLiteral("cmn_classifier.item where s_caption=%1 and id_level=2")
                           .arg(sql::quote(stored))),
                 1);
        QCOMPARE(count(QStringLiteral("cmn_classifier.item")), 5);
    }

    // "Выход" in the editor writes nothing.
    void cancelWritesNothing()
    {
        group(QStringLiteral("Блоки"));
        runCatalogue([&] { m_groups->Button2->click(); },
                     [&] {
                         typeText(m_editor->Edit1, QStringLiteral("Не записывать"));
                         m_editor->Button6->click();
                     });
        QCOMPARE(m_editor->result(), int(QDialog::Rejected));
        QCOMPARE(count(QStringLiteral("cmn_classifier.item")), 2);
    }

    // Renaming the current group: the editor shows its trimmed name; the new name is stored
    // trimmed and exactly; the list stays on the same row number though the group moved.
    void rename_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("moves to the end") << "Ячеистый бетон"
                                          << "Ячеистый бетон";
        QTest::newRow("quotes, trimmed") << "  O'Neil \"100%\"  "
                                         << "O'Neil \"100%\"";
        QTest::newRow("emptied") << ""
                                 << "";
    }
    void rename()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const qint64 blocks = group(QStringLiteral("Блоки"));
        const qint64 aerated = group(QStringLiteral("Газобетон  "));
        const qint64 bricks = group(QStringLiteral("Кирпич"));
        MessageRecorder recorder;
        int recNoAfter = 0;
        const QStringList opened = runCatalogue(
            [&] {
                QVERIFY(m_groups->item.locate(QStringLiteral("id"), aerated));
                QCOMPARE(m_groups->item.recNo(), 2);
                m_groups->Button3->click();
                recNoAfter = m_groups->item.recNo();
            },
            [&] {
                QCOMPARE(m_editor->Tag, 2);
                QCOMPARE(m_editor->Edit1->text(), QStringLiteral("Газобетон"));
                m_editor->Edit1->clear();
                typeText(m_editor->Edit1, typed);
                m_editor->Button1->click();
            });
        QCOMPARE(opened, (QStringList{QStringLiteral("TForm26"), QStringLiteral("TForm29")}));
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(recNoAfter, 2);
        QCOMPARE(caption(aerated), stored);
        QCOMPARE(caption(blocks), QStringLiteral("Блоки"));
        QCOMPARE(caption(bricks), QStringLiteral("Кирпич"));
        QCOMPARE(count(QStringLiteral("cmn_classifier.item")), 4);
    }

    // A group in use is not deleted and nothing is asked: products are reported first, then
    // shift or hour-paid entries.
    void deleteRefused_data()
    {
        QTest::addColumn<bool>("products");
        QTest::addColumn<bool>("shiftEntries");
        QTest::addColumn<bool>("hourPaid");
        QTest::addColumn<QString>("message");
        QTest::newRow("products") << true << false << false << HasProducts;
        QTest::newRow("products with shift entries") << true << true << false << HasProducts;
        QTest::newRow("products with hour-paid entries") << true << false << true << HasProducts;
        QTest::newRow("everything") << true << true << true << HasProducts;
        QTest::newRow("hour-paid entries") << false << false << true << HasEntries;
    }
    void deleteRefused()
    {
        QFETCH(bool, products);
        QFETCH(bool, shiftEntries);
        QFETCH(bool, hourPaid);
        QFETCH(QString, message);
        group(QStringLiteral("Блоки"));
        const qint64 used = group(QStringLiteral("Кирпич"));
        if (products) {
            const qint64 product = seed::product(*m_dm, QStringLiteral("КР-15"));
            TestDatabase::exec(
                *m_dm, QStringLiteral("update cmn_gds_and_srv.gds_and_srv set id_class_item=%1 "
                                      "where id=%2")
                           .arg(used)
                           .arg(product));
            if (shiftEntries) {
                const qint64 oper = seed::operation(*m_dm, m_kind, product, 0, {10});
                seed::entry(*m_dm, {m_worker, product, oper, QDate(2024, 3, 5)});
            }
        }
        if (hourPaid) {
            TestDatabase::exec(
                *m_dm,
                QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, "
                               "i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) values "
                               "(%1, %2, %3, '2024-03-05', 3, 2024, 1, 8, 150, 0, 0)")
                    .arg(used)
                    .arg(m_hourPaidOper)
                    .arg(m_worker));
        }
        MessageRecorder recorder;
        runCatalogue([&] {
            QVERIFY(m_groups->item.locate(QStringLiteral("id"), used));
            m_groups->Button1->click();
            QCOMPARE(m_groups->item.recordCount(), 2);
        });
        QCOMPARE(recorder.described(), QStringList{QStringLiteral("error Удаление: ") + message});
        QCOMPARE(count(QStringLiteral("cmn_classifier.item where id=%1").arg(used)), 1);
        QCOMPARE(count(QStringLiteral("cmn_classifier.item")), 3);
    }

    // A group nothing refers to goes at once, without a question; the list stays on the row
    // number, or the new last row when the last one went.
    void deleteUnused_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("rowAfter");
        QTest::addColumn<QString>("currentAfter");
        QTest::newRow("first") << 1 << 1 << "Газобетон";
        QTest::newRow("middle") << 2 << 2 << "Кирпич";
        QTest::newRow("last") << 3 << 2 << "Газобетон";
    }
    void deleteUnused()
    {
        QFETCH(int, row);
        QFETCH(int, rowAfter);
        QFETCH(QString, currentAfter);
        const qint64 ids[] = {group(QStringLiteral("Блоки")), group(QStringLiteral("Газобетон")),
                              group(QStringLiteral("Кирпич"))};
        // A product of another classifier item does not hold these groups.
        const qint64 product = seed::product(*m_dm, QStringLiteral("КР-15"));
        TestDatabase::exec(*m_dm, QStringLiteral("update cmn_gds_and_srv.gds_and_srv set "
                                                 "id_class_item=%1 where id=%2")
                                      .arg(m_topLevel)
                                      .arg(product));
        MessageRecorder recorder;
        int recNoAfter = 0;
        QString shownAfter;
        runCatalogue([&] {
            m_groups->item.setRecNo(row);
            QCOMPARE(m_groups->item.integer(QStringLiteral("id")), ids[row - 1]);
            m_groups->Button1->click();
            recNoAfter = m_groups->item.recNo();
            shownAfter = m_groups->item.text(QStringLiteral("s_caption"));
        });
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(count(QStringLiteral("cmn_classifier.item where id=%1").arg(ids[row - 1])), 0);
        QCOMPARE(recNoAfter, rowAfter);
        QCOMPARE(shownAfter, currentAfter);
    }

    // The picker keeps the search text of earlier openings and hands back the id and the caption
    // as it stands; add and delete are hidden while it serves, and shown again afterwards.
    void picker()
    {
        group(QStringLiteral("Блоки"));
        const qint64 bricks = group(QStringLiteral("Кирпич  "));
        group(QStringLiteral("Газобетон"));
        m_groups->Edit1->setText(QStringLiteral("кир"));
        std::optional<CatalogueList::Choice> choice;
        {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() != QLatin1String("TForm26"))
                    return int(QDialog::Rejected);
                [&] {
                    QCOMPARE(m_groups->Tag, 24);
                    QCOMPARE(m_groups->Button3->text(), QStringLiteral("Выбрать"));
                    QVERIFY(m_groups->Button3->isDefault());
                    QVERIFY(m_groups->Button1->isHidden());
                    QVERIFY(m_groups->Button2->isHidden());
                    QCOMPARE(m_groups->Edit1->text(), QStringLiteral("кир"));
                    QCOMPARE(m_groups->item.recordCount(), 1);
                    QCOMPARE(m_groups->item.integer(QStringLiteral("id")), bricks);
                }();
                m_groups->Button3->click();
                return m_groups->result();
            });
            choice = m_groups->runAsPicker(24, nullptr);
            QCOMPARE(modal.opened, QStringList{QStringLiteral("TForm26")});
        }
        QVERIFY(choice.has_value());
        QCOMPARE(choice->id, bricks);
        QCOMPARE(choice->name, QStringLiteral("Кирпич  "));
        QVERIFY(!m_groups->Button1->isHidden());
        QVERIFY(!m_groups->Button2->isHidden());
        QVERIFY(!m_groups->item.isOpen());

        // The catalogue opens with the same search and its own buttons.
        runCatalogue([&] {
            QCOMPARE(m_groups->Tag, 0);
            QCOMPARE(m_groups->Button3->text(), QStringLiteral("Изменить"));
            QCOMPARE(m_groups->Edit1->text(), QStringLiteral("кир"));
            QCOMPARE(m_groups->item.recordCount(), 1);
        });
    }

    // A picker closed by "Выход", or asked to choose from an empty list, hands back nothing.
    void pickerHandsBackNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("exit");
        QTest::newRow("exit") << "" << true;
        QTest::newRow("empty list") << "нет такой" << false;
    }
    void pickerHandsBackNothing()
    {
        QFETCH(QString, typed);
        QFETCH(bool, exit);
        group(QStringLiteral("Кирпич"));
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm26"))
                return int(QDialog::Rejected);
            typeText(m_groups->Edit1, typed);
            (exit ? m_groups->Button4 : m_groups->Button3)->click();
            return m_groups->result();
        });
        QCOMPARE(m_groups->runAsPicker(24, nullptr).has_value(), false);
        QCOMPARE(modal.opened, QStringList{QStringLiteral("TForm26")});
    }

    // The search keeps the groups whose name begins with the typed text, ignoring case; the text
    // is a value, never a pattern; clearing it shows every group again.
    void search_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("prefix in another case")
            << "блок" << QStringList{"Блок-200", "блоки мелкие", "БЛОКИ"};
        QTest::newRow("upper case") << "БЛОКИ" << QStringList{"блоки мелкие", "БЛОКИ"};
        QTest::newRow("inside the name is no match") << "лок" << QStringList{};
        QTest::newRow("percent literally") << "100%" << QStringList{"100% бетон"};
        QTest::newRow("percent alone") << "%" << QStringList{};
        QTest::newRow("underscore literally") << "a_" << QStringList{"A_B"};
        QTest::newRow("quote") << "o'n" << QStringList{"O'Neil"};
        QTest::newRow("cleared") << "бл\b\b"
                                 << QStringList{"100% бетон",   "A_B",   "AxB",   "Блок-200",
                                                "блоки мелкие", "БЛОКИ", "O'Neil"};
    }
    void search()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        for (const char *name :
             {"Блок-200", "блоки мелкие", "БЛОКИ", "100% бетон", "A_B", "AxB", "O'Neil"})
            group(QString::fromUtf8(name));
        QStringList found;
        runCatalogue([&] {
            typeText(m_groups->Edit1, typed);
            found = shownNames();
        });
        found.sort();
        shown.sort();
        QCOMPARE(found, shown);
    }

    // In the search box Up and Down move the current group; caret keys and Delete do nothing,
    // typed characters and Backspace edit the text.
    void searchBoxKeys()
    {
        for (const char *name : {"Блок-1", "Блок-2", "Блок-3"})
            group(QString::fromUtf8(name));
        runCatalogue([&] {
            typeText(m_groups->Edit1, QStringLiteral("бло"));
            QTest::keyClick(m_groups->Edit1, Qt::Key_Down);
            QTest::keyClick(m_groups->Edit1, Qt::Key_Down);
            QCOMPARE(m_groups->item.text(QStringLiteral("s_caption")), QStringLiteral("Блок-3"));
            QTest::keyClick(m_groups->Edit1, Qt::Key_Up);
            QCOMPARE(m_groups->item.text(QStringLiteral("s_caption")), QStringLiteral("Блок-2"));
            QTest::keyClick(m_groups->Edit1, Qt::Key_Left);
            QTest::keyClick(m_groups->Edit1, Qt::Key_Home);
            QTest::keyClick(m_groups->Edit1, Qt::Key_Delete);
            QCOMPARE(m_groups->Edit1->text(), QStringLiteral("бло"));
            typeText(m_groups->Edit1, QStringLiteral("к-1"));
            QCOMPARE(m_groups->Edit1->text(), QStringLiteral("блок-1"));
            QCOMPARE(shownNames(), QStringList{QStringLiteral("Блок-1")});
            typeText(m_groups->Edit1, QStringLiteral("\b\b"));
            QCOMPARE(m_groups->Edit1->text(), QStringLiteral("блок"));
            QCOMPARE(m_groups->item.recordCount(), 3);
        });
    }

    // With every row filtered out, "Изменить" and "Удалить" do nothing.
    void commandsOnEmptyList()
    {
        group(QStringLiteral("Блоки"));
        MessageRecorder recorder;
        const QStringList opened = runCatalogue([&] {
            typeText(m_groups->Edit1, QStringLiteral("нет такой"));
            QCOMPARE(m_groups->item.recordCount(), 0);
            m_groups->Button3->click();
            m_groups->Button1->click();
        });
        QCOMPARE(opened, QStringList{QStringLiteral("TForm26")});
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(count(QStringLiteral("cmn_classifier.item")), 2);
    }

private:
    // Runs the catalogue as the main menu opens it: inList acts while the list is shown, inEditor
    // while the group editor is. Returns the windows shown, in order.
    QStringList runCatalogue(const std::function<void()> &inList,
                             const std::function<void()> &inEditor = {})
    {
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm26")) {
                inList();
                return int(QDialog::Rejected);
            }
            dialog.setResult(QDialog::Rejected);
            if (dialog.objectName() == QLatin1String("TForm29") && inEditor)
                inEditor();
            return dialog.result();
        });
        m_groups->runAsCatalogue(nullptr);
        return modal.opened;
    }

    // The names the list shows, in its order.
    QStringList shownNames() const
    {
        QStringList result;
        const int column = m_groups->item.columnOf(QStringLiteral("s_caption"));
        for (int row = 0; row < m_groups->item.recordCount(); ++row)
            result << m_groups->item.textAt(row, column);
        return result;
    }

    qint64 group(const QString &name, int level = 2)
    {
        return TestDatabase::scalar(
            *m_dm, QStringLiteral("insert into cmn_classifier.item(s_caption, id_level) values "
                                  "(%1, %2) returning id")
                       .arg(sql::quote(name))
                       .arg(level));
    }
    QString caption(qint64 id)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("select s_caption from cmn_classifier.item where id=%1").arg(id));
        return query.next() ? query.value(0).toString() : QStringLiteral("<no row>");
    }
    qint64 count(const QString &from)
    {
        return TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from ") + from);
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm26> m_groups;
    TForm29 *m_editor = nullptr;
    qint64 m_worker = 0;
    qint64 m_kind = 0;
    qint64 m_hourPaidOper = 0;
    qint64 m_topLevel = 0;
};

TABEL_TEST_MAIN(TestNomenclatureGroups)
#include "tst_nomenclature_groups.moc"
