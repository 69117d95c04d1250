#pragma once

#include <QDate>
#include <QStringList>

#include <array>

// The day columns of a month's timesheet: which of d1..d31 belong to the month and which fall on
// a Saturday or a Sunday.
struct MonthDays
{
    struct Day
    {
        bool inMonth = false;
        bool weekend = false;
    };

    MonthDays(int month, int year);

    // "Январь" .. "Декабрь", as the month boxes list them.
    static QStringList monthNames();
    // The day of a day column's field ("d1" .. "d31"), or 0 for any other field.
    static int dayOfField(const QString &field);

    int daysInMonth;
    std::array<Day, 31> days; // days[0] is day 1
    // The month's bounds: its first day and the first day of the next month.
    QDate first;
    QDate next;
};
