#include "output/prepared_report.h"

#include "output/expression.h"
#include "output/text_measure.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <vector>

namespace report {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kLineWidthMm = 0.2;

} // namespace

PreparedReport::PreparedReport(const Layout &layout, const QVector<FontSpec> &fonts)
    : m_pageSize(layout.pageSize)
    , m_orientation(layout.orientation)
    , m_margins(layout.margins)
    , m_fonts(fonts)
{}

QPageLayout PreparedReport::pageLayout() const
{
    return QPageLayout(QPageSize(m_pageSize), m_orientation, m_margins, QPageLayout::Millimeter);
}

int PreparedReport::addFont(const FontSpec &font)
{
    for (int i = 0; i < m_fonts.size(); ++i) {
        const FontSpec &known = m_fonts.at(i);
        if (known.family == font.family && known.size == font.size && known.bold == font.bold)
            return i;
    }
    m_fonts.append(font);
    return int(m_fonts.size() - 1);
}

QRectF PreparedReport::textBox(const Op &op) const
{
    const double width = TextMeasure(m_fonts.at(op.font)).width(op.text);
    double left = op.rect.left();
    if (op.align == Align::Centre)
        left = op.rect.center().x() - width / 2;
    else if (op.align == Align::Right)
        left = op.rect.right() - width;
    return QRectF(left, op.rect.top(), width, op.rect.height());
}

PreparedReport::Page &PreparedReport::newPage()
{
    m_pages.append(Page());
    return m_pages.last();
}

QStringList PreparedReport::texts(int page) const
{
    QStringList result;
    for (const Op &op : m_pages.at(page))
        if (op.kind == Op::Kind::Text)
            result.append(op.text);
    return result;
}

void PreparedReport::paintPage(QPainter &painter, int page, double dpiX, double dpiY) const
{
    const double sx = dpiX / kMmPerInch;
    const double sy = dpiY / kMmPerInch;
    const auto toDevice = [&](const QRectF &mm) {
        return QRectF(mm.left() * sx, mm.top() * sy, mm.width() * sx, mm.height() * sy);
    };
    // Fonts at the device's own resolution: text is measured and placed as it will be printed.
    struct DeviceFont
    {
        QFont font;
        double ascent = 0;
        double descent = 0;
        bool ready = false;
    };
    std::vector<DeviceFont> fonts(m_fonts.size());
    QPaintDevice *device = painter.device();
    const auto fontAt = [&](int index) -> DeviceFont & {
        DeviceFont &f = fonts[size_t(index)];
        if (!f.ready) {
            const FontSpec &spec = m_fonts.at(index);
            f.font = TextMeasure::printFont(spec);
            const QFontMetricsF metrics(f.font, device);
            f.ascent = metrics.ascent();
            f.descent = metrics.descent();
            f.ready = true;
        }
        return f;
    };
    const double penWidth = kLineWidthMm * sx;

    painter.save();
    for (const Op &op : m_pages.at(page)) {
        switch (op.kind) {
        case Op::Kind::Fill:
            painter.fillRect(toDevice(op.rect), op.color);
            break;
        case Op::Kind::Line: {
            QPen pen(op.color, penWidth, op.style);
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            const QRectF r = toDevice(op.rect);
            painter.drawLine(QLineF(r.topLeft(), r.bottomRight()));
            break;
        }
        case Op::Kind::Text: {
            if (op.text.isEmpty())
                break;
            DeviceFont &f = fontAt(op.font);
            painter.setFont(f.font);
            painter.setPen(Qt::black);
            const QRectF r = toDevice(op.rect);
            const QFontMetricsF metrics(f.font, device);
            const double width = metrics.horizontalAdvance(op.text);
            double x = r.left();
            if (r.width() > 0) {
                if (op.align == Align::Centre)
                    x = r.left() + (r.width() - width) / 2;
                else if (op.align == Align::Right)
                    x = r.right() - width;
            }
            double baseline = r.top() + f.ascent;
            if (op.middle)
                baseline = r.center().y() + (f.ascent - f.descent) / 2;
            painter.drawText(QPointF(x, baseline), op.text);
            break;
        }
        case Op::Kind::Drawing:
            if (op.drawing) {
                painter.save();
                op.drawing(painter, toDevice(op.rect));
                painter.restore();
            }
            break;
        }
    }
    painter.restore();
}

void PreparedReport::setUp(QPrinter &printer) const
{
    // The pages are drawn from the paper's corner, margins included; the layout's margins stay
    // known to the printer for its dialogs.
    QPageLayout layout = pageLayout();
    layout.setMode(QPageLayout::FullPageMode);
    printer.setPageLayout(layout);
    printer.setFullPage(true);
    // The print dialog proposes the document's name for a PDF and takes what follows its last
    // dot for a suffix to replace: a title ends with a date ("по 01.12.2026"), so the name
    // carries its own ".pdf".
    if (!title.trimmed().isEmpty())
        printer.setDocName(title.trimmed() + QStringLiteral(".pdf"));
}

bool PreparedReport::paint(QPrinter &printer) const
{
    // The pages the print dialog asked for, and as many copies as the printer does not make
    // itself.
    int first = 1;
    int last = pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(1, printer.fromPage());
        last = std::min(pageCount(), printer.toPage() > 0 ? printer.toPage() : pageCount());
    }
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    bool firstPage = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = first - 1; i < last; ++i) {
            if (!firstPage && !printer.newPage())
                return false;
            firstPage = false;
            // Every page is drawn in paper coordinates, whatever the page before it did.
            painter.resetTransform();
            paintPage(painter, i, printer.logicalDpiX(), printer.logicalDpiY());
        }
    }
    return painter.end();
}

void PreparedReport::writePdf(const QString &path) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCreator(QStringLiteral("tabel"));
    setUp(printer);
    if (!paint(printer) || !QFileInfo(path).isFile())
        throw ReportError(QStringLiteral("Не удалось записать файл \"%1\".").arg(path));
}

} // namespace report
