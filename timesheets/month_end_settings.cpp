#include "timesheets/month_end_settings.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/messages.h"
#include "ui/busy.h"
#include "ui/error_guard.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("Реквизиты и показатели");
// Shift numbers 1 to 4, separated by commas or blanks.
const QRegularExpression ShiftList(QStringLiteral("^\\s*[1-4](\\s*[,; ]\\s*[1-4])*\\s*$"));

} // namespace

MonthEndSettings::MonthEndSettings(TDataModule6 &dm, QWidget *parent)
    : QDialog(parent)
    , Organisation(new QLineEdit(this))
    , Okpo(new QLineEdit(this))
    , Department(new QLineEdit(this))
    , NightShifts(new QLineEdit(this))
    , NightHourPaid(new QCheckBox(QStringLiteral("Ночные почасовые работы — ночные часы"), this))
    , Indicators(new QTableWidget(0, 3, this))
    , SaveButton(new QPushButton(QStringLiteral("Сохранить"), this))
    , CancelButton(new QPushButton(QStringLiteral("Отмена"), this))
    , m_dm(dm)
{
    setObjectName(QStringLiteral("MonthEndSettings"));
    setWindowTitle(Caption);
    const std::pair<QWidget *, const char *> names[] = {
        {Organisation, "Organisation"},   {Okpo, "Okpo"},
        {Department, "Department"},       {NightShifts, "NightShifts"},
        {NightHourPaid, "NightHourPaid"}, {Indicators, "Indicators"},
        {SaveButton, "SaveButton"},       {CancelButton, "CancelButton"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(QLatin1String(name));
    Okpo->setMaxLength(14);
    NightShifts->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[1-4 ,;]*")), NightShifts));
    Indicators->setHorizontalHeaderLabels(
        {QStringLiteral("Показатель"), QStringLiteral("Код"), QStringLiteral("Наименование")});
    Indicators->setAccessibleName(QStringLiteral("Показатели для зарплаты"));
    Indicators->horizontalHeader()->setStretchLastSection(true);
    Indicators->verticalHeader()->setVisible(false);
    Indicators->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Indicators->setColumnWidth(0, 110);
    Indicators->setColumnWidth(1, 70);
    SaveButton->setDefault(true);
    CancelButton->setAutoDefault(false);

    auto *form = new QFormLayout;
    const std::pair<const char *, QWidget *> rows[] = {{"&Организация:", Organisation},
                                                       {"О&КПО:", Okpo},
                                                       {"&Подразделение:", Department},
                                                       {"&Ночные смены:", NightShifts}};
    for (const auto &[text, box] : rows) {
        auto *label = new QLabel(QString::fromUtf8(text), this);
        label->setBuddy(box);
        form->addRow(label, box);
    }
    form->addRow(NightHourPaid);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SaveButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Indicators, 1);
    layout->addLayout(buttons);
    resize(640, 480);

    guard::connect(SaveButton, &QPushButton::clicked, this, [this] {
        if (save())
            accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void MonthEndSettings::load()
{
    Dataset settings(m_dm.ADO_DB);
    settings.setSql(QStringLiteral("select name, value from accounts_dep.site_setting"));
    settings.open();
    NightHourPaid->setChecked(true);
    for (settings.first(); !settings.eof(); settings.next()) {
        const QString name = settings.text(QStringLiteral("name"));
        const QString value = settings.text(QStringLiteral("value"));
        if (name == QLatin1String("organisation"))
            Organisation->setText(value);
        else if (name == QLatin1String("okpo"))
            Okpo->setText(value);
        else if (name == QLatin1String("department"))
            Department->setText(value);
        else if (name == QLatin1String("night_shifts"))
            NightShifts->setText(value);
        else if (name == QLatin1String("night_hour_paid"))
            NightHourPaid->setChecked(value.trimmed() != QLatin1String("0") &&
                                      !value.trimmed().isEmpty());
    }
    Dataset indicators(m_dm.ADO_DB);
    indicators.setSql(QStringLiteral("select indicator, code, caption from "
                                     "accounts_dep.payroll_indicator order by ord, indicator"));
    indicators.open();
    Indicators->setRowCount(indicators.recordCount());
    int row = 0;
    for (indicators.first(); !indicators.eof(); indicators.next(), ++row) {
        auto *key = new QTableWidgetItem(indicators.text(QStringLiteral("indicator")));
        key->setFlags(key->flags() & ~Qt::ItemIsEditable);
        Indicators->setItem(row, 0, key);
        Indicators->setItem(row, 1, new QTableWidgetItem(indicators.text(QStringLiteral("code"))));
        Indicators->setItem(row, 2,
                            new QTableWidgetItem(indicators.text(QStringLiteral("caption"))));
    }
}

bool MonthEndSettings::save()
{
    if (!ShiftList.match(NightShifts->text()).hasMatch()) {
        messages::error(Caption, QStringLiteral("Ночные смены — номера смен от 1 до 4 через "
                                                "запятую, например «3». Ничего не сохранено."));
        return false;
    }
    for (int row = 0; row < Indicators->rowCount(); ++row) {
        if (Indicators->item(row, 1)->text().trimmed().isEmpty() ||
            Indicators->item(row, 2)->text().trimmed().isEmpty()) {
            messages::error(Caption, QStringLiteral("У показателя «%1» пустой код или "
                                                    "наименование. Ничего не сохранено.")
                                         .arg(Indicators->item(row, 0)->text()));
            return false;
        }
    }
    BusyScope busy;
    m_dm.ADO_DB.inTransaction([this] {
        Command setting(m_dm.ADO_DB,
                        QStringLiteral("insert into accounts_dep.site_setting (name, value) "
                                       "values (:name, :value) on conflict (name) do update set "
                                       "value = excluded.value"));
        const std::pair<const char *, QString> values[] = {
            {"organisation", Organisation->text().trimmed()},
            {"okpo", Okpo->text().trimmed()},
            {"department", Department->text().trimmed()},
            {"night_shifts", NightShifts->text().trimmed()},
            {"night_hour_paid",
             NightHourPaid->isChecked() ? QStringLiteral("1") : QStringLiteral("0")}};
        for (const auto &[name, value] : values) {
            setting.setParam(QStringLiteral("name"), QLatin1String(name));
            setting.setParam(QStringLiteral("value"), value);
            setting.execute();
        }
        Command indicator(m_dm.ADO_DB, QStringLiteral("update accounts_dep.payroll_indicator set "
                                                      "code = :code, caption = :caption where "
                                                      "indicator = :indicator"));
        for (int row = 0; row < Indicators->rowCount(); ++row) {
            indicator.setParam(QStringLiteral("indicator"), Indicators->item(row, 0)->text());
            indicator.setParam(QStringLiteral("code"), Indicators->item(row, 1)->text().trimmed());
            indicator.setParam(QStringLiteral("caption"),
                               Indicators->item(row, 2)->text().trimmed());
            indicator.execute();
        }
    });
    return true;
}
