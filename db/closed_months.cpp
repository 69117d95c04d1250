#include "db/closed_months.h"

#include "db/data_module.h"
#include "db/month_days.h"
#include "db/sql_text.h"

namespace closedmonths {

namespace {

QString monthCondition(int month, int year)
{
    return QStringLiteral("year=%1 and month=%2").arg(sql::integer(year), sql::integer(month));
}

} // namespace

QString closedText(int month, int year)
{
    return QStringLiteral("select count(*) cnt from accounts_dep.closed_month where ") +
           monthCondition(month, year);
}

bool isClosed(TDataModule6 &dm, int month, int year)
{
    return dm.scalar(closedText(month, year), QStringLiteral("cnt")) > 0;
}

void askClosed(Dataset &query, int month, int year)
{
    query.setSql(closedText(month, year));
}

bool closedFrom(Dataset &query)
{
    query.first();
    return !query.isEmpty() && query.integer(QStringLiteral("cnt")) > 0;
}

// Only the database's own functions close and open a month (full access alone may call them):
// they wait for the month's writes under way and record who did it, when and from where.
void close(TDataModule6 &dm, int month, int year)
{
    dm.ADO_DB.run(QStringLiteral("select accounts_dep.close_month(%1, %2)")
                      .arg(sql::integer(year), sql::integer(month)));
}

void open(TDataModule6 &dm, int month, int year)
{
    dm.ADO_DB.run(QStringLiteral("select accounts_dep.open_month(%1, %2)")
                      .arg(sql::integer(year), sql::integer(month)));
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
