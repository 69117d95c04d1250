#include "shiftlog/shift_log.h"

#include "db/batch.h"
#include "db/change_feed.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "db/production_calendar.h"
#include "shiftlog/entry_history.h"
#include "shiftlog/shift_entries.h"
#include "shiftlog/shift_entry_editor.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/closed_mark.h"
#include "ui/data_grid.h"
#include "ui/day_box_watch.h"
#include "ui/error_guard.h"
#include "ui/live_refresh.h"
#include "ui/version_watch.h"
#include "ui/window_setup.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

namespace {

const QColor Green(0, 128, 0);
const QColor Red(255, 0, 0);

bool isAccepted(const QString &ok)
{
    const QString value = ok.trimmed();
    return value == QLatin1String("ok") || value == QStringLiteral("да");
}

// A caption in bold on a coloured face, or the standard look.
void paintMarked(QAbstractButton *button, bool marked, const QColor &colour)
{
    QFont font = button->font();
    font.setBold(marked);
    button->setFont(font);
    button->setAutoFillBackground(marked);
    button->setStyleSheet(marked ? QStringLiteral("background-color: %1;").arg(colour.name())
                                 : QString());
}

} // namespace

TForm1::TForm1(TDataModule6 &dm, VersionWatch &versionWatch, ShiftLogLinks &links, QWidget *parent)
    : QDialog(parent)
    , RadioButton1(new QRadioButton(QStringLiteral("Смена №1"), this))
    , RadioButton2(new QRadioButton(QStringLiteral("Смена №2"), this))
    , RadioButton3(new QRadioButton(QStringLiteral("Смена №3"), this))
    , RadioButton4(new QRadioButton(QStringLiteral("Переработка"), this))
    , DateT(new QDateEdit(this))
    , CBox1(new QCheckBox(QStringLiteral("Выходной"), this))
    , DBGrid2(new DataGrid(this))
    , Button1(new QPushButton(QStringLiteral("Добавить"), this))
    , Button2(new QPushButton(QStringLiteral("Изменить"), this))
    , Button3(new QPushButton(QStringLiteral("Удалить"), this))
    , Button8(new QPushButton(QStringLiteral("Обновить"), this))
    , Button5(new QPushButton(QStringLiteral("Ср.сд./хоз. работы"), this))
    , Button4(new QPushButton(QStringLiteral("Выход"), this))
    , Timer1(new QTimer(this))
    , HistoryButton(new QPushButton(QStringLiteral("История"), this))
    , HistoryAction(new QAction(QStringLiteral("История"), this))
    , ClosedMark(closedMonthMark(*DBGrid2, this))
    , Live(new LiveRefresh(
          dm.Changes, *this,
          [this](const TableChange &change) {
              return m_shownDate.isValid() &&
                     (change.touchesDay(QStringLiteral("smena"), m_shownDate) ||
                      change.touchesDay(QStringLiteral("closed_month"), m_shownDate));
          },
          [this] {
              rereadShiftQueries();
              // Another copy may have closed or opened the day's month.
              m_dayClosed = closedmonths::isClosed(m_dm, m_shownDate.month(), m_shownDate.year());
              enableCommands();
          }))
    , BuildDate(versionWatch.build().date)
    , BuildTime(versionWatch.build().time)
    , m_dm(dm)
    , m_versionWatch(versionWatch)
    , m_links(links)
    , updtOK(std::make_unique<Command>(dm.ADO_DB, shiftentries::acceptanceStatement()))
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Табель"));
    const std::pair<QObject *, const char *> names[] = {{RadioButton1, "RadioButton1"},
                                                        {RadioButton2, "RadioButton2"},
                                                        {RadioButton3, "RadioButton3"},
                                                        {RadioButton4, "RadioButton4"},
                                                        {DateT, "DateT"},
                                                        {CBox1, "CBox1"},
                                                        {DBGrid2, "DBGrid2"},
                                                        {Button1, "Button1"},
                                                        {Button2, "Button2"},
                                                        {Button3, "Button3"},
                                                        {Button8, "Button8"},
                                                        {Button5, "Button5"},
                                                        {Button4, "Button4"},
                                                        {Timer1, "Timer1"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));
    HistoryButton->setObjectName(QStringLiteral("HistoryButton"));
    HistoryAction->setObjectName(QStringLiteral("HistoryAction"));

    DateT->setCalendarPopup(true);
    DateT->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateT->setDateRange(QDate(2007, 1, 1), QDate(Clock::today().year() + 1, 12, 31));
    DateT->setAccessibleName(QStringLiteral("Дата"));
    DBGrid2->setAccessibleName(QStringLiteral("Позиции смены"));
    RadioButton1->setChecked(true);
    // Bold captions (the marked shift, a ticked "Выходной") must not be cut off.
    QFont bold = font();
    bold.setBold(true);
    for (QAbstractButton *button : std::initializer_list<QAbstractButton *>{
             RadioButton1, RadioButton2, RadioButton3, RadioButton4, CBox1})
        button->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(button->text()) + 32);
    for (QPushButton *button :
         {Button1, Button2, Button3, Button8, Button5, Button4, HistoryButton})
        button->setAutoDefault(false);
    DBGrid2->addAction(HistoryAction);
    DBGrid2->setContextMenuPolicy(Qt::ActionsContextMenu);
    Timer1->setInterval(30000);

    buildMenu();
    buildGrid();

    auto *top = new QHBoxLayout;
    for (QWidget *widget :
         {static_cast<QWidget *>(RadioButton1), static_cast<QWidget *>(RadioButton2),
          static_cast<QWidget *>(RadioButton3), static_cast<QWidget *>(RadioButton4)})
        top->addWidget(widget);
    top->addSpacing(24);
    top->addWidget(DateT);
    top->addWidget(CBox1);
    top->addSpacing(24);
    top->addWidget(ClosedMark);
    top->addStretch(1);
    auto *bottom = new QHBoxLayout;
    for (QPushButton *button : {Button1, Button2, Button3, Button8, Button5, HistoryButton})
        bottom->addWidget(button);
    bottom->addWidget(Live->mark());
    bottom->addStretch(1);
    bottom->addWidget(Button4);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setMenuBar(MainMenu);
    layout->addLayout(top);
    layout->addWidget(DBGrid2, 1);
    layout->addLayout(bottom);
    applyGridFrame(*this, QSize(1281, 585));
    paintRadioButtons();

    const std::pair<QRadioButton *, int> shifts[] = {
        {RadioButton1, 1}, {RadioButton2, 2}, {RadioButton3, 3}, {RadioButton4, 4}};
    for (const auto &[button, shift] : shifts) {
        connect(button, &QRadioButton::toggled, this, [this, shift = shift](bool checked) {
            if (checked)
                guard::run([this, shift] { RadioButtonClick(shift); });
        });
    }
    connect(CBox1, &QCheckBox::toggled, this, [this] { CBox1Click(); });
    // The grid lists the day the box shows: a pick at once, typing and stepping after a pause.
    m_dayWatch = new DayBoxWatch(
        *DateT, *DBGrid2, [this] { return m_shownDate; }, this);
    guard::connect(m_dayWatch, &DayBoxWatch::picked, this, &TForm1::DateTChange);
    guard::connect(m_dayWatch, &DayBoxWatch::settled, this, [this] { showDay(DateT->date()); });
    guard::connect(DBGrid2, &QAbstractItemView::doubleClicked, this, &TForm1::DBGrid2DblClick);
    guard::connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    guard::connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    guard::connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    guard::connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
    guard::connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    // Tab follows the buttons as they stand.
    setTabOrder(Button5, HistoryButton);
    setTabOrder(HistoryButton, Button4);
    guard::connect(HistoryButton, &QPushButton::clicked, this, &TForm1::HistoryClick);
    guard::connect(HistoryAction, &QAction::triggered, this, &TForm1::HistoryClick);
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    // The version check runs from start-up on, also while only the login dialog is shown.
    Timer1->start();
}

TForm1::~TForm1()
{
    // Before the box and the list go: their last events must not reach it.
    delete m_dayWatch;
}

void TForm1::buildMenu()
{
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    const auto item = [](QMenu *menu, const QString &caption, const char *name) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    N2 = MainMenu->addMenu(QStringLiteral("Справочники"));
    N2->setObjectName(QStringLiteral("N2"));
    N1 = item(N2, QStringLiteral("Рабочие"), "N1");
    N3 = item(N2, QStringLiteral("Изделия"), "N3");
    N4 = item(N2, QStringLiteral("Цены"), "N4");
    N6 = item(N2, QStringLiteral("Операции"), "N6");
    N8 = item(N2, QStringLiteral("Ном. группы"), "N8");
    CalendarItem = item(N2, QStringLiteral("Производственный календарь"), "CalendarItem");
    N11 = MainMenu->addMenu(QStringLiteral("Табель"));
    N11->setObjectName(QStringLiteral("N11"));
    N9 = item(N11, QStringLiteral("Табель сделка"), "N9");
    N13 = item(N11, QStringLiteral("Табель по сменам"), "N13");
    N14 = item(N11, QStringLiteral("Табель хоз. работ"), "N14");
    N15 = item(N11, QStringLiteral("Табель ср. сдельная"), "N15");
    N17 = item(N11, QStringLiteral("Общий табель"), "N17");
    N7 = MainMenu->addMenu(QStringLiteral("Отчеты"));
    N7->setObjectName(QStringLiteral("N7"));
    N10 = item(N7, QStringLiteral("Сводные отчеты"), "N10");
    N5 = MainMenu->addAction(QStringLiteral("Выход"));
    N5->setObjectName(QStringLiteral("N5"));
    connect(N5, &QAction::triggered, this, [this] { close(); });
    const std::pair<QAction *, void (TForm1::*)()> items[] = {
        {N1, &TForm1::N1Click},   {N4, &TForm1::N4Click},
        {N3, &TForm1::N3Click},   {N6, &TForm1::N6Click},
        {N8, &TForm1::N8Click},   {N13, &TForm1::N13Click},
        {N10, &TForm1::N10Click}, {N9, &TForm1::N9Click},
        {N14, &TForm1::N14Click}, {N15, &TForm1::N15Click},
        {N17, &TForm1::N17Click}, {CalendarItem, &TForm1::CalendarItemClick}};
    for (const auto &[menuItem, handler] : items)
        guard::connect(menuItem, &QAction::triggered, this, handler);
}

void TForm1::N1Click()
{
    m_links.open(ShiftLogLink::Workers, DateT->date(), this);
}

void TForm1::N4Click()
{
    m_links.open(ShiftLogLink::Operations, DateT->date(), this);
}

void TForm1::N3Click()
{
    m_links.open(ShiftLogLink::Products, DateT->date(), this);
}

void TForm1::N6Click()
{
    m_links.open(ShiftLogLink::OperationKinds, DateT->date(), this);
}

void TForm1::N13Click()
{
    // The month of the day shown, not of today.
    m_links.open(ShiftLogLink::ShiftTimesheet, DateT->date(), this);
}

void TForm1::N9Click()
{
    m_links.open(ShiftLogLink::PieceWorkTimesheet, DateT->date(), this);
}

void TForm1::N14Click()
{
    m_links.open(ShiftLogLink::HouseholdTimesheet, DateT->date(), this);
}

void TForm1::N15Click()
{
    m_links.open(ShiftLogLink::AveragePieceRateTimesheet, DateT->date(), this);
}

void TForm1::N17Click()
{
    m_links.open(ShiftLogLink::OverallTimesheet, DateT->date(), this);
}

void TForm1::N10Click()
{
    m_links.open(ShiftLogLink::SummaryReports, DateT->date(), this);
}

void TForm1::N8Click()
{
    m_links.open(ShiftLogLink::NomenclatureGroups, DateT->date(), this);
}

void TForm1::CalendarItemClick()
{
    m_links.open(ShiftLogLink::ProductionCalendar, DateT->date(), this);
}

void TForm1::buildGrid()
{
    const Qt::Alignment centre = Qt::AlignCenter;
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const QVector<GridColumn> columns{
        {QStringLiteral("fio"), QStringLiteral("Фамилия И.О."), 250, left},
        {QStringLiteral("marka"), QStringLiteral("Марка изделия"), 260, left},
        {QStringLiteral("vid"), QStringLiteral("Операция"), 155, left},
        {QStringLiteral("nmn"), QStringLiteral("Вид"), 157, left},
        {QStringLiteral("color"), QStringLiteral("Цвет"), 0, centre},
        {QStringLiteral("time"), QStringLiteral("Часы"), 0, right},
        {QStringLiteral("kol_vo"), QStringLiteral("Кол-во"), 57, right},
        {QStringLiteral("brak"), QStringLiteral("Брак"), 49, right},
        {QStringLiteral("summa"), QStringLiteral("Итого (р.)"), 78, right},
        {QStringLiteral("prize"), QStringLiteral("Премия (%)"), 0, right, {}, false},
        {QStringLiteral("ok"), QStringLiteral("OK"), 37, centre},
        {QStringLiteral("vvod"), QStringLiteral("Заведен"), 72, centre},
    };
    DatasetModel **sources[] = {&DataSource1, &DataSource2, &DataSource3, &DataSource4};
    for (int shift = 1; shift <= 4; ++shift) {
        auto *model = new DatasetModel(m_dm.shiftQuery(shift), columns, this);
        model->setObjectName(QStringLiteral("DataSource%1").arg(shift));
        Dataset *query = &m_dm.shiftQuery(shift);
        // The "OK" cell: bold, green when accepted, red otherwise.
        model->setStyler([query](int recNo, const GridColumn &column, int role) -> QVariant {
            if (column.field != QLatin1String("ok"))
                return {};
            if (role == Qt::FontRole) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            if (role == Qt::ForegroundRole)
                return QBrush(isAccepted(query->textAt(recNo - 1, query->columnOf(column.field)))
                                  ? Green
                                  : Red);
            return {};
        });
        *sources[shift - 1] = model;
    }
    DBGrid2->show(DataSource1);
    DBGrid2->setSortingByTitles();
}

Dataset &TForm1::shiftQuery() const
{
    return m_dm.shiftQuery(ShiftNo);
}

void TForm1::applyRole(Role role)
{
    m_role = role;
    const auto disable = [](std::initializer_list<QWidget *> widgets) {
        for (QWidget *widget : widgets)
            widget->setEnabled(false);
    };
    // The items go with their menu: a disabled menu alone still lets QAction::trigger and a
    // shortcut run its items.
    const auto disableMenu = [](QMenu *menu) {
        menu->menuAction()->setEnabled(false);
        for (QAction *item : menu->actions())
            item->setEnabled(false);
    };
    switch (role) {
    case Role::Planning:
        disable({Button1, Button2, Button3, RadioButton1, RadioButton2, RadioButton3, RadioButton4,
                 CBox1, Button8, DBGrid2});
        disableMenu(N2);
        disableMenu(N11);
        DateT->setEnabled(false);
        break;
    case Role::Foremen:
        disable({Button2, Button3});
        disableMenu(N2);
        disableMenu(N11);
        break;
    case Role::Warehouse:
        disable({Button1, Button2, Button3});
        disableMenu(N2);
        disableMenu(N11);
        break;
    case Role::Full:
    case Role::None:
        break;
    }
    const bool adds = role != Role::Planning && role != Role::Warehouse;
    const bool changes = role == Role::Full || role == Role::None;
    m_roleAllows = {adds, changes, changes};
    enableCommands();
}

void TForm1::enableCommands()
{
    QPushButton *const buttons[] = {Button1, Button2, Button3};
    for (int i = 0; i < 3; ++i)
        buttons[i]->setEnabled(m_roleAllows[i] && !m_dayClosed);
    ClosedMark->setVisible(m_dayClosed);
}

void TForm1::FormActivate()
{
    const QDate today = Clock::today();
    const bool sameDay = today == m_shownDate;
    setDate(today);
    // Back on the day it showed (from an editor, say), each list stays on the entry it was on.
    const ShownEntries current = sameDay ? shownEntries() : ShownEntries{};
    for (int shift = 1; shift <= 4; ++shift) {
        Dataset &query = m_dm.shiftQuery(shift);
        query.close();
        query.setFiltered(false);
    }
    const bool dayOff = openShiftQueries(today);
    // A tick set by hand stays while the day does not change; a new day takes its own status in
    // the production calendar.
    if (!sameDay)
        CBox1->setChecked(dayOff);
    else if (dayOff)
        CBox1->setChecked(true);
    standOn(current);
}

TForm1::ShownEntries TForm1::shownEntries() const
{
    ShownEntries current{};
    for (int shift = 1; shift <= 4; ++shift) {
        const Dataset &query = m_dm.shiftQuery(shift);
        if (query.isOpen() && !query.isEmpty())
            current[shift - 1] = query.integer(QStringLiteral("id"));
    }
    return current;
}

void TForm1::standOn(const ShownEntries &entries)
{
    for (int shift = 1; shift <= 4; ++shift)
        if (entries[shift - 1] != 0)
            m_dm.shiftQuery(shift).locate(QStringLiteral("id"), entries[shift - 1]);
}

void TForm1::setDate(const QDate &day)
{
    const QSignalBlocker blocker(DateT);
    DateT->setDate(day);
}

bool TForm1::openShiftQueries(const QDate &day)
{
    QList<Dataset *> lists;
    for (int shift = 1; shift <= 4; ++shift) {
        Dataset &query = m_dm.shiftQuery(shift);
        query.setParam(QStringLiteral("data"), day);
        lists << &query;
    }
    // The day's four lists, the day's status and its month's closing come in one answer.
    Dataset dayStatus(m_dm.ADO_DB);
    calendar::askDayAndMonth(dayStatus, day);
    Batch(m_dm.ADO_DB).open(lists).open(dayStatus).run();
    m_shownDate = day;
    Live->fresh();
    const calendar::DayAndMonth status = calendar::dayAndMonthFrom(dayStatus, day);
    m_dayClosed = status.monthClosed;
    enableCommands();
    return status.day.dayOff;
}

void TForm1::DateTChange()
{
    showDay(DateT->date());
    DBGrid2->setFocus();
}

void TForm1::showDay(const QDate &day)
{
    BusyScope busy;
    CBox1->setChecked(openShiftQueries(day));
}

void TForm1::paintRadioButtons()
{
    const std::pair<QRadioButton *, int> shifts[] = {
        {RadioButton1, 1}, {RadioButton2, 2}, {RadioButton3, 3}, {RadioButton4, 4}};
    const int current = (ShiftNo >= 2 && ShiftNo <= 4) ? ShiftNo : 1;
    for (const auto &[button, shift] : shifts)
        paintMarked(button, shift == current, Green);
}

void TForm1::RadioButtonClick(int shift)
{
    DatasetModel *sources[] = {DataSource1, DataSource2, DataSource3, DataSource4};
    DBGrid2->show(sources[shift - 1]);
    ShiftNo = shift;
    paintRadioButtons();
}

void TForm1::CBox1Click()
{
    paintMarked(CBox1, CBox1->isChecked(), Red);
}

void TForm1::DBGrid2DblClick()
{
    if (m_role == Role::Foremen || m_dayClosed)
        return;
    CurrentShiftQuery = &shiftQuery();
    Dataset &query = *CurrentShiftQuery;
    if (query.isEmpty())
        return;
    const QString ok =
        isAccepted(query.text(QStringLiteral("ok"))) ? QStringLiteral("no") : QStringLiteral("ok");
    shiftentries::setAcceptance(*updtOK, query.integer(QStringLiteral("id")), ok);
    query.reopen();
}

void TForm1::Button1Click()
{
    CurrentShiftQuery = &shiftQuery();
    TForm11 &editor = m_links.entryEditor();
    prepareEditor(editor);
    editor.prepareNew(DateT->date());
    runModal(editor, this);
    standOnSaved(editor);
}

void TForm1::Button2Click()
{
    CurrentShiftQuery = &shiftQuery();
    Dataset &query = *CurrentShiftQuery;
    if (query.isEmpty())
        return;
    TForm11 &editor = m_links.entryEditor();
    prepareEditor(editor);
    editor.prepareChange(query);
    // Activation reads the list again and stays on the changed entry while the day is the same.
    runModal(editor, this);
    standOnSaved(editor);
}

void TForm1::standOnSaved(const TForm11 &editor)
{
    // The lists were read again as the editor closed: the saved entry is there when it belongs
    // to the day shown.
    if (editor.SavedId != 0)
        shiftQuery().locate(QStringLiteral("id"), editor.SavedId);
}

void TForm1::prepareEditor(TForm11 &editor) const
{
    editor.SavedId = 0;
    editor.ShiftNo = ShiftNo;
    editor.DayOff = CBox1->isChecked();
    editor.MainDay = m_shownDate;
}

void TForm1::Button3Click()
{
    Dataset &query = shiftQuery();
    if (query.isEmpty() || query.text(QStringLiteral("id")).isEmpty())
        return;
    if (!messages::question(QStringLiteral("Удалить позицию из списка?"))) {
        query.reopen();
        return;
    }
    const qint64 id = query.integer(QStringLiteral("id"));
    const int recNo = query.recNo();
    // The entry and its day's hours go together: the re-posting is of the row's own worker, shift
    // and day as stored, whatever the window shows meanwhile. An entry that another copy deleted
    // first is simply gone.
    shiftentries::remove(m_dm, id);
    query.reopen();
    query.setRecNo(recNo);
}

void TForm1::Button8Click()
{
    BusyScope busy;
    rereadShiftQueries();
}

void TForm1::rereadShiftQueries()
{
    // Each list stays on its entry when it is still there; the four come in one answer.
    const ShownEntries current = shownEntries();
    QList<Dataset *> lists;
    for (int shift = 1; shift <= 4; ++shift)
        lists << &m_dm.shiftQuery(shift);
    Batch(m_dm.ADO_DB).open(lists).run();
    standOn(current);
    Live->fresh();
}

void TForm1::Button5Click()
{
    m_links.open(ShiftLogLink::HourPaidEntries, DateT->date(), this);
}

void TForm1::HistoryClick()
{
    const Dataset &query = shiftQuery();
    if (query.isEmpty() || query.text(QStringLiteral("id")).isEmpty())
        return;
    if (!m_history)
        m_history = new EntryHistory(m_dm, this);
    m_history->load(QLatin1String(EntryHistory::ShiftEntries), query.integer(QStringLiteral("id")));
    // The log stays on its day and entry: it has nothing to read again.
    runModal(*m_history);
}

void TForm1::Button4Click()
{
    close();
}

void TForm1::Timer1Timer()
{
    guard::runFromTimer([this] { m_versionWatch.check(); });
}
