#include "output/value.h"

#include "db/number_format.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// A number without a mask in the general format: up to 15 significant digits, no trailing zeros,
// so 800/1.2 prints 666,666666666667 and 1200/1.2 prints 1000 rather than the noise of the
// binary fraction.
QString generalText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    const int whole = std::max(1, int(std::floor(std::log10(std::fabs(value)))) + 1);
    QString text = QString::number(value, 'f', std::clamp(15 - whole, 0, 15));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

} // namespace

Value Value::number(double value)
{
    if (!std::isfinite(value))
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
    v.m_number = value ? 1 : 0;
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
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return number(value.toDouble());
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
    switch (m_type) {
    case Type::Number:
    case Type::Bool:
        return m_number;
    case Type::Text: {
        bool ok = false;
        double parsed = m_text.trimmed().toDouble(&ok);
        if (!ok)
            parsed = QLocale().toDouble(m_text.trimmed(), &ok);
        return ok ? parsed : 0;
    }
    case Type::Empty:
    case Type::Invalid:
        break;
    }
    return 0;
}

QString Value::toText() const
{
    switch (m_type) {
    case Type::Number:
        return generalText(m_number);
    case Type::Text:
        return m_text;
    case Type::Bool:
        return m_number != 0 ? QStringLiteral("True") : QStringLiteral("False");
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
        return m_number != 0;
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
    if (m_type == Type::Number && !mask.isEmpty())
        return numbers::format(m_number, mask);
    return toText();
}

} // namespace report
