#include "output/value.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

QString withLocalePoint(QString text)
{
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

// The decimals a mask such as "#0", "#0.00" or "#0.00#" always shows and at most shows.
void maskDecimals(const QString &mask, int *minDecimals, int *maxDecimals)
{
    *minDecimals = 0;
    *maxDecimals = 0;
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    if (point < 0)
        return;
    for (qsizetype i = point + 1; i < mask.size(); ++i) {
        if (mask.at(i) == QLatin1Char('0')) {
            ++*minDecimals;
            ++*maxDecimals;
        } else if (mask.at(i) == QLatin1Char('#')) {
            ++*maxDecimals;
        }
    }
}

} // namespace

Value Value::number(double value)
{
    bool ok = false;
    const Decimal d = Decimal::fromDouble(value, &ok);
    return ok ? number(d) : invalid();
}

Value Value::number(const Decimal &value)
{
    if (!value.isValid())
        return invalid();
    Value v;
    v.m_type = Type::Number;
    v.m_number = value;
    return v;
}

Value Value::text(const QString &value)
{
    Value v;
    v.m_type = Type::Text;
    v.m_text = value;
    return v;
}

Value Value::boolean(bool value)
{
    Value v;
    v.m_type = Type::Bool;
    v.m_number = Decimal::fromInteger(value ? 1 : 0);
    return v;
}

Value Value::invalid()
{
    Value v;
    v.m_type = Type::Invalid;
    return v;
}

Value Value::fromVariant(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return Value();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return number(value.toDouble());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return number(Decimal::fromInteger(value.toLongLong()));
    case QMetaType::Bool:
        return boolean(value.toBool());
    case QMetaType::QDate:
        return text(value.toDate().toString(QStringLiteral("dd.MM.yyyy")));
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            return text(moment.toString(QStringLiteral("dd.MM.yyyy")));
        return text(moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    }
    default:
        return text(value.toString());
    }
}

double Value::toNumber() const
{
    return toDecimal().toDouble();
}

Decimal Value::toDecimal() const
{
    switch (m_type) {
    case Type::Number:
    case Type::Bool:
        return m_number;
    case Type::Text: {
        bool ok = false;
        const Decimal parsed = Decimal::fromText(m_text, &ok);
        return ok ? parsed : Decimal();
    }
    case Type::Empty:
    case Type::Invalid:
        break;
    }
    return {};
}

QString Value::toText() const
{
    switch (m_type) {
    case Type::Number:
        return withLocalePoint(m_number.toString());
    case Type::Text:
        return m_text;
    case Type::Bool:
        return !m_number.isZero() ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Empty:
    case Type::Invalid:
        break;
    }
    return QString();
}

bool Value::toBool() const
{
    switch (m_type) {
    case Type::Bool:
    case Type::Number:
        return !m_number.isZero();
    case Type::Text:
        return m_text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    case Type::Empty:
    case Type::Invalid:
        break;
    }
    return false;
}

QString Value::display(const QString &mask) const
{
    if (m_type == Type::Number && !mask.isEmpty()) {
        int minDecimals = 0;
        int maxDecimals = 0;
        maskDecimals(mask, &minDecimals, &maxDecimals);
        return withLocalePoint(m_number.toString(minDecimals, maxDecimals));
    }
    return toText();
}

} // namespace report
