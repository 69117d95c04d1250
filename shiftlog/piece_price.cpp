#include "shiftlog/piece_price.h"

#include "db/number_format.h"

#include <cmath>

namespace pricing {

double piecePrice(double basePrice, bool dayOff, int shift)
{
    double price = basePrice;
    if (dayOff)
        price *= 2.0;
    if (shift == 3)
        price *= 1.2;
    else if (shift == 4)
        price *= 1.5;
    return price;
}

double round4(double value)
{
    return std::round(value * 10000.0) / 10000.0;
}

QString priceText(double value)
{
    return numbers::text(round4(value));
}

} // namespace pricing
