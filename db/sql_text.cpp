#include "db/sql_text.h"

#include <QDateTime>
#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace sql {

QString integer(qint64 value)
{
    return QString::number(value);
}

QString dateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QString toDate(const QDate &date)
{
    return QStringLiteral("to_date('%1', 'DD.MM.YYYY')").arg(dateText(date));
}

QString decimal(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        return QStringLiteral("0");
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QString::number(value, 'f', 6);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

QString quote(const QString &text)
{
    QString body = text;
    body.remove(QChar(u'\0'));
    body.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + body + QLatin1Char('\'');
}

QString literal(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return value.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return decimal(value.toDouble());
    case QMetaType::QDate:
        return quote(value.toDate().toString(Qt::ISODate));
    case QMetaType::QDateTime:
        // Local wall-clock time without a zone: the server must not shift midnight.
        return quote(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    default:
        return quote(value.toString());
    }
}

QString dayColumn(int day)
{
    return QLatin1Char('d') + QString::number(day);
}

std::optional<QString> decimalText(const QString &text, bool allowNegative)
{
    static const QRegularExpression unsignedNumber(QStringLiteral("^\\d+([.,]\\d*)?$|^[.,]\\d+$"));
    QString body = text.trimmed();
    bool negative = false;
    if (allowNegative && body.startsWith(QLatin1Char('-'))) {
        negative = true;
        body = body.mid(1);
    }
    if (!unsignedNumber.match(body).hasMatch())
        return std::nullopt;
    body.replace(QLatin1Char(','), QLatin1Char('.'));
    if (body.startsWith(QLatin1Char('.')))
        body.prepend(QLatin1Char('0'));
    if (body.endsWith(QLatin1Char('.')))
        body.chop(1);
    return negative ? QLatin1Char('-') + body : body;
}

std::optional<double> parseDecimal(const QString &text, bool allowNegative)
{
    const std::optional<QString> exact = decimalText(text, allowNegative);
    if (!exact)
        return std::nullopt;
    bool ok = false;
    const double value = exact->toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace sql
