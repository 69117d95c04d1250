#include "db/number_format.h"

#include "db/sql_text.h"

#include <QLocale>

#include <cmath>

namespace numbers {

namespace {

QString withLocalePoint(QString text)
{
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

} // namespace

QString text(double value)
{
    if (!std::isfinite(value))
        return QString();
    return withLocalePoint(sql::decimal(value));
}

QString format(double value, const QString &mask)
{
    if (!std::isfinite(value))
        return QString();
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    int minDecimals = 0;
    int maxDecimals = 0;
    if (point >= 0) {
        for (qsizetype i = point + 1; i < mask.size(); ++i) {
            if (mask.at(i) == QLatin1Char('0')) {
                ++minDecimals;
                ++maxDecimals;
            } else if (mask.at(i) == QLatin1Char('#')) {
                ++maxDecimals;
            }
        }
    }
    QString result = QString::number(value, 'f', maxDecimals);
    if (maxDecimals > minDecimals) {
        qsizetype keep = result.size() - (maxDecimals - minDecimals);
        qsizetype end = result.size();
        while (end > keep && result.at(end - 1) == QLatin1Char('0'))
            --end;
        result.truncate(end);
        if (result.endsWith(QLatin1Char('.')))
            result.chop(1);
    }
    // A negative value that rounds to zero prints as zero.
    if (result.startsWith(QLatin1Char('-')) &&
        result.mid(1).count(QLatin1Char('0')) + result.mid(1).count(QLatin1Char('.')) ==
            result.size() - 1)
        result.remove(0, 1);
    return withLocalePoint(result);
}

} // namespace numbers
