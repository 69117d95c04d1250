#include "output/layout.h"

#include <QFontDatabase>
#include <QHash>

namespace report {

FontSpec FontSpec::over(const FontSpec &base) const
{
    FontSpec result = base;
    if (!family.isEmpty())
        result.family = family;
    if (size > 0)
        result.size = size;
    if (bold.has_value())
        result.bold = bold;
    return result;
}

FontSpec font(double size, bool bold)
{
    FontSpec spec;
    spec.size = size;
    spec.bold = bold;
    return spec;
}

FontSpec boldFont(double size)
{
    return font(size, true);
}

Line solidLine()
{
    return {Qt::SolidLine, QColor(Qt::black)};
}

Line dottedGreyLine()
{
    return {Qt::DotLine, QColor(Qt::gray)};
}

Item label(const QString &text, double left, double width)
{
    Item item;
    item.text = text;
    item.left = left;
    item.width = width;
    return item;
}

Item field(const QString &expression, double left, double width)
{
    Item item;
    item.expression = expression;
    item.left = left;
    item.width = width;
    return item;
}

Band &Band::add(std::initializer_list<Item> list)
{
    for (const Item &item : list)
        items.append(item);
    return *this;
}

Band band(double height)
{
    Band result;
    result.height = height;
    return result;
}

QSizeF Layout::printableSize() const
{
    const QPageSize size(pageSize);
    QSizeF paper = size.size(QPageSize::Millimeter);
    if (orientation == QPageLayout::Landscape)
        paper.transpose();
    return {paper.width() - margins.left() - margins.right(),
            paper.height() - margins.top() - margins.bottom()};
}

QString installedFamily(const QString &family)
{
    static QHash<QString, QString> resolved;
    const auto known = resolved.constFind(family);
    if (known != resolved.constEnd())
        return known.value();
    QString result = family;
    const QStringList installed = QFontDatabase::families();
    if (!installed.contains(family, Qt::CaseInsensitive)) {
        // The layouts were drawn with Windows fonts; Liberation Sans keeps Arial's widths, and is
        // the nearest installed face to Microsoft Sans Serif as well.
        static const QStringList sansFaces = {QStringLiteral("Arial"),
                                              QStringLiteral("Microsoft Sans Serif")};
        if (sansFaces.contains(family, Qt::CaseInsensitive) &&
            installed.contains(QStringLiteral("Liberation Sans")))
            result = QStringLiteral("Liberation Sans");
    }
    resolved.insert(family, result);
    return result;
}

} // namespace report
