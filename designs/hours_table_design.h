#pragma once

#include "designs/report_design.h"

#include <QString>
#include <QVector>

// The printed monthly hours table: one line per worker name with his hours of every day of the
// month summed over all his monthly rows, and the row's total. A4 landscape.
namespace reporting {

// Parameters mnth (1..12) and yea; the title label "QRLabel33" ("Данные за:" until a print sets
// it).
ReportDesign hoursTableDesign();
// Left edges of the 31 day cells, in millimetres.
const QVector<double> &hoursDayCells();
// The names of a day's title and of its cells, shaded on the month's days off.
QString hoursDayTitle(int day);
QString hoursDayCell(int day);

} // namespace reporting
