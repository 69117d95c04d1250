#include "shiftlog/shift_entry_editor.h"

#include "catalogues/operation_prices.h"
#include "catalogues/workers.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "db/production_calendar.h"
#include "db/sql_text.h"
#include "shiftlog/piece_price.h"
#include "shiftlog/shift_entries.h"
#include "ui/clock.h"
#include "ui/error_guard.h"
#include "ui/picker_box.h"
#include "ui/window_setup.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

const QString Incomplete = QStringLiteral("Все поля должны быть заполнены!");
const QString Duplicate = QStringLiteral("Позиция с такими параметрами уже заведена!");
// More hours in a worker's day than this are written only after a question.
constexpr int MaxDayHours = 24;

QString productKindText(qint64 naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

// Digits only, no more than the column can store (a paste is checked too).
void digitsOnly(QLineEdit *box, int maxDigits)
{
    box->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,%1}").arg(maxDigits)), box));
    box->setMaxLength(maxDigits);
}

QLineEdit *display(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

TForm11::TForm11(TDataModule6 &dm, TForm5 &workers, TForm4 &operations, QWidget *parent)
    : QDialog(parent)
    , m_dm(dm)
    , m_workers(workers)
    , m_operations(operations)
    , SmenaIU(std::make_unique<Command>(dm.ADO_DB))
{
    setObjectName(QStringLiteral("TForm11"));
    setWindowTitle(QStringLiteral("Заведение новой позиции (11)"));
    auto *group = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    auto *worker = new PickerBox(QStringLiteral("Edit1"), QStringLiteral("Button3"),
                                 QStringLiteral("ФИО"), group);
    auto *operation = new PickerBox(QStringLiteral("Edit2"), QStringLiteral("Button4"),
                                    QStringLiteral("Операция"), group);
    Edit1 = worker->edit();
    Button3 = worker->button();
    Edit2 = operation->edit();
    Button4 = operation->button();
    Edit1->setAccessibleName(QStringLiteral("ФИО"));
    Edit2->setAccessibleName(QStringLiteral("Операция"));
    Edit2->setMinimumWidth(420);
    const auto line = [group](const char *name) {
        auto *box = new QLineEdit(group);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    Edit3 = line("Edit3");
    Edit6 = line("Edit6");
    Edit5 = line("Edit5");
    Edit4 = line("Edit4");
    // kol_vo and color are integers, brak a smallint; hours stay small so day sums always fit.
    digitsOnly(Edit3, 9);
    digitsOnly(Edit4, 4);
    digitsOnly(Edit5, 9);
    digitsOnly(Edit6, 4);
    Edit6->setText(QStringLiteral("0"));
    Edit4->setText(QStringLiteral("0"));
    DTimeP = new QDateEdit(group);
    DTimeP->setObjectName(QStringLiteral("DTimeP"));
    DTimeP->setCalendarPopup(true);
    DTimeP->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DTimeP->setDateRange(QDate(2007, 1, 1), QDate(Clock::today().year() + 1, 12, 31));
    Edit8 = display(group, "Edit8");
    Edit7 = display(group, "Edit7");
    Edit9 = display(group, "Edit9");
    Button1 = new QPushButton(QStringLiteral("Запись"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);

    auto *grid = new QGridLayout(group);
    int row = 0;
    const auto label = [&](const QString &text, QWidget *buddy, const char *name = nullptr) {
        auto *caption = new QLabel(text, group);
        caption->setBuddy(buddy);
        if (name)
            caption->setObjectName(QLatin1String(name));
        return caption;
    };
    // Which list the entry goes to, so that a wrong shift is seen before the save.
    ShiftLabel = new QLabel(group);
    ShiftLabel->setObjectName(QStringLiteral("ShiftLabel"));
    {
        QFont bold = ShiftLabel->font();
        bold.setBold(true);
        ShiftLabel->setFont(bold);
    }
    grid->addWidget(label(QStringLiteral("Запись в"), ShiftLabel), row, 0);
    grid->addWidget(ShiftLabel, row++, 1, 1, 5);
    grid->addWidget(label(QStringLiteral("ФИО"), Edit1), row, 0);
    grid->addWidget(worker, row++, 1, 1, 5);
    grid->addWidget(label(QStringLiteral("Операция"), Edit2), row, 0);
    grid->addWidget(operation, row++, 1, 1, 5);
    grid->addWidget(label(QStringLiteral("Кол-во"), Edit3), row, 0);
    grid->addWidget(Edit3, row, 1);
    grid->addWidget(label(QStringLiteral("Время"), Edit6), row, 2);
    grid->addWidget(Edit6, row, 3);
    Label6 = label(QStringLiteral("Цвет"), Edit5, "Label6");
    grid->addWidget(Label6, row, 4);
    grid->addWidget(Edit5, row++, 5);
    grid->addWidget(label(QStringLiteral("Дата"), DTimeP), row, 0);
    grid->addWidget(DTimeP, row, 1);
    grid->addWidget(label(QStringLiteral("Брак"), Edit4), row, 2);
    grid->addWidget(Edit4, row++, 3);
    grid->addWidget(label(QStringLiteral("Цена база"), Edit8), row, 0);
    grid->addWidget(Edit8, row, 1);
    grid->addWidget(label(QStringLiteral("Цена итог"), Edit7), row, 2);
    grid->addWidget(Edit7, row, 3);
    grid->addWidget(label(QStringLiteral("Сумма"), Edit9), row, 4);
    grid->addWidget(Edit9, row++, 5);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Edit3);
    setTabOrder(Edit3, Edit6);
    setTabOrder(Edit6, Edit5);
    setTabOrder(Edit5, DTimeP);
    setTabOrder(DTimeP, Edit4);
    setTabOrder(Edit4, Button1);
    setTabOrder(Button1, Button2);

    Edit3->installEventFilter(this);
    Edit6->installEventFilter(this);
    guard::connect(worker, &PickerBox::pickRequested, this, &TForm11::Button3Click);
    guard::connect(operation, &PickerBox::pickRequested, this, &TForm11::Button4Click);
    guard::connect(Button1, &QPushButton::clicked, this, &TForm11::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    guard::connect(DTimeP, &QDateEdit::dateChanged, this, &TForm11::DTimePChange);
    rememberGeometry(*this);
}

TForm11::~TForm11() = default;

void TForm11::prepareNew(const QDate &day)
{
    {
        const QSignalBlocker blocker(DTimeP);
        DTimeP->setDate(day);
    }
    showShift();
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
    Edit5->clear();
    Edit4->setText(QStringLiteral("0"));
    Edit6->setText(QStringLiteral("0"));
    setWindowTitle(QStringLiteral("Заведение новой позиции (11)"));
    Tag = 1;
}

void TForm11::prepareChange(const Dataset &row)
{
    PiecePrice = row.decimal(QStringLiteral("cena"));
    Edit7->setText(pricing::priceText(PiecePrice));
    Edit9->setText(pricing::priceText(row.decimal(QStringLiteral("kol_vo")) * PiecePrice));
    {
        // The stored price stays until the date or the operation changes.
        const QSignalBlocker blocker(DTimeP);
        DTimeP->setDate(row.date(QStringLiteral("data")));
    }
    showShift();
    Edit1->setText(row.text(QStringLiteral("fio")).trimmed());
    const QString kind = row.text(QStringLiteral("vid")).trimmed();
    Edit2->setText(row.text(QStringLiteral("marka")).trimmed() + QStringLiteral("; ") + kind +
                   QStringLiteral("; ") + productKindText(row.integer(QStringLiteral("naimen"))));
    Edit3->setText(row.text(QStringLiteral("kol_vo")).trimmed());
    Edit4->setText(row.text(QStringLiteral("brak")).trimmed());
    WorkerId = row.integer(QStringLiteral("w_id"));
    m_changedOperation = row.integer(QStringLiteral("o_id"));
    ProductId = row.integer(QStringLiteral("i_id"));
    OperationId = row.integer(QStringLiteral("o_id"));
    Edit6->setText(QString::number(row.integer(QStringLiteral("time"))));
    const bool paint = QLocale().toUpper(kind).contains(QStringLiteral("КРАСКА"));
    Edit5->setEnabled(paint);
    Label6->setEnabled(paint);
    Edit5->setText(paint ? row.text(QStringLiteral("color")) : QString());
    // The base price of the entry's operation as it stands now.
    m_basePrice = 0;
    m_dm.Control.close();
    m_dm.Control.setSql(
        QStringLiteral("select min(price) as cena from accounts_dep.norm where o_id=") +
        sql::integer(OperationId));
    m_dm.Control.open();
    m_basePrice = m_dm.Control.decimal(QStringLiteral("cena"));
    m_dm.Control.close();
    Edit8->setText(pricing::priceText(m_basePrice));
    setWindowTitle(QStringLiteral("Изменение данных о позиции (11)"));
    Tag = 2;
}

void TForm11::showShift()
{
    const int shift = ShiftNo >= 2 && ShiftNo <= 4 ? ShiftNo : 1;
    ShiftLabel->setText(shift == 4 ? QStringLiteral("Переработка")
                                   : QStringLiteral("Смена №%1").arg(shift));
}

bool TForm11::dayOff() const
{
    const QDate day = DTimeP->date();
    // The shift log's tick (set by hand or by the calendar) is the status of the day it lists;
    // another day's status is the production calendar's.
    return day == MainDay ? DayOff : calendar::isDayOff(m_dm.ADO_DB, day);
}

void TForm11::FormActivate()
{
    Button3->setFocus();
}

bool TForm11::isPaint() const
{
    return QLocale().toUpper(Edit2->text()).contains(QStringLiteral("КРАСКА"));
}

void TForm11::showColourBox()
{
    const bool paint = isPaint();
    if (!paint)
        Edit5->clear();
    Edit5->setEnabled(paint);
    Label6->setEnabled(paint);
}

void TForm11::Button3Click()
{
    if (const auto choice = m_workers.runAsPicker(1, this)) {
        Edit1->setText(choice->name);
        WorkerId = choice->id;
    }
}

void TForm11::Button4Click()
{
    const qint64 current = Tag == 1 ? 0 : m_changedOperation;
    const auto picked = m_operations.pickOperation(current, this);
    if (picked) {
        ProductId = picked->productId;
        OperationId = picked->operationId;
        PiecePrice = pricing::piecePrice(picked->basePrice, dayOff(), ShiftNo);
        m_basePrice = picked->basePrice;
        m_dm.Control.close();
        m_dm.Control.setSql(QStringLiteral("select marka from accounts_dep.izdel where id=") +
                            sql::integer(ProductId));
        m_dm.Control.open();
        Edit2->setText(m_dm.Control.text(QStringLiteral("marka")).trimmed() + QStringLiteral("; ") +
                       picked->kind + QStringLiteral("; ") + productKindText(picked->naimen));
        m_dm.Control.close();
    }
    showColourBox();
    updatePrices();
}

void TForm11::updatePrices()
{
    if (Edit6->text().isEmpty())
        Edit6->setText(QStringLiteral("0"));
    if (Edit3->text().isEmpty())
        Edit3->setText(QStringLiteral("0"));
    showPrices();
}

void TForm11::showPrices()
{
    Edit7->setText(pricing::priceText(PiecePrice));
    Edit8->setText(pricing::priceText(m_basePrice));
    Edit9->setText(pricing::priceText(Edit3->text().toDouble() * PiecePrice));
}

void TForm11::DTimePChange()
{
    // Nothing is priced before an operation is chosen.
    if (Edit2->text().trimmed().isEmpty())
        return;
    PiecePrice = pricing::piecePrice(m_basePrice, dayOff(), ShiftNo);
    showPrices();
}

bool TForm11::eventFilter(QObject *watched, QEvent *event)
{
    // Leaving the pieces or the hours box brings the price boxes up to date.
    if ((watched == Edit3 || watched == Edit6) && event->type() == QEvent::FocusOut)
        guard::run([this] { updatePrices(); });
    return QDialog::eventFilter(watched, event);
}

void TForm11::Button1Click()
{
    if (save())
        accept();
}

bool TForm11::save()
{
    const bool paint = isPaint();
    if (Edit1->text().trimmed().isEmpty() || Edit2->text().trimmed().isEmpty() ||
        Edit3->text().trimmed().isEmpty() || Edit4->text().trimmed().isEmpty() ||
        (paint && Edit5->text().trimmed().isEmpty()) || Edit6->text().trimmed().isEmpty()) {
        messages::error(QStringLiteral("Ошибка"), Incomplete);
        return false;
    }
    const int shift = ShiftNo;
    Dataset &query = m_dm.shiftQuery(shift);
    const qint64 colour =
        Edit5->text().trimmed().isEmpty() ? 0 : Edit5->text().trimmed().toLongLong();
    const QDate day = DTimeP->date();
    const qint64 rowId = Tag == 1 ? 0 : query.integer(QStringLiteral("id"));
    const qint64 hours = Edit6->text().trimmed().toLongLong();
    const shiftentries::Entry entry{WorkerId,
                                    ProductId,
                                    OperationId,
                                    PiecePrice,
                                    Edit3->text().trimmed().toLongLong(),
                                    Edit4->text().trimmed().toLongLong(),
                                    day,
                                    shift,
                                    colour,
                                    hours};
    // The duplicate check, the worker's other hours of the day and the write in one round trip;
    // the entry and the hours of its day land together or not at all.
    shiftentries::Checked saved =
        shiftentries::saveChecked(*SmenaIU, entry, rowId, Clock::today(), MaxDayHours);
    if (saved.sameEntries > 0) {
        messages::error(QStringLiteral("Ошибка"), Duplicate);
        return false;
    }
    if (saved.savedId == 0) {
        // A day of more than 24 hours is a typing slip more often than not: written only when
        // the clerk says so.
        const qint64 dayTotal = hours + saved.otherHours;
        if (!messages::question(QStringLiteral("За %1 у рабочего получится %2 ч. Записать?")
                                    .arg(day.toString(QStringLiteral("dd.MM.yyyy")))
                                    .arg(dayTotal),
                                QStringLiteral("Часы за день")))
            return false;
        saved = shiftentries::saveChecked(*SmenaIU, entry, rowId, Clock::today(), -1);
        if (saved.sameEntries > 0) {
            messages::error(QStringLiteral("Ошибка"), Duplicate);
            return false;
        }
    }
    SavedId = saved.savedId;

    // The log reads its lists again as the editor closes, and stands on this entry.
    m_dm.H_Tabel_1.close();
    m_dm.H_Tabel_2.close();
    m_dm.H_Tabel_3.close();
    for (QLineEdit *box : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9})
        box->clear();
    return true;
}
