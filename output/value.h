#pragma once

#include "output/decimal.h"

#include <QString>
#include <QVariant>

namespace report {

// A value of the report expression language. Numbers are exact decimals (output/decimal.h). Empty
// is a field without a value (it prints nothing and counts as 0 or "" in arithmetic); Invalid is
// the result of an impossible operation such as a division by zero (it prints nothing and spreads
// through arithmetic).
class Value
{
public:
    enum class Type { Empty, Number, Text, Bool, Invalid };

    Value() = default;
    static Value number(double value);
    static Value number(const Decimal &value);
    static Value text(const QString &value);
    static Value boolean(bool value);
    static Value invalid();
    // A database value: null is Empty; numbers, texts, dates (DD.MM.YYYY) and booleans.
    static Value fromVariant(const QVariant &value);

    Type type() const { return m_type; }
    bool isEmpty() const { return m_type == Type::Empty; }
    bool isInvalid() const { return m_type == Type::Invalid; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isText() const { return m_type == Type::Text; }

    // Number of the value: Empty 0, Bool 1 or 0, a text that reads as a number that number, else 0.
    double toNumber() const;
    Decimal toDecimal() const;
    // Text of the value: numbers in their shortest form with the user's decimal separator.
    QString toText() const;
    bool toBool() const;

    // What a report field shows: nothing for Empty and Invalid; a number through the mask when one
    // is given, else in its shortest form.
    QString display(const QString &mask = {}) const;

private:
    Type m_type = Type::Empty;
    Decimal m_number;
    QString m_text;
};

} // namespace report
