#include "timesheets/shift_timesheet.h"

#include "db/batch.h"
#include "db/change_feed.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "output/export_progress.h"
#include "output/xlsx_export.h"
#include "reports/hours_table_layout.h"
#include "timesheets/rebuild_runner.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/live_refresh.h"
#include "ui/window_setup.h"

#include <QBrush>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QColor Red(255, 0, 0);
const QColor Silver(192, 192, 192);
const QColor Busy(192, 220, 192);
const QColor TotalBackground(225, 228, 255);

QVector<GridColumn> timesheetColumns()
{
    QVector<GridColumn> columns{{QStringLiteral("fio"), QStringLiteral("Фамилия И. О."), 208}};
    for (int day = 1; day <= 31; ++day)
        columns.append({QStringLiteral("d%1").arg(day), QString::number(day), 20, Qt::AlignCenter});
    columns.append({QStringLiteral("summ"), QStringLiteral("Итого"), 47, Qt::AlignCenter});
    return columns;
}

} // namespace

TForm19::TForm19(TDataModule6 &dm, TForm15 &hoursTable, QWidget *parent)
    : QDialog(parent)
    , PageControl1(new QTabWidget(this))
    , TabSheet1(new QWidget)
    , TabSheet2(new QWidget)
    , TabSheet3(new QWidget)
    , DBGrid1(new DataGrid(TabSheet1))
    , DBGrid2(new DataGrid(TabSheet2))
    , DBGrid3(new DataGrid(TabSheet3))
    , Button6(new QPushButton(QStringLiteral("Печать"), this))
    , Button2(new QPushButton(QStringLiteral("Excel"), TabSheet1))
    , ComboBox1(new QComboBox(this))
    , ComboBox2(new QComboBox(this))
    , Button5(new QPushButton(QStringLiteral("Обновить"), this))
    , Button1(new QPushButton(QStringLiteral("Перестроить"), TabSheet1))
    , PB(new QProgressBar(TabSheet1))
    , Button4(new QPushButton(QStringLiteral("Выход"), this))
    , m_dm(dm)
    , m_hoursTable(hoursTable)
    , m_days(std::make_unique<MonthDays>(1, Clock::today().year()))
{
    setObjectName(QStringLiteral("TForm19"));
    setWindowTitle(QStringLiteral("Табель по времени"));
    const std::pair<QObject *, const char *> names[] = {{PageControl1, "PageControl1"},
                                                        {TabSheet1, "TabSheet1"},
                                                        {TabSheet2, "TabSheet2"},
                                                        {TabSheet3, "TabSheet3"},
                                                        {DBGrid1, "DBGrid1"},
                                                        {DBGrid2, "DBGrid2"},
                                                        {DBGrid3, "DBGrid3"},
                                                        {Button6, "Button6"},
                                                        {Button2, "Button2"},
                                                        {ComboBox1, "ComboBox1"},
                                                        {ComboBox2, "ComboBox2"},
                                                        {Button5, "Button5"},
                                                        {Button1, "Button1"},
                                                        {PB, "PB"},
                                                        {Button4, "Button4"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));
    for (QPushButton *button : {Button6, Button2, Button5, Button1, Button4})
        button->setAutoDefault(false);
    ComboBox1->addItems(MonthDays::monthNames());
    ComboBox1->setAccessibleName(QStringLiteral("Месяц"));
    // Every year the timesheets can hold, up to the next one.
    for (int year = 2007; year <= Clock::today().year() + 1; ++year)
        ComboBox2->addItem(QString::number(year));
    ComboBox2->setCurrentIndex(-1);
    ComboBox2->setAccessibleName(QStringLiteral("Год"));
    for (QComboBox *box : {ComboBox1, ComboBox2})
        box->setFocusPolicy(Qt::StrongFocus);
    PB->setMinimum(1);
    PB->setVisible(false);

    PageControl1->addTab(TabSheet1, QStringLiteral("Смена №1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Смена №2"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Смена №3"));
    DataGrid *grids[] = {DBGrid1, DBGrid2, DBGrid3};
    QWidget *tabs[] = {TabSheet1, TabSheet2, TabSheet3};
    for (int shift = 1; shift <= 3; ++shift) {
        DataGrid *grid = grids[shift - 1];
        grid->setAccessibleName(QStringLiteral("Табель смены №%1").arg(shift));
        m_models[shift - 1] = grid->bind(m_dm.timesheetQuery(shift), timesheetColumns());
        grid->setSortingByTitles();
        m_models[shift - 1]->setStyler(
            [this, shift](int recNo, const GridColumn &column, int role) {
                return cellStyle(recNo, shift, column.field, role);
            });
        m_models[shift - 1]->setHeaderStyler([this](int section, int role) -> QVariant {
            if (section < 1 || section > 31)
                return {};
            const MonthDays::Day &day = m_days->days[section - 1];
            // A holiday's name on hover over its day.
            if (role == Qt::ToolTipRole && day.inMonth && !day.name.isEmpty())
                return day.name;
            if (role != Qt::ForegroundRole)
                return {};
            if (!day.inMonth)
                return QBrush(Silver);
            return day.dayOff ? QVariant(QBrush(Red)) : QVariant();
        });
        auto *layout = new QVBoxLayout(tabs[shift - 1]);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(grid, 1);
        if (shift == 1) {
            auto *row = new QHBoxLayout;
            row->addWidget(Button1);
            row->addWidget(PB, 1);
            row->addStretch(1);
            row->addWidget(Button2);
            layout->addLayout(row);
        }
    }
    Live = new LiveRefresh(
        dm.Changes, *this,
        [this](const TableChange &change) {
            return m_dm.timesheetQuery(1).isOpen() &&
                   touchesTimesheetMonth(change, month(), year());
        },
        [this] { rereadMonth(); });
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Button6);
    bottom->addStretch(1);
    bottom->addWidget(ComboBox1);
    bottom->addWidget(ComboBox2);
    bottom->addWidget(Button5);
    bottom->addWidget(Live->mark());
    bottom->addStretch(1);
    bottom->addWidget(Button4);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(bottom);
    applyGridFrame(*this, QSize(958, 577));
    // Tab goes the way the controls stand: the tabs, the grid of the tab shown with the buttons
    // under it, then the bottom row.
    const QList<QWidget *> chain{PageControl1, DBGrid1,   Button1,   Button2, DBGrid2, DBGrid3,
                                 Button6,      ComboBox1, ComboBox2, Button5, Button4};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));

    guard::connect(ComboBox1, &QComboBox::activated, this, &TForm19::ComboBox1Change);
    guard::connect(ComboBox2, &QComboBox::activated, this, &TForm19::ComboBox1Change);
    guard::connect(Button5, &QPushButton::clicked, this, &TForm19::Button5Click);
    guard::connect(Button1, &QPushButton::clicked, this, &TForm19::Button1Click);
    guard::connect(Button6, &QPushButton::clicked, this, &TForm19::Button6Click);
    guard::connect(Button2, &QPushButton::clicked, this, &TForm19::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
}

TForm19::~TForm19() = default;

int TForm19::month() const
{
    return ComboBox1->currentIndex() + 1;
}

int TForm19::year() const
{
    return ComboBox2->currentText().toInt();
}

void TForm19::selectMonth(int month, int year)
{
    ComboBox1->setCurrentIndex(month - 1);
    // The list ends with next year; a year outside it leaves the box as it was.
    const int index = ComboBox2->findText(QString::number(year));
    if (index >= 0)
        ComboBox2->setCurrentIndex(index);
    ComboBox1Change();
}

void TForm19::showMonth(const QDate &day, ActivationHandler *opener)
{
    selectMonth(day.month(), day.year());
    runModal(*this, opener);
    m_dm.H_Tabel_1.close();
    m_dm.H_Tabel_2.close();
    m_dm.H_Tabel_3.close();
}

void TForm19::FormActivate()
{
    Button2->setText(QStringLiteral("Excel"));
}

void TForm19::ComboBox1Change()
{
    if (ComboBox2->currentIndex() < 0) {
        messages::error(QStringLiteral("Ошибка"), QStringLiteral("Выберите год."));
        return;
    }
    m_days = std::make_unique<MonthDays>(month(), year());
    QList<Dataset *> shifts;
    for (int shift = 1; shift <= 3; ++shift) {
        Dataset &query = m_dm.timesheetQuery(shift);
        query.setParam(QStringLiteral("mnth"), month());
        query.setParam(QStringLiteral("yea"), year());
        query.setParam(QStringLiteral("date1"), m_days->first);
        query.setParam(QStringLiteral("date2"), m_days->next);
        shifts << &query;
    }
    // The three shifts' grids, the calendar's days and whether the month is closed: one answer.
    Dataset calendarDays(m_dm.ADO_DB);
    Dataset closed(m_dm.ADO_DB);
    MonthDays::askStored(calendarDays, month(), year());
    closedmonths::askClosed(closed, month(), year());
    Batch(m_dm.ADO_DB).open(shifts).open(calendarDays).open(closed).run();
    m_days = std::make_unique<MonthDays>(calendarDays, month(), year());
    styleGrids();
    Live->fresh();
    setWindowTitle(closedmonths::caption(QStringLiteral("Табель по времени"),
                                         closedmonths::closedFrom(closed)));
}

void TForm19::styleGrids()
{
    for (DatasetModel *model : m_models)
        model->restyle();
}

QVariant TForm19::cellStyle(int recNo, int shift, const QString &field, int role) const
{
    if (field == QLatin1String("summ")) {
        if (role == Qt::BackgroundRole)
            return QBrush(TotalBackground);
        if (role == Qt::FontRole) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    const int day = MonthDays::dayOfField(field);
    if (day == 0)
        return {};
    const MonthDays::Day &info = m_days->days[day - 1];
    const Dataset &query = m_dm.timesheetQuery(shift);
    const qint64 hours = query.valueAt(recNo - 1, query.columnOf(field)).toLongLong();
    switch (role) {
    case Qt::ForegroundRole:
        if (!info.inMonth)
            return QBrush(QPalette().color(QPalette::Base)); // after the month's end: invisible
        if (info.dayOff)
            return QBrush(Red);
        if (hours == 0)
            return QBrush(Silver);
        return {};
    case Qt::FontRole:
        if (hours >= 8) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        if (hours > 8)
            return QBrush(Busy);
        return {};
    default:
        return {};
    }
}

void TForm19::Button5Click()
{
    BusyScope busy;
    for (int shift = 1; shift <= 3; ++shift)
        m_dm.timesheetQuery(shift).close();
    for (int shift = 1; shift <= 3; ++shift)
        m_dm.timesheetQuery(shift).open();
    Live->fresh();
}

void TForm19::rereadMonth()
{
    // Each tab stays on its worker's row.
    for (int shift = 1; shift <= 3; ++shift) {
        if (m_dm.timesheetQuery(shift).isOpen())
            m_dm.timesheetQuery(shift).reopen();
    }
    styleGrids();
}

void TForm19::Button1Click()
{
    if (ComboBox2->currentIndex() < 0 || rebuild::refusedAsClosed(m_dm, month(), year()))
        return;
    for (int shift = 1; shift <= 3; ++shift)
        m_dm.timesheetQuery(shift).close();
    rebuild::runFromButton(
        *PB, *Button1, m_days->daysInMonth,
        [this](const rebuild::Progress &progress) {
            rebuild::shiftMonth(m_dm, month(), year(), progress);
        },
        [this] {
            for (int shift = 1; shift <= 3; ++shift)
                m_dm.timesheetQuery(shift).open();
        });
}

void TForm19::Button6Click()
{
    if (ComboBox2->currentIndex() < 0)
        return;
    m_hoursTable.print(month(), year(),
                       ComboBox1->currentText() + QLatin1Char(' ') + ComboBox2->currentText() +
                           QStringLiteral(" г."),
                       this);
}

void TForm19::Button2Click()
{
    if (ComboBox2->currentIndex() < 0)
        return;
    // Every monthly row of each worker counts here: all shifts and the hour-paid rows.
    Dataset &rows = m_hoursTable.H_Tabel;
    rows.close();
    rows.setParam(QStringLiteral("mnth"), month());
    rows.setParam(QStringLiteral("yea"), year());
    rows.open();
    XlsxExport excel;
    const QString subject = QStringLiteral("Табель по времени ") + ComboBox1->currentText() +
                            QLatin1Char(' ') + QString::number(year());
    if (excel.open(subject) != 1) {
        rows.close();
        return;
    }
    excel.show(false);
    {
        ExportProgress progress(*Button2, rows.recordCount());
        excel.writeCell(1, 1, 1,
                        ComboBox1->currentText() + QLatin1Char(' ') + QString::number(year()), true,
                        true, true);
        excel.writeCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true);
        for (int day = 1; day <= 31; ++day)
            excel.writeCell(1, day + 1, 2, QString::number(day), false, true, true);
        excel.writeCell(1, 33, 2, QStringLiteral("Итого"), true, true, true);
        int row = 3;
        for (rows.first(); !rows.eof(); rows.next(), ++row) {
            excel.writeCell(1, 1, row, rows.text(QStringLiteral("fio")), true, true, false);
            qint64 total = 0;
            for (int day = 1; day <= 31; ++day) {
                const QString field = QStringLiteral("sd%1").arg(day);
                excel.writeCell(1, day + 1, row, rows.text(field), false, true, false);
                total += rows.integer(field);
            }
            excel.writeCell(1, 33, row, QString::number(total), false, true, false);
            progress.rowWritten();
        }
    }
    excel.show(true);
    rows.close();
}
