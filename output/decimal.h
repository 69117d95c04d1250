#pragma once

#include <QString>

namespace report {

// An exact decimal for money and quantities: twelve places after the point, so sums of stored
// values are exact and masks round the decimal value, not a binary fraction near it. A quotient
// that does not end within the twelve places is rounded there and marked inexact.
class Decimal
{
public:
    static constexpr int Places = 12;

    Decimal() = default;
    static Decimal fromInteger(long long value);
    // A stored double stands for the decimal it was written as: its fifteen significant digits
    // (what PostgreSQL's cast to numeric keeps), never the binary noise after them.
    static Decimal fromDouble(double value, bool *ok = nullptr);
    // "-12.345" or "12,5"; false in *ok when the text is not such a number.
    static Decimal fromText(const QString &text, bool *ok = nullptr);

    double toDouble() const;
    // False for a result too large to hold (beyond about 10^26): it prints as nothing.
    bool isValid() const { return !m_overflow; }
    bool isZero() const { return m_units == 0; }
    // The shortest text with "." as the point; an inexact value rounded half up to kopecks.
    QString toString() const;
    // Rounded half up (away from zero) to the given decimals, then shown with at least
    // minDecimals of them; "." as the point.
    QString toString(int minDecimals, int maxDecimals) const;

    Decimal operator-() const;
    friend Decimal operator+(const Decimal &a, const Decimal &b);
    friend Decimal operator-(const Decimal &a, const Decimal &b);
    friend Decimal operator*(const Decimal &a, const Decimal &b);
    // b must not be zero.
    friend Decimal operator/(const Decimal &a, const Decimal &b);
    Decimal &operator+=(const Decimal &b) { return *this = *this + b; }
    friend int compare(const Decimal &a, const Decimal &b);

private:
    __extension__ using Units = __int128;
    Units m_units = 0; // the value times 10^Places
    bool m_inexact = false;
    bool m_overflow = false;
};

} // namespace report
