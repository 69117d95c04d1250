#include "output/text_measure.h"

#include <QFontMetricsF>
#include <QImage>

namespace report {

namespace {

// The resolution the advances are measured at: fine enough that whole-pixel metrics do not
// matter.
constexpr double kMeasureDpi = 1200;
constexpr double kMmPerInch = 25.4;

const QImage &measureDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMetre = int(kMeasureDpi / kMmPerInch * 1000 + 0.5);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

} // namespace

QFont TextMeasure::printFont(const FontSpec &spec)
{
    QFont font(installedFamily(spec.family));
    font.setPointSizeF(spec.size);
    font.setBold(spec.bold.value_or(false));
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

TextMeasure::TextMeasure(const FontSpec &font)
    : m_font(printFont(font))
{}

double TextMeasure::advance(QChar c) const
{
    const auto found = m_advances.constFind(c.unicode());
    if (found != m_advances.constEnd())
        return *found;
    const QFontMetricsF metrics(m_font, &measureDevice());
    const double mm = metrics.horizontalAdvance(c) * kMmPerInch / kMeasureDpi;
    m_advances.insert(c.unicode(), mm);
    return mm;
}

double TextMeasure::width(const QString &text) const
{
    double total = 0;
    for (const QChar c : text)
        total += advance(c);
    return total;
}

QString TextMeasure::elided(const QString &text, double width) const
{
    if (this->width(text) <= width + 1e-6)
        return text;
    const QString mark = QStringLiteral("…");
    QString kept = text;
    while (!kept.isEmpty() && this->width(kept.trimmed() + mark) > width)
        kept.chop(1);
    return kept.trimmed() + mark;
}

} // namespace report
