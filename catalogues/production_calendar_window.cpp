#include "catalogues/production_calendar_window.h"

#include "db/data_module.h"
#include "db/month_days.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/error_guard.h"
#include "ui/modal.h"
#include "ui/plain_text.h"
#include "ui/window_setup.h"

#include <QBrush>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QColor DayOffText(200, 0, 0);
const QColor StoredDayOff(253, 226, 226); // a holiday or a moved day off
const QColor Weekend(255, 244, 244);
const QColor WorkedWeekend(222, 242, 222);
const QColor OutsideText(160, 160, 160);

QString kindText(const calendar::Day &day)
{
    switch (day.kind) {
    case calendar::Kind::Holiday:
        return QStringLiteral("праздничный день");
    case calendar::Kind::DayOff:
        return QStringLiteral("выходной день (перенос)");
    case calendar::Kind::Working:
        return QStringLiteral("рабочий день");
    case calendar::Kind::Plain:
        break;
    }
    return day.dayOff ? QStringLiteral("выходной день") : QStringLiteral("рабочий день");
}

} // namespace

CalendarMonthModel::CalendarMonthModel(int month, QObject *parent)
    : QAbstractTableModel(parent)
    , m_month(month)
{}

void CalendarMonthModel::setYear(int year, const QVector<calendar::Day> *days)
{
    beginResetModel();
    m_first = QDate(year, m_month, 1);
    m_days = days;
    endResetModel();
}

QDate CalendarMonthModel::dateAt(const QModelIndex &index) const
{
    if (!index.isValid() || !m_first.isValid())
        return {};
    const int offset = index.row() * 7 + index.column() - (m_first.dayOfWeek() - 1);
    if (offset < 0 || offset >= m_first.daysInMonth())
        return {};
    return m_first.addDays(offset);
}

QModelIndex CalendarMonthModel::indexOf(const QDate &date) const
{
    if (!m_first.isValid() || date.year() != m_first.year() || date.month() != m_month)
        return {};
    const int cell = date.day() - 1 + m_first.dayOfWeek() - 1;
    return index(cell / 7, cell % 7);
}

const calendar::Day *CalendarMonthModel::dayAt(const QModelIndex &index) const
{
    const QDate date = dateAt(index);
    if (!date.isValid() || !m_days)
        return nullptr;
    const int at = date.dayOfYear() - 1;
    return at < m_days->size() ? &m_days->at(at) : nullptr;
}

int CalendarMonthModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 6;
}

int CalendarMonthModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 7;
}

QVariant CalendarMonthModel::data(const QModelIndex &index, int role) const
{
    const calendar::Day *day = dayAt(index);
    if (!day)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return day->date.day();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::ForegroundRole:
        return QBrush(day->dayOff ? DayOffText : QColor(Qt::black));
    case Qt::BackgroundRole:
        if (day->kind == calendar::Kind::Working)
            return QBrush(WorkedWeekend);
        if (day->kind != calendar::Kind::Plain)
            return QBrush(StoredDayOff);
        if (day->dayOff)
            return QBrush(Weekend);
        return {};
    case Qt::FontRole: {
        QFont font;
        font.setBold(day->kind != calendar::Kind::Plain || day->date == Clock::today());
        font.setUnderline(day->date == Clock::today());
        return font;
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: {
        QString text = QLocale().toString(day->date, QStringLiteral("d MMMM yyyy, dddd")) +
                       QStringLiteral(": ") + kindText(*day);
        if (!day->name.isEmpty())
            text += QStringLiteral(" — ") + day->name;
        return role == Qt::ToolTipRole ? plainToolTip(text) : text;
    }
    default:
        return {};
    }
}

QVariant CalendarMonthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > 6)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        static const char *const names[] = {"Пн", "Вт", "Ср", "Чт", "Пт", "Сб", "Вс"};
        return QString::fromUtf8(names[section]);
    }
    if (role == Qt::ForegroundRole && section >= 5)
        return QBrush(DayOffText);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags CalendarMonthModel::flags(const QModelIndex &index) const
{
    return dayAt(index) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

DayNameDialog::DayNameDialog(const QDate &date, bool dayOff, QWidget *parent)
    : QDialog(parent)
    , DayName(new QLineEdit(this))
    , OkButton(new QPushButton(QStringLiteral("ОК"), this))
    , CancelButton(new QPushButton(QStringLiteral("Отмена"), this))
{
    setObjectName(QStringLiteral("DayNameDialog"));
    setWindowTitle(dayOff ? QStringLiteral("Выходной день") : QStringLiteral("Рабочий день"));
    DayName->setObjectName(QStringLiteral("DayName"));
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    DayName->setMaxLength(calendar::MaxNameLength);
    DayName->setMinimumWidth(320);
    DayName->setPlaceholderText(dayOff ? QStringLiteral("например, Перенос с 03.01")
                                       : QStringLiteral("например, Перенос на 09.01"));
    auto *question = new QLabel(
        QStringLiteral("%1 станет %2.")
            .arg(QLocale().toString(date, QStringLiteral("dd.MM.yyyy (dddd)")),
                 dayOff ? QStringLiteral("выходным днем") : QStringLiteral("рабочим днем")),
        this);
    auto *label = new QLabel(QStringLiteral("&Название (необязательно):"), this);
    label->setBuddy(DayName);
    OkButton->setDefault(true);
    CancelButton->setAutoDefault(false);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(label);
    layout->addWidget(DayName);
    layout->addLayout(buttons);
    applyFixedFrame(*this);
}

QString DayNameDialog::name() const
{
    return DayName->text().trimmed();
}

ProductionCalendar::ProductionCalendar(TDataModule6 &dm, QWidget *parent)
    : QDialog(parent)
    , YearBox(new QComboBox(this))
    , Summary(new QLabel(this))
    , Hint(new QLabel(this))
    , CloseButton(new QPushButton(QStringLiteral("Закрыть"), this))
    , m_dm(dm)
{
    setObjectName(QStringLiteral("ProductionCalendar"));
    setWindowTitle(QStringLiteral("Производственный календарь"));
    YearBox->setObjectName(QStringLiteral("YearBox"));
    Summary->setObjectName(QStringLiteral("Summary"));
    Hint->setObjectName(QStringLiteral("Hint"));
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setAutoDefault(false);

    for (int year = 2007; year <= Clock::today().year() + 1; ++year)
        YearBox->addItem(QString::number(year), year);
    YearBox->setFocusPolicy(Qt::StrongFocus);
    auto *yearLabel = new QLabel(QStringLiteral("&Год:"), this);
    yearLabel->setBuddy(YearBox);
    QFont summaryFont = Summary->font();
    summaryFont.setBold(true);
    Summary->setFont(summaryFont);
    Hint->setWordWrap(true);

    auto *top = new QHBoxLayout;
    top->addWidget(yearLabel);
    top->addWidget(YearBox);
    top->addSpacing(16);
    top->addWidget(Summary, 1);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(8);
    const QStringList monthNames = MonthDays::monthNames();
    for (int month = 1; month <= 12; ++month) {
        auto *model = new CalendarMonthModel(month, this);
        auto *view = new QTableView(this);
        view->setObjectName(QStringLiteral("Month%1").arg(month));
        view->setAccessibleName(monthNames.at(month - 1));
        view->setModel(model);
        view->setSelectionMode(QAbstractItemView::NoSelection); // days off keep their red
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setShowGrid(false);
        view->setCornerButtonEnabled(false);
        view->verticalHeader()->hide();
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        view->horizontalHeader()->setHighlightSections(false);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        view->horizontalHeader()->setMinimumSectionSize(26);
        view->setMinimumSize(7 * 30 + 4, 6 * 22 + view->horizontalHeader()->sizeHint().height());
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::clicked, this, [this, model](const QModelIndex &index) {
            guard::run([&] { toggleDay(model->dateAt(index)); });
        });
        auto *title = new QLabel(monthNames.at(month - 1), this);
        QFont titleFont = title->font();
        titleFont.setBold(true);
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
        title->setFont(titleFont);
        title->setAlignment(Qt::AlignCenter);
        title->setBuddy(view);
        auto *box = new QVBoxLayout;
        box->setSpacing(2);
        box->addWidget(title);
        box->addWidget(view, 1);
        grid->addLayout(box, (month - 1) / 4, (month - 1) % 4);
        Months[month - 1] = view;
        m_models[month - 1] = model;
    }

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Hint, 1);
    bottom->addWidget(CloseButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);
    applyGridFrame(*this, QSize(980, 680));

    connect(YearBox, &QComboBox::activated, this,
            [this] { guard::run([this] { loadYear(YearBox->currentData().toInt()); }); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    setReadOnly(true);
}

void ProductionCalendar::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    Hint->setText(readOnly ? QStringLiteral("Выходные и праздничные дни — красным; название дня — "
                                            "во всплывающей подсказке. Только просмотр: менять "
                                            "календарь может пользователь с полным доступом.")
                           : QStringLiteral("Выходные и праздничные дни — красным; название дня — "
                                            "во всплывающей подсказке. Щелчок или пробел по дню "
                                            "делает его выходным или рабочим; изменение "
                                            "записывается сразу."));
}

void ProductionCalendar::showYear(const QDate &day, ActivationHandler *opener)
{
    const int index = YearBox->findData(day.year());
    YearBox->setCurrentIndex(index >= 0 ? index : YearBox->findData(Clock::today().year()));
    loadYear(YearBox->currentData().toInt());
    if (const QModelIndex at = m_models[day.month() - 1]->indexOf(day); at.isValid()) {
        Months[day.month() - 1]->setCurrentIndex(at);
        Months[day.month() - 1]->setFocus();
    }
    runModal(*this, opener);
}

void ProductionCalendar::loadYear(int year)
{
    BusyScope busy;
    // A year nobody has filled yet gets its public holidays before the office changes it.
    if (!m_readOnly)
        calendar::fillYears(m_dm.ADO_DB, year, year);
    m_days = calendar::days(m_dm.ADO_DB, QDate(year, 1, 1), QDate(year, 12, 31));
    m_year = year;
    for (CalendarMonthModel *model : m_models)
        model->setYear(year, &m_days);
    showSummary();
}

const calendar::Day &ProductionCalendar::dayInfo(const QDate &date) const
{
    return m_days.at(date.dayOfYear() - 1);
}

void ProductionCalendar::showSummary()
{
    const auto off = std::count_if(m_days.cbegin(), m_days.cend(),
                                   [](const calendar::Day &day) { return day.dayOff; });
    Summary->setText(QStringLiteral("%1 год: рабочих дней %2, выходных и праздничных %3")
                         .arg(m_year)
                         .arg(m_days.size() - off)
                         .arg(off));
}

void ProductionCalendar::toggleDay(const QDate &date)
{
    if (m_readOnly || !date.isValid() || date.year() != m_year)
        return;
    const bool dayOff = !dayInfo(date).dayOff;
    QString name;
    // A day that leaves the weekday rule is stored, with a name if the user gives one.
    if (dayOff != calendar::isWeekend(date)) {
        DayNameDialog dialog(date, dayOff, this);
        if (runModal(dialog) != QDialog::Accepted)
            return;
        name = dialog.name();
    }
    calendar::setDay(m_dm.ADO_DB, date, dayOff, name);
    loadYear(m_year);
    // The keyboard goes on from the day just changed.
    Months[date.month() - 1]->setCurrentIndex(m_models[date.month() - 1]->indexOf(date));
}

bool ProductionCalendar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        for (int month = 0; month < 12; ++month) {
            if (watched != Months[month])
                continue;
            const QDate date = m_models[month]->dateAt(Months[month]->currentIndex());
            guard::run([&] { toggleDay(date); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
