#pragma once

#include <QDate>
#include <QStringList>

#include <array>

#include "db/production_calendar.h"

class Connection;
class Dataset;

// The day columns of a month's timesheet: which of d1..d31 belong to the month and which are days
// off.
struct MonthDays
{
    struct Day
    {
        bool inMonth = false;
        bool dayOff = false;
        QString name; // a holiday's or a moved day's name from the production calendar
    };

    // Saturdays and Sundays as the days off, before the calendar is read.
    MonthDays(int month, int year);
    // The days off of the production calendar, read with one query.
    MonthDays(Connection &connection, int month, int year);
    // The same read with a window's other queries (db/batch.h): the query to open, then the days.
    static void askStored(Dataset &query, int month, int year);
    MonthDays(Dataset &stored, int month, int year);

    // "Январь" .. "Декабрь", as the month boxes list them.
    static QStringList monthNames();
    // The day of a day column's field ("d1" .. "d31"), or 0 for any other field.
    static int dayOfField(const QString &field);

private:
    MonthDays(int month, int year, const QVector<calendar::Day> &calendarDays);

public:
    int daysInMonth;
    std::array<Day, 31> days; // days[0] is day 1
    // The month's bounds: its first day and the first day of the next month.
    QDate first;
    QDate next;
};
