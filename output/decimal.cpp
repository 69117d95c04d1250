#include "output/decimal.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {

__extension__ using Units = __int128;

constexpr Units pow10(int n)
{
    Units p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

constexpr Units Scale = pow10(Decimal::Places);

// q = n / d rounded half away from zero; *rest tells whether anything was dropped.
Units divideRounded(Units n, Units d, bool *rest)
{
    const bool negative = (n < 0) != (d < 0);
    const Units an = n < 0 ? -n : n;
    const Units ad = d < 0 ? -d : d;
    Units q = an / ad;
    const Units r = an % ad;
    if (r != 0)
        *rest = true;
    if (r >= ad - r)
        ++q;
    return negative ? -q : q;
}

QString digits(Units value)
{
    if (value == 0)
        return QStringLiteral("0");
    QString text;
    while (value > 0) {
        text.prepend(QLatin1Char(char('0' + int(value % 10))));
        value /= 10;
    }
    return text;
}

} // namespace

Decimal Decimal::fromInteger(long long value)
{
    Decimal d;
    d.m_units = Units(value) * Scale;
    return d;
}

Decimal Decimal::fromDouble(double value, bool *ok)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e20) {
        if (ok)
            *ok = false;
        return {};
    }
    return fromText(QString::number(value, 'g', 15), ok);
}

Decimal Decimal::fromText(const QString &text, bool *ok)
{
    Decimal d;
    bool good = false;
    bool negative = false;
    int exponent = 0;
    int places = 0;
    bool point = false;
    Units units = 0;
    qsizetype i = 0;
    const QString t = text.trimmed();
    if (i < t.size() && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+')))
        negative = t.at(i++) == QLatin1Char('-');
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            good = true;
            // Digits beyond the places kept are dropped (rounded below).
            if (units < pow10(36)) {
                units = units * 10 + (c.unicode() - '0');
                if (point)
                    ++places;
            } else if (!point) {
                ++exponent;
            }
        } else if ((c == QLatin1Char('.') || c == QLatin1Char(',')) && !point) {
            point = true;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E')) && good) {
            bool expOk = false;
            exponent += t.mid(i + 1).toInt(&expOk);
            good = expOk;
            break;
        } else {
            good = false;
            break;
        }
    }
    if (ok)
        *ok = good;
    if (!good)
        return d;
    int shift = Places - places + exponent;
    bool rest = false;
    if (shift >= 0) {
        d.m_overflow = shift > 38 || __builtin_mul_overflow(units, pow10(shift), &d.m_units);
    } else {
        d.m_units = shift < -36 ? 0 : divideRounded(units, pow10(-shift), &rest);
    }
    d.m_inexact = rest;
    if (negative)
        d.m_units = -d.m_units;
    return d;
}

double Decimal::toDouble() const
{
    return double(m_units) / double(Scale);
}

QString Decimal::toString() const
{
    if (m_inexact)
        return toString(0, 2);
    return toString(0, Places);
}

QString Decimal::toString(int minDecimals, int maxDecimals) const
{
    if (m_overflow)
        return QString();
    maxDecimals = std::clamp(maxDecimals, 0, Places);
    minDecimals = std::clamp(minDecimals, 0, maxDecimals);
    bool rest = false;
    const Units rounded = divideRounded(m_units, pow10(Places - maxDecimals), &rest);
    const Units magnitude = rounded < 0 ? -rounded : rounded;
    QString whole = digits(magnitude / pow10(maxDecimals));
    QString fraction = digits(magnitude % pow10(maxDecimals)).rightJustified(maxDecimals, '0');
    if (maxDecimals == 0)
        fraction.clear();
    while (fraction.size() > minDecimals && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString text = rounded < 0 ? QStringLiteral("-") + whole : whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text;
}

Decimal Decimal::operator-() const
{
    Decimal d = *this;
    d.m_overflow = d.m_overflow || __builtin_sub_overflow(Units(0), d.m_units, &d.m_units);
    return d;
}

Decimal operator+(const Decimal &a, const Decimal &b)
{
    Decimal d;
    d.m_overflow =
        a.m_overflow || b.m_overflow || __builtin_add_overflow(a.m_units, b.m_units, &d.m_units);
    d.m_inexact = a.m_inexact || b.m_inexact;
    return d;
}

Decimal operator-(const Decimal &a, const Decimal &b)
{
    return a + (-b);
}

Decimal operator*(const Decimal &a, const Decimal &b)
{
    // a * b / Scale without overflowing: the whole part of a times b, then its fraction.
    Decimal d;
    bool rest = false;
    const Units whole = a.m_units / Scale;
    const Units fraction = a.m_units % Scale;
    Units high = 0;
    Units low = 0;
    d.m_overflow = a.m_overflow || b.m_overflow ||
                   __builtin_mul_overflow(whole, b.m_units, &high) ||
                   __builtin_mul_overflow(fraction, b.m_units, &low) ||
                   __builtin_add_overflow(high, divideRounded(low, Scale, &rest), &d.m_units);
    d.m_inexact = a.m_inexact || b.m_inexact || rest;
    return d;
}

Decimal operator/(const Decimal &a, const Decimal &b)
{
    Decimal d;
    bool rest = false;
    // a * Scale / b in two steps so that large sums do not overflow.
    if (a.m_overflow || b.m_overflow || b.m_units == 0) {
        d.m_overflow = true;
        return d;
    }
    const Units q = a.m_units / b.m_units;
    const Units r = a.m_units % b.m_units;
    Units high = 0;
    Units low = 0;
    d.m_overflow = __builtin_mul_overflow(q, Scale, &high) ||
                   __builtin_mul_overflow(r, Scale, &low) ||
                   __builtin_add_overflow(high, divideRounded(low, b.m_units, &rest), &d.m_units);
    d.m_inexact = a.m_inexact || b.m_inexact || rest;
    return d;
}

int compare(const Decimal &a, const Decimal &b)
{
    return a.m_units < b.m_units ? -1 : (a.m_units > b.m_units ? 1 : 0);
}

} // namespace report
