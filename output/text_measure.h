#pragma once

#include "output/layout.h"

#include <QFont>
#include <QHash>
#include <QString>

namespace report {

// Widths of texts in millimetres as they print in one font: measured once per character at a
// fine resolution without hinting, so the same text measures the same on paper, in the PDF and
// in the preview.
class TextMeasure
{
public:
    explicit TextMeasure(const FontSpec &font);

    // The font a FontSpec prints with (the installed family, kerning off, no hinting).
    static QFont printFont(const FontSpec &font);

    double width(const QString &text) const;
    // The text ended with "…" so that it takes at most the width; the whole text when it fits.
    QString elided(const QString &text, double width) const;

private:
    double advance(QChar c) const;

    QFont m_font;
    mutable QHash<char16_t, double> m_advances;
};

// A number takes the room of its figures plus this share of slack, so that rounding of glyph
// widths on any device cannot make it touch its neighbour.
constexpr double kFitSlack = 1.03;

} // namespace report
