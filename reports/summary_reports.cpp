#include "reports/summary_reports.h"

#include "db/data_module.h"
#include "designs/report_functions.h"
#include "output/export_progress.h"
#include "reports/charts_window.h"
#include "reports/period_layouts.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/error_guard.h"
#include "ui/modal.h"
#include "ui/window_setup.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent)
    , m_buttons(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        button->setObjectName(QStringLiteral("%1_%2").arg(objectName()).arg(i));
        m_buttons->addButton(button, i);
        layout->addWidget(button);
    }
    setItemIndex(0);
}

int RadioGroup::itemIndex() const
{
    return m_buttons->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (QAbstractButton *button = m_buttons->button(index))
        button->setChecked(true);
}

QRadioButton *RadioGroup::item(int index) const
{
    return qobject_cast<QRadioButton *>(m_buttons->button(index));
}

TForm18::TForm18(TDataModule6 &dm, TForm16 &workers, TForm17 &products, TForm20 &workersDetailed,
                 TForm21 &productsDetailed, QWidget *parent)
    : QDialog(parent)
    , RadioGroup1(new RadioGroup(
          QStringLiteral("Вид продукции"),
          {QStringLiteral("Все"), QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")},
          this))
    , GroupBox1(new QGroupBox(QStringLiteral("Период отбора"), this))
    , DTPicker1(new QDateEdit(GroupBox1))
    , DTPicker2(new QDateEdit(GroupBox1))
    , Button4(new QPushButton(QStringLiteral("Отчет по рабочим"), this))
    , Button2(new QPushButton(QStringLiteral("Отчет по продукции"), this))
    , Button1(new QPushButton(QStringLiteral("Детальный отчет по рабочим"), this))
    , Button3(new QPushButton(QStringLiteral("Детальный отчет по продукции"), this))
    , Button7(new QPushButton(QStringLiteral("Графики"), this))
    , Button6(new QPushButton(ExportProgress::caption(0, 0), this))
    , Button5(new QPushButton(QStringLiteral("Выход"), this))
    , XLS_Rep(dm.ADO_DB)
    , m_dm(dm)
    , m_workers(workers)
    , m_products(products)
    , m_workersDetailed(workersDetailed)
    , m_productsDetailed(productsDetailed)
    , m_charts(std::make_unique<ChartsWindow>(dm, this))
{
    setObjectName(QStringLiteral("TForm18"));
    setWindowTitle(QStringLiteral("Отчеты (8)"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const std::pair<QObject *, const char *> names[] = {
        {RadioGroup1, "RadioGroup1"}, {GroupBox1, "GroupBox1"}, {DTPicker1, "DTPicker1"},
        {DTPicker2, "DTPicker2"},     {Button4, "Button4"},     {Button2, "Button2"},
        {Button1, "Button1"},         {Button3, "Button3"},     {Button7, "Button7"},
        {Button6, "Button6"},         {Button5, "Button5"},     {&XLS_Rep, "XLS_Rep"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QLatin1String(name));
    for (int i = 0; i < 3; ++i)
        RadioGroup1->item(i)->setObjectName(QStringLiteral("RadioGroup1_%1").arg(i));

    const QDate first(2007, 1, 1);
    const QDate last(Clock::today().year() + 1, 12, 31);
    auto *period = new QFormLayout(GroupBox1);
    for (const auto &[picker, caption] :
         {std::pair{DTPicker1, QStringLiteral("с")}, std::pair{DTPicker2, QStringLiteral("по")}}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        picker->setDateRange(first, last);
        picker->setDate(Clock::today());
        auto *label = new QLabel(caption, GroupBox1);
        label->setBuddy(picker);
        period->addRow(label, picker);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(RadioGroup1);
    layout->addWidget(GroupBox1);
    for (QPushButton *button : {Button4, Button2, Button1, Button3, Button7, Button6, Button5}) {
        button->setAutoDefault(false);
        layout->addWidget(button);
    }

    guard::connect(Button4, &QPushButton::clicked, this, &TForm18::Button4Click);
    guard::connect(Button2, &QPushButton::clicked, this, &TForm18::Button2Click);
    guard::connect(Button1, &QPushButton::clicked, this, &TForm18::Button1Click);
    guard::connect(Button3, &QPushButton::clicked, this, &TForm18::Button3Click);
    guard::connect(Button7, &QPushButton::clicked, this, &TForm18::Button7Click);
    guard::connect(Button6, &QPushButton::clicked, this, &TForm18::Button6Click);
    guard::connect(Button5, &QPushButton::clicked, this, &TForm18::Button5Click);

    XLS_Rep.setSql(reporting::productSummaryText());
    rememberGeometry(*this);
}

TForm18::~TForm18() = default;

void TForm18::applyRole(Role role)
{
    const bool reports = role != Role::Foremen && role != Role::Warehouse;
    for (QPushButton *button : {Button1, Button2, Button4, Button6})
        button->setEnabled(reports);
    if (role == Role::Warehouse)
        RadioGroup1->setItemIndex(int(ProductKind::Finished));
    RadioGroup1->setEnabled(role != Role::Warehouse);
    // The planning role sees the shift log but may not move it to another day.
    m_charts->setDayLinks(role != Role::Planning);
}

void TForm18::setPreviousMonth(const QDate &today)
{
    const QDate current(today.year(), today.month(), 1);
    DTPicker1->setDate(current.addMonths(-1));
    DTPicker2->setDate(current);
}

QDate TForm18::showFromMenu(ActivationHandler *opener)
{
    m_chosenDay = {};
    setPreviousMonth(Clock::today());
    // Centred over the window it is opened from.
    if (const auto *main = dynamic_cast<const QWidget *>(opener)) {
        adjustSize();
        move(main->frameGeometry().center() - rect().center());
    }
    runModal(*this, opener);
    return m_chosenDay;
}

ProductKind TForm18::productKind() const
{
    const int index = RadioGroup1->itemIndex();
    return index == 1 ? ProductKind::Finished
                      : (index == 2 ? ProductKind::Blanks : ProductKind::All);
}

void TForm18::printReport(PeriodLayout &layout)
{
    layout.print(DTPicker1->date(), DTPicker2->date(), productKind(), this);
}

void TForm18::Button4Click()
{
    printReport(m_workers);
}

void TForm18::Button2Click()
{
    printReport(m_products);
}

void TForm18::Button1Click()
{
    printReport(m_workersDetailed);
}

void TForm18::Button3Click()
{
    printReport(m_productsDetailed);
}

void TForm18::Button7Click()
{
    const QDate day = m_charts->showPeriod(DTPicker1->date(), DTPicker2->date(), productKind());
    // A day clicked in the charts leads to the shift log, which lies under this window.
    if (day.isValid()) {
        m_chosenDay = day;
        reject();
    }
}

void TForm18::Button6Click()
{
    const QDate from = DTPicker1->date();
    const QDate to = DTPicker2->date();
    QueryCloser closer(XLS_Rep);
    {
        BusyScope busy;
        reporting::openProductSummary(XLS_Rep, from, to, productKind());
        if (m_excel.open(reporting::productSummarySubject(from, to)) == -1)
            return;
    }
    ExportProgress progress(*Button6, XLS_Rep.recordCount());
    reporting::writeProductSummary(XLS_Rep, m_excel, [&progress] { progress.rowWritten(); });
    m_excel.show(true);
}

void TForm18::Button5Click()
{
    reject();
}
