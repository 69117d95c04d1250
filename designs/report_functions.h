#pragma once

#include "designs/period_designs.h"
#include "output/prepared_report.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

class Connection;
class Dataset;
class TDataModule6;
class XlsxExport;

namespace report {
class Report;
}

// The product kind choice of the report windows ("Вид продукции"), by its item number.
enum class ProductKind { All = 0, Finished = 1, Blanks = 2 };

// Closes a query when it goes, however the work with it ends.
class QueryCloser
{
public:
    explicit QueryCloser(Dataset &query)
        : m_query(query)
    {}
    ~QueryCloser();
    QueryCloser(const QueryCloser &) = delete;
    QueryCloser &operator=(const QueryCloser &) = delete;

private:
    Dataset &m_query;
};

// The printed reports and the product summary as functions of the data module and the period:
// the summary window, the layout holders and tabel-report all go through them, so that a report
// needs no window to be made and reads the same wherever it is made.
namespace reporting {

// Keeps the rows of one product kind on the client: "naimen=0" finished products, "naimen=1"
// blanks; All switches the filter off (its text stays for the next switch).
void filterProductKind(Dataset &query, ProductKind kind);

// The title text, the start, " по " and the end, the dates as DD.MM.YYYY.
QString periodTitle(const QString &titleText, const QDate &from, const QDate &to);
// data1..dataN of the statement.
void setPeriod(Dataset &query, int parameterCount, const QDate &from, const QDate &to);
// The hours table's title: month name, year and " г." ("Март 2024 г.").
QString monthTitle(int month, int year);

// The steps of a print on a query and layout made from the design (a layout holder's own):
// parameters, product kind filter, open, title label, pages. The query is left open for the
// caller, which shows the pages and then closes it.
report::PreparedReport preparePeriod(Dataset &query, report::Report &layout,
                                     const PeriodReportDesign &design, const QDate &from,
                                     const QDate &to, ProductKind kind);
// The hours table also shades the titles and cells of the month's days off (the production
// calendar's).
report::PreparedReport prepareHours(Connection &connection, Dataset &query, report::Report &layout,
                                    const QString &queryName, int month, int year,
                                    const QString &title);

// The same pages with a query and layout of their own, closed again before returning.
report::PreparedReport preparePeriodReport(TDataModule6 &dm, PeriodReport which, const QDate &from,
                                           const QDate &to, ProductKind kind);
report::PreparedReport prepareHoursTable(TDataModule6 &dm, int month, int year);

// The product summary: the period's good pieces and boxes per product, operation and colour.
// Parameters data1 ("с") and data2 ("по", excluded).
QStringList productSummaryText();
// The operation column of the summary: the kind, with " (грунт)" for colour 1 and " (цвет: N)"
// for any colour above 1.
QString operationText(const QString &kind, qint64 color);
// What the summary's workbook is named after: "Продукция DD.MM.YYYY-DD.MM.YYYY".
QString productSummarySubject(const QDate &from, const QDate &to);
// Parameters, product kind filter, open.
void openProductSummary(Dataset &query, const QDate &from, const QDate &to, ProductKind kind);
// Writes the header row and then one row per passing row of the open query into sheet 1 of an
// open workbook; rowWritten is called after each row.
void writeProductSummary(Dataset &query, XlsxExport &workbook,
                         const std::function<void()> &rowWritten = {});
// The whole summary into a workbook file at path, which is not opened. False when the workbook
// could not be written (the exporter has said why).
bool exportProductSummary(TDataModule6 &dm, const QDate &from, const QDate &to, ProductKind kind,
                          const QString &path);

} // namespace reporting
