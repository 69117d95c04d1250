#include "db/closed_months.h"

#include "db/data_module.h"
#include "db/hours_posting.h"
#include "db/month_days.h"
#include "db/sql_text.h"

namespace closedmonths {

namespace {

QString monthCondition(int month, int year)
{
    return QStringLiteral("year=%1 and month=%2").arg(sql::integer(year), sql::integer(month));
}

} // namespace

bool isClosed(TDataModule6 &dm, int month, int year)
{
    return dm.scalar(QStringLiteral("select count(*) cnt from accounts_dep.closed_month where ") +
                         monthCondition(month, year),
                     QStringLiteral("cnt")) > 0;
}

void close(TDataModule6 &dm, int month, int year)
{
    dm.ADO_DB.inTransaction([&] {
        // Writes of the month hold its lock shared until they commit: once it is held here, none
        // is half done.
        posting::lockMonth(dm, month, year);
        dm.SQL_exec.execute(QStringLiteral("insert into accounts_dep.closed_month(year, month) "
                                           "values (%1, %2) on conflict do nothing")
                                .arg(sql::integer(year), sql::integer(month)));
    });
}

void open(TDataModule6 &dm, int month, int year)
{
    dm.SQL_exec.execute(QStringLiteral("delete from accounts_dep.closed_month where ") +
                        monthCondition(month, year));
}

QString caption(const QString &caption, bool closed)
{
    return closed ? caption + QStringLiteral(" (закрыт)") : caption;
}

QString refusal(int month, int year)
{
    return MonthDays::monthNames().value(month - 1) + QLatin1Char(' ') + QString::number(year) +
           QStringLiteral(" закрыт для изменений; изменения не записаны.");
}

} // namespace closedmonths
