#include "timesheets/absence_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

AbsenceDialog::AbsenceDialog(const QVector<absences::Person> &workers, const QString &period,
                             int daysInMonth, const QVector<absences::Kind> &kinds, QWidget *parent)
    : QDialog(parent)
    , Period(new QLabel(this))
    , Worker(new QComboBox(this))
    , Code(new QComboBox(this))
    , FromDay(new QSpinBox(this))
    , ToDay(new QSpinBox(this))
    , MarkButton(new QPushButton(QStringLiteral("Отметить"), this))
    , ClearButton(new QPushButton(QStringLiteral("Снять отметку"), this))
    , CancelButton(new QPushButton(QStringLiteral("Отмена"), this))
{
    setObjectName(QStringLiteral("AbsenceDialog"));
    setWindowTitle(QStringLiteral("Отсутствие"));
    Period->setObjectName(QStringLiteral("Period"));
    Period->setTextFormat(Qt::PlainText);
    Period->setText(period);
    Worker->setObjectName(QStringLiteral("Worker"));
    Worker->setAccessibleName(QStringLiteral("Работник"));
    Worker->setFocusPolicy(Qt::StrongFocus);
    for (const absences::Person &person : workers)
        Worker->addItem(person.name, person.id);
    Code->setObjectName(QStringLiteral("Code"));
    Code->setAccessibleName(QStringLiteral("Код отсутствия"));
    for (const absences::Kind &kind : kinds)
        Code->addItem(QStringLiteral("%1 (%2) — %3").arg(kind.code, kind.num, kind.caption),
                      kind.code);
    for (QSpinBox *box : {FromDay, ToDay}) {
        box->setRange(1, daysInMonth);
        box->setFocusPolicy(Qt::StrongFocus);
    }
    FromDay->setObjectName(QStringLiteral("FromDay"));
    ToDay->setObjectName(QStringLiteral("ToDay"));
    MarkButton->setObjectName(QStringLiteral("MarkButton"));
    ClearButton->setObjectName(QStringLiteral("ClearButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    MarkButton->setDefault(true);
    ClearButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);

    auto *form = new QFormLayout;
    auto *workerLabel = new QLabel(QStringLiteral("&Работник:"), this);
    workerLabel->setBuddy(Worker);
    form->addRow(workerLabel, Worker);
    auto *codeLabel = new QLabel(QStringLiteral("&Код:"), this);
    codeLabel->setBuddy(Code);
    form->addRow(codeLabel, Code);
    auto *fromLabel = new QLabel(QStringLiteral("&С числа:"), this);
    fromLabel->setBuddy(FromDay);
    form->addRow(fromLabel, FromDay);
    auto *toLabel = new QLabel(QStringLiteral("&По число:"), this);
    toLabel->setBuddy(ToDay);
    form->addRow(toLabel, ToDay);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(MarkButton);
    buttons->addWidget(ClearButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Period);
    layout->addLayout(form);
    layout->addLayout(buttons);

    // A range runs forward: moving one end past the other takes the other along.
    connect(FromDay, &QSpinBox::valueChanged, this, [this](int day) {
        if (ToDay->value() < day)
            ToDay->setValue(day);
    });
    connect(ToDay, &QSpinBox::valueChanged, this, [this](int day) {
        if (FromDay->value() > day)
            FromDay->setValue(day);
    });
    connect(MarkButton, &QPushButton::clicked, this, [this] {
        m_choice = Mark;
        accept();
    });
    connect(ClearButton, &QPushButton::clicked, this, [this] {
        m_choice = Clear;
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { m_choice = Cancelled; });
}

void AbsenceDialog::preset(qint64 worker, int fromDay, int toDay, const QString &code)
{
    Worker->setCurrentIndex(Worker->findData(worker));
    FromDay->setValue(fromDay);
    ToDay->setValue(toDay);
    const int index = Code->findData(code);
    Code->setCurrentIndex(index >= 0 ? index : 0);
}

qint64 AbsenceDialog::worker() const
{
    return Worker->currentIndex() < 0 ? 0 : Worker->currentData().toLongLong();
}

QString AbsenceDialog::workerName() const
{
    return Worker->currentText();
}

QString AbsenceDialog::code() const
{
    return Code->currentData().toString();
}

int AbsenceDialog::fromDay() const
{
    return FromDay->value();
}

int AbsenceDialog::toDay() const
{
    return ToDay->value();
}
