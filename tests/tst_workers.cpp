#include "catalogues/workers.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/data_grid.h"
#include "ui/lookup_combo.h"
#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <functional>

// The worker catalogue and picker, and through it the list-and-editor pattern every catalogue
// shares.
class TestWorkers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("workers"));
        m_dm = m_db->connect();
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }
    void init()
    {
        TestDatabase::exec(
            *m_dm,
            QStringLiteral("delete from accounts_dep.smena; delete from accounts_dep.person"));
        for (const char *name :
             {"Антонов А.А.", "Борисов Б.Б.", "Иванов И.И.", "Иванова М.П.", "Яковлев Я.Я."})
            seed::worker(*m_dm, QString::fromUtf8(name));
        m_editor = std::make_unique<TForm2>(*m_dm);
        m_list = std::make_unique<TForm5>(*m_dm, *m_editor);
    }
    void cleanup()
    {
        m_list.reset();
        m_editor.reset();
        m_dm->Workers.close();
        m_dm->Workers.setFiltered(false);
    }

    // A new worker: the name trimmed, the department's caption as the label; the list shows him.
    void addWorker()
    {
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm5")) {
                m_list->Button1->click();
                return;
            }
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Заведение данных нового работника"));
            QCOMPARE(m_editor->Edit1->text(), QString());
            m_editor->Edit1->setText(QStringLiteral("  Петров-Водкин П.П.  "));
            m_editor->LCB_department->setKeyValue(2);
            m_editor->Button1->click();
        });
        m_list->runAsCatalogue(nullptr);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(
            TestDatabase::scalar(
                *m_dm,
                QStringLiteral(
                    "select count(*) from accounts_dep.person where fio='Петров-Водкин П.П.' and "
                    "s_staffpos_hl='Участок окраски'")),
            1);
        QVERIFY(!m_dm->Workers.isOpen()); // closed after the catalogue
    }

    // A name of blanks only is refused and nothing is written; the editor stays open.
    void emptyNameRefused()
    {
        MessageRecorder recorder;
        int editorResult = -1;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm5")) {
                m_list->Button1->click();
                return;
            }
            m_editor->Edit1->setText(QStringLiteral("   "));
            m_editor->Button1->click();
            editorResult = dialog.result();
        });
        m_list->runAsCatalogue(nullptr);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("ФИО нужно заполнить!")});
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(editorResult, 0);
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.person")),
            5);
    }

    // A change keeps the list on the same row number, then the list closes; quotes are stored as
    // typed.
    void changeWorker()
    {
        MessageRecorder recorder;
        bool listAccepted = false;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm5")) {
                m_dm->Workers.setRecNo(3);
                m_list->Button2->click();
                listAccepted = dialog.result() == QDialog::Accepted;
                return;
            }
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Изменение данных работника"));
            QCOMPARE(m_editor->Edit1->text(), QStringLiteral("Иванов И.И."));
            m_editor->Edit1->setText(QStringLiteral("Д'Артаньян \"Шарль\" %"));
            m_editor->Button1->click();
            QCOMPARE(m_dm->Workers.recNo(), 3);
        });
        m_list->runAsCatalogue(nullptr);
        QVERIFY(listAccepted);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.person "
                                                       "where fio='Д''Артаньян \"Шарль\" %'")),
            1);
        QCOMPARE(TestDatabase::scalar(*m_dm,
                                      QStringLiteral("select count(*) from cmn_contractor.person "
                                                     "where s_caption='Д''Артаньян \"Шарль\" %'")),
                 1);
    }

    // "Изменить" shows each worker's stored department, and "Записать" stores the label shown:
    // untouched it stays, a label no department has stays too, and a department picked for one
    // worker is not given to the next one changed in the same run.
    void changeKeepsDepartment()
    {
        const auto setLabel = [&](const char *fio, const QString &label) {
            TestDatabase::exec(*m_dm,
                               QStringLiteral("update accounts_dep.person set "
                                              "s_staffpos_hl=%1 where fio=%2")
                                   .arg(sql::quote(label), sql::quote(QString::fromUtf8(fio))));
        };
        setLabel("Антонов А.А.", QStringLiteral("Участок окраски"));
        setLabel("Борисов Б.Б.", QStringLiteral("Цех литья"));
        setLabel("Иванов И.И.", QStringLiteral("Бригада старого учёта"));
        // fio → the department shown when the editor opens, the one picked ("" none), the label
        // stored afterwards.
        const QList<QStringList> changes{
            {QStringLiteral("Антонов А.А."), QStringLiteral("Участок окраски"),
             QStringLiteral("Участок сборки"), QStringLiteral("Участок сборки")},
            {QStringLiteral("Борисов Б.Б."), QStringLiteral("Цех литья"), QString(),
             QStringLiteral("Цех литья")},
            {QStringLiteral("Иванов И.И."), QString(), QString(),
             QStringLiteral("Бригада старого учёта")},
            {QStringLiteral("Антонов А.А."), QStringLiteral("Участок сборки"), QString(),
             QStringLiteral("Участок сборки")}};
        MessageRecorder recorder;
        for (const QStringList &change : changes) {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() == QLatin1String("TForm5")) {
                    QVERIFY(m_dm->Workers.locate(QStringLiteral("fio"), change.at(0)));
                    m_list->Button2->click();
                    return;
                }
                QCOMPARE(m_editor->LCB_department->shownText(), change.at(1));
                if (!change.at(2).isEmpty()) {
                    const int index = m_editor->LCB_department->findText(change.at(2));
                    QVERIFY(index >= 0);
                    m_editor->LCB_department->setCurrentIndex(index);
                    Q_EMIT m_editor->LCB_department->activated(index);
                }
                m_editor->Button1->click();
            });
            m_list->runAsCatalogue(nullptr);
            QCOMPARE(text(QStringLiteral("select s_staffpos_hl from "
                                         "accounts_dep.person where fio=%1")
                              .arg(sql::quote(change.at(0)))),
                     change.at(3));
        }
        QVERIFY(recorder.shown.isEmpty());
        // A new worker after those changes starts without a department.
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm5")) {
                m_list->Button1->click();
                return;
            }
            QCOMPARE(m_editor->LCB_department->shownText(), QString());
        });
        m_list->runAsCatalogue(nullptr);
    }

    // Deleting the last row lands on the new last row; any other row leaves the list on the row
    // that moved up; "Нет" deletes nothing.
    void deleteWorker_data()
    {
        QTest::addColumn<int>("recNo");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("currentAfter");
        QTest::addColumn<int>("left");
        QTest::newRow("middle row") << 2 << true << "Иванов И.И." << 4;
        QTest::newRow("last row") << 5 << true << "Иванова М.П." << 4;
        QTest::newRow("answered no") << 2 << false << "Борисов Б.Б." << 5;
    }
    void deleteWorker()
    {
        QFETCH(int, recNo);
        QFETCH(bool, answer);
        QFETCH(QString, currentAfter);
        QFETCH(int, left);
        MessageRecorder recorder;
        recorder.answers.enqueue(answer);
        ModalScript modal([&](QDialog &) {
            m_dm->Workers.setRecNo(recNo);
            m_list->Button3->click();
            QCOMPARE(m_dm->Workers.text(QStringLiteral("fio")), currentAfter);
        });
        m_list->runAsCatalogue(nullptr);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить работника?")});
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.person")),
            left);
    }

    // A worker who still has entries is not deleted: the database refuses, and the user reads why
    // in Russian (the server's text is the detail).
    void deleteReferencedWorkerRefused()
    {
        giveFirstWorkerAnEntry();
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &) { m_list->Button3->click(); });
        m_list->runAsCatalogue(nullptr);
        QCOMPARE(recorder.shown.size(), 2);
        QCOMPARE(recorder.shown.at(1).kind, messages::Kind::Error);
        QCOMPARE(recorder.shown.at(1).text,
                 QStringLiteral("Работник не удалён: на него заведена 1 позиция в журнале смен."));
        QVERIFY(recorder.shown.at(1).detail.contains(QStringLiteral("foreign key")));
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.person")),
            5);
    }

    // The same refusal in the real message box, read as a screen reader reads it: the sentence
    // shows, the server's English text only after "Показать подробности".
    void refusedDeleteBoxHidesServerText()
    {
        giveFirstWorkerAnEntry();
        // "Да" to the question; the error goes to the box the program shows.
        struct ErrorsInBoxes final : messages::Handler
        {
            bool show(const messages::Message &message) override
            {
                return message.kind == messages::Kind::Question ||
                       messages::messageBoxes().show(message);
            }
        } boxes;
        messages::setHandler(&boxes);
        QStringList before;
        QStringList after;
        bool boxSeen = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            boxSeen = true;
            before = shownTexts(*box);
            for (QAbstractButton *button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    button->click();
            }
            after = shownTexts(*box);
            box->button(QMessageBox::Ok)->click();
        });
        poll.start();
        ModalScript modal([&](QDialog &) { m_list->Button3->click(); });
        m_list->runAsCatalogue(nullptr);
        messages::setHandler(nullptr);
        QVERIFY(boxSeen);
        const QString sentence =
            QStringLiteral("Работник не удалён: на него заведена 1 позиция в журнале смен.");
        const QString all = before.join(QLatin1Char('\n'));
        QVERIFY2(before.contains(sentence), qPrintable(all));
        QVERIFY2(!all.contains(QStringLiteral("foreign key")), qPrintable(all));
        QVERIFY2(after.join(QLatin1Char('\n')).contains(QStringLiteral("foreign key")),
                 qPrintable(after.join(QLatin1Char('\n'))));
    }

    // Search: starts-with, any letter case, typed text taken literally; Up and Down move the row;
    // clearing shows everyone again.
    void search_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");
        QTest::newRow("prefix, lower case Cyrillic") << "ива" << 2;
        QTest::newRow("not inside the name") << "ванов" << 0;
        QTest::newRow("quote") << "Д'" << 0;
        QTest::newRow("percent is no wildcard") << "%" << 0;
        QTest::newRow("empty shows all") << "" << 5;
    }
    void search()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        ModalScript modal([&](QDialog &) {
            m_list->Edit1->setText(typed);
            QCOMPARE(m_dm->Workers.recordCount(), count);
            QCOMPARE(m_list->DBGrid1->model()->rowCount(), count);
        });
        m_list->runAsCatalogue(nullptr);
    }

    // People type "е" for "ё" and sometimes the other way round; the search finds the name either
    // way.
    void searchYoAsYe_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found");
        QTest::newRow("е finds ё") << "Ежик"
                                   << "Ёжиков П.Д.";
        QTest::newRow("ё finds е") << "ёлк"
                                   << "Елкин Е.Е.";
        QTest::newRow("capital Ё finds е") << "ЁЛК"
                                           << "Елкин Е.Е.";
        QTest::newRow("ё finds ё") << "ёж"
                                   << "Ёжиков П.Д.";
    }
    void searchYoAsYe()
    {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        seed::worker(*m_dm, QStringLiteral("Ёжиков П.Д."));
        seed::worker(*m_dm, QStringLiteral("Елкин Е.Е."));
        ModalScript modal([&](QDialog &) {
            m_list->Edit1->setText(typed);
            QCOMPARE(m_dm->Workers.recordCount(), 1);
            QCOMPARE(m_dm->Workers.text(QStringLiteral("fio")).trimmed(), found);
        });
        m_list->runAsCatalogue(nullptr);
    }
    void searchKeys()
    {
        ModalScript modal([&](QDialog &) {
            m_list->Edit1->setFocus();
            typeText(m_list->Edit1, QStringLiteral("ив"));
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("ив"));
            QCOMPARE(m_dm->Workers.recNo(), 1);
            QTest::keyClick(m_list->Edit1, Qt::Key_Down);
            QCOMPARE(m_dm->Workers.recNo(), 2);
            QTest::keyClick(m_list->Edit1, Qt::Key_Up);
            QCOMPARE(m_dm->Workers.recNo(), 1);
            // Caret keys and Delete leave the text alone; Backspace edits it.
            QTest::keyClick(m_list->Edit1, Qt::Key_Left);
            QTest::keyClick(m_list->Edit1, Qt::Key_Delete);
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("ив"));
            QTest::keyClick(m_list->Edit1, Qt::Key_Backspace);
            QCOMPARE(m_list->Edit1->text(), QStringLiteral("и"));
        });
        m_list->runAsCatalogue(nullptr);
    }

    // The catalogue keeps the last search; a picker starts with an empty box.
    void searchCarriesOver()
    {
        ModalScript first([&](QDialog &) { m_list->Edit1->setText(QStringLiteral("Ив")); });
        m_list->runAsCatalogue(nullptr);
        {
            ModalScript again([&](QDialog &) {
                QCOMPARE(m_list->Edit1->text(), QStringLiteral("Ив"));
                QCOMPARE(m_dm->Workers.recordCount(), 2);
            });
            m_list->runAsCatalogue(nullptr);
        }
        ModalScript picker([&](QDialog &) {
            QCOMPARE(m_list->Edit1->text(), QString());
            QCOMPARE(m_dm->Workers.recordCount(), 5);
        });
        m_list->runAsPicker(1, nullptr);
    }

    // The picker hands back the chosen worker's id and trimmed name; an empty list hands nothing.
    void picker()
    {
        TestDatabase::exec(
            *m_dm,
            QStringLiteral("insert into accounts_dep.person(fio) values ('  Пробелов П.П.  ')"));
        const qint64 id = TestDatabase::scalar(
            *m_dm,
            QStringLiteral("select id from accounts_dep.person where fio like '%Пробелов%'"));
        ModalScript choose([&](QDialog &) {
            QCOMPARE(m_list->Button2->text(), QStringLiteral("Выбрать"));
            QVERIFY(m_list->Button2->isDefault());
            QVERIFY(m_list->Button1->isHidden());
            QVERIFY(m_list->Button3->isHidden());
            QVERIFY(m_dm->Workers.locate(QStringLiteral("id"), id));
            m_list->DBGrid1->doubleClicked(m_list->DBGrid1->currentIndex());
        });
        const auto choice = m_list->runAsPicker(24, nullptr);
        QVERIFY(choice.has_value());
        QCOMPARE(choice->id, id);
        QCOMPARE(choice->name, QStringLiteral("Пробелов П.П."));
        QCOMPARE(m_list->Tag, 24);

        ModalScript empty([&](QDialog &) {
            m_list->Edit1->setText(QStringLiteral("Нет такого"));
            m_list->Button2->click();
        });
        QVERIFY(!m_list->runAsPicker(1, nullptr).has_value());
    }

    // Back in catalogue mode the buttons are as the main menu wants them.
    void catalogueAfterPicker()
    {
        ModalScript picker([](QDialog &) {});
        m_list->runAsPicker(1, nullptr);
        ModalScript catalogue([&](QDialog &) {
            QCOMPARE(m_list->Button2->text(), QStringLiteral("Изменить"));
            QVERIFY(!m_list->Button2->isDefault());
            QVERIFY(m_list->Button1->isDefault());
            QVERIFY(!m_list->Button1->isHidden());
            QVERIFY(!m_list->Button3->isHidden());
            QCOMPARE(m_list->Tag, 0);
        });
        m_list->runAsCatalogue(nullptr);
    }

private:
    // "Антонов А.А.", the first of the list, gets one entry in the shift log.
    void giveFirstWorkerAnEntry()
    {
        const qint64 product = seed::product(*m_dm, QStringLiteral("ТП-1"));
        const qint64 oper =
            seed::operation(*m_dm, seed::kind(*m_dm, QStringLiteral("Резка")), product, 0, {1});
        const qint64 worker = TestDatabase::scalar(
            *m_dm, QStringLiteral("select id from accounts_dep.person where fio='Антонов А.А.'"));
        seed::entry(*m_dm, {worker, product, oper, QDate(2024, 3, 5)});
    }

    // The names and values of the box's parts that show, as the accessibility tree gives them.
    static QStringList shownTexts(QWidget &box)
    {
        QStringList texts;
        const std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
            if (!node || node->state().invisible)
                return;
            for (const QAccessible::Text kind : {QAccessible::Name, QAccessible::Value}) {
                const QString text = node->text(kind).trimmed();
                if (!text.isEmpty())
                    texts << text;
            }
            for (int i = 0; i < node->childCount(); ++i)
                walk(node->child(i));
        };
        walk(QAccessible::queryAccessibleInterface(&box));
        return texts;
    }

    QString text(const QString &sql)
    {
        QSqlQuery query = m_dm->ADO_DB.run(sql);
        return query.next() ? query.value(0).toString() : QStringLiteral("<no row>");
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm2> m_editor;
    std::unique_ptr<TForm5> m_list;
};

TABEL_TEST_MAIN(TestWorkers)
#include "tst_workers.moc"
