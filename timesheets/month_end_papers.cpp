#include "timesheets/month_end_papers.h"

#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "db/month_days.h"
#include "designs/payroll_export.h"
#include "designs/t13_form.h"
#include "output/preview.h"
#include "output/report.h"
#include "output/xlsx_export.h"
#include "timesheets/month_end_settings.h"
#include "timesheets/monthly_timesheet.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/error_guard.h"
#include "ui/modal.h"

#include <QDir>
#include <QMenu>
#include <QPushButton>

MonthEndPapers::MonthEndPapers(TDataModule6 &dm, TForm27 &window)
    : QObject(&window)
    , T13Button(new QPushButton(QStringLiteral("Табель Т-13"), &window))
    , PayrollButton(new QPushButton(QStringLiteral("Выгрузка для зарплаты"), &window))
    , m_dm(dm)
    , m_window(window)
{
    T13Button->setObjectName(QStringLiteral("T13Button"));
    PayrollButton->setObjectName(QStringLiteral("PayrollButton"));
    for (QPushButton *button : {T13Button, PayrollButton})
        button->setAutoDefault(false);
    auto *t13Menu = new QMenu(T13Button);
    t13Menu->setObjectName(QStringLiteral("T13Menu"));
    guard::connect(t13Menu->addAction(QStringLiteral("Просмотр и печать…")), &QAction::triggered,
                   this, [this] { printT13(); });
    guard::connect(t13Menu->addAction(QStringLiteral("В Excel")), &QAction::triggered, this,
                   [this] { exportT13(); });
    T13Button->setMenu(t13Menu);
    auto *payrollMenu = new QMenu(PayrollButton);
    payrollMenu->setObjectName(QStringLiteral("PayrollMenu"));
    guard::connect(payrollMenu->addAction(QStringLiteral("В Excel")), &QAction::triggered, this,
                   [this] { exportPayroll(false); });
    guard::connect(
        payrollMenu->addAction(QStringLiteral("В CSV (для программы расчета)")),
        &QAction::triggered, this, [this] {
            QString path;
            if (exportPayroll(true, &path))
                messages::information(
                    QStringLiteral("Выгрузка для зарплаты"),
                    QStringLiteral("Файл записан: %1").arg(QDir::toNativeSeparators(path)));
        });
    payrollMenu->addSeparator();
    guard::connect(payrollMenu->addAction(QStringLiteral("Реквизиты и коды показателей…")),
                   &QAction::triggered, this, [this] { editSettings(); });
    PayrollButton->setMenu(payrollMenu);
    PayrollButton->setEnabled(false);
}

void MonthEndPapers::setAllowed(bool fullAccess)
{
    PayrollButton->setEnabled(fullAccess);
}

bool MonthEndPapers::editSettings()
{
    if (!PayrollButton->isEnabled())
        return false;
    MonthEndSettings settings(m_dm, &m_window);
    settings.load();
    return runModal(settings, &m_window) == QDialog::Accepted;
}

bool MonthEndPapers::warningsAccepted(const QString &warnings)
{
    if (warnings.isEmpty())
        return true;
    return messages::question(warnings + QStringLiteral("\n\nСоставить табель все равно?"),
                              QStringLiteral("Табель Т-13"));
}

std::optional<t13::Form> MonthEndPapers::acceptedForm()
{
    const int month = m_window.month();
    const int year = m_window.year();
    if (month < 1 || year <= 0)
        return std::nullopt;
    t13::Form form = [&] {
        BusyScope busy;
        return t13::read(m_dm.ADO_DB, month, year, Clock::today());
    }();
    if (!warningsAccepted(form.warnings()))
        return std::nullopt;
    return form;
}

bool MonthEndPapers::printT13()
{
    const std::optional<t13::Form> accepted = acceptedForm();
    if (!accepted)
        return false;
    const t13::Form &form = *accepted;
    const report::PreparedReport prepared = [&] {
        BusyScope busy;
        return t13::prepare(form);
    }();
    report::preview(prepared, &m_window,
                    [form](const QPageLayout &paper) { return t13::prepare(form, &paper); });
    return true;
}

bool MonthEndPapers::exportT13()
{
    const std::optional<t13::Form> accepted = acceptedForm();
    if (!accepted)
        return false;
    const t13::Form &form = *accepted;
    XlsxExport excel;
    if (excel.open(t13::subject(form)) != 1)
        return false;
    {
        BusyScope busy;
        t13::writeWorkbook(form, excel);
    }
    return excel.show(true) == 1;
}

bool MonthEndPapers::exportPayroll(bool csv, QString *csvPath)
{
    const int month = m_window.month();
    const int year = m_window.year();
    if (!PayrollButton->isEnabled() || month < 1 || year <= 0)
        return false;
    const QString period =
        MonthDays::monthNames().value(month - 1) + QLatin1Char(' ') + QString::number(year);
    if (!closedmonths::isClosed(m_dm, month, year) &&
        !messages::question(QStringLiteral("Месяц %1 не закрыт: его записи и табель еще могут "
                                           "измениться, и выгруженные суммы тогда разойдутся с "
                                           "ними. Выгрузить для зарплаты все равно?")
                                .arg(period),
                            QStringLiteral("Выгрузка для зарплаты")))
        return false;
    const payroll::Export data = [&] {
        BusyScope busy;
        return payroll::read(m_dm.ADO_DB, month, year);
    }();
    if (!data.withoutNumber.isEmpty() &&
        !messages::question(QStringLiteral("Без табельного номера: %1\n\nВыгрузить все равно?")
                                .arg(data.withoutNumber.join(QStringLiteral(", "))),
                            QStringLiteral("Выгрузка для зарплаты")))
        return false;
    if (csv) {
        const QString path = QDir(XlsxExport::defaultFolder())
                                 .filePath(payroll::subject(month, year) + QStringLiteral(".csv"));
        QString error;
        if (!payroll::writeCsv(data, path, &error)) {
            messages::error(
                QStringLiteral("Ошибка"),
                QStringLiteral("Не удалось записать файл %1.").arg(QDir::toNativeSeparators(path)),
                error);
            return false;
        }
        if (csvPath)
            *csvPath = path;
        return true;
    }
    XlsxExport excel;
    if (excel.open(payroll::subject(month, year)) != 1)
        return false;
    payroll::writeWorkbook(data, excel);
    return excel.show(true) == 1;
}
