#include "app/forms.h"
#include "app/startup.h"
#include "catalogues/operation_kinds.h"
#include "catalogues/operation_prices.h"
#include "catalogues/products.h"
#include "catalogues/workers.h"
#include "db/data_module.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The operation price list: its catalogue, the operation editor, the price export and the picker.
class TestOperationPrices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        XlsxExport::setFolder(m_dir.path());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("operation_prices"));
    }
    void cleanupTestCase()
    {
        XlsxExport::setFolder({});
        m_db.reset();
    }
    void init()
    {
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
        TestDatabase::exec(
            dm(),
            QStringLiteral(
                "delete from accounts_dep.smena; delete from accounts_dep.oper where i_id<>7777;"
                "delete from cmn_gds_and_srv.gds_and_srv where id<>7777;"
                "delete from accounts_dep.vid_oper where id not in (7777, 7778)"));
        m_white = seed::product(dm(), QStringLiteral("ТП-120 белый"));
        m_grey = seed::product(dm(), QStringLiteral("ПС-90 серый"));
        m_cast = seed::kind(dm(), QStringLiteral("Литьё"));
        m_pack = seed::kind(dm(), QStringLiteral("Упаковка"));
        m_op = seed::operation(dm(), m_cast, m_white, 0, {10.5, 9});
        seed::operation(dm(), m_pack, m_grey, 1, {2});
    }
    void cleanup() { m_program.reset(); }

    // The catalogue lists every operation with its lowest price and norm count, also one without
    // norms; the picker only those with norms. The search finds a fragment inside the mark.
    void listAndSearch()
    {
        const qint64 bare = seed::operation(dm(), m_pack, m_white, 0, {});
        ModalScript catalogue([&](QDialog &) {
            QCOMPARE(dm().Oper.recordCount(), 5);
            QVERIFY(dm().Oper.locate(QStringLiteral("id"), m_op));
            QCOMPARE(dm().Oper.decimal(QStringLiteral("cena")), 9.0);
            QCOMPARE(dm().Oper.integer(QStringLiteral("norma")), 2);
            QVERIFY(dm().Oper.locate(QStringLiteral("id"), bare));
            QCOMPARE(dm().Oper.integer(QStringLiteral("norma")), 0);
            list().Edit1->setText(QStringLiteral("120 бел"));
            QCOMPARE(dm().Oper.recordCount(), 2);
            list().Edit1->setText(QStringLiteral("СЕРЫЙ"));
            QCOMPARE(dm().Oper.recordCount(), 1);
            list().Edit1->setText(QStringLiteral("   "));
            QCOMPARE(dm().Oper.recordCount(), 5);
        });
        list().runAsCatalogue(nullptr);
        ModalScript picker([&](QDialog &) {
            QCOMPARE(dm().Oper.recordCount(), 4);
            QVERIFY(!dm().Oper.locate(QStringLiteral("id"), bare));
        });
        list().pickOperation(0, nullptr);
    }

    // The same kind and product once per product kind; a third is refused; a change keeps its own
    // row out of the check.
    void saveOperation_data()
    {
        QTest::addColumn<int>("naimen");
        QTest::addColumn<QString>("message");
        QTest::newRow("other product kind") << 1 << "";
        QTest::newRow("same three values") << 0 << "Операция с такими параметрами уже заведена!";
    }
    void saveOperation()
    {
        QFETCH(int, naimen);
        QFETCH(QString, message);
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm4")) {
                list().Button1->click();
            } else if (dialog.objectName() == QLatin1String("TForm10")) {
                editor().Button3->click();
                editor().Button4->click();
                editor().ComboBox1->setCurrentIndex(naimen);
                editor().Button1->click();
            } else if (dialog.objectName() == QLatin1String("TForm3")) {
                QVERIFY(dm().Izdel.locate(QStringLiteral("id"), m_white));
                products().Button2->click();
            } else if (dialog.objectName() == QLatin1String("TForm8")) {
                QVERIFY(dm().Vid_oper.locate(QStringLiteral("id"), m_cast));
                kinds().Button2->click();
            }
        });
        list().runAsCatalogue(nullptr);
        QCOMPARE(recorder.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(TestDatabase::scalar(dm(),
                                      QStringLiteral("select count(*) from accounts_dep.oper where "
                                                     "vid=%1 and i_id=%2")
                                          .arg(m_cast)
                                          .arg(m_white)),
                 message.isEmpty() ? 2 : 1);
        // A new operation goes straight on to its norms.
        QCOMPARE(modal.opened.contains(QStringLiteral("TForm22")), message.isEmpty());
        QCOMPARE(editor().Edit1->text(), QStringLiteral("ТП-120 белый"));
        QCOMPARE(editor().Edit2->text(), QStringLiteral("Литьё"));
    }

    void changeOperation()
    {
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm4")) {
                QVERIFY(dm().Oper.locate(QStringLiteral("id"), m_op));
                const int row = dm().Oper.recNo();
                list().Button2->click();
                // The list read again stays on the changed operation.
                QCOMPARE(dm().Oper.integer(QStringLiteral("id")), m_op);
                QCOMPARE(dm().Oper.recNo(), row);
            } else if (dialog.objectName() == QLatin1String("TForm10")) {
                QCOMPARE(editor().windowTitle(),
                         QStringLiteral("Изменение данных о цене за операцию"));
                QCOMPARE(editor().Edit1->text(), QStringLiteral("ТП-120 белый"));
                editor().Button1->click(); // unchanged: its own row does not count
                QCOMPARE(dialog.result(), int(QDialog::Accepted));
            }
        });
        list().runAsCatalogue(nullptr);
        QVERIFY(recorder.shown.isEmpty());
    }

    // Delete asks; a used operation is refused by the database, told in Russian; reserved
    // operations are kept.
    void deleteOperation()
    {
        const qint64 worker = seed::worker(dm(), QStringLiteral("Иванов И.И."));
        seed::entry(dm(), {worker, m_white, m_op, QDate(2024, 3, 5)});
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &) {
            QVERIFY(dm().Oper.locate(QStringLiteral("id"), m_op));
            list().Button3->click();
            list().Edit1->setText(QStringLiteral("Почасовые"));
            list().Button3->click();
        });
        list().runAsCatalogue(nullptr);
        QCOMPARE(recorder.shown.size(), 3);
        QCOMPARE(recorder.shown.at(0).text, QStringLiteral("Удалить операцию?"));
        QCOMPARE(recorder.shown.at(1).text,
                 QStringLiteral("Операция не удалена: по ней заведена 1 позиция в журнале смен."));
        QVERIFY(recorder.shown.at(1).detail.contains(QStringLiteral("foreign key")));
        QCOMPARE(recorder.shown.at(2).kind, messages::Kind::Error);
        QCOMPARE(
            TestDatabase::scalar(
                dm(),
                QStringLiteral("select count(*) from accounts_dep.oper where id=%1").arg(m_op)),
            1);
        QCOMPARE(
            TestDatabase::scalar(
                dm(), QStringLiteral("select count(*) from accounts_dep.oper where i_id=7777")),
            2);
    }

    // A delete that the rows using it refuse is told in one Russian sentence naming what holds
    // the row and how many (counted when it happens), the server's text only as its detail;
    // nothing is deleted. The product's two questions ("По изделию есть расценки…", then
    // "Удалить изделие?") are answered as the row says.
    void refusedDeletes_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("text");
        QTest::newRow("worker with 88 entries")
            << "worker" << QList<bool>{true}
            << "Работник не удалён: на него заведено 88 позиций в журнале смен.";
        QTest::newRow("worker with 1 entry")
            << "worker, one entry" << QList<bool>{true}
            << "Работник не удалён: на него заведена 1 позиция в журнале смен.";
        QTest::newRow("operation with 3 entries")
            << "operation" << QList<bool>{true}
            << "Операция не удалена: по ней заведены 3 позиции в журнале смен.";
        QTest::newRow("kind of 2 operations")
            << "kind" << QList<bool>{true}
            << "Вид операции не удалён: он указан в 2 операциях справочника цен.";
        QTest::newRow("product: prices Да, product Нет")
            << "product" << QList<bool>{true, false}
            << "Расценки изделия не удалены: по ним заведена 21 позиция в журнале смен.";
        QTest::newRow("product: prices Нет, product Да")
            << "product" << QList<bool>{false, true}
            << "Изделие не удалено: по нему заведены 2 операции в справочнике цен.";
        QTest::newRow("product: Да, Да, its prices used by another product's entries")
            << "product, entries elsewhere" << QList<bool>{true, true}
            << "Изделие не удалено: по его расценкам заведена 1 позиция в журнале смен у других "
               "изделий.";
    }
    void refusedDeletes()
    {
        QFETCH(QString, what);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, text);
        const qint64 worker = seed::worker(dm(), QStringLiteral("Удалов У.У."));
        const auto entries = [&](qint64 product, qint64 operation, int count) {
            for (int i = 0; i < count; ++i)
                seed::entry(dm(), {worker, product, operation, QDate(2024, 1, 1).addDays(i)});
        };
        const QString before = snapshot();
        const qint64 paint = seed::operation(dm(), m_pack, m_white, 0, {4});
        MessageRecorder recorder;
        for (const bool answer : answers)
            recorder.answers.enqueue(answer);
        QString window;
        qint64 id = 0;
        if (what.startsWith(QLatin1String("worker"))) {
            entries(m_white, m_op, what.endsWith(QLatin1String("one entry")) ? 1 : 88);
            window = QStringLiteral("TForm5");
            id = worker;
        } else if (what == QLatin1String("operation")) {
            entries(m_white, m_op, 3);
            window = QStringLiteral("TForm4");
            id = m_op;
        } else if (what == QLatin1String("kind")) {
            window = QStringLiteral("TForm8");
            id = m_pack;
        } else {
            window = QStringLiteral("TForm3");
            id = m_white;
            if (what == QLatin1String("product"))
                entries(m_white, m_op, 21);
            else
                entries(m_grey, paint, 1);
        }
        const QString seeded = snapshot();
        QVERIFY(seeded != before);
        ModalScript modal([&](QDialog &dialog) {
            QCOMPARE(dialog.objectName(), window);
            auto &catalogue = static_cast<CatalogueList &>(dialog);
            QVERIFY(catalogue.list().locate(QStringLiteral("id"), id));
            dialog.findChild<QPushButton *>(QStringLiteral("Button3"))->click();
        });
        if (window == QLatin1String("TForm5"))
            m_program->forms().Form5.runAsCatalogue(nullptr);
        else if (window == QLatin1String("TForm4"))
            list().runAsCatalogue(nullptr);
        else if (window == QLatin1String("TForm8"))
            kinds().runAsCatalogue(nullptr);
        else
            products().runAsCatalogue(nullptr);
        QVERIFY(recorder.answers.isEmpty());
        QCOMPARE(recorder.shown.size(), answers.size() + 1);
        const messages::Message &refusal = recorder.shown.last();
        QCOMPARE(refusal.kind, messages::Kind::Error);
        QCOMPARE(refusal.caption, QStringLiteral("Ошибка"));
        QCOMPARE(refusal.text, text);
        QVERIFY2(what == QLatin1String("product") && answers.first()
                     ? refusal.detail.isEmpty()
                     : refusal.detail.contains(QStringLiteral("_fkey")),
                 qPrintable(refusal.detail));
        QCOMPARE(snapshot(), seeded);
    }

    // The export lists every operation with its stored price, also those without norms.
    void exportList()
    {
        seed::operation(dm(), m_pack, m_white, 0, {});
        TestDatabase::exec(
            dm(),
            QStringLiteral("update accounts_dep.oper set cena_new=12.5 where id=%1").arg(m_op));
        OpenerRecorder opener;
        ModalScript modal([&](QDialog &) { list().Button5->click(); });
        list().runAsCatalogue(nullptr);
        QCOMPARE(opener.opened.size(), 1);
        const QJsonObject book = readBack(opener.opened.first());
        QStringList rows;
        for (int row = 1; !cellText(book, 1, row).isEmpty(); ++row)
            rows << QStringList{cellText(book, 1, row), cellText(book, 2, row),
                                cellText(book, 3, row), cellText(book, 4, row)}
                        .join(QLatin1Char('|'));
        QCOMPARE(rows.size(), 6); // the titles, our three operations and the two reserved ones
        QCOMPARE(rows.first(), QStringLiteral("Марка|Операция|Цена|Вид"));
        QVERIFY(rows.contains(QStringLiteral("ТП-120 белый|Литьё|12.5|Готовая продукция")));
        QVERIFY(rows.contains(QStringLiteral("ТП-120 белый|Упаковка|0|Готовая продукция")));
        QVERIFY(rows.contains(QStringLiteral("ПС-90 серый|Упаковка|0|Заготовки")));
        QCOMPARE(
            cellAt(book, 3,
                   int(rows.indexOf(QStringLiteral("ТП-120 белый|Литьё|12.5|Готовая продукция"))) +
                       1)
                .value(QStringLiteral("type"))
                .toString(),
            QStringLiteral("n"));
    }

    // The picker hands back the chosen operation with its lowest norm price, read before the
    // search filter goes; "Цены" and a double-click pick rather than open norms.
    void picker()
    {
        ModalScript modal([&](QDialog &) {
            QVERIFY(!list().Edit1->isHidden());
            list().CheckBox1->setChecked(true);
            list().Edit1->setText(QStringLiteral("белый"));
            QCOMPARE(dm().Oper.recordCount(), 1);
            list().DBGrid1->doubleClicked(list().DBGrid1->currentIndex());
        });
        const auto picked = list().pickOperation(0, nullptr);
        QVERIFY(picked.has_value());
        QCOMPARE(picked->operationId, m_op);
        QCOMPARE(picked->productId, m_white);
        QCOMPARE(picked->basePrice, 9.0);
        QCOMPARE(picked->kind, QStringLiteral("Литьё"));
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm4")});
        QVERIFY(!dm().Oper.isFiltered());
        QVERIFY(list().Edit1->isHidden());
    }

    // "Цены" opened after the entry editor's picker searched: the search box is back, empty, over
    // the whole list, and a search works again; the picker itself still offers the box.
    void catalogueAfterPickerSearch()
    {
        ModalScript pick([&](QDialog &) {
            list().Edit1->setText(QStringLiteral("белый"));
            QCOMPARE(dm().Oper.recordCount(), 1);
            list().DBGrid1->doubleClicked(list().DBGrid1->currentIndex());
        });
        QVERIFY(list().pickOperation(0, nullptr).has_value());
        ModalScript catalogue([&](QDialog &) {
            QVERIFY(!list().Edit1->isHidden());
            QCOMPARE(list().Edit1->text(), QString());
            QCOMPARE(dm().Oper.recordCount(), 4);
            list().Edit1->setText(QStringLiteral("серый"));
            QCOMPARE(dm().Oper.recordCount(), 1);
        });
        list().runAsCatalogue(nullptr);
        ModalScript pickAgain([&](QDialog &) { QVERIFY(!list().Edit1->isHidden()); });
        list().pickOperation(0, nullptr);
    }

    // The catalogue opened after the picker has its search box again, and the buttons keep their
    // own widths instead of stretching into the bar.
    void buttonsKeepTheirWidthsAfterPicker()
    {
        ModalScript pick([&](QDialog &) {});
        list().pickOperation(0, nullptr);
        QVERIFY(list().Edit1->isHidden());
        QStringList stretched;
        ModalScript catalogue([&](QDialog &dialog) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QVERIFY(list().Edit1->isVisible());
            for (QWidget *control : std::initializer_list<QWidget *>{
                     list().Button1, list().Button2, list().Button3, list().CheckBox1,
                     list().Button5, list().Button4}) {
                if (control->width() != control->sizeHint().width())
                    stretched << QStringLiteral("%1: %2 pixels, its own %3")
                                     .arg(control->objectName())
                                     .arg(control->width())
                                     .arg(control->sizeHint().width());
            }
            dialog.hide();
        });
        list().runAsCatalogue(nullptr);
        QVERIFY2(stretched.isEmpty(), qPrintable(stretched.join(QLatin1Char('\n'))));
    }

private:
    TDataModule6 &dm() { return m_program->dataModule(); }
    // The rows a delete could touch, counted.
    QString snapshot()
    {
        QStringList counts;
        for (const char *table :
             {"accounts_dep.person", "accounts_dep.smena", "accounts_dep.oper", "accounts_dep.norm",
              "accounts_dep.vid_oper", "cmn_gds_and_srv.gds_and_srv"})
            counts << QString::number(TestDatabase::scalar(
                dm(), QStringLiteral("select count(*) from ") + QLatin1String(table)));
        return counts.join(QLatin1Char('/'));
    }
    TForm4 &list() { return m_program->forms().Form4; }
    TForm10 &editor() { return m_program->forms().Form10; }
    TForm3 &products() { return m_program->forms().Form3; }
    TForm8 &kinds() { return m_program->forms().Form8; }

    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    qint64 m_white = 0;
    qint64 m_grey = 0;
    qint64 m_cast = 0;
    qint64 m_pack = 0;
    qint64 m_op = 0;
};

TABEL_TEST_MAIN(TestOperationPrices)
#include "tst_operation_prices.moc"
