#pragma once

#include <QString>

// Numbers as the user reads them: the locale's decimal separator, never group separators.
namespace numbers {

// Shortest form that reads back as the same value ("12,5", "9", "0,125").
QString text(double value);
// A display mask such as "#0", "#0.00", "#0.000" or "#0.00#": the zeros after the point are the
// decimals always shown, the "#" after them further decimals shown when not zero.
QString format(double value, const QString &mask);

} // namespace numbers
