#include "timesheets/monthly_timesheet.h"

#include "db/absences.h"
#include "db/batch.h"
#include "db/change_feed.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/messages.h"
#include "output/export_progress.h"
#include "output/xlsx_export.h"
#include "timesheets/absence_marks.h"
#include "timesheets/month_end_papers.h"
#include "timesheets/rebuild_runner.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/live_refresh.h"
#include "ui/lookup_combo.h"
#include "ui/window_setup.h"

#include <QBrush>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QColor Red(255, 0, 0);
const QColor TotalBackground(225, 228, 255);

// The name column outside the piece-work and overall modes, and after they close.
constexpr int StandardNameWidth = 208;
constexpr int DayWidth = 20;
constexpr int TotalWidth = 66;

// The 31 day sums of a worker's rows, one per line.
QStringList daySums()
{
    QStringList lines;
    for (int day = 1; day <= 31; ++day)
        lines << QStringLiteral("\tsum(h.d%1)\td%1%2")
                     .arg(day)
                     .arg(day < 31 ? QLatin1String(",") : QLatin1String());
    return lines;
}

QVector<GridColumn> timesheetColumns()
{
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    QVector<GridColumn> columns{
        {QStringLiteral("fio"), QStringLiteral("Фамилия И. О."), StandardNameWidth, left},
        {QStringLiteral("s_night"), QStringLiteral(" "), 30, left}};
    for (int day = 1; day <= 31; ++day)
        columns.append(
            {QStringLiteral("d%1").arg(day), QString::number(day), DayWidth, Qt::AlignCenter});
    columns.append({QStringLiteral("f_price"), QStringLiteral("Итого (р.)"), TotalWidth,
                    Qt::AlignRight | Qt::AlignVCenter});
    columns.append(
        {QStringLiteral("i_time"), QStringLiteral("Итого (ч.)"), TotalWidth, Qt::AlignCenter});
    columns.append(
        {QStringLiteral("average_price"), QStringLiteral("Час (р.)"), TotalWidth, Qt::AlignCenter});
    return columns;
}

QFont boldFont()
{
    QFont bold;
    bold.setBold(true);
    return bold;
}

QLabel *footerValue(const QString &accessibleName, const char *name, QWidget *parent)
{
    auto *value = new QLabel(parent);
    value->setObjectName(QLatin1String(name));
    value->setAccessibleName(accessibleName);
    value->setMinimumWidth(70);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    return value;
}

} // namespace

struct TForm27::Mode
{
    int tag;
    QString caption;
    QString subject; // what an exported workbook is named after
    int nameWidth;
    bool night;
    bool hourPrice;
    int query; // index into m_models
};

const TForm27::Mode &TForm27::modeOf(int tag)
{
    static const Mode modes[] = {
        {PieceWork, QStringLiteral("Табель сделка (27)"), QStringLiteral("Табель сделка"), 238,
         false, true, 0},
        {HouseholdWorks, QStringLiteral("Табель хоз. работы (27)"),
         QStringLiteral("Табель хоз. работы"), StandardNameWidth, true, true, 1},
        {AveragePieceRate, QStringLiteral("Табель ср. сдельная (27)"),
         QStringLiteral("Табель ср. сдельная"), StandardNameWidth, true, true, 2},
        {Overall, QStringLiteral("Общий табель (27)"), QStringLiteral("Общий табель"), 304, false,
         false, 3},
    };
    for (const Mode &mode : modes)
        if (mode.tag == tag)
            return mode;
    return modes[0];
}

QStringList TForm27::pieceWorkQueryText()
{
    QStringList lines{
        QStringLiteral("select p.s_caption fio, p.id,h.i_type,"),
        QStringLiteral("(select sum(s.time) from accounts_dep.smena s where s.data<:d_date1 and "
                       "s.data>=:d_date2 and s.w_id=p.id) i_time,"),
        QStringLiteral("(select sum((s.kol_vo-s.brak)*s.cena)::numeric(10,2)from "
                       "accounts_dep.smena s where s.data<:d_date3 and s.data>=:d_date4 and "
                       "s.w_id=p.id) f_price,"),
        QStringLiteral("(select case when coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 else "
                       "coalesce(sum((s.kol_vo-s.brak)*s.cena)/sum(time),0)::numeric(10,2) end "
                       "from accounts_dep.smena s where s.data<:d_date5 and s.data>=:d_date6 and "
                       "s.w_id=p.id) average_price,"),
    };
    lines << daySums();
    lines << QStringLiteral("from  cmn_contractor.person p, accounts_dep.h_tabel h")
          << QStringLiteral("where h.year=:i_year and h.month=:i_month and h.w_id=p.id and "
                            "i_type=0")
          << QStringLiteral("group by p.id, p.s_caption, h.i_type")
          << QStringLiteral("order by fio");
    return lines;
}

QStringList TForm27::hourPaidQueryText(int kind)
{
    const QString k = QString::number(kind);
    QStringList lines{
        QStringLiteral("select p.s_caption fio, p.id,h.i_type, case when h.i_night=0 then 'дн.' "
                       "else 'ноч.' end as s_night, h.i_night,"),
        QStringLiteral("(select sum(f.cnt) from accounts_dep.fatigue f where f.d_date<:d_date1 "
                       "and f.d_date>=:d_date2 and f.id_p=p.id and f.id_o=%1 and "
                       "f.i_night=h.i_night) i_time,")
            .arg(k),
        QStringLiteral("(select sum(f.cnt*f.price)::numeric(10,2) from accounts_dep.fatigue f "
                       "where f.d_date<:d_date3 and f.d_date>=:d_date4 and f.id_p=p.id and "
                       "f.id_o=%1 and f.i_night=h.i_night) f_price,")
            .arg(k),
        QStringLiteral("(select case when coalesce(sum(f.cnt),0)::numeric(10,2)=0 then 0 else "
                       "coalesce(sum((f.cnt*f.price))/sum(f.cnt),0)::numeric(10,2) end "),
        QStringLiteral("from accounts_dep.fatigue f where f.d_date<:d_date5 and "
                       "f.d_date>=:d_date6 and f.id_p=p.id and f.id_o=%1 and "
                       "f.i_night=h.i_night) average_price,")
            .arg(k),
    };
    lines << daySums();
    lines << QStringLiteral("from  cmn_contractor.person p, accounts_dep.h_tabel h")
          << QStringLiteral("where h.year=:i_year and h.month=:i_month and h.w_id=p.id and "
                            "i_type=%1 ")
                 .arg(k)
          << QStringLiteral("group by p.id, p.s_caption, h.i_type, h.i_night")
          << QStringLiteral("order by fio");
    return lines;
}

QStringList TForm27::overallQueryText()
{
    QStringList lines{
        QStringLiteral("select p.s_caption fio, p.id,"),
        QStringLiteral("coalesce((select sum(s.time) from accounts_dep.smena s where "
                       "s.data<:d_date1 and s.data>=:d_date2 and s.w_id=p.id),0)+"),
        QStringLiteral("coalesce((select sum(f.cnt) from accounts_dep.fatigue f where "
                       "f.d_date<:d_date7 and f.d_date>=:d_date8 and f.id_p=p.id),0) i_time,"),
        QStringLiteral("coalesce((select sum((s.kol_vo-s.brak)*s.cena)::numeric(10,2)from "
                       "accounts_dep.smena s where s.data<:d_date3 and s.data>=:d_date4 and "
                       "s.w_id=p.id),0)+ "),
        QStringLiteral("coalesce((select sum(f.cnt*f.price)::numeric(10,2)from "
                       "accounts_dep.fatigue f where f.d_date<:d_date5 and f.d_date>=:d_date6 "
                       "and f.id_p=p.id),0) f_price,"),
    };
    lines << daySums();
    lines << QStringLiteral("from  cmn_contractor.person p, accounts_dep.h_tabel h")
          << QStringLiteral("where h.year=:i_year and h.month=:i_month and h.w_id=p.id")
          << QStringLiteral("group by p.id, p.s_caption") << QStringLiteral("order by fio");
    return lines;
}

TForm27::TForm27(TDataModule6 &dm, QWidget *parent)
    : QDialog(parent)
    , DBGrid(new DataGrid(this))
    , ComboBox1(new QComboBox(this))
    , cb_year(new LookupCombo(this))
    , Button5(new QPushButton(QStringLiteral("Обновить"), this))
    , Button3(new QPushButton(QStringLiteral("Перестроить"), this))
    , PB(new QProgressBar(this))
    , Button2(new QPushButton(QStringLiteral("Excel"), this))
    , Label1(new QLabel(QStringLiteral("Ср. сдел.:"), this))
    , DBText1(footerValue(QStringLiteral("Ср. сдел."), "DBText1", this))
    , Label2(new QLabel(QStringLiteral("Хоз. работы:"), this))
    , DBText2(footerValue(QStringLiteral("Хоз. работы"), "DBText2", this))
    , Label3(new QLabel(QStringLiteral("Сделка:"), this))
    , DBText3(footerValue(QStringLiteral("Сделка"), "DBText3", this))
    , Label4(new QLabel(QStringLiteral("Итого:"), this))
    , DBText4(footerValue(QStringLiteral("Итого"), "DBText4", this))
    , Button1(new QPushButton(QStringLiteral("Выход"), this))
    , CloseMonth(new QPushButton(QStringLiteral("Закрыть месяц"), this))
    , OpenMonth(new QPushButton(QStringLiteral("Открыть месяц"), this))
    // Made after the grid, so they go after the grid and its models when the window goes.
    , H_Tabel0(new Dataset(dm.ADO_DB, this))
    , H_Tabel7777(new Dataset(dm.ADO_DB, this))
    , H_Tabel7778(new Dataset(dm.ADO_DB, this))
    , H_Tabel_all(new Dataset(dm.ADO_DB, this))
    , q_year(new Dataset(dm.ADO_DB, this))
    , all_price(new Dataset(dm.ADO_DB, this))
    , price(new Dataset(dm.ADO_DB, this))
    , price7(new Dataset(dm.ADO_DB, this))
    , price8(new Dataset(dm.ADO_DB, this))
    , m_dm(dm)
    , m_days(std::make_unique<MonthDays>(Clock::today().month(), Clock::today().year()))
{
    setObjectName(QStringLiteral("TForm27"));
    setWindowTitle(modeOf(PieceWork).caption);
    const std::pair<QObject *, const char *> names[] = {{DBGrid, "DBGrid"},
                                                        {ComboBox1, "ComboBox1"},
                                                        {cb_year, "cb_year"},
                                                        {Button5, "Button5"},
                                                        {Button3, "Button3"},
                                                        {PB, "PB"},
                                                        {Button2, "Button2"},
                                                        {Label1, "Label1"},
                                                        {Label2, "Label2"},
                                                        {Label3, "Label3"},
                                                        {Label4, "Label4"},
                                                        {Button1, "Button1"},
                                                        {H_Tabel0, "H_Tabel0"},
                                                        {H_Tabel7777, "H_Tabel7777"},
                                                        {H_Tabel7778, "H_Tabel7778"},
                                                        {H_Tabel_all, "H_Tabel_all"},
                                                        {q_year, "q_year"},
                                                        {all_price, "all_price"},
                                                        {price, "price"},
                                                        {price7, "price7"},
                                                        {price8, "price8"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));
    CloseMonth->setObjectName(QStringLiteral("CloseMonth"));
    OpenMonth->setObjectName(QStringLiteral("OpenMonth"));

    H_Tabel0->setSql(pieceWorkQueryText());
    H_Tabel7777->setSql(hourPaidQueryText(7777));
    H_Tabel7778->setSql(hourPaidQueryText(7778));
    H_Tabel_all->setSql(overallQueryText());
    // The current year is offered before any monthly row of it exists, so that its first month
    // can be chosen and rebuilt.
    q_year->setSql(QStringList{
        QStringLiteral("select distinct ht.year from accounts_dep.h_tabel ht where ht.year is not "
                       "null"),
        QStringLiteral("union select :i_year"), QStringLiteral("order by year")});
    all_price->setSql(QStringList{
        QStringLiteral("select("),
        QStringLiteral("((select sum((s.kol_vo-s.brak)*s.cena) from accounts_dep.smena s where "
                       "s.data<:d_date1 and s.data>=:d_date2 and s.cena>0 and s.kol_vo>0)+"),
        QStringLiteral("(select sum(f.cnt*f.price) from accounts_dep.fatigue f where "
                       "f.d_date<:d_date3 and f.d_date>=:d_date4 and f.cnt>0 and "
                       "f.price>0))::numeric(20,2)) price")});
    price->setSql(QStringLiteral(
        "select sum((s.kol_vo-s.brak)*s.cena)::numeric(100,2) as price from accounts_dep.smena s "
        "where s.data<:d_date1 and s.data>=:d_date2 and s.cena>0 and s.kol_vo>0"));
    const QString hourPaidMoney = QStringLiteral(
        "select sum(f.cnt*f.price)::numeric(100,2) as price from accounts_dep.fatigue f where "
        "f.d_date<:d_date1 and f.d_date>=:d_date2 and f.cnt>0 and f.price>0 and f.id_o=%1");
    price7->setSql(hourPaidMoney.arg(7777));
    price8->setSql(hourPaidMoney.arg(7778));

    DBGrid->setAccessibleName(QStringLiteral("Табель за месяц"));
    Dataset *queries[] = {H_Tabel0, H_Tabel7777, H_Tabel7778, H_Tabel_all};
    for (int i = 0; i < 4; ++i) {
        // Children of the grid: they go with it, before the queries they show.
        auto *model = new DatasetModel(*queries[i], timesheetColumns(), DBGrid);
        model->setStyler([this](int recNo, const GridColumn &column, int role) {
            return cellStyle(recNo, column.field, role);
        });
        model->setHeaderStyler([this, model](int section, int role) -> QVariant {
            const int day = MonthDays::dayOfField(model->columns().at(section).field);
            if (day == 0)
                return {};
            // A holiday's name on hover over its day.
            if (role == Qt::ToolTipRole && !m_days->days[day - 1].name.isEmpty())
                return m_days->days[day - 1].name;
            if (role == Qt::ForegroundRole && m_days->days[day - 1].dayOff)
                return QBrush(Red);
            return {};
        });
        m_models[i] = model;
    }
    DBGrid->show(m_models[0]);
    DBGrid->setSortingByTitles();
    // Every mode's columns add up to the same width (1056 pixels); at its first size the grid
    // shows them all without scrolling sideways.
    const int columnsWidth = StandardNameWidth + 30 + 31 * DayWidth + 3 * TotalWidth;
    const QSize gridSize(columnsWidth + 2 * DBGrid->frameWidth() + 36 +
                             style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                         430);

    ComboBox1->addItems(MonthDays::monthNames());
    ComboBox1->setAccessibleName(QStringLiteral("Месяц"));
    ComboBox1->setFocusPolicy(Qt::StrongFocus);
    ComboBox1->installEventFilter(this);
    cb_year->setAccessibleName(QStringLiteral("Год"));
    cb_year->setMinimumWidth(70);
    PB->setMinimum(1);
    PB->setVisible(false);
    // The bar shows in the room the row has to spare: its own wish for room would widen the
    // window during a rebuild, and the wider window would be kept.
    PB->setMinimumWidth(1);
    PB->setAccessibleName(QStringLiteral("Ход перестройки"));
    const std::pair<QLabel *, QLabel *> footer[] = {
        {Label1, DBText1}, {Label2, DBText2}, {Label3, DBText3}, {Label4, DBText4}};
    for (const auto &[label, value] : footer)
        label->setBuddy(value);
    for (QPushButton *button : {Button5, Button3, Button2, Button1, CloseMonth, OpenMonth})
        button->setAutoDefault(false);
    CloseMonth->setEnabled(false);
    OpenMonth->setEnabled(false);

    Live = new LiveRefresh(
        dm.Changes, *this,
        [this](const TableChange &change) {
            return currentQuery().isOpen() && touchesTimesheetMonth(change, month(), year());
        },
        [this] {
            rereadMonth();
            // Another copy may have closed or opened the month.
            showMonthState();
        });
    Absences = new AbsenceMarks(dm, *this);
    Papers = new MonthEndPapers(dm, *this);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(ComboBox1);
    bottom->addWidget(cb_year);
    bottom->addWidget(Button5);
    bottom->addWidget(Live->mark());
    bottom->addWidget(Button3);
    bottom->addWidget(CloseMonth);
    bottom->addWidget(OpenMonth);
    bottom->addWidget(PB, 1);
    bottom->addWidget(Button2);
    bottom->addWidget(Papers->T13Button);
    bottom->addWidget(Papers->PayrollButton);
    bottom->addStretch(1);
    for (const auto &[label, value] : footer) {
        bottom->addWidget(label);
        bottom->addWidget(value);
    }
    bottom->addSpacing(12);
    bottom->addWidget(Button1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(DBGrid, 1);
    layout->addLayout(bottom);
    // Room for the export's progress caption, so the row does not jump while it counts.
    Button2->setMinimumWidth(
        Button2->fontMetrics().horizontalAdvance(ExportProgress::caption(9999, 9999)) + 24);

    guard::connect(ComboBox1, &QComboBox::activated, this, &TForm27::ComboBox1Change);
    guard::connect(cb_year, &QComboBox::activated, this, &TForm27::ComboBox1Change);
    guard::connect(Button5, &QPushButton::clicked, this, &TForm27::Button5Click);
    guard::connect(Button3, &QPushButton::clicked, this, &TForm27::Button3Click);
    guard::connect(Button2, &QPushButton::clicked, this, &TForm27::Button2Click);
    // Tab follows the buttons as they stand.
    setTabOrder(Button3, CloseMonth);
    setTabOrder(CloseMonth, OpenMonth);
    setTabOrder(OpenMonth, Button2);
    setTabOrder(Button2, Papers->T13Button);
    setTabOrder(Papers->T13Button, Papers->PayrollButton);
    setTabOrder(Papers->PayrollButton, Button1);
    guard::connect(CloseMonth, &QPushButton::clicked, this, &TForm27::CloseMonthClick);
    guard::connect(OpenMonth, &QPushButton::clicked, this, &TForm27::OpenMonthClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

    applyGridFrame(*this, sizeAround(*this, *DBGrid, gridSize));
    // How narrow the window may get is set once, from its controls: longer figures in the footer
    // and the progress bar of a rebuild take the row's spare room and never widen the window.
    setMinimumWidth(minimumSizeHint().width());
}

TForm27::~TForm27() = default;

DatasetModel *TForm27::modelOf(int tag) const
{
    return m_models[modeOf(tag).query];
}

Dataset &TForm27::currentQuery() const
{
    return modelOf(Tag)->dataset();
}

int TForm27::month() const
{
    return ComboBox1->currentIndex() + 1;
}

int TForm27::year() const
{
    return int(cb_year->keyValue().value_or(0));
}

void TForm27::showMode(int tag, ActivationHandler *opener)
{
    setMode(tag);
    loadYears();
    const QDate today = Clock::today();
    selectMonth(today.month(), today.year());
    runModal(*this, opener);
    FormClose();
    // The piece-work and overall modes put the standard columns back; the others have them.
    if (Tag == PieceWork || Tag == Overall) {
        m_nameWidth = StandardNameWidth;
        m_showNight = true;
        m_showHourPrice = true;
        DBGrid->setStartingWidth(NameColumn, m_nameWidth);
        DBGrid->setColumnHidden(NightColumn, false);
        DBGrid->setColumnHidden(HourPriceColumn, false);
    }
    currentQuery().close();
    q_year->close();
}

void TForm27::setMode(int tag)
{
    const Mode &mode = modeOf(tag);
    Tag = mode.tag;
    setWindowTitle(closedmonths::caption(mode.caption, m_closed));
    m_nameWidth = mode.nameWidth;
    m_showNight = mode.night;
    m_showHourPrice = mode.hourPrice;
    bindGrid();
}

void TForm27::loadYears()
{
    q_year->close();
    q_year->setParam(QStringLiteral("i_year"), Clock::today().year());
    q_year->open();
    cb_year->load(*q_year, QStringLiteral("year"), QStringLiteral("year"));
}

void TForm27::selectMonth(int month, int year)
{
    ComboBox1->setCurrentIndex(month - 1);
    cb_year->setKeyValue(year);
    ComboBox1Change();
}

void TForm27::FormActivate()
{
    bindGrid();
}

void TForm27::FormClose()
{
    Button2->setText(QStringLiteral("Excel"));
}

void TForm27::done(int result)
{
    FormClose();
    QDialog::done(result);
}

bool TForm27::eventFilter(QObject *watched, QEvent *event)
{
    // A wheel turned while passing over the month box must not load another month.
    if (watched == ComboBox1 && event->type() == QEvent::Wheel && !ComboBox1->hasFocus()) {
        event->ignore();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm27::bindGrid()
{
    DatasetModel *model = modelOf(Tag);
    if (DBGrid->gridModel() != model)
        DBGrid->show(model);
    layoutColumns();
}

void TForm27::layoutColumns()
{
    int hidden = 0;
    for (int day = 1; day <= 31; ++day) {
        const bool inMonth = m_days->days[day - 1].inMonth;
        DBGrid->setColumnHidden(day + 1, !inMonth);
        if (!inMonth)
            ++hidden;
    }
    DBGrid->setColumnHidden(NightColumn, !m_showNight);
    DBGrid->setColumnHidden(HourPriceColumn, !m_showHourPrice);
    // The name column takes the room of the hidden days: the grid keeps its width (a longer name
    // widens it).
    DBGrid->setStartingWidth(NameColumn, m_nameWidth + DayWidth * hidden);
    if (DBGrid->gridModel())
        DBGrid->gridModel()->restyle();
}

QVariant TForm27::cellStyle(int recNo, const QString &field, int role) const
{
    if (field == QLatin1String("f_price") || field == QLatin1String("i_time") ||
        field == QLatin1String("average_price")) {
        if (role == Qt::BackgroundRole)
            return QBrush(TotalBackground);
        if (role == Qt::FontRole)
            return boldFont();
        return {};
    }
    const int day = MonthDays::dayOfField(field);
    // An absence shows its code in a day cell without hours.
    if (day > 0 && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
        const Dataset &rows = currentQuery();
        const QString code = Absences ? Absences->codeAt(recNo - 1, day) : QString();
        if (!code.isEmpty() && rows.textAt(recNo - 1, rows.columnOf(field)).isEmpty()) {
            if (role == Qt::DisplayRole)
                return code;
            for (const absences::Kind &kind : Absences->kinds())
                if (kind.code == code)
                    return kind.caption;
            return {};
        }
    }
    if (day > 0 && role == Qt::ForegroundRole && m_days->days[day - 1].dayOff)
        return QBrush(Red);
    return {};
}

void TForm27::ComboBox1Change()
{
    if (ComboBox1->currentIndex() < 0 || !cb_year->keyValue() || year() <= 0)
        return;
    // Saturdays and Sundays until the calendar's days come with the month's rows.
    m_days = std::make_unique<MonthDays>(month(), year());
    Dataset &query = currentQuery();
    query.close();
    query.setParam(QStringLiteral("i_month"), month());
    query.setParam(QStringLiteral("i_year"), year());
    // Odd bounds are the end of the month (excluded), even ones its first day.
    for (int n = 1; n <= (Tag == Overall ? 8 : 6); ++n)
        query.setParam(QStringLiteral("d_date%1").arg(n), n % 2 ? m_days->next : m_days->first);
    // The month's rows, its money, its calendar days, absences and whether it is closed: one
    // round trip.
    Dataset calendarDays(m_dm.ADO_DB);
    Dataset marks(m_dm.ADO_DB);
    Dataset closed(m_dm.ADO_DB);
    MonthDays::askStored(calendarDays, month(), year());
    absences::askMonth(marks, month(), year());
    closedmonths::askClosed(closed, month(), year());
    Batch batch(m_dm.ADO_DB);
    batch.open(query).open(footerQueries()).open(calendarDays).open(marks).open(closed).run();
    m_days = std::make_unique<MonthDays>(calendarDays, month(), year());
    Absences->load(marks);
    showFooter();
    layoutColumns();
    Live->fresh();
    showMonthState(closedmonths::closedFrom(closed));
}

void TForm27::showMonthState()
{
    showMonthState(closedmonths::isClosed(m_dm, month(), year()));
}

void TForm27::showMonthState(bool closed)
{
    m_closed = closed;
    setWindowTitle(closedmonths::caption(modeOf(Tag).caption, m_closed));
    CloseMonth->setEnabled(m_role == Role::Full && !m_closed);
    OpenMonth->setEnabled(m_role == Role::Full && m_closed);
}

void TForm27::applyRole(Role role)
{
    m_role = role;
    Absences->setAllowed(role == Role::Full);
    Papers->setAllowed(role == Role::Full);
    CloseMonth->setEnabled(m_role == Role::Full && !m_closed);
    OpenMonth->setEnabled(m_role == Role::Full && m_closed);
}

void TForm27::CloseMonthClick()
{
    if (m_role != Role::Full || ComboBox1->currentIndex() < 0 || year() <= 0)
        return;
    const QString period = ComboBox1->currentText() + QLatin1Char(' ') + QString::number(year());
    if (!messages::question(
            QStringLiteral("Закрыть месяц %1 для изменений? Записи и табель этого месяца "
                           "нельзя будет добавить, изменить или удалить, пока "
                           "месяц не откроют снова.")
                .arg(period),
            QStringLiteral("Закрытие месяца")))
        return;
    {
        BusyScope busy;
        closedmonths::close(m_dm, month(), year());
    }
    showMonthState();
}

void TForm27::OpenMonthClick()
{
    if (m_role != Role::Full || ComboBox1->currentIndex() < 0 || year() <= 0)
        return;
    const QString period = ComboBox1->currentText() + QLatin1Char(' ') + QString::number(year());
    if (!messages::question(
            QStringLiteral(
                "Открыть месяц %1 для изменений? Записи и табель этого месяца снова можно "
                "будет менять.")
                .arg(period),
            QStringLiteral("Открытие месяца")))
        return;
    closedmonths::open(m_dm, month(), year());
    showMonthState();
}

QList<Dataset *> TForm27::footerQueries()
{
    QList<Dataset *> queries;
    for (Dataset *query : {all_price, price, price7, price8}) {
        const int bounds = query == all_price ? 4 : 2;
        for (int n = 1; n <= bounds; ++n)
            query->setParam(QStringLiteral("d_date%1").arg(n),
                            n % 2 ? m_days->next : m_days->first);
        queries << query;
    }
    return queries;
}

void TForm27::showFooter()
{
    const std::pair<Dataset *, QLabel *> totals[] = {
        {all_price, DBText4}, {price, DBText3}, {price7, DBText2}, {price8, DBText1}};
    for (const auto &[query, value] : totals)
        value->setText(query->text(QStringLiteral("price")));
}

void TForm27::loadFooter()
{
    // The four sums in one answer.
    Batch(m_dm.ADO_DB).open(footerQueries()).run();
    showFooter();
}

void TForm27::Button5Click()
{
    BusyScope busy;
    Dataset &query = currentQuery();
    query.close();
    query.open();
    Live->fresh();
}

void TForm27::rereadMonth()
{
    // The grid stays on its worker's row; the month's money and absences follow, in one answer.
    Dataset &query = currentQuery();
    const QVariant worker =
        query.isOpen() && !query.isEmpty() && query.hasField(QStringLiteral("id"))
            ? query.value(QStringLiteral("id"))
            : QVariant();
    Dataset marks(m_dm.ADO_DB);
    absences::askMonth(marks, month(), year());
    Batch(m_dm.ADO_DB).open(query).open(footerQueries()).open(marks).run();
    if (worker.isValid() && !worker.isNull())
        query.locate(QStringLiteral("id"), worker);
    Absences->load(marks);
    showFooter();
}

void TForm27::Button3Click()
{
    // The year the box shows; the list always holds the current year, so there is one.
    const int shownYear = cb_year->shownText().toInt();
    if (ComboBox1->currentIndex() < 0 || shownYear <= 0 ||
        rebuild::refusedAsClosed(m_dm, month(), shownYear))
        return;
    const int days = QDate(shownYear, month(), 1).daysInMonth();
    Dataset &query = currentQuery();
    query.close();
    rebuild::runFromButton(
        *PB, *Button3, days,
        [this, shownYear](const rebuild::Progress &progress) {
            rebuild::fatigueMonth(m_dm, month(), shownYear, progress);
        },
        [&query] { query.open(); });
}

void TForm27::Button2Click()
{
    const Dataset &rows = currentQuery();
    if (!rows.isOpen())
        return;
    const Mode &mode = modeOf(Tag);
    const bool night = Tag == HouseholdWorks || Tag == AveragePieceRate;
    const bool hourPrice = Tag != Overall;
    const QString period = ComboBox1->currentText() + QLatin1Char(' ') + QString::number(year());
    XlsxExport excel;
    if (excel.open(mode.subject + QLatin1Char(' ') + period) != 1)
        return;
    excel.show(false);
    {
        // The rows are read by position: the grid's current row stays where it is.
        const int total = rows.recordCount();
        ExportProgress progress(*Button2, total);
        excel.writeCell(1, 1, 1, period, true, true, true);
        excel.writeCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true);
        for (int day = 1; day <= 31; ++day)
            excel.writeCell(1, day + 2, 2, QString::number(day), false, true, true);
        excel.writeCell(1, 34, 2, QStringLiteral("Итого (ч.)"), true, true, true);
        excel.writeCell(1, 35, 2, QStringLiteral("Итого (р.)"), true, true, true);
        if (hourPrice)
            excel.writeCell(1, 36, 2, QStringLiteral("Час (р.)"), true, true, true);
        const auto text = [&rows](int row, const QString &field) {
            return rows.textAt(row, rows.columnOf(field));
        };
        for (int row = 0; row < total; ++row) {
            const int line = row + 3;
            excel.writeCell(1, 1, line, text(row, QStringLiteral("fio")), true, true, false);
            if (night)
                excel.writeCell(1, 2, line, text(row, QStringLiteral("s_night")), true, true,
                                false);
            for (int day = 1; day <= 31; ++day) {
                // A day without hours carries its absence code, as the grid shows it.
                const QString hours = text(row, QStringLiteral("d%1").arg(day));
                excel.writeCell(1, day + 2, line,
                                hours.isEmpty() ? Absences->codeAt(row, day) : hours, false, true,
                                false);
            }
            excel.writeCell(1, 34, line, text(row, QStringLiteral("i_time")), false, true, false);
            excel.writeCell(1, 35, line, text(row, QStringLiteral("f_price")), false, true, false);
            if (hourPrice)
                excel.writeCell(1, 36, line, text(row, QStringLiteral("average_price")), false,
                                true, false);
            progress.rowWritten();
        }
    }
    excel.show(true);
}
