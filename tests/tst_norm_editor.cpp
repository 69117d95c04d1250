#include "catalogues/norm_editor.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>

namespace {

struct Norm
{
    int norma;
    double price;
    int prize = 0;
};

const QString kNormaRule = QStringLiteral("Норматив нужно указать целым числом, например 100.");
const QString kPriceRule = QStringLiteral("Цену нужно указать числом, например 12,5 или 12.5.");
const QString kPrizeRule =
    QStringLiteral("Премию нужно указать целым числом процентов, например 10.");

} // namespace

// The norm editor: the norms of one operation edited in place in the real window, offscreen,
// against the real database.
class TestNormEditor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("norm_editor"));
        m_dm = m_db->connect();
        m_product = seed::product(*m_dm, QStringLiteral("НР-100"));
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }
    void init()
    {
        TestDatabase::exec(
            *m_dm, QStringLiteral("delete from accounts_dep.oper where vid not in (7777, 7778)"));
        m_editor = std::make_unique<TForm22>(*m_dm);
        m_closed = false;
    }
    void cleanup()
    {
        m_editor.reset();
        m_dm->Oper.close();
    }

    // The window as the office sees it.
    void layout()
    {
        const qint64 op = operation({{10, 5}});
        runEditor(op, [&] {
            DataGrid *grid = m_editor->DBGrid1;
            QCOMPARE(m_editor->objectName(), QStringLiteral("TForm22"));
            QCOMPARE(m_editor->windowTitle(), QStringLiteral("Норматив"));
            QCOMPARE(m_editor->size(), QSize(365, 278));
            QCOMPARE(m_editor->findChild<DataGrid *>(QStringLiteral("DBGrid1")), grid);
            QCOMPARE(m_editor->findChild<QPushButton *>(QStringLiteral("Button1")),
                     m_editor->Button1);
            QCOMPARE(m_editor->findChild<QPushButton *>(QStringLiteral("Button2")),
                     m_editor->Button2);
            QCOMPARE(grid->accessibleName(), QStringLiteral("Нормы"));
            QStringList titles;
            QList<int> widths;
            for (int column = 0; column < grid->model()->columnCount(); ++column) {
                titles << grid->model()->headerData(column, Qt::Horizontal).toString();
                widths << grid->columnWidth(column);
                QVERIFY(grid->model()
                            ->headerData(column, Qt::Horizontal, Qt::FontRole)
                            .value<QFont>()
                            .bold());
            }
            QCOMPARE(titles, (QStringList{QStringLiteral("Норматив"), QStringLiteral("Цена"),
                                          QStringLiteral("Премия, %")}));
            QCOMPARE(widths, (QList<int>{133, 105, 82}));
            QCOMPARE(m_editor->Button1->text(), QStringLiteral("Сохранить"));
            QVERIFY(m_editor->Button1->isDefault());
            QCOMPARE(m_editor->Button2->text(), QStringLiteral("Удалить"));
            QCOMPARE(where(), QStringLiteral("0:norma"));
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
    }

    // Each opening shows that operation's norms only, sorted by quantity; the table stays open
    // and filtered after the window closes.
    void eachOpeningShowsItsOperation()
    {
        const qint64 first = operation({{20, 2}, {10, 1}});
        const qint64 second = operation({{7, 3}});
        runEditor(first, [&] {
            QCOMPARE(shown(QStringLiteral("norma")),
                     (QStringList{QStringLiteral("10"), QStringLiteral("20")}));
            m_editor->Button1->click();
        });
        QVERIFY(m_editor->norm.isOpen());
        QVERIFY(m_editor->norm.isFiltered());
        QCOMPARE(m_editor->norm.recordCount(), 2);
        runEditor(second, [&] {
            QCOMPARE(shown(QStringLiteral("norma")), QStringList{QStringLiteral("7")});
            m_editor->Button1->click();
        });
        QCOMPARE(m_editor->operationId(), second);
    }

    // An operation's only norm stays, whether "Удалить" or the Delete key is used; nothing is
    // asked.
    void lastNormStays_data()
    {
        QTest::addColumn<bool>("deleteKey");
        QTest::newRow("Удалить") << false;
        QTest::newRow("Delete key") << true;
    }
    void lastNormStays()
    {
        QFETCH(bool, deleteKey);
        const qint64 op = operation({{10, 5}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            if (deleteKey)
                press(Qt::Key_Delete);
            else
                m_editor->Button2->click();
            QCOMPARE(shown(QStringLiteral("norma")), QStringList{QStringLiteral("10")});
            m_editor->Button1->click();
        });
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(stored(op), QStringLiteral("10/5/0"));
    }

    // Of three norms the current one goes and the two left show sorted by quantity; the Delete
    // key asks first.
    void deleteCurrentNorm_data()
    {
        QTest::addColumn<bool>("deleteKey");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("Удалить") << false << true << QStringList{"10", "30"} << "10/1/0; 30/3/0";
        QTest::newRow("Delete key, Да")
            << true << true << QStringList{"10", "30"} << "10/1/0; 30/3/0";
        QTest::newRow("Delete key, Нет")
            << true << false << QStringList{"10", "20", "30"} << "10/1/0; 20/2/0; 30/3/0";
    }
    void deleteCurrentNorm()
    {
        QFETCH(bool, deleteKey);
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        QFETCH(QString, storedAfter);
        const qint64 op = operation({{30, 3}, {10, 1}, {20, 2}});
        MessageRecorder recorder;
        recorder.answers.enqueue(answer);
        runEditor(op, [&] {
            QCOMPARE(shown(QStringLiteral("norma")), (QStringList{"10", "20", "30"}));
            goTo(1, QStringLiteral("norma"));
            if (deleteKey)
                press(Qt::Key_Delete);
            else
                m_editor->Button2->click();
            QCOMPARE(shown(QStringLiteral("norma")), left);
            m_editor->Button1->click();
        });
        if (deleteKey) {
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown.first().kind, messages::Kind::Question);
            QCOMPARE(recorder.shown.first().text, QStringLiteral("Удалить норматив?"));
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Удаление"));
        } else {
            QVERIFY(recorder.shown.isEmpty());
        }
        QCOMPARE(stored(op), storedAfter);
    }

    // A row appended below the last one, given a quantity and left with Tab, is stored as a norm
    // of the shown operation (not of the operation list's current row) and stays in the list.
    void appendedRowStored_data()
    {
        QTest::addColumn<bool>("byTab");
        QTest::newRow("Down on the last row") << false;
        QTest::newRow("Tab past the last cell") << true;
    }
    void appendedRowStored()
    {
        QFETCH(bool, byTab);
        const qint64 other = operation({{5, 9}});
        const qint64 op = operation({{10, 5}, {20, 4}});
        m_dm->Oper.open();
        QVERIFY(m_dm->Oper.locate(QStringLiteral("id"), other));
        MessageRecorder recorder;
        runEditor(op, [&] {
            if (byTab) {
                goTo(1, QStringLiteral("prize"));
                press(Qt::Key_Tab);
            } else {
                goTo(1, QStringLiteral("norma"));
                press(Qt::Key_Down);
            }
            QCOMPARE(shown(QStringLiteral("norma")), (QStringList{"10", "20", ""}));
            QCOMPARE(where(), QStringLiteral("2:norma"));
            typeInCell(QStringLiteral("150"));
            press(Qt::Key_Tab);
            // Not a norm before it has its price.
            QCOMPARE(stored(op), QStringLiteral("10/5/0; 20/4/0"));
            QCOMPARE(shown(QStringLiteral("norma")), (QStringList{"10", "20", "150"}));
            QCOMPARE(where(), QStringLiteral("2:price"));
            typeInCell(QStringLiteral("7,5"));
            press(Qt::Key_Tab);
            QCOMPARE(stored(op), QStringLiteral("10/5/0; 20/4/0; 150/7.5/-"));
            m_editor->Button1->click();
        });
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(m_closed);
        QCOMPARE(stored(other), QStringLiteral("5/9/0"));
    }

    // A new row left untouched goes away again and nothing is stored.
    void untouchedNewRowGoesAway()
    {
        const qint64 op = operation({{10, 5}});
        runEditor(op, [&] {
            press(Qt::Key_Down);
            QCOMPARE(shown(QStringLiteral("norma")), (QStringList{"10", ""}));
            press(Qt::Key_Up);
            QCOMPARE(shown(QStringLiteral("norma")), QStringList{"10"});
            QCOMPARE(where(), QStringLiteral("0:norma"));
            press(Qt::Key_Down);
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(stored(op), QStringLiteral("10/5/0"));
    }

    // An operation without norms opens on an empty row for its first norm; once saved, the
    // operation list shows the operation with that price.
    void firstNormOfNewOperation()
    {
        const qint64 op = operation({});
        m_dm->Oper.open();
        QVERIFY(!m_dm->Oper.locate(QStringLiteral("id"), op));
        runEditor(op, [&] {
            QCOMPARE(shown(QStringLiteral("norma")), QStringList{""});
            typeInCell(QStringLiteral("100"));
            press(Qt::Key_Tab);
            typeInCell(QStringLiteral("2,5"));
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(stored(op), QStringLiteral("100/2.5/-"));
        QVERIFY(m_dm->Oper.locate(QStringLiteral("id"), op));
        QCOMPARE(m_dm->Oper.decimal(QStringLiteral("cena")), 2.5);
        QCOMPARE(m_dm->Oper.integer(QStringLiteral("norma")), 1);
    }

    // Leaving a changed cell saves the row, to the next cell, another row or by a click; the
    // cursor lands on the cell the user went to, even when the save re-sorted the rows.
    void leavingChangedCellSaves_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("clickRow");
        QTest::addColumn<QString>("storedAfter");
        QTest::addColumn<QStringList>("normas");
        QTest::addColumn<QString>("landing");
        const QString priceChanged = QStringLiteral("10/1/0; 20/6.5/0; 30/3/0");
        const QStringList unsorted{"10", "20", "30"};
        QTest::newRow("price, Tab") << 1 << "price"
                                    << "6,5"
                                    << "Tab" << -1 << priceChanged << unsorted << "1:prize";
        QTest::newRow("price, Shift+Tab")
            << 1 << "price"
            << "6,5"
            << "Backtab" << -1 << priceChanged << unsorted << "1:norma";
        QTest::newRow("price, Down") << 1 << "price"
                                     << "6,5"
                                     << "Down" << -1 << priceChanged << unsorted << "2:price";
        QTest::newRow("price, Up") << 1 << "price"
                                   << "6,5"
                                   << "Up" << -1 << priceChanged << unsorted << "0:price";
        QTest::newRow("price, Page Up") << 1 << "price"
                                        << "6,5"
                                        << "PageUp" << -1 << priceChanged << unsorted << "0:price";
        QTest::newRow("price, click on another row")
            << 1 << "price"
            << "6,5"
            << "click" << 2 << priceChanged << unsorted << "2:price";
        QTest::newRow("quantity re-sorted, Tab")
            << 2 << "norma"
            << "5"
            << "Tab" << -1 << "5/3/0; 10/1/0; 20/2/0" << QStringList{"5", "10", "20"} << "0:price";
        QTest::newRow("quantity re-sorted, click follows the clicked norm")
            << 2 << "norma"
            << "15"
            << "click" << 1 << "10/1/0; 15/3/0; 20/2/0" << QStringList{"10", "15", "20"}
            << "2:norma";
    }
    void leavingChangedCellSaves()
    {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(int, clickRow);
        QFETCH(QString, storedAfter);
        QFETCH(QStringList, normas);
        QFETCH(QString, landing);
        const qint64 op = operation({{10, 1}, {20, 2}, {30, 3}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(row, field);
            typeInCell(typed);
            if (how == QLatin1String("click"))
                clickCell(clickRow, field);
            else
                press(keyOf(how));
            QCOMPARE(stored(op), storedAfter);
            QCOMPARE(shown(QStringLiteral("norma")), normas);
            QCOMPARE(where(), landing);
            m_editor->Button1->click();
        });
        QVERIFY(recorder.shown.isEmpty());
    }

    // A price typed and not yet left is saved by "Сохранить", Enter, Esc and the close box
    // alike; the operation list is read again, stays on its row and shows the new lowest price.
    void closingSavesTypedCell_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Сохранить") << "button";
        QTest::newRow("Enter") << "enter";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close box") << "close box";
    }
    void closingSavesTypedCell()
    {
        QFETCH(QString, how);
        operation({{5, 9}});
        const qint64 op = operation({{10, 5}, {20, 4}});
        Dataset &operations = m_dm->Oper;
        operations.open();
        QVERIFY(operations.locate(QStringLiteral("id"), op));
        const int recNo = operations.recNo();
        QCOMPARE(operations.decimal(QStringLiteral("cena")), 4.0);
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(0, QStringLiteral("price"));
            typeInCell(QStringLiteral("3,25"));
            QWidget *editor = cellEditor();
            QVERIFY(editor);
            if (how == QLatin1String("button"))
                m_editor->Button1->click();
            else if (how == QLatin1String("enter"))
                QTest::keyClick(editor, Qt::Key_Return);
            else if (how == QLatin1String("esc"))
                QTest::keyClick(editor, Qt::Key_Escape);
            else
                m_editor->close();
        });
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(m_closed);
        QCOMPARE(stored(op), QStringLiteral("10/3.25/0; 20/4/0"));
        QVERIFY(operations.isOpen());
        QCOMPARE(operations.recNo(), recNo);
        QCOMPARE(operations.integer(QStringLiteral("id")), op);
        QCOMPARE(operations.decimal(QStringLiteral("cena")), 3.25);
    }

    // Prices show with two to three decimals and the locale's comma; the cell editor offers the
    // value as stored.
    void priceShown_data()
    {
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("editText");
        QTest::newRow("12.5") << 12.5 << "12,50"
                              << "12,5";
        QTest::newRow("12.345") << 12.345 << "12,345"
                                << "12,345";
        QTest::newRow("whole") << 7.0 << "7,00"
                               << "7";
        QTest::newRow("four decimals") << 12.3456 << "12,346"
                                       << "12,3456";
    }
    void priceShown()
    {
        QFETCH(double, price);
        QFETCH(QString, text);
        QFETCH(QString, editText);
        const qint64 op = operation({{10, price}});
        runEditor(op, [&] {
            QCOMPARE(cellText(0, QStringLiteral("price")), text);
            goTo(0, QStringLiteral("price"));
            QTest::keyClick(m_editor->DBGrid1, Qt::Key_F2);
            auto *editor = qobject_cast<QLineEdit *>(cellEditor());
            QVERIFY(editor);
            QCOMPARE(editor->text(), editText);
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select count(*) from accounts_dep.norm where o_id=%1 "
                                           "and price=%2")
                                .arg(op)
                                .arg(sql::decimal(price))),
                 1);
    }

    // A price typed with a comma or a point is the same number.
    void priceTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("storedAfter");
        QTest::addColumn<QString>("text");
        QTest::newRow("comma") << "12,5"
                               << "10/12.5/0"
                               << "12,50";
        QTest::newRow("point") << "12.5"
                               << "10/12.5/0"
                               << "12,50";
        QTest::newRow("blanks around") << " 3 "
                                       << "10/3/0"
                                       << "3,00";
        QTest::newRow("three decimals") << "12.345"
                                        << "10/12.345/0"
                                        << "12,345";
    }
    void priceTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, storedAfter);
        QFETCH(QString, text);
        const qint64 op = operation({{10, 5}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(0, QStringLiteral("price"));
            typeInCell(typed);
            press(Qt::Key_Tab);
            QCOMPARE(cellText(0, QStringLiteral("price")), text);
            m_editor->Button1->click();
        });
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(stored(op), storedAfter);
    }

    // Text that is no number for its column is refused with a message: nothing is stored, the
    // cell keeps its value, the cursor stays, and "Сохранить" keeps the window open.
    void badInputRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("bySave");
        QTest::addColumn<QString>("message");
        QTest::newRow("letter in the quantity") << "norma"
                                                << "1a" << false << kNormaRule;
        QTest::newRow("negative quantity") << "norma"
                                           << "-5" << false << kNormaRule;
        QTest::newRow("fractional quantity") << "norma"
                                             << "12,5" << false << kNormaRule;
        QTest::newRow("quantity beyond the column") << "norma"
                                                    << "99999999999" << false << kNormaRule;
        QTest::newRow("empty quantity") << "norma"
                                        << "" << false << kNormaRule;
        QTest::newRow("letter in the price") << "price"
                                             << "abc" << false << kPriceRule;
        QTest::newRow("malformed price") << "price"
                                         << "1.2.3" << false << kPriceRule;
        QTest::newRow("negative price") << "price"
                                        << "-1" << false << kPriceRule;
        QTest::newRow("empty price") << "price"
                                     << "" << false << kPriceRule;
        QTest::newRow("letter in the bonus") << "prize"
                                             << "5%" << false << kPrizeRule;
        QTest::newRow("malformed price, Сохранить") << "price"
                                                    << "1.2.3" << true << kPriceRule;
        QTest::newRow("empty quantity, Сохранить") << "norma"
                                                   << "" << true << kNormaRule;
    }
    void badInputRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, bySave);
        QFETCH(QString, message);
        const qint64 op = operation({{10, 5, 7}, {20, 4, 8}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(1, field);
            const QString before = cellText(1, field);
            typeInCell(typed);
            if (bySave)
                m_editor->Button1->click();
            else
                press(Qt::Key_Tab);
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(recorder.shown.first().text, message);
            QVERIFY(m_editor->isVisible());
            QCOMPARE(cellText(1, field), before);
            QCOMPARE(where(), QStringLiteral("1:") + field);
            QVERIFY(!m_editor->norm.isModified());
            m_editor->Button1->click();
            QVERIFY(!m_editor->isVisible());
        });
        QCOMPARE(stored(op), QStringLiteral("10/5/7; 20/4/8"));
    }

    // A new row keeps what was typed while its other cells are filled in any order; leaving the
    // row or saving without a quantity is refused, and the typed price is still there after.
    void newRowNeedsQuantity()
    {
        const qint64 op = operation({{10, 5}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            press(Qt::Key_Down);
            press(Qt::Key_Tab);
            typeInCell(QStringLiteral("4"));
            press(Qt::Key_Tab);
            QVERIFY(recorder.shown.isEmpty());
            QCOMPARE(where(), QStringLiteral("1:prize"));
            press(Qt::Key_Up);
            QCOMPARE(recorder.texts(), QStringList{kNormaRule});
            QCOMPARE(where(), QStringLiteral("1:prize"));
            m_editor->Button1->click();
            QCOMPARE(recorder.texts(), (QStringList{kNormaRule, kNormaRule}));
            QVERIFY(m_editor->isVisible());
            QCOMPARE(cellText(1, QStringLiteral("price")), QStringLiteral("4,00"));
            QCOMPARE(stored(op), QStringLiteral("10/5/0"));
            press(Qt::Key_Left);
            press(Qt::Key_Left);
            QCOMPARE(where(), QStringLiteral("1:norma"));
            typeInCell(QStringLiteral("40"));
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(recorder.shown.size(), 2);
        QCOMPARE(stored(op), QStringLiteral("10/5/0; 40/4/-"));
    }

    // Delete asks about the row also while a cell's editor is open (it does not delete the
    // editor's text); "Нет" leaves the typed text in the editor.
    void deleteWhileEditing_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("Да") << true << "10/1/0; 30/3/0";
        QTest::newRow("Нет") << false << "10/1/0; 20/2/0; 30/3/0";
    }
    void deleteWhileEditing()
    {
        QFETCH(bool, answer);
        QFETCH(QString, storedAfter);
        const qint64 op = operation({{30, 3}, {10, 1}, {20, 2}});
        MessageRecorder recorder;
        recorder.answers.enqueue(answer);
        runEditor(op, [&] {
            goTo(1, QStringLiteral("price"));
            typeInCell(QStringLiteral("25"));
            auto *editor = qobject_cast<QLineEdit *>(cellEditor());
            QVERIFY(editor);
            editor->setCursorPosition(0);
            press(Qt::Key_Delete);
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить норматив?")});
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Удаление"));
            if (!answer) {
                editor = qobject_cast<QLineEdit *>(cellEditor());
                QVERIFY(editor);
                QCOMPARE(editor->text(), QStringLiteral("25"));
                m_editor->DBGrid1->discardEdit();
            }
            QCOMPARE(shown(QStringLiteral("norma")).size(), answer ? 2 : 3);
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(stored(op), storedAfter);
    }

    // Esc on a new row without its quantity or price drops the row (and only it): the window
    // stays open with the stored norms, a change saved before stays, and the next Esc closes.
    void escAbandonsIncompleteNewRow_data()
    {
        QTest::addColumn<QString>("typedNorma");
        QTest::addColumn<QString>("typedPrice");
        QTest::addColumn<bool>("editorOpen");
        QTest::newRow("price only, cell left") << ""
                                               << "4" << false;
        QTest::newRow("price only, editor open") << ""
                                                 << "4" << true;
        QTest::newRow("quantity only, cell left") << "40"
                                                  << "" << false;
        QTest::newRow("quantity only, editor open") << "40"
                                                    << "" << true;
    }
    void escAbandonsIncompleteNewRow()
    {
        QFETCH(QString, typedNorma);
        QFETCH(QString, typedPrice);
        QFETCH(bool, editorOpen);
        const qint64 op = operation({{10, 5}, {20, 4}});
        MessageRecorder recorder;
        bool openAfterFirstEsc = false;
        runEditor(op, [&] {
            goTo(0, QStringLiteral("price"));
            typeInCell(QStringLiteral("6"));
            press(Qt::Key_Down);
            press(Qt::Key_Down);
            QCOMPARE(where(), QStringLiteral("2:price"));
            if (!typedNorma.isEmpty()) {
                press(Qt::Key_Left);
                typeInCell(typedNorma);
            } else {
                typeInCell(typedPrice);
            }
            if (!editorOpen)
                press(Qt::Key_Tab);
            press(Qt::Key_Escape);
            openAfterFirstEsc = m_editor->isVisible();
            QCOMPARE(shown(QStringLiteral("norma")), (QStringList{"10", "20"}));
            QCOMPARE(m_editor->norm.state(), Dataset::State::Browse);
            press(Qt::Key_Escape);
        });
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(openAfterFirstEsc);
        QVERIFY(m_closed);
        QCOMPARE(stored(op), QStringLiteral("10/6/0; 20/4/0"));
    }

    // A norm is never stored without a price (every later pick of the operation would be priced
    // at 0): a new row with its quantity only waits while its cells are filled, and is refused
    // when it is left or saved; a stored norm without a price cannot be changed without one.
    void normWithoutPriceRefused_data()
    {
        QTest::addColumn<bool>("newRow");
        QTest::addColumn<bool>("bySave");
        QTest::addColumn<QString>("message");
        const QString forNewRow = QStringLiteral(
            "Норматив без цены не записывается: укажите цену или нажмите Esc, чтобы отказаться "
            "от новой строки.");
        QTest::newRow("new row, Сохранить") << true << true << forNewRow;
        QTest::newRow("new row left") << true << false << forNewRow;
        QTest::newRow("stored without a price, Сохранить")
            << false << true << "Норматив без цены не записывается: укажите цену.";
    }
    void normWithoutPriceRefused()
    {
        QFETCH(bool, newRow);
        QFETCH(bool, bySave);
        QFETCH(QString, message);
        const qint64 op = operation({{10, 5}});
        if (!newRow)
            TestDatabase::exec(*m_dm, QStringLiteral("insert into accounts_dep.norm(o_id, norma, "
                                                     "prize) values (%1, 20, 0)")
                                          .arg(op));
        const QString before = stored(op);
        MessageRecorder recorder;
        runEditor(op, [&] {
            if (newRow) {
                goTo(0, QStringLiteral("norma"));
                press(Qt::Key_Down);
                typeInCell(QStringLiteral("40"));
                press(Qt::Key_Tab);
                press(Qt::Key_Tab);
                typeInCell(QStringLiteral("3"));
                press(Qt::Key_Left);
                QVERIFY(recorder.shown.isEmpty());
            } else {
                goTo(1, QStringLiteral("prize"));
                typeInCell(QStringLiteral("3"));
            }
            if (bySave)
                m_editor->Button1->click();
            else
                press(Qt::Key_Up);
            QCOMPARE(recorder.texts(), QStringList{message});
            QVERIFY(m_editor->isVisible());
            QCOMPARE(stored(op), before);
            // Given its price, the norm is stored.
            goTo(1, QStringLiteral("price"));
            typeInCell(QStringLiteral("2,5"));
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(stored(op),
                 newRow ? QStringLiteral("10/5/0; 40/2.5/3") : QStringLiteral("10/5/0; 20/2.5/3"));
    }

    // A price of more digits than a double keeps is stored digit for digit.
    void priceStoredExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("17 digits, comma") << "12345678,123456789"
                                          << "10/12345678.123456789/0";
        QTest::newRow("17 digits, point") << "0.12345678901234567"
                                          << "10/0.12345678901234567/0";
    }
    void priceStoredExactly()
    {
        QFETCH(QString, typed);
        QFETCH(QString, storedAfter);
        const qint64 op = operation({{10, 5}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(0, QStringLiteral("price"));
            typeInCell(typed);
            press(Qt::Key_Tab);
            m_editor->Button1->click();
        });
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(stored(op), storedAfter);
    }

    // The operation deleted meanwhile by another user: the new norm cannot be stored; the
    // refusal is shown in Russian (the server's text as detail) and the typed quantity stays;
    // "Удалить" drops the row and the window closes.
    void operationDeletedMeanwhile()
    {
        const qint64 op = operation({{10, 5}});
        const auto otherUser = m_db->connect();
        MessageRecorder recorder;
        runEditor(op, [&] {
            press(Qt::Key_Down);
            typeInCell(QStringLiteral("150"));
            press(Qt::Key_Tab);
            typeInCell(QStringLiteral("6"));
            TestDatabase::exec(*otherUser,
                               QStringLiteral("delete from accounts_dep.oper where id=%1").arg(op));
            press(Qt::Key_Tab);
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
            QCOMPARE(recorder.shown.first().text,
                     QStringLiteral("Действие не выполнено: связанная запись уже удалена или ещё "
                                    "используется (возможно, её изменил другой пользователь)."));
            QVERIFY2(recorder.shown.first().detail.contains(QStringLiteral("norm_o_id_fkey")),
                     qPrintable(recorder.shown.first().detail));
            QCOMPARE(cellText(1, QStringLiteral("norma")), QStringLiteral("150"));
            QCOMPARE(where(), QStringLiteral("1:price"));
            QCOMPARE(m_editor->norm.state(), Dataset::State::Insert);
            m_editor->Button2->click();
            QCOMPARE(m_editor->norm.recordCount(), 0);
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(
            TestDatabase::scalar(
                *m_dm,
                QStringLiteral("select count(*) from accounts_dep.norm where o_id=%1").arg(op)),
            0);
    }

    // A value the database refuses (here a check constraint) is told in Russian, the server's text
    // as detail; the typed price stays in the grid, the window stays open, and a corrected price
    // then saves.
    void databaseRefusalKeepsTypedValue()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("alter table accounts_dep.norm add constraint "
                                                 "test_price_limit check (price < 1000)"));
        const auto dropLimit = qScopeGuard([this] {
            TestDatabase::exec(*m_dm, QStringLiteral("alter table accounts_dep.norm drop "
                                                     "constraint test_price_limit"));
        });
        const qint64 op = operation({{10, 5}});
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(0, QStringLiteral("price"));
            typeInCell(QStringLiteral("5000"));
            m_editor->Button1->click();
            QVERIFY(m_editor->isVisible());
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
            QCOMPARE(recorder.shown.first().text,
                     QStringLiteral("Действие не выполнено: база данных не приняла эти значения."));
            QVERIFY2(recorder.shown.first().detail.contains(QStringLiteral("test_price_limit")),
                     qPrintable(recorder.shown.first().detail));
            QCOMPARE(cellText(0, QStringLiteral("price")), QStringLiteral("5000,00"));
            QCOMPARE(m_editor->norm.state(), Dataset::State::Edit);
            QCOMPARE(stored(op), QStringLiteral("10/5/0"));
            typeInCell(QStringLiteral("500"));
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(stored(op), QStringLiteral("10/500/0"));
    }

    // A norm deleted meanwhile by another user: the change is not written (nor stored anew);
    // the user is told and the list shows what is left.
    void normDeletedMeanwhile()
    {
        const qint64 op = operation({{10, 5}, {20, 4}});
        const auto otherUser = m_db->connect();
        MessageRecorder recorder;
        runEditor(op, [&] {
            goTo(1, QStringLiteral("price"));
            typeInCell(QStringLiteral("3"));
            TestDatabase::exec(
                *otherUser,
                QStringLiteral("delete from accounts_dep.norm where o_id=%1 and norma=20").arg(op));
            press(Qt::Key_Tab);
            QCOMPARE(recorder.texts(),
                     QStringList{QStringLiteral(
                         "Норматив уже удалён другим пользователем, изменения не записаны.")});
            QCOMPARE(shown(QStringLiteral("norma")), QStringList{"10"});
            m_editor->Button1->click();
        });
        QVERIFY(m_closed);
        QCOMPARE(stored(op), QStringLiteral("10/5/0"));
    }

private:
    // An operation of a kind of its own with these norms, inserted in the given order.
    qint64 operation(const QList<Norm> &norms)
    {
        const qint64 kind = seed::kind(*m_dm, QStringLiteral("Вид %1").arg(++m_kinds));
        const qint64 id = seed::operation(*m_dm, kind, m_product, 0, {});
        for (const Norm &norm : norms)
            TestDatabase::exec(*m_dm, QStringLiteral("insert into accounts_dep.norm(o_id, norma, "
                                                     "price, prize) values (%1, %2, %3, %4)")
                                          .arg(id)
                                          .arg(norm.norma)
                                          .arg(sql::decimal(norm.price))
                                          .arg(norm.prize));
        return id;
    }

    // The stored norms of an operation as "norma/price/prize; ..." by quantity ("-" for null).
    QString stored(qint64 operationId)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("select coalesce(string_agg(concat_ws('/', coalesce(norma::text, '-'), "
                           "coalesce(price::text, '-'), coalesce(prize::text, '-')), '; ' order "
                           "by norma, id), '') from accounts_dep.norm where o_id=%1")
                .arg(operationId));
        query.next();
        return query.value(0).toString();
    }

    // Opens the norms of an operation as the operation list does and runs the script in the
    // shown window.
    void runEditor(qint64 operationId, const std::function<void()> &script)
    {
        m_closed = false;
        ModalScript modal([&](QDialog &dialog) {
            dialog.show();
            script();
            m_closed = !dialog.isVisible();
            dialog.hide();
        });
        m_editor->showNorms(operationId, nullptr);
    }

    int columnOf(const QString &field) const
    {
        return m_editor->DBGrid1->gridModel()->columnOfField(field);
    }
    QString cellText(int row, const QString &field) const
    {
        return m_editor->DBGrid1->model()->index(row, columnOf(field)).data().toString();
    }
    QStringList shown(const QString &field) const
    {
        QStringList texts;
        for (int row = 0; row < m_editor->DBGrid1->model()->rowCount(); ++row)
            texts << cellText(row, field);
        return texts;
    }
    // The current cell as "row:field".
    QString where() const
    {
        const QModelIndex current = m_editor->DBGrid1->currentIndex();
        if (!current.isValid())
            return QStringLiteral("none");
        return QStringLiteral("%1:%2")
            .arg(current.row())
            .arg(m_editor->DBGrid1->gridModel()->columns().at(current.column()).field);
    }
    QWidget *cellEditor() const
    {
        return m_editor->DBGrid1->indexWidget(m_editor->DBGrid1->currentIndex());
    }
    // A key as the user presses it: into the open cell editor, else into the grid.
    void press(Qt::Key key)
    {
        QWidget *editor = cellEditor();
        QTest::keyClick(editor ? editor : m_editor->DBGrid1, key);
    }
    static Qt::Key keyOf(const QString &name)
    {
        if (name == QLatin1String("Tab"))
            return Qt::Key_Tab;
        if (name == QLatin1String("Backtab"))
            return Qt::Key_Backtab;
        if (name == QLatin1String("Down"))
            return Qt::Key_Down;
        if (name == QLatin1String("Up"))
            return Qt::Key_Up;
        return Qt::Key_PageUp;
    }
    // Moves the cursor with the arrow keys over unchanged rows.
    void goTo(int row, const QString &field)
    {
        DataGrid *grid = m_editor->DBGrid1;
        const int column = columnOf(field);
        while (grid->currentIndex().row() < row)
            press(Qt::Key_Down);
        while (grid->currentIndex().row() > row)
            press(Qt::Key_Up);
        while (grid->currentIndex().column() < column)
            press(Qt::Key_Right);
        while (grid->currentIndex().column() > column)
            press(Qt::Key_Left);
    }
    // F2 opens the current cell's editor with its text selected; typing replaces it.
    void typeInCell(const QString &text)
    {
        QTest::keyClick(m_editor->DBGrid1, Qt::Key_F2);
        QWidget *editor = cellEditor();
        QVERIFY(editor);
        if (text.isEmpty())
            QTest::keyClick(editor, Qt::Key_Backspace);
        else
            typeText(editor, text);
    }
    void clickCell(int row, const QString &field)
    {
        DataGrid *grid = m_editor->DBGrid1;
        const QModelIndex index = grid->model()->index(row, columnOf(field));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm22> m_editor;
    qint64 m_product = 0;
    int m_kinds = 0;
    bool m_closed = false;
};

TABEL_TEST_MAIN(TestNormEditor)
#include "tst_norm_editor.moc"
