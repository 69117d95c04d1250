#pragma once

#include "designs/report_design.h"

#include <QColor>
#include <QString>

namespace reporting {

// A period report: every odd-numbered date parameter of the statement (data1, data3, ...) takes
// the period's start, every even-numbered one its end (excluded); the title label "QRLabel1"
// names the report and the period.
struct PeriodReportDesign : ReportDesign
{
    int parameterCount = 0;
    // The title text before the dates, e.g. "   Отчет по рабочим за период с ".
    QString titleText;
};

enum class PeriodReport {
    // "Отчет по рабочим": per worker and nomenclature group the good pieces and the pay, with the
    // worker's household-work figures and the period's totals.
    Workers,
    // "Отчет по продукции": per nomenclature group the good pieces and boxes of each operation.
    Products,
    // "Детальный отчет по рабочим": per worker every product and operation, with his hour-paid
    // work and the pay with and without the raise coefficient.
    WorkersDetailed,
    // "Детальный отчет по продукции": per nomenclature group every product and operation with
    // its pieces (rejects included), rejects, boxes and pay.
    ProductsDetailed
};

// The statement, query name, layout, date parameters and title of a period report.
PeriodReportDesign periodReportDesign(PeriodReport which);

} // namespace reporting

// Colours and fonts the layouts share.
namespace layouts {

inline const QColor ReportHeader{0xF4, 0xF4, 0xF4};
inline const QColor GroupHeader{0xE0, 0xE0, 0xE0};
inline const QColor GrandTotal{0xDC, 0xDC, 0xDC};
inline const QColor TotalField{0xEF, 0xEF, 0xEF};
// After a worker's name on a page where his lines continue.
inline const QString Continued = QStringLiteral("(продолжение)");

// The page set-up of the period reports: A4 portrait, 10 mm margins, Arial 10 pt.
report::Layout periodPage();
// The page footer of the period reports: the page number at 176.2 mm.
report::Band pageNumberFooter(double height);
// The product kind of a row, and the colour of a painted one as the period reports print them.
QString kindText();
QString colourText();

} // namespace layouts
