#include "tools/month_end_output.h"

#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/month_days.h"
#include "designs/payroll_export.h"
#include "designs/t13_form.h"
#include "ui/clock.h"

#include <QTextStream>

namespace monthend {

bool produce(TDataModule6 &dm, bool t13Form, int month, int year, const QString &department,
             const QString &format, const QString &path, QTextStream &err)
{
    if (t13Form) {
        const t13::Form form = t13::read(dm.ADO_DB, month, year, Clock::today(), department);
        const QString warnings = form.warnings();
        if (!warnings.isEmpty())
            err << "tabel-report: " << warnings << Qt::endl;
        if (format == QLatin1String("xlsx"))
            return t13::exportWorkbook(form, path);
        t13::prepare(form).writePdf(path);
        return true;
    }
    // A job cannot answer the window's question: it says so and writes the month all the same.
    if (!closedmonths::isClosed(dm, month, year))
        err << "tabel-report: "
            << QStringLiteral("месяц %1 %2 не закрыт: его записи еще могут измениться (the month "
                              "is not closed)")
                   .arg(MonthDays::monthNames().value(month - 1))
                   .arg(year)
            << Qt::endl;
    const payroll::Export data = payroll::read(dm.ADO_DB, month, year);
    if (!data.withoutNumber.isEmpty())
        err << "tabel-report: "
            << QStringLiteral("без табельного номера: %1")
                   .arg(data.withoutNumber.join(QStringLiteral(", ")))
            << Qt::endl;
    if (format == QLatin1String("csv")) {
        QString error;
        if (payroll::writeCsv(data, path, &error))
            return true;
        err << "tabel-report: "
            << QStringLiteral("Не удалось записать файл \"%1\": %2").arg(path, error) << Qt::endl;
        return false;
    }
    return payroll::exportWorkbook(data, path);
}

} // namespace monthend
