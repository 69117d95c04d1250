#include "catalogues/operation_kinds.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/data_grid.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The catalogue of operation kinds and its picker.
class TestOperationKinds : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("operation_kinds"));
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
            QStringLiteral(
                "delete from accounts_dep.smena; delete from accounts_dep.oper where i_id<>7777;"
                "delete from accounts_dep.vid_oper where id not in (7777, 7778)"));
        for (const char *name : {"Литьё", "Окраска КРАСКА", "Упаковка"})
            seed::kind(*m_dm, QString::fromUtf8(name));
        m_editor = std::make_unique<TForm9>(*m_dm);
        m_list = std::make_unique<TForm8>(*m_dm, *m_editor);
    }
    void cleanup()
    {
        m_list.reset();
        m_editor.reset();
        m_dm->Vid_oper.close();
        m_dm->Vid_oper.setFiltered(false);
    }

    qint64 count(const QString &where)
    {
        return TestDatabase::scalar(
            *m_dm, QStringLiteral("select count(*) from accounts_dep.vid_oper where ") + where);
    }

    // Saving a kind name: new or renamed; empty and duplicates (any letter case) refused.
    void save_data()
    {
        QTest::addColumn<bool>("isNew");
        QTest::addColumn<QString>("current"); // the row to change
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored");
        QTest::newRow("new kind, trimmed") << true << ""
                                           << "  Сборка "
                                           << ""
                                           << "Сборка";
        QTest::newRow("new kind with quotes") << true << ""
                                              << "Резка 'под 45%'"
                                              << ""
                                              << "Резка 'под 45%'";
        QTest::newRow("new, duplicate in other case") << true << ""
                                                      << "литьё"
                                                      << "Такая операция уже заведена!"
                                                      << "";
        QTest::newRow("new, empty") << true << ""
                                    << "   "
                                    << "Все поля должны быть заполнены!"
                                    << "";
        QTest::newRow("rename") << false << "Упаковка"
                                << "Упаковка в плёнку"
                                << ""
                                << "Упаковка в плёнку";
        QTest::newRow("rename to its own name") << false << "Упаковка"
                                                << "УПАКОВКА"
                                                << ""
                                                << "УПАКОВКА";
        QTest::newRow("rename to another's name") << false << "Упаковка"
                                                  << "ЛИТЬЁ"
                                                  << "Такая операция уже заведена!"
                                                  << "";
        QTest::newRow("a 128-character name")
            << true << "" << QString(128, QChar(u'ж')) << "" << QString(128, QChar(u'ж'));
    }
    void save()
    {
        QFETCH(bool, isNew);
        QFETCH(QString, current);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        MessageRecorder recorder;
        const qint64 before = count(QStringLiteral("true"));
        bool editorAccepted = false;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm8")) {
                if (isNew) {
                    m_list->Button1->click();
                } else {
                    QVERIFY(m_dm->Vid_oper.locate(QStringLiteral("vid"), current));
                    m_list->Button2->click();
                }
                return;
            }
            QCOMPARE(dialog.windowTitle(), isNew
                                               ? QStringLiteral("Заведение нового вида операций")
                                               : QStringLiteral("Изменение данных вида операции"));
            QCOMPARE(m_editor->Edit1->text(), current);
            m_editor->Edit1->setText(typed);
            m_editor->Button1->click();
            editorAccepted = dialog.result() == QDialog::Accepted;
        });
        m_list->runAsCatalogue(nullptr);
        QCOMPARE(recorder.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(editorAccepted, message.isEmpty());
        if (message.isEmpty()) {
            QCOMPARE(count(QStringLiteral("vid=") + sql::quote(stored)), 1);
            QCOMPARE(count(QStringLiteral("true")), before + (isNew ? 1 : 0));
            QVERIFY(count(QStringLiteral("vid=") + sql::quote(stored) +
                          QStringLiteral(" and id>7778")) == 1);
        } else {
            QCOMPARE(count(QStringLiteral("true")), before);
        }
    }

    // Delete asks first; a kind that prices use is refused by the database; the reserved kinds are
    // refused before anything is asked.
    void deleteKind()
    {
        const qint64 used = TestDatabase::scalar(
            *m_dm, QStringLiteral("select id from accounts_dep.vid_oper where vid='Литьё'"));
        seed::operation(*m_dm, used, seed::product(*m_dm, QStringLiteral("ТП-1")), 0, {1});
        MessageRecorder recorder;
        recorder.answers << false << true << true;
        ModalScript modal([&](QDialog &) {
            QVERIFY(m_dm->Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Упаковка")));
            m_list->Button3->click(); // no
            QCOMPARE(count(QStringLiteral("vid='Упаковка'")), 1);
            QVERIFY(m_dm->Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Упаковка")));
            m_list->Button3->click(); // yes
            QCOMPARE(count(QStringLiteral("vid='Упаковка'")), 0);
            QVERIFY(m_dm->Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Литьё")));
            m_list->Button3->click(); // yes, refused by the database
            QVERIFY(m_dm->Vid_oper.locate(QStringLiteral("id"), 7777));
            m_list->Button3->click(); // reserved
        });
        m_list->runAsCatalogue(nullptr);
        QCOMPARE(recorder.shown.size(), 5);
        QCOMPARE(recorder.shown.at(0).text, QStringLiteral("Удалить вид операции?"));
        QCOMPARE(recorder.shown.at(0).caption, QStringLiteral("Удаление"));
        QCOMPARE(recorder.shown.at(3).kind, messages::Kind::Error);
        QCOMPARE(recorder.shown.at(3).text,
                 QStringLiteral("Вид операции не удалён: он указан в 1 операции справочника цен."));
        QVERIFY(recorder.shown.at(3).detail.contains(QStringLiteral("foreign key")));
        QCOMPARE(recorder.shown.at(4).kind, messages::Kind::Error);
        QCOMPARE(count(QStringLiteral("vid='Литьё'")), 1);
        QCOMPARE(count(QStringLiteral("id=7777")), 1);
    }

    // The picker hands back the kind; an empty list hands back an empty name and id 0; the
    // catalogue opened afterwards shows every kind.
    void picker()
    {
        ModalScript choose([&](QDialog &) {
            QVERIFY(!m_list->Edit1->isHidden());
            typeText(m_list->Edit1, QStringLiteral("ок"));
            QCOMPARE(m_dm->Vid_oper.recordCount(), 1);
            m_list->Button2->click();
        });
        auto choice = m_list->runAsPicker(1, nullptr);
        QVERIFY(choice.has_value());
        QCOMPARE(choice->name, QStringLiteral("Окраска КРАСКА"));
        QCOMPARE(
            choice->id,
            TestDatabase::scalar(
                *m_dm,
                QStringLiteral("select id from accounts_dep.vid_oper where vid='Окраска КРАСКА'")));

        ModalScript empty([&](QDialog &) {
            m_list->Edit1->setText(QStringLiteral("Нет такой"));
            m_list->Button2->click();
        });
        choice = m_list->runAsPicker(1, nullptr);
        QVERIFY(choice.has_value());
        QCOMPARE(choice->id, 0);
        QCOMPARE(choice->name, QString());
        QVERIFY(m_list->Edit1->isHidden());

        ModalScript catalogue([&](QDialog &) {
            QCOMPARE(m_dm->Vid_oper.recordCount(), 5);
            QVERIFY(!m_list->Button2->isDefault());
        });
        m_list->runAsCatalogue(nullptr);
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm9> m_editor;
    std::unique_ptr<TForm8> m_list;
};

TABEL_TEST_MAIN(TestOperationKinds)
#include "tst_operation_kinds.moc"
