#include "app/forms.h"
#include "app/login_dialog.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "reports/summary_reports.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/monthly_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include <functional>

namespace {

// How each window is reached from the login dialog with the full-access code: the controls
// pressed on the way, as "window.control"; "window.box=text" types into a box. The route's first
// word is the window reached.
QStringList routeTo(const QString &route)
{
    static const QHash<QString, QStringList> routes{
        {QStringLiteral("TForm23"), {}},
        {QStringLiteral("TForm1"), {}},
        {QStringLiteral("TForm11 new"), {QStringLiteral("TForm1.Button1")}},
        {QStringLiteral("TForm11 change"), {QStringLiteral("TForm1.Button2")}},
        {QStringLiteral("TForm5 catalogue"), {QStringLiteral("TForm1.N1")}},
        {QStringLiteral("TForm2"), {QStringLiteral("TForm1.N1"), QStringLiteral("TForm5.Button1")}},
        {QStringLiteral("TForm5 picker"),
         {QStringLiteral("TForm1.Button1"), QStringLiteral("TForm11.Button3")}},
        {QStringLiteral("TForm4 picker"),
         {QStringLiteral("TForm1.Button1"), QStringLiteral("TForm11.Button4")}},
        {QStringLiteral("TForm4 catalogue"), {QStringLiteral("TForm1.N4")}},
        {QStringLiteral("TForm10"),
         {QStringLiteral("TForm1.N4"), QStringLiteral("TForm4.Button1")}},
        {QStringLiteral("TForm3 picker"),
         {QStringLiteral("TForm1.N4"), QStringLiteral("TForm4.Button1"),
          QStringLiteral("TForm10.Button3")}},
        {QStringLiteral("TForm8 picker"),
         {QStringLiteral("TForm1.N4"), QStringLiteral("TForm4.Button1"),
          QStringLiteral("TForm10.Button4")}},
        {QStringLiteral("TForm22"),
         {QStringLiteral("TForm1.N4"), QStringLiteral("TForm4.Edit1=ТП-1"),
          QStringLiteral("TForm4.CheckBox1"), QStringLiteral("TForm4.DBGrid1")}},
        {QStringLiteral("TForm3 catalogue"), {QStringLiteral("TForm1.N3")}},
        {QStringLiteral("TForm7"), {QStringLiteral("TForm1.N3"), QStringLiteral("TForm3.Button1")}},
        {QStringLiteral("TForm8 catalogue"), {QStringLiteral("TForm1.N6")}},
        {QStringLiteral("TForm9"), {QStringLiteral("TForm1.N6"), QStringLiteral("TForm8.Button1")}},
        {QStringLiteral("TForm26 catalogue"), {QStringLiteral("TForm1.N8")}},
        {QStringLiteral("TForm29"),
         {QStringLiteral("TForm1.N8"), QStringLiteral("TForm26.Button3")}},
        {QStringLiteral("TForm19"), {QStringLiteral("TForm1.N13")}},
        {QStringLiteral("TForm27"), {QStringLiteral("TForm1.N9")}},
        {QStringLiteral("TForm18"), {QStringLiteral("TForm1.N10")}},
        {QStringLiteral("TForm25"), {QStringLiteral("TForm1.Button5")}},
        {QStringLiteral("TForm24"),
         {QStringLiteral("TForm1.Button5"), QStringLiteral("TForm25.Button5")}},
        {QStringLiteral("TForm26 picker"),
         {QStringLiteral("TForm1.Button5"), QStringLiteral("TForm25.Button5"),
          QStringLiteral("TForm24.Button4")}},
    };
    return routes.value(route);
}

// A control as the tests name it: its objectName, or for a part Qt made (a tab widget's tab bar)
// the name of the control it belongs to.
QString nameOf(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("<none>");
    const QString name = widget->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        return nameOf(widget->parentWidget());
    return name;
}

// A grid edited in place keeps Tab for its cells; Ctrl+Tab leaves it.
bool keepsTab(const QWidget *widget)
{
    const auto *grid = qobject_cast<const DataGrid *>(widget);
    return grid && grid->isEditable();
}

void pressTab(QWidget *widget, bool forward)
{
    const Qt::KeyboardModifiers control = keepsTab(widget) ? Qt::ControlModifier : Qt::NoModifier;
    if (forward)
        QTest::keyClick(widget, Qt::Key_Tab, control);
    else
        QTest::keyClick(widget, Qt::Key_Backtab, Qt::ShiftModifier | control);
}

// The controls Tab (or Shift+Tab) visits from the focused one until the focus comes back to it,
// each once (Tab steps through a date picker's day, month and year before it leaves). Empty when
// the focus never comes back: the walk is trapped.
QStringList walkFocus(bool forward)
{
    QWidget *start = QApplication::focusWidget();
    // A box that takes the focus when its window opens but is no tab stop is left at once.
    if (start && !(start->focusPolicy() & Qt::TabFocus)) {
        pressTab(start, forward);
        start = QApplication::focusWidget();
    }
    QStringList visited{nameOf(start)};
    QWidget *current = start;
    for (int presses = 0; presses < 100; ++presses) {
        pressTab(current, forward);
        QWidget *next = QApplication::focusWidget();
        if (next == start && current != start)
            return visited;
        if (next != current)
            visited << nameOf(next);
        current = next;
    }
    qWarning().noquote() << "trapped:" << visited.join(QStringLiteral(", "));
    return {};
}

// The cycle as it runs from the given control.
QStringList rotatedTo(const QStringList &cycle, const QString &first)
{
    const qsizetype at = cycle.indexOf(first);
    if (at < 0)
        return cycle;
    return cycle.mid(at) + cycle.mid(0, at);
}

// Every control a user works with: buttons, check boxes, edits, boxes, date pickers, grids, tab
// bars. Read-only displays and disabled or hidden controls are left out, and so are the radio
// buttons of a group other than its checked one: Tab reaches a group at its checked button and the
// arrow keys move within it.
QStringList controlsOf(QWidget &window)
{
    QStringList controls;
    for (QWidget *control : window.findChildren<QWidget *>()) {
        if (!control->isVisibleTo(&window) || !control->isEnabled())
            continue;
        const auto *edit = qobject_cast<QLineEdit *>(control);
        const bool interactive =
            qobject_cast<QAbstractButton *>(control) || (edit && !edit->isReadOnly()) ||
            qobject_cast<QComboBox *>(control) || qobject_cast<QAbstractSpinBox *>(control) ||
            qobject_cast<QAbstractItemView *>(control) || qobject_cast<QTabBar *>(control);
        if (!interactive || qobject_cast<QHeaderView *>(control) ||
            QLatin1String(control->metaObject()->className()) ==
                QLatin1String("QTableCornerButton"))
            continue;
        // The parts inside a box (a date picker's or a combo box's own editor and list).
        if (qobject_cast<QAbstractSpinBox *>(control->parentWidget()) ||
            qobject_cast<QComboBox *>(control->parentWidget()))
            continue;
        if (const auto *radio = qobject_cast<QRadioButton *>(control)) {
            const bool exclusive =
                radio->autoExclusive() || (radio->group() && radio->group()->exclusive());
            if (exclusive && !radio->isChecked())
                continue;
        }
        controls << nameOf(control);
    }
    return controls;
}

// The grid's current row as the view and its list both have it ("2"), or both numbers when they
// differ, or "unselected" when the view does not show its current row selected.
QString position(const DataGrid &view)
{
    const int recNo = view.gridModel()->dataset().recNo();
    const int row = view.currentIndex().row() + 1;
    QString text =
        recNo == row ? QString::number(recNo) : QStringLiteral("%1/%2").arg(recNo).arg(row);
    if (!view.selectionModel()->isSelected(view.currentIndex()))
        text += QStringLiteral(" unselected");
    return text;
}

} // namespace

// Every window worked without a mouse: the tab order reaches every control in the order the
// controls stand, Enter and Esc do what the window's default and cancel buttons say, the arrow keys
// move the grids' current row and choose shifts and months, the "..." buttons open their pickers,
// and the menu opens from Alt.
class TestKeyboard : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(m_today, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("keyboard"));
        auto dm = m_db->connect();
        // Three of everything, so every list has a row to move down to and one to move back.
        const QStringList workers{QStringLiteral("Андреев А.А."), QStringLiteral("Борисов Б.Б."),
                                  QStringLiteral("Васильев В.В.")};
        for (int i = 0; i < 3; ++i) {
            const qint64 worker = seed::worker(*dm, workers.at(i));
            const qint64 group = TestDatabase::scalar(
                *dm, QStringLiteral("insert into cmn_classifier.item(s_caption) values "
                                    "('Группа %1') returning id")
                         .arg(i + 1));
            const qint64 product = seed::product(*dm, QStringLiteral("ТП-%1").arg(i + 1));
            TestDatabase::exec(*dm, QStringLiteral("update cmn_gds_and_srv.gds_and_srv set "
                                                   "id_class_item=%1 where id=%2")
                                        .arg(group)
                                        .arg(product));
            const qint64 kind = seed::kind(*dm, QStringLiteral("Операция %1").arg(i + 1));
            const qint64 op = seed::operation(*dm, kind, product, 0, {10.0 + i, 12.0 + i});
            seed::entry(*dm, {worker, product, op, m_today, 1});
            for (int shift = 1; shift <= 3; ++shift)
                TestDatabase::exec(*dm, QStringLiteral("insert into accounts_dep.h_tabel(w_id, "
                                                       "month, year, smena, d10) values (%1, %2, "
                                                       "%3, %4, 8)")
                                            .arg(worker)
                                            .arg(m_today.month())
                                            .arg(m_today.year())
                                            .arg(shift));
            TestDatabase::exec(
                *dm, QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, "
                                    "i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) "
                                    "values (%1, 7777, %2, '%3', %4, %5, 1, 4, 150, 0, 0)")
                         .arg(group)
                         .arg(worker)
                         .arg(m_today.toString(Qt::ISODate))
                         .arg(m_today.month())
                         .arg(m_today.year()));
        }
    }
    void cleanupTestCase()
    {
        m_db.reset();
        Clock::set({});
    }
    void init()
    {
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
    }
    void cleanup() { m_program.reset(); }

    // Tab runs through every control a user works with, in the order the controls stand (the
    // entry editor in the order an entry is made: worker, operation, pieces, hours, colour, day,
    // rejects), and Shift+Tab runs back; the window opens with the focus where its work starts. A
    // control Tab does not reach could only be used with the mouse.
    void tabOrder_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QStringList>("order");
        // Controls that are no tab stop on purpose; reached otherwise.
        QTest::addColumn<QStringList>("noTabStop");
        const auto row = [](const char *route, const char *first, const QStringList &order,
                            const QStringList &noTabStop = {}) {
            QTest::newRow(route) << QString::fromUtf8(route) << QString::fromUtf8(first) << order
                                 << noTabStop;
        };
        row("TForm23", "Edit1", {"Edit1", "Button1", "Button2"});
        row("TForm1", "RadioButton1",
            {"RadioButton1", "DateT", "CBox1", "DBGrid2", "Button1", "Button2", "Button3",
             "Button8", "Button5", "HistoryButton", "Button4"},
            // The menu bar is reached with Alt (mainMenu).
            {"MainMenu"});
        // The colour box is a stop while it is enabled: before the first paint test of the run.
        row("TForm11 new", "Button3",
            {"Button3", "Button4", "Edit3", "Edit6", "Edit5", "DTimeP", "Edit4", "Button1",
             "Button2"});
        row("TForm11 change", "Button3",
            {"Button3", "Button4", "Edit3", "Edit6", "DTimeP", "Edit4", "Button1", "Button2"});
        row("TForm5 catalogue", "Edit1",
            {"DBGrid1", "Button1", "Button2", "Button3", "Edit1", "Button4"});
        row("TForm5 picker", "Edit1", {"DBGrid1", "Button2", "Edit1", "Button4"});
        row("TForm2", "Edit1",
            {"Edit1", "LCB_department", "LCB_staffpos", "LCB_roles", "Button1", "Button2"});
        row("TForm3 catalogue", "Edit1",
            {"DBGrid1", "Edit1", "Button1", "Button2", "Button3", "Button4"});
        row("TForm3 picker", "Edit1", {"DBGrid1", "Edit1", "Button2", "Button4"});
        row("TForm7", "Edit1", {"Edit1", "Edit2", "cb_item", "Button1", "Button2"});
        row("TForm4 catalogue", "Edit1",
            {"DBGrid1", "Button1", "Button2", "Button3", "Button5", "CheckBox1", "Edit1",
             "Button4"});
        row("TForm4 picker", "Edit1",
            {"DBGrid1", "Button2", "Button5", "CheckBox1", "Edit1", "Button4"});
        row("TForm10", "Button3", {"Button3", "Button4", "ComboBox1", "Button1", "Button2"});
        row("TForm22", "DBGrid1", {"DBGrid1", "Button1", "Button2"});
        row("TForm8 catalogue", "DBGrid1", {"DBGrid1", "Button1", "Button2", "Button3", "Button4"});
        row("TForm8 picker", "Edit1", {"DBGrid1", "Edit1", "Button2", "Button4"});
        row("TForm9", "Edit1", {"Edit1", "Button1", "Button2"});
        row("TForm26 catalogue", "Edit1",
            {"DBGrid1", "Button2", "Button3", "Button1", "Edit1", "Button4"});
        row("TForm26 picker", "Edit1", {"DBGrid1", "Button3", "Edit1", "Button4"});
        // The group name box takes the focus when the editor opens and is no tab stop.
        row("TForm29", "Edit1", {"Button1", "Button6"}, {"Edit1"});
        row("TForm19", "PageControl1",
            {"PageControl1", "DBGrid1", "Button1", "Button2", "Button6", "ComboBox1", "ComboBox2",
             "Button5", "Button4"});
        row("TForm27", "DBGrid",
            // The month shown is open: "Закрыть месяц" is a stop, "Открыть месяц" is not.
            {"DBGrid", "ComboBox1", "cb_year", "Button5", "Button3", "CloseMonth", "Button2",
             "T13Button", "PayrollButton", "Button1"});
        row("TForm18", "RadioGroup1_0",
            {"RadioGroup1_0", "DTPicker1", "DTPicker2", "Button4", "Button2", "Button1", "Button3",
             "Button7", "Button6", "Button5"});
        row("TForm25", "DBGrid1",
            {"DBGrid1", "Button5", "Button6", "Button7", "Button1", "DTPcker1", "CBox1",
             "Button8"});
        row("TForm24", "Button3",
            {"Button3", "Button4", "cb_type_work", "Edit6", "CBox1", "Button1", "Button6"});
    }
    void tabOrder()
    {
        QFETCH(QString, route);
        QFETCH(QString, first);
        QFETCH(QStringList, order);
        QFETCH(QStringList, noTabStop);
        visit(route, [&](QDialog &window) {
            QCOMPARE(nameOf(QApplication::focusWidget()), first);
            const QStringList forward = walkFocus(true);
            QVERIFY2(!forward.isEmpty(), "Tab never comes back to where it started");
            QCOMPARE(rotatedTo(forward, order.first()), order);
            QStringList backward = walkFocus(false);
            std::reverse(backward.begin(), backward.end());
            QCOMPARE(rotatedTo(backward, order.first()), order);
            QStringList unreachable;
            for (const QString &control : controlsOf(window)) {
                if (!order.contains(control) && !noTabStop.contains(control))
                    unreachable << control;
            }
            QVERIFY2(unreachable.isEmpty(), qPrintable(unreachable.join(QStringLiteral(", "))));
        });
    }

    // Enter presses the default button wherever the focus is, except on another button, which
    // Enter presses instead; Esc presses the cancel button (the norm editor's is "Сохранить").
    // Windows without a default button do nothing on Enter: acceptance in the shift log and the
    // change of an hour-paid entry stay with the double-click.
    void enterAndEsc_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("opened");
        const QString incomplete = QStringLiteral("error Ошибка: Все поля должны быть заполнены!");
        const auto stays = [](const char *name, const char *route, const char *focus, int key,
                              const QStringList &messages, const QStringList &opened = {}) {
            QTest::newRow(name) << QString::fromUtf8(route) << QString::fromUtf8(focus) << key
                                << false << 0 << messages << opened;
        };
        const auto closes = [](const char *name, const char *route, const char *focus, int key,
                               int result) {
            QTest::newRow(name) << QString::fromUtf8(route) << QString::fromUtf8(focus) << key
                                << true << result << QStringList() << QStringList();
        };
        const int enter = Qt::Key_Return;
        const int esc = Qt::Key_Escape;
        const int accepted = QDialog::Accepted;
        const int rejected = QDialog::Rejected;
        stays("login: Enter", "TForm23", "Edit1", enter,
              {QStringLiteral("error Ошибка: Введены неверные данные.")});
        closes("login: Esc", "TForm23", "Edit1", esc, rejected);
        stays("shift log: Enter on the grid", "TForm1", "DBGrid2", enter, {});
        stays("shift log: Enter on Добавить", "TForm1", "Button1", enter, {}, {"TForm11"});
        closes("shift log: Esc", "TForm1", "DBGrid2", esc, rejected);
        stays("entry: Enter", "TForm11 new", "Edit3", enter, {incomplete});
        closes("entry: Esc", "TForm11 new", "Edit3", esc, rejected);
        closes("entry: Enter on Отмена", "TForm11 new", "Button2", enter, rejected);
        stays("workers: Enter", "TForm5 catalogue", "Edit1", enter, {}, {"TForm2"});
        stays("workers: Enter on Удалить", "TForm5 catalogue", "Button3", enter,
              {QStringLiteral("question Удаление: Удалить работника?")});
        closes("workers: Enter on Выход", "TForm5 catalogue", "Button4", enter, rejected);
        closes("workers: Esc", "TForm5 catalogue", "Edit1", esc, rejected);
        closes("worker picker: Enter", "TForm5 picker", "Edit1", enter, accepted);
        closes("worker picker: Esc", "TForm5 picker", "Edit1", esc, rejected);
        stays("worker editor: Enter", "TForm2", "Edit1", enter,
              {QStringLiteral("error Ошибка: ФИО нужно заполнить!")});
        closes("worker editor: Esc", "TForm2", "Edit1", esc, rejected);
        closes("worker editor: Enter on Отмена", "TForm2", "Button2", enter, rejected);
        stays("products: Enter", "TForm3 catalogue", "Edit1", enter, {}, {"TForm7"});
        closes("products: Esc", "TForm3 catalogue", "Edit1", esc, rejected);
        closes("product picker: Enter", "TForm3 picker", "Edit1", enter, accepted);
        closes("product picker: Esc", "TForm3 picker", "Edit1", esc, rejected);
        stays("product editor: Enter", "TForm7", "Edit1", enter, {incomplete});
        closes("product editor: Esc", "TForm7", "Edit1", esc, rejected);
        stays("operations: Enter", "TForm4 catalogue", "Edit1", enter, {}, {"TForm10"});
        closes("operations: Esc", "TForm4 catalogue", "Edit1", esc, rejected);
        closes("operation picker: Enter", "TForm4 picker", "Edit1", enter, accepted);
        closes("operation picker: Esc", "TForm4 picker", "Edit1", esc, rejected);
        stays("operation editor: Enter", "TForm10", "ComboBox1", enter, {incomplete});
        closes("operation editor: Esc", "TForm10", "ComboBox1", esc, rejected);
        closes("norms: Enter", "TForm22", "DBGrid1", enter, accepted);
        closes("norms: Esc saves", "TForm22", "DBGrid1", esc, accepted);
        stays("kinds: Enter", "TForm8 catalogue", "DBGrid1", enter, {}, {"TForm9"});
        closes("kinds: Esc", "TForm8 catalogue", "DBGrid1", esc, rejected);
        closes("kind picker: Enter", "TForm8 picker", "Edit1", enter, accepted);
        closes("kind picker: Esc", "TForm8 picker", "Edit1", esc, rejected);
        stays("kind editor: Enter", "TForm9", "Edit1", enter, {incomplete});
        closes("kind editor: Esc", "TForm9", "Edit1", esc, rejected);
        closes("groups: Esc", "TForm26 catalogue", "Edit1", esc, rejected);
        closes("group picker: Enter", "TForm26 picker", "Edit1", enter, accepted);
        closes("group picker: Esc", "TForm26 picker", "Edit1", esc, rejected);
        closes("group editor: Enter", "TForm29", "Edit1", enter, accepted);
        closes("group editor: Esc", "TForm29", "Edit1", esc, rejected);
        stays("shift timesheet: Enter", "TForm19", "DBGrid1", enter, {});
        closes("shift timesheet: Esc", "TForm19", "DBGrid1", esc, rejected);
        closes("monthly timesheet: Esc", "TForm27", "DBGrid", esc, rejected);
        stays("reports: Enter", "TForm18", "DTPicker1", enter, {});
        closes("reports: Esc", "TForm18", "DTPicker1", esc, rejected);
        stays("hour-paid list: Enter", "TForm25", "DBGrid1", enter, {});
        closes("hour-paid list: Esc", "TForm25", "DBGrid1", esc, rejected);
        stays("hour-paid entry: Enter", "TForm24", "Edit6", enter, {incomplete});
        closes("hour-paid entry: Esc", "TForm24", "Edit6", esc, rejected);
    }
    void enterAndEsc()
    {
        QFETCH(QString, route);
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, closes);
        QFETCH(int, result);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, opened);
        visit(route, [&](QDialog &window) {
            auto *control = window.findChild<QWidget *>(focus);
            QVERIFY(control);
            control->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), control);
            const qsizetype before = m_modal->opened.size();
            QTest::keyClick(control, Qt::Key(key));
            QCOMPARE(m_messages->described(), messages);
            m_messages->clear();
            QCOMPARE(m_modal->opened.mid(before), opened);
            QCOMPARE(window.isVisible(), !closes);
            if (closes)
                QCOMPARE(window.result(), result);
        });
    }

    // The arrow keys move a grid's current row, and the list's current record with it, so the
    // window's commands act on the row the user moved to.
    void gridArrows_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("grid");
        const char *const rows[][3] = {
            {"shift log", "TForm1", "DBGrid2"},
            {"workers", "TForm5 catalogue", "DBGrid1"},
            {"products", "TForm3 catalogue", "DBGrid1"},
            {"operations", "TForm4 catalogue", "DBGrid1"},
            {"norms", "TForm22", "DBGrid1"},
            {"kinds", "TForm8 catalogue", "DBGrid1"},
            {"groups", "TForm26 catalogue", "DBGrid1"},
            {"shift timesheet", "TForm19", "DBGrid1"},
            {"monthly timesheet", "TForm27", "DBGrid"},
            {"hour-paid list", "TForm25", "DBGrid1"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }
    void gridArrows()
    {
        QFETCH(QString, route);
        QFETCH(QString, grid);
        visit(route, [&](QDialog &window) {
            auto *view = window.findChild<DataGrid *>(grid);
            QVERIFY(view);
            view->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), view);
            const int rows = view->gridModel()->dataset().recordCount();
            QVERIFY(rows >= 2);
            QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
            QCOMPARE(position(*view), QStringLiteral("1"));
            QTest::keyClick(view, Qt::Key_Down);
            QCOMPARE(position(*view), QStringLiteral("2"));
            QTest::keyClick(view, Qt::Key_Up);
            QCOMPARE(position(*view), QStringLiteral("1"));
            QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
            QCOMPARE(position(*view), QString::number(rows));
        });
    }

    // Up and Down in a search box move the list's current row while the text stays as typed.
    void searchBoxArrows_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("workers") << "TForm5 catalogue";
        QTest::newRow("products") << "TForm3 catalogue";
        QTest::newRow("operations") << "TForm4 catalogue";
        QTest::newRow("kind picker") << "TForm8 picker";
        QTest::newRow("groups") << "TForm26 catalogue";
    }
    void searchBoxArrows()
    {
        QFETCH(QString, route);
        visit(route, [&](QDialog &window) {
            auto *box = window.findChild<QLineEdit *>(QStringLiteral("Edit1"));
            auto *view = window.findChild<DataGrid *>(QStringLiteral("DBGrid1"));
            QCOMPARE(QApplication::focusWidget(), box);
            QCOMPARE(position(*view), QStringLiteral("1"));
            QTest::keyClick(box, Qt::Key_Down);
            QTest::keyClick(box, Qt::Key_Down);
            QCOMPARE(position(*view), QStringLiteral("3"));
            QTest::keyClick(box, Qt::Key_Up);
            QCOMPARE(position(*view), QStringLiteral("2"));
            QCOMPARE(box->text(), QString());
            QCOMPARE(QApplication::focusWidget(), box);
        });
    }

    // The whole road of a change without the mouse: Down to the second entry, Tab to "Изменить",
    // Enter; the editor opens on that entry.
    void changeTheRowMovedTo()
    {
        QString worker;
        visit(QStringLiteral("TForm1"), [&](QDialog &) {
            TForm1 &main = m_program->mainWindow();
            main.DBGrid2->setFocus(Qt::TabFocusReason);
            QTest::keyClick(main.DBGrid2, Qt::Key_Down);
            pressTab(QApplication::focusWidget(), true);
            pressTab(QApplication::focusWidget(), true);
            QCOMPARE(QApplication::focusWidget(), main.Button2);
            m_nested = [&](QDialog &) { worker = m_program->forms().Form11.Edit1->text(); };
            QTest::keyClick(main.Button2, Qt::Key_Return);
        });
        QCOMPARE(worker, QStringLiteral("Борисов Б.Б."));
    }

    // Acceptance stays with the double-click (the foremen may not accept): no key on the shift
    // grid accepts an entry.
    void keysAcceptNothing()
    {
        visit(QStringLiteral("TForm1"), [&](QDialog &) {
            TForm1 &main = m_program->mainWindow();
            main.DBGrid2->setFocus(Qt::TabFocusReason);
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_F2})
                QTest::keyClick(main.DBGrid2, key);
        });
        QCOMPARE(TestDatabase::scalar(m_program->dataModule(),
                                      QStringLiteral("select count(*) from accounts_dep.smena "
                                                     "where ok<>'no'")),
                 0);
    }

    // In the norm grid Tab moves between the cells, and Ctrl+Tab leaves it for the buttons, also
    // while a price is being typed: the typed price is kept and "Сохранить" stores it.
    void leaveNormGridWhileTyping()
    {
        visit(QStringLiteral("TForm22"), [&](QDialog &window) {
            auto *grid = window.findChild<DataGrid *>(QStringLiteral("DBGrid1"));
            auto *save = window.findChild<QPushButton *>(QStringLiteral("Button1"));
            QCOMPARE(QApplication::focusWidget(), grid);
            QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
            QTest::keyClick(grid, Qt::Key_Tab);
            QCOMPARE(grid->currentIndex().column(), 1);
            for (const QChar c : QStringLiteral("7,5"))
                typeText(QApplication::focusWidget(), QString(c));
            QVERIFY(QApplication::focusWidget() != grid); // the cell editor
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(QApplication::focusWidget(), save);
            QTest::keyClick(save, Qt::Key_Return);
            QVERIFY(!window.isVisible());
        });
        QCOMPARE(TestDatabase::scalar(m_program->dataModule(),
                                      QStringLiteral("select count(*) from accounts_dep.norm n, "
                                                     "accounts_dep.izdel i, accounts_dep.oper o "
                                                     "where n.o_id=o.id and o.i_id=i.id and "
                                                     "i.marka='ТП-1' and n.price=7.5")),
                 1);
        TestDatabase::exec(m_program->dataModule(),
                           QStringLiteral("update accounts_dep.norm set price=10 where price=7.5"));
    }

    // The "..." buttons are tab stops and open their pickers from the keyboard, with Space or
    // with Enter; the picker is worked from the keyboard too: typing searches, Enter chooses.
    void pickers_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("picker");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("chosen");
        const auto row = [](const char *name, const char *route, const char *button, int key,
                            const char *picker, const char *typed, const char *box,
                            const char *chosen) {
            QTest::newRow(name) << QString::fromUtf8(route) << QString::fromUtf8(button) << key
                                << QString::fromUtf8(picker) << QString::fromUtf8(typed)
                                << QString::fromUtf8(box) << QString::fromUtf8(chosen);
        };
        row("entry: worker", "TForm11 new", "Button3", Qt::Key_Space, "TForm5", "Бор", "Edit1",
            "Борисов Б.Б.");
        row("entry: operation", "TForm11 new", "Button4", Qt::Key_Return, "TForm4", "ТП-2", "Edit2",
            "ТП-2; Операция 2; Готовая продукция");
        row("operation: product", "TForm10", "Button3", Qt::Key_Return, "TForm3", "ТП-2", "Edit1",
            "ТП-2");
        row("operation: kind", "TForm10", "Button4", Qt::Key_Space, "TForm8", "Операция 2", "Edit2",
            "Операция 2");
        row("hour-paid entry: worker", "TForm24", "Button3", Qt::Key_Return, "TForm5", "Вас",
            "Edit1", "Васильев В.В.");
        row("hour-paid entry: group", "TForm24", "Button4", Qt::Key_Space, "TForm26", "Группа 2",
            "Edit2", "Группа 2");
    }
    void pickers()
    {
        QFETCH(QString, route);
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(QString, picker);
        QFETCH(QString, typed);
        QFETCH(QString, box);
        QFETCH(QString, chosen);
        visit(route, [&](QDialog &window) {
            auto *pick = window.findChild<QPushButton *>(button);
            QVERIFY(pick);
            for (int i = 0; i < 12 && QApplication::focusWidget() != pick; ++i)
                pressTab(QApplication::focusWidget(), true);
            QCOMPARE(QApplication::focusWidget(), pick);
            QStringList shown;
            m_nested = [&](QDialog &list) {
                shown << list.objectName();
                list.show();
                list.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&list));
                typeText(QApplication::focusWidget(), typed);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            };
            QTest::keyClick(pick, Qt::Key(key));
            QCOMPARE(shown, QStringList{picker});
            QCOMPARE(window.findChild<QLineEdit *>(box)->text(), chosen);
        });
    }

    // The menu bar opens from Alt and is worked with the arrow keys and Enter, so every window
    // the menu reaches is reached from the keyboard.
    void mainMenu_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("opened"); // empty: the main window closes
        const int alt = Qt::Key_Alt;
        const int down = Qt::Key_Down;
        const int right = Qt::Key_Right;
        const int enter = Qt::Key_Return;
        QTest::newRow("Справочники / Рабочие") << QList<int>{alt, down, enter} << "TForm5";
        QTest::newRow("Справочники / Ном. группы")
            << QList<int>{alt, down, down, down, down, down, enter} << "TForm26";
        QTest::newRow("Табель / Табель по сменам")
            << QList<int>{alt, right, down, down, enter} << "TForm19";
        QTest::newRow("Отчеты / Сводные отчеты")
            << QList<int>{alt, right, right, down, enter} << "TForm18";
        QTest::newRow("Выход") << QList<int>{alt, right, right, right, enter} << QString();
    }
    void mainMenu()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, opened);
        visit(QStringLiteral("TForm1"), [&](QDialog &window) {
            const qsizetype before = m_modal->opened.size();
            for (const int key : keys) {
                QWidget *popup = QApplication::activePopupWidget();
                QWidget *receiver = popup ? popup : QApplication::focusWidget();
                QTest::keyClick(receiver, Qt::Key(key),
                                key == Qt::Key_Alt ? Qt::AltModifier : Qt::NoModifier);
            }
            QCOMPARE(m_modal->opened.mid(before),
                     opened.isEmpty() ? QStringList() : QStringList{opened});
            QCOMPARE(window.isVisible(), !opened.isEmpty());
        });
    }

    // The shift is chosen with the arrow keys, as within any group of radio buttons; the grid then
    // shows that shift.
    void shiftByArrows()
    {
        visit(QStringLiteral("TForm1"), [&](QDialog &) {
            TForm1 &main = m_program->mainWindow();
            QCOMPARE(QApplication::focusWidget(), main.RadioButton1);
            QTest::keyClick(main.RadioButton1, Qt::Key_Right);
            QCOMPARE(QApplication::focusWidget(), main.RadioButton2);
            QVERIFY(main.RadioButton2->isChecked());
            QCOMPARE(main.ShiftNo, 2);
            QCOMPARE(main.DBGrid2->gridModel(), main.DataSource2);
            QTest::keyClick(main.RadioButton2, Qt::Key_Left);
            QCOMPARE(main.ShiftNo, 1);
            QCOMPARE(main.DBGrid2->gridModel(), main.DataSource1);
        });
    }

    // The report's product kind is chosen with the arrow keys.
    void productKindByArrows()
    {
        visit(QStringLiteral("TForm18"), [&](QDialog &) {
            TForm18 &reports = m_program->forms().Form18;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QCOMPARE(reports.RadioGroup1->itemIndex(), 1);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QCOMPARE(reports.RadioGroup1->itemIndex(), 2);
        });
    }

    // The month and year boxes change with the arrow keys and load the month they show.
    void monthByArrows_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<int>("loaded");
        const auto row = [](const char *name, const char *route, const char *box,
                            const char *parameter, int loaded) {
            QTest::newRow(name) << QString::fromUtf8(route) << QString::fromUtf8(box)
                                << QString::fromUtf8(parameter) << loaded;
        };
        row("shift timesheet: month", "TForm19", "ComboBox1", "mnth", 4);
        row("shift timesheet: year", "TForm19", "ComboBox2", "yea", 2027);
        row("monthly timesheet: month", "TForm27", "ComboBox1", "i_month", 4);
    }
    void monthByArrows()
    {
        QFETCH(QString, route);
        QFETCH(QString, box);
        QFETCH(QString, parameter);
        QFETCH(int, loaded);
        visit(route, [&](QDialog &window) {
            auto *combo = window.findChild<QComboBox *>(box);
            combo->setFocus(Qt::TabFocusReason);
            QTest::keyClick(combo, Qt::Key_Down);
            const Dataset &query = route == QLatin1String("TForm19")
                                       ? m_program->dataModule().timesheetQuery(1)
                                       : *m_program->forms().Form27.H_Tabel0;
            QVERIFY(query.isOpen());
            QCOMPARE(query.param(parameter).toInt(), loaded);
        });
    }

    // A day changed from the keyboard in the date picker takes effect on Enter: the list shows
    // that day, a Saturday ticks "Выходной", and the shift log hands the focus to its grid.
    void datePickersOnEnter_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("picker");
        QTest::newRow("shift log") << QStringLiteral("TForm1") << QStringLiteral("DateT");
        QTest::newRow("hour-paid list") << QStringLiteral("TForm25") << QStringLiteral("DTPcker1");
    }
    void datePickersOnEnter()
    {
        QFETCH(QString, route);
        QFETCH(QString, picker);
        const QDate saturday = m_today.addDays(4);
        QCOMPARE(saturday.dayOfWeek(), int(Qt::Saturday));
        visit(route, [&](QDialog &window) {
            auto *date = window.findChild<QDateEdit *>(picker);
            auto *dayOff = window.findChild<QAbstractButton *>(QStringLiteral("CBox1"));
            date->setFocus(Qt::TabFocusReason);
            for (int day = 0; day < 4; ++day)
                QTest::keyClick(date, Qt::Key_Up);
            QCOMPARE(date->date(), saturday);
            QTest::keyClick(date, Qt::Key_Return);
            QVERIFY(dayOff->isChecked());
            QVERIFY(window.isVisible());
            if (route == QLatin1String("TForm1")) {
                QCOMPARE(m_program->dataModule().shiftQuery(1).param(QStringLiteral("data")),
                         QVariant(saturday));
                QCOMPARE(QApplication::focusWidget(), m_program->mainWindow().DBGrid2);
            } else {
                QCOMPARE(m_program->forms().Form25.fatigue->param(QStringLiteral("d_date")),
                         QVariant(saturday));
            }
        });
    }

private:
    // Opens the window of a route as a user does and runs check while it is shown and active.
    // Windows opened from it meanwhile are recorded (m_modal->opened) and closed at once, unless
    // m_nested handles them.
    void visit(const QString &route, const std::function<void(QDialog &)> &check)
    {
        const QString target = route.section(QLatin1Char(' '), 0, 0);
        const QStringList via = routeTo(route);
        QVERIFY2(!via.isEmpty() || target == QLatin1String("TForm1") ||
                     target == QLatin1String("TForm23"),
                 qPrintable(route));
        bool reached = false;
        // Questions are answered "Нет"; a message nobody expected fails the test.
        MessageRecorder messages;
        messages.answers.fill(false, 10);
        const auto inspect = [&](QDialog &dialog) {
            reached = true;
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            check(dialog);
            dialog.hide();
        };
        ModalScript modal([&](QDialog &dialog) {
            if (reached) {
                if (m_nested)
                    m_nested(dialog);
                return;
            }
            if (dialog.objectName() == target) {
                inspect(dialog);
                return;
            }
            for (const QString &step : via) {
                if (step.section(QLatin1Char('.'), 0, 0) != dialog.objectName())
                    continue;
                const QString control =
                    step.section(QLatin1Char('.'), 1).section(QLatin1Char('='), 0, 0);
                QObject *object = dialog.findChild<QObject *>(control);
                QVERIFY2(object, qPrintable(step));
                if (step.contains(QLatin1Char('=')))
                    typeText(qobject_cast<QWidget *>(object), step.section(QLatin1Char('='), 1));
                else if (auto *action = qobject_cast<QAction *>(object))
                    action->trigger();
                else if (auto *button = qobject_cast<QAbstractButton *>(object))
                    button->click();
                else if (auto *grid = qobject_cast<DataGrid *>(object))
                    Q_EMIT grid->doubleClicked(grid->currentIndex());
                if (reached)
                    return;
            }
        });
        m_modal = &modal;
        m_messages = &messages;
        if (target == QLatin1String("TForm23")) {
            inspect(m_program->loginDialog());
        } else {
            TForm23 &login = m_program->loginDialog();
            login.Edit1->setText(QStringLiteral("9073"));
            login.Button1->click();
        }
        m_modal = nullptr;
        m_messages = nullptr;
        m_nested = {};
        QCOMPARE(messages.described(), QStringList());
        QVERIFY2(reached, qPrintable(route + QStringLiteral(": ") +
                                     modal.opened.join(QStringLiteral(", "))));
    }

    const QDate m_today{2026, 3, 10}; // a Tuesday
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    ModalScript *m_modal = nullptr;
    MessageRecorder *m_messages = nullptr;
    std::function<void(QDialog &)> m_nested;
};

TABEL_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
