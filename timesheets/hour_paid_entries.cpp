#include "timesheets/hour_paid_entries.h"

#include "catalogues/nomenclature_groups.h"
#include "catalogues/workers.h"
#include "db/change_feed.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "db/production_calendar.h"
#include "shiftlog/piece_price.h"
#include "timesheets/hour_paid_writes.h"
#include "ui/clock.h"
#include "ui/closed_mark.h"
#include "ui/data_grid.h"
#include "ui/day_box_watch.h"
#include "ui/error_guard.h"
#include "ui/live_refresh.h"
#include "ui/lookup_combo.h"
#include "ui/picker_box.h"
#include "ui/window_setup.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

const QString ErrorCaption = QStringLiteral("Ошибка");
const QString Incomplete = QStringLiteral("Все поля должны быть заполнены!");
const QString NoHours = QStringLiteral("Нужно завести количество!");
const QString TooManyHours =
    QStringLiteral("Количество не может быть больше %1 ч.!").arg(hourpaid::MaxHours);

// Ticked: the caption in bold on red; unticked: the standard look.
void paintDayOff(QCheckBox *box)
{
    const bool marked = box->isChecked();
    QFont font = box->font();
    font.setBold(marked);
    box->setFont(font);
    box->setAutoFillBackground(marked);
    box->setStyleSheet(marked ? QStringLiteral("background-color: #ff0000;") : QString());
}

QPushButton *button(const QString &caption, const char *name, QWidget *parent)
{
    auto *result = new QPushButton(caption, parent);
    result->setObjectName(QLatin1String(name));
    result->setAutoDefault(false);
    return result;
}

QStringList dayListText()
{
    // The reserved operations only have to exist; joining them would repeat every entry once
    // per operation. Each entry is one row of its own (f.id), so no distinct is needed either.
    return {
        QStringLiteral("select vo.vid, p.fio, i.s_caption, (f.cnt*f.price) as summ,  f.*, case "
                       "when f.i_holiday=0 then '' else '+' end as s_holiday, case when "
                       "f.i_night=0 then '' else '+' end as s_night"),
        QStringLiteral("from accounts_dep.fatigue f, cmn_classifier.item i, accounts_dep.person "
                       "p,accounts_dep.vid_oper vo "),
        QStringLiteral("where f.id_nom =i.id and p.id=f.id_p and vo.id = f.id_o and exists "
                       "(select 1 from accounts_dep.oper o where o.i_id >=7777 and o.vid >=7777) "
                       "and f.d_date = :d_date"),
        QStringLiteral("order by p.fio, f.id"),
    };
}

QStringList workKindText()
{
    // One row per kind, at its lowest norm price, however many norms the kind has.
    return {
        QStringLiteral("select vo.id, vo.vid, min(n.price) as price from accounts_dep.vid_oper "
                       "vo,accounts_dep.norm n, accounts_dep.oper o "),
        QStringLiteral("where n.o_id =o.id and o.vid=vo.id and (vo.id = 7777 or vo.id = 7778)"),
        QStringLiteral("group by vo.id, vo.vid order by vo.id"),
    };
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TForm25
// ---------------------------------------------------------------------------------------------

TForm25::TForm25(TDataModule6 &dm, TForm5 &workers, TForm26 &groups, QWidget *parent)
    : QDialog(parent)
    , DBGrid1(new DataGrid(this))
    , Button5(button(QStringLiteral("Добавить"), "Button5", this))
    , Button6(button(QStringLiteral("Изменить"), "Button6", this))
    , Button7(button(QStringLiteral("Удалить"), "Button7", this))
    , Button1(button(QStringLiteral("Расчитать ср.сд."), "Button1", this))
    , DTPcker1(new QDateEdit(this))
    , CBox1(new QCheckBox(QStringLiteral("Выходной"), this))
    , Button8(button(QStringLiteral("Выход"), "Button8", this))
    , ClosedMark(closedMonthMark(*DBGrid1, this))
    // Made after the grid, so it goes after the grid's model when the window goes.
    , fatigue(new Dataset(dm.ADO_DB, this))
    , Live(new LiveRefresh(
          dm.Changes, *this,
          [this](const TableChange &change) {
              return m_shownDate.isValid() &&
                     (change.touchesDay(QStringLiteral("fatigue"), m_shownDate) ||
                      change.touchesDay(QStringLiteral("closed_month"), m_shownDate));
          },
          [this] {
              if (fatigue->isOpen())
                  fatigue->reopen();
              // Another copy may have closed or opened the day's month.
              showMonthState(m_shownDate);
          }))
    , m_dm(dm)
    , m_dialog(std::make_unique<TForm24>(dm, workers, groups, *this))
{
    setObjectName(QStringLiteral("TForm25"));
    setWindowTitle(QStringLiteral("Хоз. работы (25)"));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Хоз. работы дня"));
    DTPcker1->setObjectName(QStringLiteral("DTPcker1"));
    DTPcker1->setAccessibleName(QStringLiteral("Дата"));
    DTPcker1->setCalendarPopup(true);
    DTPcker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DTPcker1->setDateRange(QDate(2007, 1, 1), QDate(Clock::today().year() + 1, 12, 31));
    DTPcker1->setDate(Clock::today());
    CBox1->setObjectName(QStringLiteral("CBox1"));
    {
        // Room for the caption in bold, so a tick does not cut it.
        QFont bold = CBox1->font();
        bold.setBold(true);
        CBox1->setMinimumWidth(CBox1->sizeHint().width() +
                               QFontMetrics(bold).horizontalAdvance(CBox1->text()) -
                               CBox1->fontMetrics().horizontalAdvance(CBox1->text()) + 4);
    }
    fatigue->setObjectName(QStringLiteral("fatigue"));
    fatigue->setSql(dayListText());

    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const QVector<GridColumn> columns{
        {QStringLiteral("fio"), QStringLiteral("ФИО"), 300, left},
        {QStringLiteral("s_caption"), QStringLiteral("Номенклатура"), 267, left},
        {QStringLiteral("vid"), QStringLiteral("Работа"), 156, left},
        {QStringLiteral("price"), QStringLiteral("Цена"), 80, right},
        {QStringLiteral("cnt"), QStringLiteral("Кол-во"), 0, right},
        {QStringLiteral("summ"), QStringLiteral("Итого"), 80, right},
        {QStringLiteral("s_holiday"), QStringLiteral("Вых."), 33, Qt::AlignCenter},
        {QStringLiteral("s_night"), QStringLiteral("Ноч."), 33, Qt::AlignCenter},
    };
    DBGrid1->bind(*fatigue, columns);

    auto *bottom = new QHBoxLayout;
    for (QWidget *widget : {static_cast<QWidget *>(Button5), static_cast<QWidget *>(Button6),
                            static_cast<QWidget *>(Button7), static_cast<QWidget *>(Button1)})
        bottom->addWidget(widget);
    bottom->addSpacing(24);
    bottom->addWidget(DTPcker1);
    bottom->addWidget(CBox1);
    bottom->addWidget(ClosedMark);
    bottom->addWidget(Live->mark());
    bottom->addStretch(1);
    bottom->addWidget(Button8);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(bottom);
    setTabOrder(DBGrid1, Button5);
    setTabOrder(Button5, Button6);
    setTabOrder(Button6, Button7);
    setTabOrder(Button7, Button1);
    setTabOrder(Button1, DTPcker1);
    setTabOrder(DTPcker1, CBox1);
    setTabOrder(CBox1, Button8);

    guard::connect(Button5, &QPushButton::clicked, this, &TForm25::Button5Click);
    guard::connect(Button6, &QPushButton::clicked, this, &TForm25::Button6Click);
    guard::connect(Button7, &QPushButton::clicked, this, &TForm25::Button7Click);
    guard::connect(Button1, &QPushButton::clicked, this, &TForm25::Button1Click);
    connect(Button8, &QPushButton::clicked, this, [this] { Button4Click(); });
    guard::connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &TForm25::Button6Click);
    // The list shows the day the box shows: a pick at once, typing and stepping after a pause.
    m_dayWatch = new DayBoxWatch(
        *DTPcker1, *DBGrid1, [this] { return m_shownDate; }, this);
    guard::connect(m_dayWatch, &DayBoxWatch::picked, this, &TForm25::DTPcker1Change);
    guard::connect(m_dayWatch, &DayBoxWatch::settled, this, &TForm25::DTPcker1Change);
    // A tick set by the date change recolours the box as well.
    connect(CBox1, &QCheckBox::toggled, this, [this] { CBox1Click(); });

    applyGridFrame(*this, sizeAround(*this, *DBGrid1, QSize(1070, 400)));
}

TForm25::~TForm25()
{
    // Before the box and the list go: their last events must not reach it.
    delete m_dayWatch;
}

void TForm25::showForDay(const QDate &day, ActivationHandler *opener)
{
    {
        const QSignalBlocker blocker(DTPcker1);
        DTPcker1->setDate(day);
    }
    // A new showing starts on the first entry.
    fatigue->close();
    runModal(*this, opener);
    fatigue->close();
}

void TForm25::load(const QDate &day)
{
    fatigue->close();
    fatigue->setParam(QStringLiteral("d_date"), day);
    fatigue->open();
    m_shownDate = day;
    Live->fresh();
    showMonthState(day);
}

void TForm25::showMonthState(const QDate &day)
{
    // A closed month's entries are only looked at: the database would refuse every change.
    m_dayClosed = closedmonths::isClosed(m_dm, day.month(), day.year());
    for (QPushButton *command : {Button5, Button6, Button7, Button1})
        command->setEnabled(!m_dayClosed);
    ClosedMark->setVisible(m_dayClosed);
}

void TForm25::FormActivate()
{
    const QDate day = DTPcker1->date();
    // Opened on another day than the one shown last: "Выходной" is that day's; a tick set by hand
    // stays while the day does not change.
    if (day != m_shownDate)
        CBox1->setChecked(calendar::isDayOff(m_dm.ADO_DB, day));
    // Back from the entry dialog the list stays on its row.
    const int recNo = fatigue->isOpen() && day == m_shownDate ? fatigue->recNo() : 0;
    load(day);
    ShiftNo = 1;
    if (recNo > 1)
        fatigue->setRecNo(recNo);
}

void TForm25::reloadAt(int recNo)
{
    load(DTPcker1->date());
    if (!fatigue->isEmpty() && recNo >= 1)
        fatigue->setRecNo(recNo);
}

void TForm25::DTPcker1Change()
{
    const QDate day = DTPcker1->date();
    CBox1->setChecked(calendar::isDayOff(m_dm.ADO_DB, day));
    load(day);
}

void TForm25::CBox1Click()
{
    paintDayOff(CBox1);
}

void TForm25::Button5Click()
{
    TForm24 &dialog = *m_dialog;
    dialog.prepareNew();
    runModal(dialog, this);
    dialog.type_work->close();
}

void TForm25::Button6Click()
{
    // A double click on a closed day's list opens nothing to change.
    if (fatigue->isEmpty() || m_dayClosed)
        return;
    TForm24 &dialog = *m_dialog;
    dialog.prepareChange(*fatigue);
    runModal(dialog, this);
    dialog.type_work->close();
}

void TForm25::Button7Click()
{
    if (fatigue->isEmpty())
        return;
    if (!messages::question(QStringLiteral("Удалить позицию из списка?")))
        return;
    const qint64 id = fatigue->integer(QStringLiteral("id"));
    const int recNo = fatigue->recNo();
    hourpaid::remove(m_dm, id);
    reloadAt(recNo);
}

void TForm25::Button1Click()
{
    const QDate day = DTPcker1->date();
    const QDate start(day.year(), day.month(), 1);
    const int recNo = fatigue->recNo();
    Command &command = m_dm.SQL_exec;
    command.setParam(QStringLiteral("month_start"), start);
    command.setParam(QStringLiteral("month_end"), start.addMonths(1));
    command.setParam(QStringLiteral("month"), start.month());
    command.setParam(QStringLiteral("year"), start.year());
    // Each worker's piece-work money of the month per hour worked, every shift price raised by
    // 100 % for a holiday entry and 20 % for a night entry.
    command.execute(QStringLiteral(
        "UPDATE accounts_dep.fatigue f SET price=coalesce((select case when "
        "coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 else  "
        "coalesce(sum((s.kol_vo-s.brak)*(s.cena+s.cena*f.i_holiday+s.cena*f.i_night*0.2))/"
        "sum(time),0)::numeric(10,2) end as price  from accounts_dep.smena s, "
        "accounts_dep.person p where  s.data<:month_end and s.data>=:month_start and p.id=s.w_id "
        "and p.id=f.id_p group by p.id order by fio),0) where i_mnth = :month and i_year = :year "
        "and id_o =7778"));
    reloadAt(recNo);
}

void TForm25::Button4Click()
{
    reject();
}

// ---------------------------------------------------------------------------------------------
// TForm24
// ---------------------------------------------------------------------------------------------

TForm24::TForm24(TDataModule6 &dm, TForm5 &workers, TForm26 &groups, TForm25 &list, QWidget *parent)
    : QDialog(parent)
    , m_dm(dm)
    , m_workers(workers)
    , m_groups(groups)
    , m_list(list)
{
    setObjectName(QStringLiteral("TForm24"));
    setWindowTitle(QStringLiteral("Хоз. работы/среднесдельная (24)"));
    auto *group = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    auto *worker = new PickerBox(QStringLiteral("Edit1"), QStringLiteral("Button3"),
                                 QStringLiteral("ФИО"), group);
    auto *nomenclature = new PickerBox(QStringLiteral("Edit2"), QStringLiteral("Button4"),
                                       QStringLiteral("Номенклатура"), group);
    Edit1 = worker->edit();
    Button3 = worker->button();
    Edit2 = nomenclature->edit();
    Button4 = nomenclature->button();
    Edit1->setAccessibleName(QStringLiteral("ФИО"));
    Edit2->setAccessibleName(QStringLiteral("Номенклатура"));
    cb_type_work = new LookupCombo(group);
    cb_type_work->setObjectName(QStringLiteral("cb_type_work"));
    cb_type_work->setAccessibleName(QStringLiteral("Работа"));
    Edit6 = new QLineEdit(group);
    Edit6->setObjectName(QStringLiteral("Edit6"));
    Edit6->setAccessibleName(QStringLiteral("Часы"));
    // Digits only, as many as the integer column holds, so a stored count always shows whole;
    // the save refuses counts above MaxHours.
    Edit6->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,10}")), Edit6));
    Edit6->setMaxLength(10);
    Edit6->setFixedWidth(Edit6->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);
    Edit6->setText(QStringLiteral("0"));
    const auto display = [group](const char *name, const char *accessible) {
        auto *box = new QLineEdit(group);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(QString::fromUtf8(accessible));
        box->setReadOnly(true);
        box->setEnabled(false);
        box->setFixedWidth(100);
        return box;
    };
    DBEdit1 = display("DBEdit1", "Цена");
    DBEdit2 = display("DBEdit2", "Сумма");
    CBox1 = new QCheckBox(QStringLiteral("Ночные"), group);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    Button1 = new QPushButton(QStringLiteral("Записать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button6 = button(QStringLiteral("Выход"), "Button6", this);
    type_work = new Dataset(dm.ADO_DB, this);
    type_work->setObjectName(QStringLiteral("type_work"));
    type_work->setSql(workKindText());

    const auto label = [group](const QString &text, QWidget *buddy) {
        auto *caption = new QLabel(text, group);
        caption->setBuddy(buddy);
        return caption;
    };
    auto *grid = new QGridLayout(group);
    grid->addWidget(label(QStringLiteral("ФИО"), Edit1), 0, 0);
    grid->addWidget(worker, 0, 1);
    grid->addWidget(label(QStringLiteral("Номенклатура"), Edit2), 1, 0);
    grid->addWidget(nomenclature, 1, 1);
    grid->addWidget(label(QStringLiteral("Работа"), cb_type_work), 2, 0);
    grid->addWidget(cb_type_work, 2, 1);
    auto *amounts = new QHBoxLayout;
    amounts->addWidget(Edit6);
    amounts->addWidget(label(QStringLiteral("ч.    Цена"), DBEdit1));
    amounts->addWidget(DBEdit1);
    amounts->addWidget(label(QStringLiteral("р.    Сумма"), DBEdit2));
    amounts->addWidget(DBEdit2);
    amounts->addStretch(1);
    grid->addLayout(amounts, 3, 0, 1, 2);
    grid->addWidget(CBox1, 4, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button6);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    setTabOrder(Button3, Button4);
    setTabOrder(Button4, cb_type_work);
    setTabOrder(cb_type_work, Edit6);
    setTabOrder(Edit6, CBox1);
    setTabOrder(CBox1, Button1);
    setTabOrder(Button1, Button6);

    guard::connect(worker, &PickerBox::pickRequested, this, &TForm24::Button3Click);
    guard::connect(nomenclature, &PickerBox::pickRequested, this, &TForm24::Button4Click);
    guard::connect(Button1, &QPushButton::clicked, this, &TForm24::Button1Click);
    connect(Button6, &QPushButton::clicked, this, &QDialog::reject);
    // The price and the sum follow the kind, the typed hours and the night box.
    guard::connect(cb_type_work, &QComboBox::activated, this, &TForm24::updatePrices);
    guard::connect(Edit6, &QLineEdit::textChanged, this, &TForm24::updatePrices);
    guard::connect(CBox1, &QCheckBox::toggled, this, &TForm24::updatePrices);

    applyFixedFrame(*this);
}

TForm24::~TForm24() = default;

void TForm24::openKinds()
{
    type_work->close();
    type_work->open();
    cb_type_work->load(*type_work, QStringLiteral("id"), QStringLiteral("vid"));
}

void TForm24::prepareNew()
{
    Tag = 1;
    // The new entry's id, taken once as the edit begins: pressed again after an answer lost with
    // the connection, the save finds the entry the first press may have stored instead of adding
    // a second one.
    m_newId = hourpaid::newEntryId(m_dm);
    openKinds();
    Edit1->clear();
    Edit2->clear();
    Edit6->setText(QStringLiteral("0"));
    CBox1->setChecked(false);
    CBox1->setEnabled(true);
    WorkerId = 0;
    GroupId = 0;
    m_entryId = 0;
    cb_type_work->setKeyValue(hourpaid::HouseholdWorks);
    updatePrices();
}

void TForm24::prepareChange(const Dataset &row)
{
    Tag = 2;
    openKinds();
    Edit1->setText(row.text(QStringLiteral("fio")).trimmed());
    Edit2->setText(row.text(QStringLiteral("s_caption")));
    Edit6->setText(QString::number(row.integer(QStringLiteral("cnt"))));
    GroupId = row.integer(QStringLiteral("id_nom"));
    WorkerId = row.integer(QStringLiteral("id_p"));
    m_entryId = row.integer(QStringLiteral("id"));
    cb_type_work->setKeyValue(row.integer(QStringLiteral("id_o")));
    CBox1->setChecked(row.integer(QStringLiteral("i_night")) != 0);
    CBox1->setEnabled(false);
    updatePrices();
}

void TForm24::FormActivate()
{
    // On to the first thing still missing.
    if (WorkerId == 0)
        Button3->setFocus();
    else if (GroupId == 0)
        Button4->setFocus();
    else {
        Edit6->setFocus();
        Edit6->selectAll();
    }
}

void TForm24::Button3Click()
{
    if (const auto choice = m_workers.runAsPicker(24, this)) {
        Edit1->setText(choice->name);
        WorkerId = choice->id;
    }
}

void TForm24::Button4Click()
{
    if (const auto choice = m_groups.runAsPicker(24, this)) {
        Edit2->setText(choice->name);
        GroupId = choice->id;
    }
}

bool TForm24::dayOff() const
{
    return m_list.CBox1->isChecked();
}

void TForm24::updatePrices()
{
    const qint64 kind = cb_type_work->keyValue().value_or(0);
    double base = 0;
    if (type_work->isOpen() && kind != 0 && type_work->locate(QStringLiteral("id"), kind))
        base = type_work->decimal(QStringLiteral("price"));
    bool isNumber = false;
    const qint64 hours = Edit6->text().trimmed().toLongLong(&isNumber);
    const double price = hourpaid::hourlyPrice(base, dayOff(), CBox1->isChecked());
    DBEdit1->setText(pricing::priceText(base));
    DBEdit2->setText(pricing::priceText(price * double(isNumber ? hours : 0)));
}

void TForm24::Button1Click()
{
    if (save())
        accept();
}

bool TForm24::save()
{
    const qint64 kind =
        cb_type_work->currentIndex() >= 0 ? cb_type_work->keyValue().value_or(0) : 0;
    if (WorkerId == 0 || GroupId == 0 || kind == 0) {
        messages::error(ErrorCaption, Incomplete);
        return false;
    }
    bool isNumber = false;
    const qint64 hours = Edit6->text().trimmed().toLongLong(&isNumber);
    if (!isNumber || hours < 1) {
        messages::error(ErrorCaption, NoHours);
        return false;
    }
    if (hours > hourpaid::MaxHours) {
        messages::error(ErrorCaption, TooManyHours);
        return false;
    }
    if (!type_work->locate(QStringLiteral("id"), kind)) {
        messages::error(ErrorCaption, Incomplete);
        return false;
    }
    TForm25 &list = m_list;
    const bool isNew = Tag == 1;
    const bool holiday = list.CBox1->isChecked();
    const int night = CBox1->isChecked() ? 1 : 0;
    const hourpaid::Entry entry{
        GroupId,
        kind,
        WorkerId,
        hours,
        hourpaid::hourlyPrice(type_work->decimal(QStringLiteral("price")), holiday, night != 0),
        holiday,
        night,
        list.DTPcker1->date(),
        list.ShiftNo};
    if (isNew)
        hourpaid::saveNew(m_dm, entry, m_newId);
    else
        hourpaid::save(m_dm, entry, m_entryId);

    list.reloadAt(list.fatigue->recNo());
    return true;
}
