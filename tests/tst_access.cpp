#include "app/forms.h"
#include "app/login_dialog.h"
#include "db/data_module.h"
#include "output/preview.h"
#include "output/xlsx_export.h"
#include "reports/summary_reports.h"
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

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// An access code and the role it grants.
struct Code
{
    const char *tag;
    QString code;
    Role role;
};

// Every access code as a user types it; one with blanks and control characters around it.
QList<Code> codes()
{
    return {{"full 61730428", QStringLiteral("61730428"), Role::Full},
            {"full 9073", QStringLiteral("\t9073 \x01"), Role::Full},
            {"planning", QStringLiteral("vadrik"), Role::Planning},
            {"foremen", QStringLiteral("pilgrom"), Role::Foremen},
            {"warehouse", QStringLiteral("tumen"), Role::Warehouse}};
}

// A command of the shift log or of the summary reports: the control that gives it, the roles
// that keep it, and the part of the program's state that using it changes.
struct Rule
{
    const char *name;
    const char *window;
    const char *control;
    QList<Role> allowed;
    const char *effect; // a line of the trace (below)
    const char *opens = nullptr;
};

QList<Rule> rules()
{
    const QList<Role> all{Role::Full, Role::Planning, Role::Foremen, Role::Warehouse};
    const QList<Role> shiftLog{Role::Full, Role::Foremen, Role::Warehouse};
    const QList<Role> full{Role::Full};
    const QList<Role> reports{Role::Full, Role::Planning};
    return {
        {"Добавить", "TForm1", "Button1", {Role::Full, Role::Foremen}, "opened", "TForm11"},
        {"Изменить", "TForm1", "Button2", full, "opened", "TForm11"},
        {"Удалить", "TForm1", "Button3", full, "messages"},
        {"Смена №2", "TForm1", "RadioButton2", shiftLog, "shift"},
        {"Смена №3", "TForm1", "RadioButton3", shiftLog, "shift"},
        {"Переработка", "TForm1", "RadioButton4", shiftLog, "shift"},
        {"Выходной", "TForm1", "CBox1", shiftLog, "dayOff"},
        {"Обновить", "TForm1", "Button8", shiftLog, "listed"},
        {"дата", "TForm1", "DateT", shiftLog, "date"},
        {"приёмка", "TForm1", "DBGrid2", {Role::Full, Role::Warehouse}, "entries"},
        {"Рабочие", "TForm1", "N1", full, "opened", "TForm5"},
        {"Изделия", "TForm1", "N3", full, "opened", "TForm3"},
        {"Цены", "TForm1", "N4", full, "opened", "TForm4"},
        {"Операции", "TForm1", "N6", full, "opened", "TForm8"},
        {"Ном. группы", "TForm1", "N8", full, "opened", "TForm26"},
        {"Производственный календарь", "TForm1", "CalendarItem", full, "opened",
         "ProductionCalendar"},
        {"Табель сделка", "TForm1", "N9", full, "opened", "TForm27"},
        {"Табель по сменам", "TForm1", "N13", full, "opened", "TForm19"},
        {"Табель хоз. работ", "TForm1", "N14", full, "opened", "TForm27"},
        {"Табель ср. сдельная", "TForm1", "N15", full, "opened", "TForm27"},
        {"Общий табель", "TForm1", "N17", full, "opened", "TForm27"},
        {"Ср.сд./хоз. работы", "TForm1", "Button5", all, "opened", "TForm25"},
        {"Сводные отчеты", "TForm1", "N10", all, "opened", "TForm18"},
        {"Выход", "TForm1", "Button4", all, "shown"},
        {"Отчет по рабочим", "TForm18", "Button4", reports, "previews"},
        {"Отчет по продукции", "TForm18", "Button2", reports, "previews"},
        {"Детальный отчет по рабочим", "TForm18", "Button1", reports, "previews"},
        {"Детальный отчет по продукции", "TForm18", "Button3", all, "previews"},
        {"Excel", "TForm18", "Button6", reports, "workbooks"},
        {"Вид продукции",
         "TForm18",
         "RadioGroup1",
         {Role::Full, Role::Planning, Role::Foremen},
         "kind"},
    };
}

// The menu of the main menu that holds an item, and the item's place in it.
std::pair<QMenu *, int> menuOf(QMenuBar *bar, QAction *item)
{
    for (QAction *title : bar->actions()) {
        QMenu *menu = title->menu();
        if (menu && menu->actions().contains(item))
            return {menu, int(menu->actions().indexOf(item))};
    }
    return {nullptr, -1};
}

// A click on the first row of a grid, then a double-click on it.
void doubleClickFirstRow(DataGrid *grid)
{
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

// The role table, command by command and code by code: a command the role takes away is out of
// reach by every way a user has (a click, the keyboard's Tab, Enter, Space, mnemonics and
// shortcuts, the menu worked from Alt and the arrow keys, a click on the menu bar, a double-click
// on the grid, and QAction::trigger): no window opens, no question is asked, no row changes and
// the window stays as it was. A command the role keeps works by its usual way.
class TestAccess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        Clock::set(QDateTime(m_today, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("access"));
        m_check = m_db->connect();
        TDataModule6 &dm = *m_check;
        const qint64 worker = seed::worker(dm, QStringLiteral("Иванов И.И."));
        const qint64 product = seed::product(dm, QStringLiteral("ТП-120"));
        m_operation =
            seed::operation(dm, seed::kind(dm, QStringLiteral("Литьё")), product, 0, {10});
        seed::entry(dm, {worker, product, m_operation, m_today, 1});
        seed::entry(dm, {worker, product, m_operation, m_today.addMonths(-1), 1});
        m_worker = worker;
        m_product = product;
    }
    void cleanupTestCase()
    {
        m_check.reset();
        m_db.reset();
        Clock::set({});
    }

    void roleTable_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("command");
        const QList<Rule> all = rules();
        for (const Code &code : codes()) {
            for (int c = 0; c < all.size(); ++c) {
                const Rule &command = all.at(c);
                QTest::addRow("%s: %s (%s)", code.tag, command.name,
                              command.allowed.contains(code.role) ? "keeps" : "loses")
                    << code.code << int(code.role) << c;
            }
        }
    }
    void roleTable()
    {
        QFETCH(QString, code);
        QFETCH(int, role);
        QFETCH(int, command);
        const Rule target = rules().at(command);
        const bool allowed = target.allowed.contains(Role(role));

        RunningProgram program(*m_db);
        QVERIFY(program.started());
        m_program = &program;
        MessageRecorder messages;
        messages.answers.fill(false, 100);
        m_messages = &messages;
        OpenerRecorder workbooks(true);
        m_workbooks = &workbooks;
        XlsxExport::setFolder(m_dir.path());
        m_previews = 0;
        report::setPreviewHandler([this](const report::PreparedReport &) { ++m_previews; });

        bool reached = false;
        ModalScript modal([&](QDialog &dialog) {
            const QString name = dialog.objectName();
            if (name == QLatin1String("TForm1") && !m_inMain) {
                m_inMain = true;
                show(dialog);
                if (QLatin1String(target.window) == name)
                    exercise(dialog, target, allowed, reached);
                else
                    program.mainWindow().N10->trigger();
                dialog.hide();
                return;
            }
            if (name == QLatin1String(target.window) && !reached) {
                show(dialog);
                exercise(dialog, target, allowed, reached);
                dialog.hide();
            }
            // Any other window closes at once; the trace keeps its name.
        });
        m_modal = &modal;
        TForm23 &login = program.loginDialog();
        login.Edit1->setText(code);
        login.Button1->click();

        m_inMain = false;
        m_modal = nullptr;
        m_messages = nullptr;
        m_workbooks = nullptr;
        m_program = nullptr;
        report::setPreviewHandler({});
        XlsxExport::setFolder({});
        // The entries as they were: not accepted, none from another copy.
        TestDatabase::exec(*m_check, QStringLiteral("update accounts_dep.smena set ok='no'"));
        TestDatabase::exec(*m_check,
                           QStringLiteral("delete from accounts_dep.smena where smena=2"));
        QVERIFY2(reached, target.window);
    }

private:
    void show(QDialog &dialog)
    {
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
    }

    // Uses a command the role keeps by its usual way, or tries every way at one the role lost.
    void exercise(QDialog &window, const Rule &command, bool allowed, bool &reached)
    {
        reached = true;
        QObject *control = window.findChild<QObject *>(QLatin1String(command.control));
        QVERIFY2(control, command.control);
        if (command.effect == QLatin1String("listed")) {
            // An entry written by another copy: "Обновить" shows it.
            seed::entry(*m_check, {m_worker, m_product, m_operation, m_today, 2});
        }
        if (allowed) {
            const QMap<QString, QString> before = trace();
            use(window, control);
            const QMap<QString, QString> after = trace();
            const QString effect = QLatin1String(command.effect);
            QVERIFY2(after.value(effect) != before.value(effect),
                     qPrintable(effect + QStringLiteral(" stayed ") + before.value(effect)));
            if (command.opens)
                QVERIFY2(after.value(effect).endsWith(QLatin1String(command.opens)),
                         qPrintable(after.value(effect)));
            return;
        }
        if (auto *group = qobject_cast<RadioGroup *>(control))
            QCOMPARE(group->itemIndex(), 1); // the warehouse is held to finished products
        for (const auto &[way, attempt] : ways(window, control)) {
            const QMap<QString, QString> before = trace();
            attempt();
            const QMap<QString, QString> after = trace();
            if (qobject_cast<QAction *>(control) && way.startsWith(QLatin1String("menu"))) {
                // Working the menu bar may reach commands the role keeps ("Отчеты", "Выход");
                // the menu of this item must not open, nor its window.
                QVERIFY2(
                    !after.value(QStringLiteral("opened")).contains(QLatin1String(command.opens)),
                    qPrintable(way + QStringLiteral(": ") + after.value("opened")));
                QCOMPARE(m_menuShown, 0);
                restoreMain();
                continue;
            }
            for (auto line = before.cbegin(); line != before.cend(); ++line)
                QVERIFY2(after.value(line.key()) == line.value(),
                         qPrintable(way + QStringLiteral(": ") + line.key() + QStringLiteral(" «") +
                                    line.value() + QStringLiteral("» → «") +
                                    after.value(line.key()) + QStringLiteral("»")));
        }
    }

    // The usual way to use a command.
    void use(QDialog &window, QObject *control)
    {
        if (auto *action = qobject_cast<QAction *>(control)) {
            workMenu(window, action, false);
            return;
        }
        if (auto *grid = qobject_cast<DataGrid *>(control)) {
            doubleClickFirstRow(grid);
            return;
        }
        if (auto *date = qobject_cast<QDateEdit *>(control)) {
            date->setFocus(Qt::TabFocusReason);
            QTest::keyClick(date, Qt::Key_Up);
            QTest::keyClick(date, Qt::Key_Return);
            return;
        }
        if (auto *group = qobject_cast<RadioGroup *>(control)) {
            click(group->item(2));
            return;
        }
        click(static_cast<QWidget *>(control));
    }

    // A click where the control takes it: on the caption of a button, on the indicator of a
    // radio button or a check box (their box may be wider than what they draw).
    static void click(QWidget *control)
    {
        const bool indicator =
            qobject_cast<QRadioButton *>(control) || qobject_cast<QCheckBox *>(control);
        QTest::mouseClick(control, Qt::LeftButton, {},
                          indicator ? QPoint(8, control->height() / 2) : control->rect().center());
    }

    // Every way a user could try a command: each returns after trying.
    QList<std::pair<QString, std::function<void()>>> ways(QDialog &window, QObject *control)
    {
        QList<std::pair<QString, std::function<void()>>> result;
        if (auto *action = qobject_cast<QAction *>(control)) {
            result.append({QStringLiteral("trigger"), [action] { action->trigger(); }});
            result.append({QStringLiteral("menu from the keyboard"),
                           [this, &window, action] { workMenu(window, action, false); }});
            result.append(
                {QStringLiteral("menu by the mouse"), [this, action] { clickMenuBar(action); }});
            const auto [menu, itemIndex] = menuOf(m_program->mainWindow().MainMenu, action);
            if (menu && !QKeySequence::mnemonic(menu->title()).isEmpty())
                result.append({QStringLiteral("menu by its mnemonic"),
                               [this, &window, action] { workMenu(window, action, true); }});
            if (!action->shortcut().isEmpty())
                result.append({QStringLiteral("shortcut"), [&window, action] {
                                   QTest::keySequence(&window, action->shortcut());
                               }});
            return result;
        }
        auto *widget = static_cast<QWidget *>(control);
        // The parts a user clicks or reaches with Tab: the group's buttons, or the control.
        QList<QWidget *> parts{widget};
        if (auto *group = qobject_cast<RadioGroup *>(widget))
            parts = {group->item(0), group->item(1), group->item(2)};
        result.append({QStringLiteral("click"), [widget, parts] {
                           if (auto *grid = qobject_cast<DataGrid *>(widget)) {
                               doubleClickFirstRow(grid);
                               return;
                           }
                           for (QWidget *part : parts)
                               click(part);
                       }});
        // A control the role disables is never reached with Tab either.
        if (!widget->isEnabled())
            result.append({QStringLiteral("Tab"), [&window, parts] {
                               // The focus walks the whole window and never reaches the control.
                               QWidget *start = QApplication::focusWidget();
                               if (!start)
                                   window.setFocus();
                               for (int press = 0; press < 60; ++press) {
                                   QWidget *focus = QApplication::focusWidget();
                                   for (QWidget *part : parts)
                                       QVERIFY2(focus != part && !part->isAncestorOf(focus),
                                                qPrintable(part->objectName()));
                                   QTest::keyClick(focus ? focus : &window, Qt::Key_Tab);
                               }
                           }});
        result.append({QStringLiteral("keys on the control"), [parts] {
                           for (QWidget *part : parts) {
                               for (const Qt::Key key :
                                    {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Up,
                                     Qt::Key_Down, Qt::Key_F2})
                                   QTest::keyClick(part, key);
                           }
                       }});
        for (QWidget *part : parts) {
            auto *button = qobject_cast<QAbstractButton *>(part);
            if (!button)
                continue;
            const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
            if (!mnemonic.isEmpty())
                result.append({QStringLiteral("mnemonic"),
                               [&window, mnemonic] { QTest::keySequence(&window, mnemonic); }});
            if (!button->shortcut().isEmpty())
                result.append({QStringLiteral("shortcut"), [&window, button] {
                                   QTest::keySequence(&window, button->shortcut());
                               }});
        }
        if (qobject_cast<DataGrid *>(widget) && widget->isEnabled()) {
            // Enter on the grid with the focus on it: the acceptance is the double-click's alone.
            result.append({QStringLiteral("Enter on the focused grid"), [widget] {
                               widget->setFocus(Qt::TabFocusReason);
                               QTest::keyClick(widget, Qt::Key_Return);
                               QTest::keyClick(widget, Qt::Key_Enter);
                           }});
        }
        return result;
    }

    // The keys a user presses to reach a menu item: Alt and Right until its menu is the active one
    // (the keys pass over a menu that is disabled), or the menu's mnemonic; Down to the item,
    // Enter. Counts the showings of the item's menu meanwhile.
    void workMenu(QDialog &window, QAction *item, bool byMnemonic)
    {
        QMenuBar *bar = m_program->mainWindow().MainMenu;
        const auto [menu, itemIndex] = menuOf(bar, item);
        QVERIFY(menu);
        m_menuShown = 0;
        const QMetaObject::Connection shown =
            connect(menu, &QMenu::aboutToShow, this, [this] { ++m_menuShown; });
        const auto press = [&window](Qt::Key key) {
            QWidget *popup = QApplication::activePopupWidget();
            QWidget *receiver = popup ? popup : QApplication::focusWidget();
            QTest::keyClick(receiver ? receiver : &window, key,
                            key == Qt::Key_Alt ? Qt::AltModifier : Qt::NoModifier);
        };
        int downs = itemIndex + 1;
        if (byMnemonic) {
            // The mnemonic opens the menu on its first item.
            QTest::keySequence(&window, QKeySequence::mnemonic(menu->title()));
            downs = itemIndex;
        } else {
            press(Qt::Key_Alt);
            for (qsizetype step = 0; step <= bar->actions().size(); ++step) {
                if (bar->activeAction() == menu->menuAction())
                    break;
                press(Qt::Key_Right);
            }
        }
        for (int k = 0; k < downs; ++k)
            press(Qt::Key_Down);
        press(Qt::Key_Return);
        closeMenus();
        disconnect(shown);
    }

    // A click on the menu's title in the menu bar, then on the item if the menu opened.
    void clickMenuBar(QAction *item)
    {
        QMenuBar *bar = m_program->mainWindow().MainMenu;
        QMenu *menu = menuOf(bar, item).first;
        QVERIFY(menu);
        m_menuShown = 0;
        const QMetaObject::Connection shown =
            connect(menu, &QMenu::aboutToShow, this, [this] { ++m_menuShown; });
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        if (menu->isVisible())
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        closeMenus();
        disconnect(shown);
    }

    void closeMenus()
    {
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        QMenuBar *bar = m_program->mainWindow().MainMenu;
        if (QApplication::focusWidget() == bar)
            QTest::keyClick(bar, Qt::Key_Escape);
    }

    // "Выход" reached while working the menu closes the shift log; it is shown again.
    void restoreMain()
    {
        TForm1 &main = m_program->mainWindow();
        if (!main.isVisible())
            show(main);
    }

    // What the user sees and what the database holds: every effect a command can have.
    QMap<QString, QString> trace()
    {
        TForm1 &main = m_program->mainWindow();
        TDataModule6 &dm = m_program->dataModule();
        QMap<QString, QString> lines;
        lines.insert(QStringLiteral("opened"), m_modal->opened.join(QLatin1Char(',')));
        lines.insert(QStringLiteral("messages"), m_messages->described().join(QLatin1Char('|')));
        QSqlQuery entries = m_check->ADO_DB.run(
            QStringLiteral("select string_agg(id || ':' || ok || ':' || smena, ',' order by id) "
                           "from accounts_dep.smena"));
        entries.next();
        lines.insert(QStringLiteral("entries"), entries.value(0).toString());
        lines.insert(QStringLiteral("shift"), QString::number(main.ShiftNo));
        lines.insert(QStringLiteral("dayOff"), main.CBox1->isChecked() ? "1" : "0");
        lines.insert(QStringLiteral("date"),
                     main.DateT->date().toString(Qt::ISODate) + QLatin1Char('/') +
                         dm.shiftQuery(1).param(QStringLiteral("data")).toString());
        QStringList listed;
        for (int shift = 1; shift <= 4; ++shift)
            listed << QString::number(dm.shiftQuery(shift).recordCount());
        lines.insert(QStringLiteral("listed"), listed.join(QLatin1Char(',')));
        lines.insert(QStringLiteral("previews"), QString::number(m_previews));
        lines.insert(QStringLiteral("workbooks"), QString::number(m_workbooks->opened.size()));
        lines.insert(QStringLiteral("kind"),
                     QString::number(m_program->forms().Form18.RadioGroup1->itemIndex()));
        lines.insert(QStringLiteral("shown"), main.isVisible() ? "1" : "0");
        return lines;
    }

    const QDate m_today{2024, 3, 6}; // a Wednesday
    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_check; // reads what the program stored
    qint64 m_worker = 0;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    RunningProgram *m_program = nullptr;
    ModalScript *m_modal = nullptr;
    MessageRecorder *m_messages = nullptr;
    OpenerRecorder *m_workbooks = nullptr;
    int m_previews = 0;
    int m_menuShown = 0;
    bool m_inMain = false;
};

TABEL_TEST_MAIN(TestAccess)
#include "tst_access.moc"
