#include "timesheets/month_days.h"

MonthDays::MonthDays(int month, int year)
    : daysInMonth(QDate(year, month, 1).daysInMonth())
    , first(year, month, 1)
    , next(QDate(year, month, 1).addMonths(1))
{
    for (int day = 1; day <= 31; ++day) {
        Day &entry = days[day - 1];
        entry.inMonth = day <= daysInMonth;
        if (entry.inMonth) {
            const int weekday = QDate(year, month, day).dayOfWeek();
            entry.weekend = weekday == Qt::Saturday || weekday == Qt::Sunday;
        }
    }
}
