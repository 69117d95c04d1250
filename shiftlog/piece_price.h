#pragma once

#include <QString>

// Prices of shift entries.
namespace pricing {

// The price of one good piece: the operation's lowest norm price, doubled on a day off, then raised
// by 1.2 in the third shift or by 1.5 in the overtime list (shift 4).
double piecePrice(double basePrice, bool dayOff, int shift);
// Rounded to 4 decimal places, as prices are stored and shown.
double round4(double value);
// A number as the price boxes show it: rounded to 4 decimals, shortest form, the user's separator.
QString priceText(double value);

} // namespace pricing
