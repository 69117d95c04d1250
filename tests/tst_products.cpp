#include "catalogues/products.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/clock.h"
#include "ui/locale_setup.h"
#include "ui/lookup_combo.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

#include <functional>

namespace {

const QString Prices = QStringLiteral("По изделию есть расценки они будут удалены!!!");
const QString WithEntries =
    QStringLiteral("По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут "
                   "удалены. Удалить изделие? ");
const QString Single = QStringLiteral("Удалить изделие? ");
const QString Duplicate = QStringLiteral("Такая марка изделия уже заведена!");
const QString Missing = QStringLiteral("Все поля должны быть заполнены!");
const QString NotANumber =
    QStringLiteral("В поле «Расценка» должно быть число, например 2 или 0.5.");
const QString PricesInUse =
    QStringLiteral("Расценки изделия не удалены: по ним заведены 2 позиции в журнале смен.");
const QString ProductHeld =
    QStringLiteral("Изделие не удалено: по нему заведена 1 операция в справочнике цен.");

QString question(const QString &text)
{
    return QStringLiteral("question Удаление: ") + text;
}

QString error(const QString &text)
{
    return QStringLiteral("error Ошибка: ") + text;
}

} // namespace

// The product catalogue "Изделия (3)" with its editor, as a catalogue and as a picker.
class TestProducts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("products"));
        m_dm = m_db->connect();
        // Level 1 item sorting before every group: it must not be offered as a group.
        group(QStringLiteral("Арматура"), 1);
        m_blocks = group(QStringLiteral("Блоки"));
        m_aerated = group(QStringLiteral("Газобетон"));
        m_bricks = group(QStringLiteral("Кирпич"));
        m_worker = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        m_kind = seed::kind(*m_dm, QStringLiteral("Формовка"));
    }
    void cleanupTestCase()
    {
        Clock::set({});
        m_dm.reset();
        m_db.reset();
    }

    // Each case starts with no products but the reserved one, and fresh windows.
    void init()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena; delete from "
                                                 "accounts_dep.oper where i_id<>7777; delete from "
                                                 "cmn_gds_and_srv.gds_and_srv where id<>7777"));
        Clock::set(QDateTime(QDate(2024, 3, 6), QTime(10, 0)));
        m_dm->DecimalDelimiter = QStringLiteral(".");
        m_dm->Izdel.close();
        m_dm->Izdel.setFiltered(false);
        m_editor = std::make_unique<TForm7>(*m_dm);
        m_list = std::make_unique<TForm3>(*m_dm, *m_editor);
    }
    void cleanup()
    {
        m_list.reset();
        m_editor.reset();
    }

    // A new product: mark trimmed, "Расценка" typed with a comma, the group chosen (or, never
    // chosen, the first group in caption order); the list is reloaded and keeps its row number.
    void add_data()
    {
        QTest::addColumn<QString>("typedMark");
        QTest::addColumn<QString>("typedBoxes");
        QTest::addColumn<QString>("groupChosen");
        QTest::addColumn<QString>("storedMark");
        QTest::addColumn<QString>("storedBoxes");
        QTest::addColumn<QString>("storedGroup");
        QTest::newRow("trimmed mark, comma typed") << "  КР-15 "
                                                   << "2,5"
                                                   << "Кирпич"
                                                   << "КР-15"
                                                   << "2.5"
                                                   << "Кирпич";
        QTest::newRow("whole number") << "Б-1"
                                      << "3"
                                      << "Газобетон"
                                      << "Б-1"
                                      << "3"
                                      << "Газобетон";
        QTest::newRow("group never chosen") << "Б-2"
                                            << "0.75"
                                            << ""
                                            << "Б-2"
                                            << "0.75"
                                            << "Блоки";
        QTest::newRow("quotes, percent, Cyrillic") << "O'Brien \"Люкс\" 100%"
                                                   << "1"
                                                   << "Блоки"
                                                   << "O'Brien \"Люкс\" 100%"
                                                   << "1"
                                                   << "Блоки";
    }
    void add()
    {
        QFETCH(QString, typedMark);
        QFETCH(QString, typedBoxes);
        QFETCH(QString, groupChosen);
        QFETCH(QString, storedMark);
        QFETCH(QString, storedBoxes);
        QFETCH(QString, storedGroup);
        seed::product(*m_dm, QStringLiteral("А-1"));
        seed::product(*m_dm, QStringLiteral("Я-1"));
        m_editor->Edit1->setText(QStringLiteral("от прошлого раза"));
        m_editor->Edit2->setText(QStringLiteral("9"));
        MessageRecorder recorder;
        int recNoAfter = 0;
        bool listed = false;
        const QStringList opened = runCatalogue(
            [&] {
                m_dm->Izdel.setRecNo(2);
                m_list->Button1->click();
                recNoAfter = m_dm->Izdel.recNo();
                listed = m_dm->Izdel.locate(QStringLiteral("marka"), storedMark);
            },
            [&] {
                QCOMPARE(m_editor->windowTitle(), QStringLiteral("Заведение нового изделия (7)"));
                QCOMPARE(m_editor->Tag, 1);
                QCOMPARE(m_editor->Edit1->text(), QString());
                QCOMPARE(m_editor->Edit2->text(), QString());
                QCOMPARE(groupsOffered(),
                         (QStringList{QStringLiteral("Блоки"), QStringLiteral("Газобетон"),
                                      QStringLiteral("Кирпич")}));
                m_editor->Edit1->setText(typedMark);
                typeText(m_editor->Edit2, typedBoxes);
                if (!groupChosen.isEmpty())
                    chooseGroup(groupChosen);
                m_editor->Button1->click();
            });
        QCOMPARE(opened, (QStringList{QStringLiteral("TForm3"), QStringLiteral("TForm7")}));
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(m_editor->result(), int(QDialog::Accepted));
        QVERIFY(listed);
        QCOMPARE(recNoAfter, 2);
        const qint64 id = productId(storedMark);
        QVERIFY(id > 0);
        QCOMPARE(text(QStringLiteral("select massa::text from cmn_gds_and_srv.gds_and_srv where "
                                     "id=%1")
                          .arg(id)),
                 storedBoxes);
        QCOMPARE(text(QStringLiteral("select i.s_caption from cmn_gds_and_srv.gds_and_srv g join "
                                     "cmn_classifier.item i on i.id=g.id_class_item where g.id=%1")
                          .arg(id)),
                 storedGroup);
        QCOMPARE(text(QStringLiteral("select s_description || '/' || id_msm_bs from "
                                     "cmn_gds_and_srv.gds_and_srv where id=%1")
                          .arg(id)),
                 QStringLiteral("/6"));
    }

    // The group box keeps its selection from one new product to the next.
    void groupKeptForTheNextProduct()
    {
        MessageRecorder recorder;
        addProduct(QStringLiteral("К-1"), QStringLiteral("1"), QStringLiteral("Кирпич"));
        addProduct(QStringLiteral("К-2"), QStringLiteral("1"), QString());
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(groupOf(productId(QStringLiteral("К-2"))), m_bricks);
    }

    // A new mark equal to an existing one but for letter case (Latin, Cyrillic, blanks around) is
    // refused; the editor stays open and nothing is written.
    void addDuplicateRefused_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::newRow("same") << "Кирпич-М";
        QTest::newRow("Cyrillic lower case") << "кирпич-м";
        QTest::newRow("Cyrillic upper case with blanks") << "  КИРПИЧ-М ";
        QTest::newRow("Latin upper case") << "BRICK-A";
        QTest::newRow("ё against Ё") << "ёлка-1";
        QTest::newRow("quotes in another case") << "o'neil \"люкс\"";
    }
    void addDuplicateRefused()
    {
        QFETCH(QString, mark);
        seed::product(*m_dm, QStringLiteral("Кирпич-М"));
        seed::product(*m_dm, QStringLiteral("brick-a"));
        seed::product(*m_dm, QStringLiteral("ЁЛКА-1"));
        seed::product(*m_dm, QStringLiteral("O'Neil \"Люкс\""));
        const qint64 before = productCount();
        MessageRecorder recorder;
        addProduct(mark, QStringLiteral("1"), QStringLiteral("Блоки"));
        QCOMPARE(recorder.described(), QStringList{error(Duplicate)});
        QCOMPARE(m_editor->result(), int(QDialog::Rejected));
        QCOMPARE(productCount(), before);
    }

    // Missing mark, missing "Расценка": refused, the editor stays open, nothing written.
    void addMissingInput_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("boxes");
        QTest::newRow("no mark") << ""
                                 << "1";
        QTest::newRow("blank mark") << "   "
                                    << "1";
        QTest::newRow("no boxes") << "К-1"
                                  << "";
        QTest::newRow("nothing") << ""
                                 << "";
    }
    void addMissingInput()
    {
        QFETCH(QString, mark);
        QFETCH(QString, boxes);
        const qint64 before = productCount();
        MessageRecorder recorder;
        addProduct(mark, boxes, QStringLiteral("Блоки"));
        QCOMPARE(recorder.described(), QStringList{error(Missing)});
        QCOMPARE(m_editor->result(), int(QDialog::Rejected));
        QCOMPARE(productCount(), before);
    }

    // Changing the current product: the editor shows its data; its own mark (in any case) is
    // allowed, another product's mark in another case is refused; the list keeps its row number
    // and stays open.
    void change_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("groupChosen");
        QTest::addColumn<QString>("message"); // empty when saved
        QTest::newRow("own mark unchanged") << "КР-15"
                                            << "4"
                                            << "Кирпич"
                                            << "";
        QTest::newRow("own mark in another case") << "кр-15"
                                                  << "2.5"
                                                  << ""
                                                  << "";
        QTest::newRow("new mark with quote") << "КР-15 'А'"
                                             << "0,5"
                                             << "Газобетон"
                                             << "";
        QTest::newRow("another product's Cyrillic mark") << "кирпич-м"
                                                         << "2.5"
                                                         << "" << Duplicate;
        QTest::newRow("another product's Latin mark") << "BRICK-A"
                                                      << "2.5"
                                                      << "" << Duplicate;
        QTest::newRow("blank mark") << "  "
                                    << "2.5"
                                    << "" << Missing;
        QTest::newRow("no boxes") << "КР-15"
                                  << ""
                                  << "" << Missing;
        QTest::newRow("malformed boxes") << "КР-15"
                                         << "1.2.3"
                                         << "" << NotANumber;
    }
    void change()
    {
        QFETCH(QString, mark);
        QFETCH(QString, boxes);
        QFETCH(QString, groupChosen);
        QFETCH(QString, message);
        seed::product(*m_dm, QStringLiteral("Кирпич-М"));
        seed::product(*m_dm, QStringLiteral("brick-a"));
        const qint64 id = seed::product(*m_dm, QStringLiteral("КР-15  "), 2.5);
        setGroup(id, m_blocks);
        const QString before = productRow(id);
        MessageRecorder recorder;
        int recNoBefore = 0;
        int recNoAfter = 0;
        bool listOpen = false;
        const QStringList opened = runCatalogue(
            [&] {
                m_list->show();
                QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                recNoBefore = m_dm->Izdel.recNo();
                m_list->Button2->click();
                recNoAfter = m_dm->Izdel.recNo();
                listOpen = m_list->isVisible();
                m_list->hide();
            },
            [&] {
                QCOMPARE(m_editor->windowTitle(), QStringLiteral("Изменение данных изделия (7)"));
                QCOMPARE(m_editor->Tag, 2);
                QCOMPARE(m_editor->Edit1->text(), QStringLiteral("КР-15"));
                QCOMPARE(m_editor->Edit2->text(), QStringLiteral("2,5"));
                QCOMPARE(m_editor->cb_item->keyValue().value_or(-1), m_blocks);
                QCOMPARE(m_editor->cb_item->currentText(), QStringLiteral("Блоки"));
                m_editor->Edit1->setText(mark);
                m_editor->Edit2->setText(boxes);
                if (!groupChosen.isEmpty())
                    chooseGroup(groupChosen);
                m_editor->Button1->click();
            });
        QCOMPARE(opened, (QStringList{QStringLiteral("TForm3"), QStringLiteral("TForm7")}));
        QVERIFY(listOpen);
        QCOMPARE(recNoAfter, recNoBefore);
        if (!message.isEmpty()) {
            QCOMPARE(recorder.described(), QStringList{error(message)});
            QCOMPARE(m_editor->result(), int(QDialog::Rejected));
            QCOMPARE(productRow(id), before);
            return;
        }
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(m_editor->result(), int(QDialog::Accepted));
        const qint64 expectedGroup = groupChosen.isEmpty() ? m_blocks : groupId(groupChosen);
        QCOMPARE(productRow(id), QStringLiteral("%1|%2|%3|6|")
                                     .arg(mark.trimmed())
                                     .arg(sql::decimal(*sql::parseDecimal(boxes)))
                                     .arg(expectedGroup));
    }

    // A product without a group opens with the group box at 0: saving asks for a group; once one
    // is chosen the change is written.
    void changeProductWithoutGroup()
    {
        const qint64 id = seed::product(*m_dm, QStringLiteral("Без группы"));
        MessageRecorder recorder;
        qint64 preset = -1;
        runCatalogue(
            [&] {
                QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                m_list->Button2->click();
            },
            [&] {
                preset = m_editor->cb_item->keyValue().value_or(-1);
                m_editor->Button1->click();
            });
        QCOMPARE(preset, 0);
        QCOMPARE(recorder.described(), QStringList{error(Missing)});
        QCOMPARE(m_editor->result(), int(QDialog::Rejected));
        QCOMPARE(groupOf(id), 0);

        recorder.clear();
        runCatalogue(
            [&] {
                QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                m_list->Button2->click();
            },
            [&] {
                chooseGroup(QStringLiteral("Газобетон"));
                m_editor->Button1->click();
            });
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(groupOf(id), m_aerated);
    }

    // Under the program's Russian locale the editor shows "1234,5" as the list does, and saving it
    // unchanged keeps the number; Cyrillic marks still compare without case.
    void changeUnderRussianLocale()
    {
        const QLocale saved;
        QLocale russian(QLocale::Russian, QLocale::Russia);
        russian.setNumberOptions(QLocale::OmitGroupSeparator);
        QLocale::setDefault(russian);
        const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
        seed::product(*m_dm, QStringLiteral("Кирпич-м"));
        const qint64 id = seed::product(*m_dm, QStringLiteral("КР-15"), 1234.5);
        setGroup(id, m_blocks);
        MessageRecorder recorder;
        QString inList;
        QString inEditor;
        runCatalogue(
            [&] {
                QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                inList = m_dm->Izdel.text(QStringLiteral("massa"));
                m_list->Button2->click();
            },
            [&] {
                inEditor = m_editor->Edit2->text();
                m_editor->Button1->click();
            });
        QCOMPARE(inList, QStringLiteral("1234,5"));
        QCOMPARE(inEditor, inList);
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(productRow(id), QStringLiteral("КР-15|1234.5|%1|6|").arg(m_blocks));

        addProduct(QStringLiteral("КИРПИЧ-М"), QStringLiteral("1,5"), QStringLiteral("Блоки"));
        QCOMPARE(recorder.described(), QStringList{error(Duplicate)});
    }

    // The "Расценка" box takes digits; "," and "." both show as the desktop's separator, as the
    // list shows the number; anything else is dropped.
    void boxesKeyFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("comma") << "5,25"
                               << "5,25";
        QTest::newRow("point") << "5.25"
                               << "5,25";
        QTest::newRow("Latin letters") << "12abc3"
                                       << "123";
        QTest::newRow("Cyrillic letters") << "1ы2Ж"
                                          << "12";
        QTest::newRow("sign and blanks") << "-3 4+"
                                         << "34";
        QTest::newRow("backspace") << "56\b"
                                   << "5";
        QTest::newRow("several separators pass the keys") << "1,2.3"
                                                          << "1,2,3";
    }
    void boxesKeyFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        typeText(m_editor->Edit2, typed);
        QCOMPARE(m_editor->Edit2->text(), shown);
    }

    // The stored number, for a new product and for a change, whatever separator the database
    // declares.
    void storedBoxes_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        for (const bool adding : {true, false}) {
            const char *mode = adding ? "new" : "change";
            QTest::addRow("%s: whole number", mode) << adding << "."
                                                    << "7"
                                                    << "7";
            QTest::addRow("%s: comma typed", mode) << adding << "."
                                                   << "5,25"
                                                   << "5.25";
            QTest::addRow("%s: database comma", mode) << adding << ","
                                                      << "5,25"
                                                      << "5.25";
            QTest::addRow("%s: six decimals", mode) << adding << "."
                                                    << "0.123456"
                                                    << "0.123456";
            QTest::addRow("%s: leading separator", mode) << adding << "."
                                                         << ".5"
                                                         << "0.5";
            QTest::addRow("%s: 17 digits", mode) << adding << "."
                                                 << "12345678,123456789"
                                                 << "12345678.123456789";
            QTest::addRow("%s: 17 digits, database comma", mode) << adding << ","
                                                                 << "0.0000000000000001"
                                                                 << "0.0000000000000001";
        }
    }
    void storedBoxes()
    {
        QFETCH(bool, adding);
        QFETCH(QString, delimiter);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        m_dm->DecimalDelimiter = delimiter;
        const QString mark = QStringLiteral("Р-1");
        MessageRecorder recorder;
        if (adding) {
            addProduct(mark, typed, QStringLiteral("Блоки"));
        } else {
            const qint64 id = seed::product(*m_dm, mark, 1);
            setGroup(id, m_blocks);
            runCatalogue(
                [&] {
                    QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                    m_list->Button2->click();
                },
                [&] {
                    m_editor->Edit2->clear();
                    typeText(m_editor->Edit2, typed);
                    m_editor->Button1->click();
                });
        }
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(text(QStringLiteral("select massa::text from cmn_gds_and_srv.gds_and_srv where "
                                     "s_caption=%1")
                          .arg(sql::quote(mark))),
                 stored);
    }

    // A stored "Расценка" of more digits than a double keeps shows in the editor as stored and
    // stays so when the change is saved untouched.
    void storedBoxesRoundTrip()
    {
        const qint64 id = seed::product(*m_dm, QStringLiteral("Р-17"));
        setGroup(id, m_blocks);
        TestDatabase::exec(*m_dm, QStringLiteral("update cmn_gds_and_srv.gds_and_srv set "
                                                 "massa=98765432.987654321 where id=%1")
                                      .arg(id));
        MessageRecorder recorder;
        QString shown;
        runCatalogue(
            [&] {
                QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                m_list->Button2->click();
            },
            [&] {
                shown = m_editor->Edit2->text();
                m_editor->Button1->click();
            });
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(shown, QStringLiteral("98765432,987654321"));
        QCOMPARE(text(QStringLiteral("select massa::text from cmn_gds_and_srv.gds_and_srv where "
                                     "id=%1")
                          .arg(id)),
                 QStringLiteral("98765432.987654321"));
    }

    // A new product's group box shows the group a save stores: with no group chosen before (or
    // after a product without a group was open) the first in caption order is shown, and saved.
    void groupShownIsGroupSaved()
    {
        const qint64 bare = seed::product(*m_dm, QStringLiteral("Без группы"));
        runCatalogue([&] {
            QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), bare));
            m_list->Button2->click();
        });
        MessageRecorder recorder;
        QString shown;
        runCatalogue([&] { m_list->Button1->click(); },
                     [&] {
                         shown = m_editor->cb_item->currentText();
                         m_editor->Edit1->setText(QStringLiteral("Н-1"));
                         m_editor->Edit2->setText(QStringLiteral("1"));
                         m_editor->Button1->click();
                     });
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(shown, QStringLiteral("Блоки"));
        QCOMPARE(groupOf(productId(QStringLiteral("Н-1"))), m_blocks);
    }

    // A "Расценка" that is no number (pasted, or typed with two separators) is refused with a
    // message; nothing reaches the database.
    void malformedBoxesRefused_data()
    {
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<bool>("typed");
        QTest::newRow("1.2.3 pasted") << "1.2.3" << false;
        QTest::newRow("1,2,3 typed") << "1,2,3" << true;
        QTest::newRow("mixed separators") << "1.2,3" << false;
        QTest::newRow("separator alone") << "." << true;
        QTest::newRow("exponent pasted") << "1e5" << false;
        QTest::newRow("letters pasted") << "пять" << false;
        QTest::newRow("negative pasted") << "-2" << false;
    }
    void malformedBoxesRefused()
    {
        QFETCH(QString, boxes);
        QFETCH(bool, typed);
        const qint64 before = productCount();
        MessageRecorder recorder;
        runCatalogue([&] { m_list->Button1->click(); },
                     [&] {
                         m_editor->Edit1->setText(QStringLiteral("Р-1"));
                         if (typed)
                             typeText(m_editor->Edit2, boxes);
                         else
                             m_editor->Edit2->setText(boxes);
                         chooseGroup(QStringLiteral("Блоки"));
                         m_editor->Button1->click();
                     });
        QCOMPARE(recorder.described(), QStringList{error(NotANumber)});
        QCOMPARE(m_editor->result(), int(QDialog::Rejected));
        QCOMPARE(productCount(), before);
    }

    // Marks with quotes, percent signs, underscores and Cyrillic in mixed case survive a round
    // trip: stored exactly, found by a prefix typed in another case, saved again as their own mark,
    // and an upper-case copy is refused.
    void markRoundTrip_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("search");
        QTest::newRow("quotes and percent") << "O'Brien \"Люкс\" 100%"
                                            << "o'brien \"люкс\" 1";
        QTest::newRow("underscore and quote") << "Ёлка_1 'а'"
                                              << "ЁЛКА_1 'А";
        QTest::newRow("statement text") << "Блок'); drop table x;--"
                                        << "блок');";
        QTest::newRow("backslash") << "Б\\1 %_"
                                   << "б\\1 %_";
    }
    void markRoundTrip()
    {
        QFETCH(QString, mark);
        QFETCH(QString, search);
        seed::product(*m_dm, QStringLiteral("Блок-200"));
        seed::product(*m_dm, QStringLiteral("O'Neil"));
        MessageRecorder recorder;
        addProduct(mark, QStringLiteral("1"), QStringLiteral("Блоки"));
        QCOMPARE(recorder.described(), QStringList());
        const qint64 id = productId(mark);
        QVERIFY(id > 0);

        QStringList found;
        runCatalogue(
            [&] {
                typeText(m_list->Edit1, search);
                found = shownMarks();
                m_list->Button2->click();
            },
            [&] { m_editor->Button1->click(); });
        QCOMPARE(found, QStringList{mark});
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(productId(mark), id);

        addProduct(mark.toUpper(), QStringLiteral("1"), QStringLiteral("Блоки"));
        QCOMPARE(recorder.described(), QStringList{error(Duplicate)});
        QCOMPARE(productCount(), 4);
    }

    // The search box keeps the marks that begin with the typed text, ignoring case; the text is a
    // value, never a pattern; clearing it shows every product again.
    void search_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("prefix in another case")
            << "блок" << QStringList{"Блок-200", "блок-300", "БЛОКИ"};
        QTest::newRow("longer prefix upper case") << "БЛОК-2" << QStringList{"Блок-200"};
        QTest::newRow("inside the mark is no match") << "лок" << QStringList{};
        QTest::newRow("percent literally") << "100%" << QStringList{"100% бетон"};
        QTest::newRow("percent alone") << "%" << QStringList{};
        QTest::newRow("underscore literally") << "a_" << QStringList{"A_B"};
        QTest::newRow("quote") << "o'n" << QStringList{"O'Neil"};
        QTest::newRow("cleared") << "бл\b\b"
                                 << QStringList{"100% бетон", "A_B",      "AxB",
                                                "Блок-200",   "блок-300", "БЛОКИ",
                                                "Кирпич",     "O'Neil",   "Почасовые работы"};
    }
    void search()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        for (const char *mark :
             {"Блок-200", "блок-300", "БЛОКИ", "Кирпич", "100% бетон", "A_B", "AxB", "O'Neil"})
            seed::product(*m_dm, QString::fromUtf8(mark));
        QStringList found;
        runCatalogue([&] {
            typeText(m_list->Edit1, typed);
            found = shownMarks();
        });
        found.sort();
        shown.sort();
        QCOMPARE(found, shown);
    }

    // "е" and "ё" find each other in a product mark, typed either way.
    void searchYoAsYe_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("е finds ё") << "елка" << QStringList{"Ёлка-1"};
        QTest::newRow("ё finds е") << "ёмк" << QStringList{"Емкость-5"};
        QTest::newRow("capital Е finds ё") << "ЕЛ" << QStringList{"Ёлка-1"};
    }
    void searchYoAsYe()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        for (const char *mark : {"Ёлка-1", "Емкость-5", "Кирпич"})
            seed::product(*m_dm, QString::fromUtf8(mark));
        QStringList found;
        runCatalogue([&] {
            typeText(m_list->Edit1, typed);
            found = shownMarks();
        });
        QCOMPARE(found, shown);
    }

    // Up and Down in the search box move the current product; other keys edit the text as usual.
    void searchBoxKeys()
    {
        for (const char *mark : {"А-1", "А-2", "А-3"})
            seed::product(*m_dm, QString::fromUtf8(mark));
        runCatalogue([&] {
            typeText(m_list->Edit1, QStringLiteral("а-"));
            QCOMPARE(m_dm->Izdel.recNo(), 1);
            QTest::keyClick(m_list->Edit1, Qt::Key_Down);
            QTest::keyClick(m_list->Edit1, Qt::Key_Down);
            QCOMPARE(m_dm->Izdel.text(QStringLiteral("marka")), QStringLiteral("А-3"));
            QTest::keyClick(m_list->Edit1, Qt::Key_Up);
            QCOMPARE(m_dm->Izdel.text(QStringLiteral("marka")), QStringLiteral("А-2"));
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("а-"));
            QTest::keyClick(m_list->Edit1, Qt::Key_Left);
            QTest::keyClick(m_list->Edit1, Qt::Key_Delete);
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("а"));
            QTest::keyClick(m_list->Edit1, Qt::Key_Home);
            typeText(m_list->Edit1, QStringLiteral("б"));
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("ба"));
            QCOMPARE(m_dm->Izdel.recordCount(), 0);
        });
    }

    // The delete cascade: both questions first, then the deletes of the answers in one go; prices
    // go with their norms; a refusal (ours or the database's) leaves everything in place.
    void deleteCascade_data()
    {
        QTest::addColumn<bool>("prices");
        QTest::addColumn<bool>("entries");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<QString>("failure"); // "", "ours" or "database"
        QTest::addColumn<bool>("entriesLeft");
        QTest::addColumn<bool>("pricesLeft");
        QTest::addColumn<bool>("productLeft");
        const QStringList both{question(Prices), question(WithEntries)};
        QTest::newRow("prices and entries: yes, yes")
            << true << true << QList<bool>{true, true} << both << "" << false << false << false;
        QTest::newRow("prices and entries: yes, no")
            << true << true << QList<bool>{true, false} << both << "ours" << true << true << true;
        QTest::newRow("prices and entries: no, yes") << true << true << QList<bool>{false, true}
                                                     << both << "database" << true << true << true;
        QTest::newRow("prices and entries: no, no")
            << true << true << QList<bool>{false, false} << both << "" << true << true << true;
        const QStringList pricesOnly{question(Prices), question(Single)};
        QTest::newRow("prices only: yes, yes") << true << false << QList<bool>{true, true}
                                               << pricesOnly << "" << false << false << false;
        QTest::newRow("prices only: yes, no") << true << false << QList<bool>{true, false}
                                              << pricesOnly << "" << false << false << true;
        QTest::newRow("prices only: no, yes") << true << false << QList<bool>{false, true}
                                              << pricesOnly << "database" << false << true << true;
        QTest::newRow("entries only: yes")
            << false << true << QList<bool>{true} << QStringList{question(WithEntries)} << ""
            << false << false << false;
        QTest::newRow("entries only: no")
            << false << true << QList<bool>{false} << QStringList{question(WithEntries)} << ""
            << true << false << true;
        QTest::newRow("nothing: yes")
            << false << false << QList<bool>{true} << QStringList{question(Single)} << "" << false
            << false << false;
        QTest::newRow("nothing: no")
            << false << false << QList<bool>{false} << QStringList{question(Single)} << "" << false
            << false << true;
    }
    void deleteCascade()
    {
        QFETCH(bool, prices);
        QFETCH(bool, entries);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, questions);
        QFETCH(QString, failure);
        QFETCH(bool, entriesLeft);
        QFETCH(bool, pricesLeft);
        QFETCH(bool, productLeft);
        // Another product whose operation, norm and entry must survive every answer.
        const qint64 other = seed::product(*m_dm, QStringLiteral("А-1"));
        const qint64 otherOper = seed::operation(*m_dm, m_kind, other, 0, {8});
        seed::entry(*m_dm, {m_worker, other, otherOper, QDate(2024, 3, 5)});
        const qint64 product = seed::product(*m_dm, QStringLiteral("КР-15"));
        seed::product(*m_dm, QStringLiteral("Я-1"));
        qint64 oper = 0;
        if (prices)
            oper = seed::operation(*m_dm, m_kind, product, 0, {10, 12});
        if (entries) {
            // Entries of this month and of long ago: all of them go with the product. Without
            // prices of its own the product's entries use another product's operation.
            const qint64 used = prices ? oper : otherOper;
            seed::entry(*m_dm, {m_worker, product, used, QDate(2024, 3, 5)});
            seed::entry(*m_dm, {m_worker, product, used, QDate(1999, 6, 1)});
        }
        const QString before = productData(product);
        const QString otherBefore = productData(other);

        MessageRecorder recorder;
        for (const bool answer : answers)
            recorder.answers.enqueue(answer);
        int recNoAfter = 0;
        runCatalogue([&] {
            QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), product));
            m_list->Button3->click();
            recNoAfter = m_dm->Izdel.recNo();
        });
        QVERIFY(recorder.answers.isEmpty());
        const QStringList shown = recorder.described();
        QCOMPARE(shown.mid(0, questions.size()), questions);
        if (failure.isEmpty()) {
            QCOMPARE(shown.size(), questions.size());
            QCOMPARE(recNoAfter, 1);
        } else if (failure == QLatin1String("ours")) {
            QCOMPARE(shown.mid(questions.size()), QStringList{error(PricesInUse)});
        } else {
            QCOMPARE(shown.size(), questions.size() + 1);
            QCOMPARE(recorder.shown.last().kind, messages::Kind::Error);
            QCOMPARE(recorder.shown.last().caption, QStringLiteral("Ошибка"));
            QCOMPARE(recorder.shown.last().text, ProductHeld);
            QVERIFY(recorder.shown.last().detail.contains(QStringLiteral("oper_i_id_fkey")));
            QCOMPARE(productData(product), before);
        }
        QCOMPARE(count(QStringLiteral("accounts_dep.smena where i_id=%1").arg(product)) > 0,
                 entriesLeft);
        QCOMPARE(count(QStringLiteral("accounts_dep.oper where i_id=%1").arg(product)) > 0,
                 pricesLeft);
        if (prices)
            QCOMPARE(count(QStringLiteral("accounts_dep.norm where o_id=%1").arg(oper)),
                     pricesLeft ? 2 : 0);
        QCOMPARE(count(QStringLiteral("cmn_gds_and_srv.gds_and_srv where id=%1").arg(product)) > 0,
                 productLeft);
        QCOMPARE(productData(other), otherBefore);
    }

    // A product deleted with its 88 entries takes their hours out of the monthly timesheet in the
    // same go: afterwards every day of every shift row equals the sum of the hours of that
    // worker's entries of the shift and day (empty when none is left), over two months.
    void deleteRepostsDays()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.h_tabel"));
        const qint64 other = seed::product(*m_dm, QStringLiteral("А-1"));
        const qint64 otherOper = seed::operation(*m_dm, m_kind, other, 0, {8});
        const qint64 product = seed::product(*m_dm, QStringLiteral("КР-15"));
        const qint64 oper = seed::operation(*m_dm, m_kind, product, 0, {10});
        const qint64 second = seed::worker(*m_dm, QStringLiteral("Петров П.П."));
        for (int i = 0; i < 88; ++i) {
            const qint64 worker = i % 2 ? m_worker : second;
            const QDate day = QDate(2024, 2, 20).addDays(i / 4);
            const int shift = 1 + i % 4;
            seed::entry(*m_dm, {worker, product, oper, day, shift, 1 + i % 9});
            // Entries of the other product share some of those days, and one day is its own.
            if (i % 3 == 0)
                seed::entry(*m_dm, {worker, other, otherOper, day, shift, 2});
        }
        seed::entry(*m_dm, {m_worker, other, otherOper, QDate(2024, 3, 30), 2, 5});
        QCOMPARE(daysNotTheirSum(), 0);
        const qint64 filledBefore = filledDays();

        MessageRecorder recorder;
        recorder.answers << true << true;
        runCatalogue([&] {
            QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), product));
            m_list->Button3->click();
        });
        QCOMPARE(recorder.described(), (QStringList{question(Prices), question(WithEntries)}));
        QCOMPARE(count(QStringLiteral("accounts_dep.smena where i_id=%1").arg(product)), 0);
        QCOMPARE(daysNotTheirSum(), 0);
        // Days with the other product's entries keep their (smaller) sums; the rest are empty.
        QCOMPARE(filledDays(), 30 + 1);
        QVERIFY(filledBefore > filledDays());
        QCOMPARE(seed::dayValue(*m_dm, m_worker, 2, QDate(2024, 3, 30)), 5);
    }

    // The entries question counts entries from the first day of the previous month of the year
    // 2000 (December 2000 in January).
    void deleteEntriesSince_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("entryDay");
        QTest::addColumn<QString>("asked");
        QTest::newRow("January, 1 December 2000")
            << QDate(2024, 1, 15) << QDate(2000, 12, 1) << WithEntries;
        QTest::newRow("January, 30 November 2000")
            << QDate(2024, 1, 15) << QDate(2000, 11, 30) << Single;
        QTest::newRow("March, 1 February 2000")
            << QDate(2024, 3, 6) << QDate(2000, 2, 1) << WithEntries;
        QTest::newRow("March, 31 January 2000")
            << QDate(2024, 3, 6) << QDate(2000, 1, 31) << Single;
        QTest::newRow("March, this month") << QDate(2024, 3, 6) << QDate(2024, 3, 1) << WithEntries;
    }
    void deleteEntriesSince()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, entryDay);
        QFETCH(QString, asked);
        Clock::set(QDateTime(today, QTime(9, 0)));
        const qint64 other = seed::product(*m_dm, QStringLiteral("А-1"));
        const qint64 otherOper = seed::operation(*m_dm, m_kind, other, 0, {8});
        const qint64 product = seed::product(*m_dm, QStringLiteral("КР-15"));
        seed::entry(*m_dm, {m_worker, product, otherOper, entryDay});
        MessageRecorder recorder;
        recorder.answers.enqueue(false);
        runCatalogue([&] {
            QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), product));
            m_list->Button3->click();
        });
        QCOMPARE(recorder.described(), QStringList{question(asked)});
        QCOMPARE(count(QStringLiteral("cmn_gds_and_srv.gds_and_srv where id=%1").arg(product)), 1);
    }

    // The reserved product of hour-paid work is never deleted, and nothing is asked.
    void reservedProductRefused()
    {
        const qint64 opers = count(QStringLiteral("accounts_dep.oper where i_id=7777"));
        QVERIFY(opers > 0);
        MessageRecorder recorder;
        runCatalogue([&] {
            QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), 7777));
            m_list->Button3->click();
        });
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
        QVERIFY(recorder.shown.first().text.contains(QStringLiteral("7777")));
        QCOMPARE(count(QStringLiteral("cmn_gds_and_srv.gds_and_srv where id=7777")), 1);
        QCOMPARE(count(QStringLiteral("accounts_dep.oper where i_id=7777")), opers);
        QCOMPARE(count(QStringLiteral("accounts_dep.norm n join accounts_dep.oper o on "
                                      "o.id=n.o_id where o.i_id=7777")),
                 opers);
    }

    // With every row filtered out, "Изменить" and "Удалить" do nothing; "Добавить" still works.
    void commandsOnEmptyList()
    {
        seed::product(*m_dm, QStringLiteral("А-1"));
        const qint64 before = productCount();
        MessageRecorder recorder;
        const QStringList opened = runCatalogue([&] {
            typeText(m_list->Edit1, QStringLiteral("нет такого"));
            QCOMPARE(m_dm->Izdel.recordCount(), 0);
            m_list->Button2->click();
            m_list->Button3->click();
        });
        QCOMPARE(opened, QStringList{QStringLiteral("TForm3")});
        QCOMPARE(recorder.described(), QStringList());
        QCOMPARE(productCount(), before);
    }

    // The picker for the price editor: "Выбрать" as the default button, add and delete hidden, the
    // search box shown and cleared; it hands back the id and the trimmed mark.
    void picker()
    {
        const qint64 id = seed::product(*m_dm, QStringLiteral("КР-15   "));
        seed::product(*m_dm, QStringLiteral("Блок"));
        m_list->Edit1->setText(QStringLiteral("бл"));
        std::optional<CatalogueList::Choice> choice;
        {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() != QLatin1String("TForm3"))
                    return int(QDialog::Rejected);
                [&] {
                    QCOMPARE(m_list->Tag, 1);
                    QCOMPARE(m_list->Button2->text(), QStringLiteral("Выбрать"));
                    QVERIFY(m_list->Button2->isDefault());
                    QVERIFY(!m_list->Button1->isDefault());
                    QVERIFY(m_list->Button1->isHidden());
                    QVERIFY(m_list->Button3->isHidden());
                    QVERIFY(!m_list->Edit1->isHidden());
                    QCOMPARE(m_list->Edit1->text(), QString());
                    QCOMPARE(m_dm->Izdel.recordCount(), 3);
                    QVERIFY(m_dm->Izdel.locate(QStringLiteral("id"), id));
                }();
                m_list->Button2->click();
                return m_list->result();
            });
            choice = m_list->runAsPicker(1, nullptr);
            QCOMPARE(modal.opened, QStringList{QStringLiteral("TForm3")});
        }
        QVERIFY(choice.has_value());
        QCOMPARE(choice->id, id);
        QCOMPARE(choice->name, QStringLiteral("КР-15"));
        QVERIFY(!m_list->Button2->isDefault());
        QVERIFY(m_list->Edit1->isHidden());
        QVERIFY(!m_dm->Izdel.isOpen());
    }

    // A picker closed by "Выход", or asked to choose from an empty list, hands back nothing.
    void pickerHandsBackNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("exit");
        QTest::newRow("exit") << "" << true;
        QTest::newRow("empty list") << "нет такого" << false;
    }
    void pickerHandsBackNothing()
    {
        QFETCH(QString, typed);
        QFETCH(bool, exit);
        seed::product(*m_dm, QStringLiteral("КР-15"));
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm3"))
                return int(QDialog::Rejected);
            typeText(m_list->Edit1, typed);
            (exit ? m_list->Button4 : m_list->Button2)->click();
            return m_list->result();
        });
        QCOMPARE(m_list->runAsPicker(1, nullptr).has_value(), false);
        QCOMPARE(modal.opened, QStringList{QStringLiteral("TForm3")});
    }

    // Enter in the search box presses the default button: "Выбрать" in the picker, "Добавить" in
    // the catalogue.
    void enterInSearchBox()
    {
        const qint64 id = seed::product(*m_dm, QStringLiteral("КР-15"));
        {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() != QLatin1String("TForm3"))
                    return int(QDialog::Rejected);
                m_list->show();
                typeText(m_list->Edit1, QStringLiteral("кр"));
                QTest::keyClick(m_list->Edit1, Qt::Key_Return);
                m_list->hide();
                return m_list->result();
            });
            const std::optional<CatalogueList::Choice> choice = m_list->runAsPicker(1, nullptr);
            QVERIFY(choice.has_value());
            QCOMPARE(choice->id, id);
        }
        const QStringList opened = runCatalogue([&] {
            m_list->show();
            QTest::keyClick(m_list->Edit1, Qt::Key_Return);
            m_list->hide();
        });
        QCOMPARE(opened, (QStringList{QStringLiteral("TForm3"), QStringLiteral("TForm7")}));
    }

    // After a search in the picker, the catalogue opens with the search box shown holding that
    // text, so the filtered list says so; clearing it shows every product.
    void catalogueAfterPickerSearch()
    {
        seed::product(*m_dm, QStringLiteral("КР-15"));
        seed::product(*m_dm, QStringLiteral("Блок"));
        {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() != QLatin1String("TForm3"))
                    return int(QDialog::Rejected);
                typeText(m_list->Edit1, QStringLiteral("кр"));
                m_list->Button2->click();
                return m_list->result();
            });
            QVERIFY(m_list->runAsPicker(1, nullptr).has_value());
        }
        runCatalogue([&] {
            QCOMPARE(m_list->Tag, 0);
            QVERIFY(!m_list->Edit1->isHidden());
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("кр"));
            QCOMPARE(shownMarks(), QStringList{QStringLiteral("КР-15")});
            QCOMPARE(m_list->Button2->text(), QStringLiteral("Изменить"));
            QVERIFY(!m_list->Button2->isDefault());
            QVERIFY(m_list->Button1->isDefault());
            QVERIFY(!m_list->Button1->isHidden());
            QVERIFY(!m_list->Button3->isHidden());
            m_list->Edit1->clear();
            QCOMPARE(m_dm->Izdel.recordCount(), 3);
        });
        QVERIFY(!m_dm->Izdel.isOpen());
    }

private:
    // Runs the catalogue as the main menu opens it: inList acts while the list is shown, inEditor
    // while the product editor is. Returns the windows shown, in order.
    QStringList runCatalogue(const std::function<void()> &inList,
                             const std::function<void()> &inEditor = {})
    {
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm3")) {
                inList();
                return int(QDialog::Rejected);
            }
            dialog.setResult(QDialog::Rejected);
            if (dialog.objectName() == QLatin1String("TForm7") && inEditor)
                inEditor();
            return dialog.result();
        });
        m_list->runAsCatalogue(nullptr);
        return modal.opened;
    }

    // "Добавить" in the catalogue with the boxes filled in; an empty group leaves the box as is.
    void addProduct(const QString &mark, const QString &boxes, const QString &groupCaption)
    {
        runCatalogue([&] { m_list->Button1->click(); },
                     [&] {
                         m_editor->Edit1->setText(mark);
                         m_editor->Edit2->setText(boxes);
                         if (!groupCaption.isEmpty())
                             chooseGroup(groupCaption);
                         m_editor->Button1->click();
                     });
    }

    // Picks a group in the editor's box as the user does from its drop-down list.
    void chooseGroup(const QString &caption)
    {
        LookupCombo *box = m_editor->cb_item;
        const int index = box->findText(caption);
        QVERIFY2(index >= 0, qPrintable(caption));
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    }

    QStringList groupsOffered() const
    {
        QStringList result;
        for (int i = 0; i < m_editor->cb_item->count(); ++i)
            result << m_editor->cb_item->itemText(i);
        return result;
    }

    // The marks the list shows, in its order.
    QStringList shownMarks() const
    {
        QStringList result;
        const int column = m_dm->Izdel.columnOf(QStringLiteral("marka"));
        for (int row = 0; row < m_dm->Izdel.recordCount(); ++row)
            result << m_dm->Izdel.textAt(row, column);
        return result;
    }

    qint64 group(const QString &caption, int level = 2)
    {
        return TestDatabase::scalar(
            *m_dm, QStringLiteral("insert into cmn_classifier.item(s_caption, id_level) values "
                                  "(%1, %2) returning id")
                       .arg(sql::quote(caption))
                       .arg(level));
    }
    qint64 groupId(const QString &caption)
    {
        return TestDatabase::scalar(
            *m_dm, QStringLiteral("select id from cmn_classifier.item where s_caption=%1")
                       .arg(sql::quote(caption)));
    }
    void setGroup(qint64 product, qint64 groupId)
    {
        TestDatabase::exec(
            *m_dm,
            QStringLiteral("update cmn_gds_and_srv.gds_and_srv set id_class_item=%1 where id=%2")
                .arg(groupId)
                .arg(product));
    }
    qint64 groupOf(qint64 product)
    {
        return TestDatabase::scalar(
            *m_dm,
            QStringLiteral("select id_class_item from cmn_gds_and_srv.gds_and_srv where id=%1")
                .arg(product));
    }
    qint64 productId(const QString &mark)
    {
        return TestDatabase::scalar(
            *m_dm, QStringLiteral("select id from cmn_gds_and_srv.gds_and_srv where s_caption=%1")
                       .arg(sql::quote(mark)));
    }
    // Days of the monthly shift rows whose value is not the sum of the hours of their entries
    // (empty when there is none).
    qint64 daysNotTheirSum()
    {
        return TestDatabase::scalar(
            *m_dm,
            QStringLiteral(
                "select count(*) from accounts_dep.h_tabel h cross join generate_series(1, 31) d "
                "where h.smena between 1 and 4 and d <= extract(day from make_date(h.year, "
                "h.month, 1) + interval '1 month - 1 day') and (to_jsonb(h) ->> ('d' || "
                "d))::int is distinct from (select sum(e.time) from accounts_dep.smena e where "
                "e.w_id = h.w_id and e.smena = h.smena and e.data = make_date(h.year, h.month, "
                "d))"));
    }
    qint64 filledDays()
    {
        return TestDatabase::scalar(
            *m_dm, QStringLiteral("select count(*) from accounts_dep.h_tabel h cross join "
                                  "generate_series(1, 31) d where to_jsonb(h) ->> ('d' || d) is "
                                  "not null"));
    }
    qint64 productCount() { return count(QStringLiteral("cmn_gds_and_srv.gds_and_srv")); }
    qint64 count(const QString &from)
    {
        return TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from ") + from);
    }
    QString text(const QString &sql)
    {
        QSqlQuery query = m_dm->ADO_DB.run(sql);
        return query.next() ? query.value(0).toString() : QStringLiteral("<no row>");
    }
    // mark|massa|group|id_msm_bs|description of a goods row.
    QString productRow(qint64 id)
    {
        return text(QStringLiteral("select s_caption || '|' || massa || '|' || "
                                   "coalesce(id_class_item::text, '') || '|' || id_msm_bs || '|' "
                                   "|| coalesce(s_description, '') from "
                                   "cmn_gds_and_srv.gds_and_srv where id=%1")
                        .arg(id));
    }
    // The goods row with its operations, norms and entries, as text.
    QString productData(qint64 id)
    {
        return productRow(id) + QLatin1Char('#') +
               text(QStringLiteral("select coalesce(string_agg(o.id || ':' || (select "
                                   "string_agg(n.id::text, ',' order by n.id) from "
                                   "accounts_dep.norm n where n.o_id=o.id), ';' order by o.id), "
                                   "'') from accounts_dep.oper o where o.i_id=%1")
                        .arg(id)) +
               QLatin1Char('#') +
               text(QStringLiteral("select coalesce(string_agg(id::text, ',' order by id), '') "
                                   "from accounts_dep.smena where i_id=%1")
                        .arg(id));
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm3> m_list;
    std::unique_ptr<TForm7> m_editor;
    qint64 m_blocks = 0;
    qint64 m_aerated = 0;
    qint64 m_bricks = 0;
    qint64 m_worker = 0;
    qint64 m_kind = 0;
};

TABEL_TEST_MAIN(TestProducts)
#include "tst_products.moc"
