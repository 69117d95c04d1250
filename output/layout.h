#pragma once

#include <QColor>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QVector>

#include <optional>
#include <vector>

// A band report layout as data: page set-up, groups with their header and footer bands, the detail
// band and the page footer. Every position and size is in millimetres from the top left corner of
// the printable area (left) or of the band (top); font sizes are in points.
namespace report {

struct FontSpec
{
    QString family;           // empty: as the band or the layout
    double size = 0;          // 0: as the band or the layout
    std::optional<bool> bold; // unset: as the band or the layout

    FontSpec over(const FontSpec &base) const;
};

FontSpec font(double size, bool bold = false);
FontSpec boldFont(double size);

enum class Align { Left, Centre, Right };

// One side line of an item or a band.
struct Line
{
    Qt::PenStyle style = Qt::NoPen;
    QColor color = Qt::black;
    bool isVisible() const { return style != Qt::NoPen; }
};

Line solidLine();
Line dottedGreyLine();

struct Lines
{
    Line top, bottom, left, right;
    static Lines frame(Line line = solidLine()) { return {line, line, line, line}; }
    static Lines above(Line line) { return {line, {}, {}, {}}; }
    static Lines aboveAndBelow(Line line) { return {line, line, {}, {}}; }
    static Lines sides(Line line) { return {{}, {}, line, line}; }
};

// A label (fixed text) or a field (an expression evaluated for the band's row).
struct Item
{
    QString name;       // a label the caller fills in, e.g. the title "QRLabel1"
    QString text;       // fixed text of a label
    QString expression; // expression of a field
    double left = 0;
    double top = 0.4;
    double width = 0;  // 0: as wide as its text; a field wider than its width is cut, a label never
    double height = 0; // 0: one line of its font
    bool middle = false; // the text is centred between the item's top and bottom
    FontSpec font;
    Align align = Align::Left;
    QString mask;      // "#0", "#0.00", "#0.000", "#0.00#"; numbers only
    QColor background; // invalid: transparent
    Lines lines;
    bool resetAfterPrint = false; // its sums start again after it is printed

    Item &named(const QString &itemName)
    {
        name = itemName;
        return *this;
    }
    Item &at(double topMm)
    {
        top = topMm;
        return *this;
    }
    Item &sized(double points)
    {
        font.size = points;
        return *this;
    }
    Item &bold(bool on = true)
    {
        font.bold = on;
        return *this;
    }
    Item &family(const QString &name)
    {
        font.family = name;
        return *this;
    }
    Item &centred()
    {
        align = Align::Centre;
        return *this;
    }
    Item &rightAligned()
    {
        align = Align::Right;
        return *this;
    }
    Item &masked(const QString &display)
    {
        mask = display;
        return *this;
    }
    Item &filled(const QColor &color)
    {
        background = color;
        return *this;
    }
    Item &framed(const Lines &itemLines)
    {
        lines = itemLines;
        return *this;
    }
    Item &resetting()
    {
        resetAfterPrint = true;
        return *this;
    }
    // A cell as tall as its band (from its top), its text centred between top and bottom.
    Item &spanning(double bandHeight)
    {
        top = 0;
        height = bandHeight;
        middle = true;
        return *this;
    }
};

Item label(const QString &text, double left, double width = 0);
Item field(const QString &expression, double left, double width = 0);

struct Band
{
    double height = 0;
    FontSpec font;
    QColor background;
    Lines lines;
    QVector<Item> items;
    std::vector<Band> children;   // child bands printed right after this one
    bool resetAfterPrint = false; // every sum of the band starts again after the band is printed

    Band &withFont(const FontSpec &bandFont)
    {
        font = bandFont;
        return *this;
    }
    Band &filled(const QColor &color)
    {
        background = color;
        return *this;
    }
    Band &framed(const Lines &bandLines)
    {
        lines = bandLines;
        return *this;
    }
    Band &add(const Item &item)
    {
        items.append(item);
        return *this;
    }
    Band &add(std::initializer_list<Item> list);
    Band &child(const Band &band)
    {
        children.push_back(band);
        return *this;
    }
    Band &resetting()
    {
        resetAfterPrint = true;
        return *this;
    }
};

Band band(double height);

// A group: its header prints when its expression changes (a group without expression: once, at
// the start of the report), its footer when it ends (at the end of the report).
struct Group
{
    QString expression;
    std::optional<Band> header;
    std::optional<Band> footer;
    bool reprintOnNewPage = false; // the header is printed again at the top of every page
    // When the group's lines continue on a new page its header is repeated there with this text
    // after its first field, e.g. "(продолжение)"; empty: not repeated.
    QString continuedMark;
};

struct Layout
{
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{10, 10, 10, 10};
    FontSpec font{QStringLiteral("Arial"), 10, false};
    QVector<Group> groups; // outermost first
    Band detail;
    std::optional<Band> pageFooter;

    // Width and height of the printable area.
    QSizeF printableSize() const;
};

// The installed family a layout's family is printed with: Arial and Microsoft Sans Serif become
// Liberation Sans (metrically the same as Arial) when they are not installed themselves.
QString installedFamily(const QString &family);

} // namespace report
