#pragma once

#include "output/layout.h"
#include "output/prepared_report.h"

#include <QDate>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

class Connection;
class XlsxExport;

namespace report {
class TableSource;
}

// The unified timesheet form T-13 of a month: for every worker with hours or absences in the
// month his code and hours of every day, by halves of the month, with the totals and the absences
// by code. The hours are the monthly timesheet's day columns; which of them are night hours is the
// site's setting; days off come from the production calendar; absences as marked.
namespace t13 {

// The site's settings the form prints and counts by (accounts_dep.site_setting).
struct Settings
{
    QString organisation;
    QString okpo;
    QString department;
    // The shifts whose hours are night hours (by default shift 3).
    QSet<int> nightShifts{3};
    // Whether hour-paid night work counts as night hours (by default it does).
    bool nightHourPaid = true;
};

Settings readSettings(Connection &connection);

// One day of a worker: the codes and their hours ("Я", "8"; "Я/Н", "6/2"; "ОТ", "").
struct Day
{
    QString codes;
    QString hours;
    int worked = 0;        // hours of work that day
    bool unmarked = false; // a working day with neither hours nor a mark
};

struct Worker
{
    int number = 0; // in order
    qint64 id = 0;
    QString name;
    QString position;
    QString personnelNumber;
    std::array<Day, 31> days;
    int halfDays[2] = {0, 0};
    int halfHours[2] = {0, 0};
    int monthDays = 0;
    int monthHours = 0;
    // Days of each absence code, in the order of the codes' list.
    QVector<QPair<QString, int>> absences;
};

struct Form
{
    int month = 0;
    int year = 0;
    int daysInMonth = 0;
    QString number;
    QDate drawnUp;
    Settings settings;
    QVector<Worker> workers;
    // Workers without a personnel number, by name.
    QStringList withoutNumber;
    // Working days left empty: "Иванов И.И.: 3, 4".
    QStringList unmarked;

    QDate first() const { return QDate(year, month, 1); }
    QDate last() const { return QDate(year, month, daysInMonth); }
    int totalDays() const;
    int totalHours() const;
    // What to tell before the form is printed: the workers without a personnel number and the
    // working days without hours or mark; empty when there is nothing.
    QString warnings() const;
};

// The form of a month; department replaces the site's department in the header when not empty.
// The document's number defaults to the month's number, its date to drawnUp.
Form read(Connection &connection, int month, int year, const QDate &drawnUp,
          const QString &department = {});

// The rows the layout prints: one per worker.
report::TableSource rows(const Form &form);
report::Layout design();
// The printed form: A4 landscape, the header, the table, the signatures at the foot; on another
// paper or orientation when one is given (the preview's change).
report::PreparedReport prepare(const Form &form, const QPageLayout *paper = nullptr);

// Writes the form into sheet 1 of an open workbook: the header, the column titles and numbers,
// four lines per worker, the totals.
void writeWorkbook(const Form &form, XlsxExport &workbook);
// The whole form into a workbook file at path (not opened). False when it could not be written.
bool exportWorkbook(const Form &form, const QString &path);

// "Табель Т-13 Ноябрь 2026": what a workbook of the form is named after.
QString subject(const Form &form);

} // namespace t13
