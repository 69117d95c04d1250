#pragma once

#include "output/layout.h"

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QVector>

#include <functional>

class QPainter;
class QPrinter;

namespace report {

// The pages of a report prepared once from its data: what to draw where, in millimetres from the
// top left corner of the paper. Shown in the preview, printed or written to PDF as they are.
class PreparedReport
{
public:
    struct Op
    {
        enum class Kind : quint8 { Fill, Line, Text, Drawing };
        Kind kind = Kind::Text;
        Align align = Align::Left;
        Qt::PenStyle style = Qt::SolidLine;
        bool middle = false; // the text is centred between the rectangle's top and bottom
        int font = -1;       // index into fonts()
        QRectF rect;         // Fill, Text, Drawing; for Line the line from top left to bottom right
        QColor color;
        QString text;
        // Drawing: paints itself into rect given in device units (a chart, kept as vectors);
        // what it draws from must outlive the pages.
        std::function<void(QPainter &painter, const QRectF &target)> drawing;
    };
    using Page = QVector<Op>;

    PreparedReport() = default;
    PreparedReport(const Layout &layout, const QVector<FontSpec> &fonts);

    QString title;
    QPageLayout pageLayout() const;
    const QVector<FontSpec> &fonts() const { return m_fonts; }
    const QVector<Page> &pages() const { return m_pages; }
    int pageCount() const { return int(m_pages.size()); }

    // The index of a font in fonts(), added when the pages have none like it.
    int addFont(const FontSpec &font);
    // Where a text operation's text is drawn: its measured width placed in its rectangle.
    QRectF textBox(const Op &op) const;

    Page &newPage();
    Page &lastPage() { return m_pages.last(); }

    // The texts of one page in the order they are drawn.
    QStringList texts(int page) const;

    // Draws a page with the painter's origin at the paper's top left corner, at the resolution
    // given in dots per inch.
    void paintPage(QPainter &painter, int page, double dpiX, double dpiY) const;
    // Draws every page onto a printer whose painter origin is the paper's corner (full page).
    // False when the printer cannot be painted on.
    bool paint(QPrinter &printer) const;
    // Prepares a printer for these pages: full page, the layout's paper and orientation.
    void setUp(QPrinter &printer) const;
    // Writes the pages as a PDF file; throws ReportError when the file cannot be written.
    void writePdf(const QString &path) const;

private:
    QPageSize::PageSizeId m_pageSize = QPageSize::A4;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QMarginsF m_margins;
    QVector<FontSpec> m_fonts;
    QVector<Page> m_pages;
};

} // namespace report
