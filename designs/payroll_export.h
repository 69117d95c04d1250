#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class Connection;
class XlsxExport;

// The pay figures of a month handed to the payroll program: one row per worker and indicator
// (piece pay, piece pay without the coefficient 1.2, household works, average piece-rate pay,
// piece hours, night hours, hours on days off, absence days by code), with the codes and
// captions of accounts_dep.payroll_indicator. Money is summed exactly from the entries and
// rounded to kopecks once per worker, as the monthly timesheet and the worker report round them.
namespace payroll {

struct Row
{
    QString personnelNumber;
    QString name;
    QString indicator; // the key: "piece", "absence:ОТ", ...
    QString code;
    QString caption;
    QString amount; // exact decimal text with a point: "1234.50"; hours and days whole
    bool money = false;
};

struct Export
{
    int month = 0;
    int year = 0;
    QVector<Row> rows;
    // Workers without a personnel number, by name (their rows are written all the same).
    QStringList withoutNumber;

    // "11.2026": the period every row names.
    QString period() const;
};

Export read(Connection &connection, int month, int year);

// The column titles of both files.
QStringList titles();
// The amount as a Russian spreadsheet reads it: the decimal comma.
QString commaDecimal(const QString &amount);
// The CSV text: ";" between fields, the decimal comma, fields quoted where they need it, lines
// ended by CR LF. Without the byte order mark.
QString csvText(const Export &data);
// Writes the CSV file in UTF-8 with a byte order mark; false (and why in error) when the file
// could not be written.
bool writeCsv(const Export &data, const QString &path, QString *error = nullptr);
// Writes the rows into sheet 1 of an open workbook; amounts as numbers.
void writeWorkbook(const Export &data, XlsxExport &workbook);
bool exportWorkbook(const Export &data, const QString &path);
// "Выгрузка для зарплаты Ноябрь 2026".
QString subject(int month, int year);

} // namespace payroll
