#include "output/report.h"

#include "output/data_source.h"
#include "output/text_measure.h"

#include <QHash>

#include <algorithm>
#include <memory>

namespace report {

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;
// One line of text: the font's size and the gap between lines.
constexpr double kLineFactor = 1.2;

} // namespace

Report::Report(const Layout &layout)
    : m_layout(layout)
{
    for (const Group &group : m_layout.groups) {
        CompiledGroup compiled;
        if (!group.expression.trimmed().isEmpty())
            compiled.key = Expression::parse(group.expression, m_symbols);
        if (group.header)
            compiled.header = compile(*group.header, m_layout.font);
        if (group.footer)
            compiled.footer = compile(*group.footer, m_layout.font);
        compiled.reprint = group.reprintOnNewPage;
        compiled.continuedMark = group.continuedMark;
        m_groups.append(std::move(compiled));
    }
    m_detail = compile(m_layout.detail, m_layout.font);
    if (m_layout.pageFooter)
        m_pageFooter = compile(*m_layout.pageFooter, m_layout.font);
}

int Report::fontIndex(const FontSpec &font)
{
    for (int i = 0; i < m_fonts.size(); ++i) {
        const FontSpec &known = m_fonts.at(i);
        if (known.family == font.family && known.size == font.size && known.bold == font.bold)
            return i;
    }
    m_fonts.append(font);
    return int(m_fonts.size() - 1);
}

Report::CompiledBand Report::compile(const Band &band, const FontSpec &layoutFont)
{
    CompiledBand compiled;
    compiled.height = band.height;
    compiled.background = band.background;
    compiled.lines = band.lines;
    const FontSpec bandFont = band.font.over(layoutFont);
    for (const Item &item : band.items) {
        CompiledItem c;
        c.item = item;
        FontSpec itemFont = item.font.over(bandFont);
        if (!itemFont.bold.has_value())
            itemFont.bold = false;
        c.font = fontIndex(itemFont);
        c.height = item.height > 0 ? item.height : itemFont.size * kMmPerPoint * kLineFactor;
        if (!item.expression.trimmed().isEmpty())
            c.expression = Expression::parse(item.expression, m_symbols);
        c.reset = item.resetAfterPrint || band.resetAfterPrint;
        compiled.items.append(std::move(c));
    }
    for (const Band &child : band.children)
        compiled.children.push_back(compile(child, layoutFont));
    return compiled;
}

Report::CompiledItem *Report::find(const QString &itemName)
{
    return const_cast<CompiledItem *>(std::as_const(*this).find(itemName));
}

const Report::CompiledItem *Report::find(const QString &itemName) const
{
    const CompiledItem *found = nullptr;
    const auto search = [&](const CompiledBand &band, const auto &self) -> void {
        for (const CompiledItem &item : band.items)
            if (!found && item.item.name == itemName)
                found = &item;
        for (const CompiledBand &child : band.children)
            self(child, self);
    };
    for (const CompiledGroup &group : m_groups) {
        if (group.header)
            search(*group.header, search);
        if (group.footer)
            search(*group.footer, search);
    }
    search(m_detail, search);
    if (m_pageFooter)
        search(*m_pageFooter, search);
    return found;
}

void Report::setText(const QString &itemName, const QString &text)
{
    CompiledItem *item = find(itemName);
    if (!item)
        throw ReportError(QStringLiteral("В макете отчета нет надписи \"%1\"").arg(itemName));
    item->item.text = text;
}

void Report::setBackground(const QString &itemName, const QColor &color)
{
    CompiledItem *item = find(itemName);
    if (!item)
        throw ReportError(QStringLiteral("В макете отчета нет надписи \"%1\"").arg(itemName));
    item->item.background = color;
}

QString Report::text(const QString &itemName) const
{
    const CompiledItem *item = find(itemName);
    return item ? item->item.text : QString();
}

// One run of the band logic over the rows of a source.
class Preparation
{
public:
    using CompiledBand = Report::CompiledBand;
    using CompiledItem = Report::CompiledItem;
    enum class Kind { None, Header, Detail, Footer };

    Preparation(const Report &report, const DataSource &source, const Layout &paper)
        : m_report(report)
        , m_source(source)
        , m_paper(paper)
        , m_out(paper, report.m_fonts)
        , m_printable(paper.printableSize())
        , m_scale(horizontalScale(report.m_layout, paper))
        , m_active(report.m_groups.size(), false)
    {
        m_headerPage.fill(-1, report.m_groups.size());
        m_headerOp.fill(-1, report.m_groups.size());
        m_footerPage.fill(-1, report.m_groups.size());
        m_footerOp.fill(-1, report.m_groups.size());
        for (const QString &field : report.m_symbols.fields()) {
            const int column = source.columnOf(field);
            if (column < 0)
                throw ReportError(
                    QStringLiteral("В запросе %1 нет поля \"%2\"").arg(source.name(), field));
            m_columns.append(column);
        }
        m_sums.fill(Decimal(), report.m_symbols.sumCount());
        m_limit = m_printable.height() - (report.m_pageFooter ? report.m_pageFooter->height : 0);
        for (const Report::CompiledGroup &group : report.m_groups) {
            if (group.header)
                collectSums(*group.header);
            if (group.footer)
                collectSums(*group.footer);
        }
        collectSums(report.m_detail);
        for (const Report::CompiledGroup &group : report.m_groups) {
            if (group.header)
                findRooms(*group.header);
            if (group.footer)
                findRooms(*group.footer);
        }
        findRooms(report.m_detail);
        if (report.m_pageFooter)
            findRooms(*report.m_pageFooter);
    }

    PreparedReport run()
    {
        const auto &groups = m_report.m_groups;
        const int count = m_source.rowCount();
        startPage(count > 0 ? 0 : -1);
        if (count == 0) {
            // Nothing to group: the report's own header and footer still print.
            for (int g = 0; g < groups.size(); ++g)
                if (groups.at(g).key.isNull())
                    beginGroup(g, -1);
            for (int g = int(groups.size()) - 1; g >= 0; --g)
                if (groups.at(g).key.isNull())
                    endGroup(g, -1);
            finishPage(-1);
            return std::move(m_out);
        }
        QStringList keys(groups.size());
        for (int row = 0; row < count; ++row) {
            int changed = int(groups.size());
            for (int g = 0; g < groups.size(); ++g) {
                if (groups.at(g).key.isNull())
                    continue;
                const Value key = groups.at(g).key.evaluate(scope(row));
                const QString text = key.isEmpty() ? QString() : QLatin1Char('=') + key.toText();
                if (row > 0 && text != keys.at(g) && changed == groups.size())
                    changed = g;
                keys[g] = text;
            }
            if (row == 0) {
                changed = 0;
            } else {
                // Footers print with the last row of the group they close.
                for (int g = int(groups.size()) - 1; g >= changed; --g)
                    endGroup(g, row - 1);
            }
            for (int g = changed; g < groups.size(); ++g)
                beginGroup(g, row);
            accumulate(row);
            print(m_report.m_detail, row, Kind::Detail);
        }
        for (int g = int(groups.size()) - 1; g >= 0; --g)
            endGroup(g, count - 1);
        finishPage(count - 1);
        return std::move(m_out);
    }

private:
    Scope scope(int row) const
    {
        Scope s;
        s.source = &m_source;
        s.row = row;
        s.columns = &m_columns;
        s.sums = const_cast<QVector<Decimal> *>(&m_sums);
        s.page = m_pageNumber;
        return s;
    }

    void collectSums(const CompiledBand &band)
    {
        for (const CompiledItem &item : band.items)
            if (!item.expression.sumSlots().isEmpty())
                m_summed.append(&item.expression);
        for (const CompiledBand &child : band.children)
            collectSums(child);
    }

    void accumulate(int row)
    {
        const Scope s = scope(row);
        for (const Expression *expression : std::as_const(m_summed))
            expression->accumulate(s);
    }

    void beginGroup(int g, int row)
    {
        const auto &group = m_report.m_groups.at(g);
        if (group.header)
            print(*group.header, row, Kind::Header, g);
        m_active[g] = true;
    }

    void endGroup(int g, int row)
    {
        const auto &group = m_report.m_groups.at(g);
        if (group.footer)
            print(*group.footer, row, Kind::Footer, g);
        m_active[g] = false;
    }

    // Starts a page with the headers of the groups that continue there: reprinted as they are,
    // or marked as continued.
    void startPage(int row) { startPage(row, m_active); }

    void startPage(int row, const QVector<bool> &continuing)
    {
        m_out.newPage();
        ++m_pageNumber;
        m_y = 0;
        m_content = false;
        const auto &groups = m_report.m_groups;
        for (int g = 0; g < groups.size(); ++g) {
            const auto &group = groups.at(g);
            if (!continuing.at(g) || !group.header)
                continue;
            if (group.reprint) {
                draw(*group.header, row, m_y);
            } else if (!group.continuedMark.isEmpty()) {
                draw(*group.header, row, m_y, group.continuedMark);
            } else {
                continue;
            }
            m_y += group.header->height;
        }
        m_pageTop = m_y;
        m_last = Kind::None;
    }

    void finishPage(int row)
    {
        if (m_report.m_pageFooter)
            draw(*m_report.m_pageFooter, row, m_limit);
    }

    // Bands kept together: a group's header with the header or first line after it, a footer with
    // the line or footer before it. When such a band does not fit, the bands it is kept with go
    // to the next page with it, so that a header never ends a page and a summary never starts
    // one alone.
    void print(const CompiledBand &band, int row, Kind kind, int group = -1, bool child = false)
    {
        const bool kept =
            child || (kind == Kind::Header && m_last == Kind::Header) ||
            (kind == Kind::Detail && m_last == Kind::Header) ||
            (kind == Kind::Footer && (m_last == Kind::Detail || m_last == Kind::Footer));
        const bool fits = m_y + band.height <= m_limit + 1e-6 || !m_content;
        if (!kept) {
            if (!fits) {
                finishPage(row);
                startPage(row);
            }
            m_keptOp = m_out.lastPage().size();
            m_keptY = m_y;
        } else if (!fits) {
            if (m_keptY > m_pageTop + 1e-6) {
                carryOver(row);
            } else {
                finishPage(row);
                startPage(row);
                m_keptOp = m_out.lastPage().size();
                m_keptY = m_y;
            }
            if (m_y + band.height > m_limit + 1e-6 && m_keptY > m_pageTop + 1e-6) {
                // What is kept together is taller than a page: it breaks here after all.
                finishPage(row);
                startPage(row);
                m_keptOp = m_out.lastPage().size();
                m_keptY = m_y;
            }
        }
        if (kind == Kind::Header && group >= 0 && !child) {
            m_headerPage[group] = m_out.pageCount();
            m_headerOp[group] = m_out.lastPage().size();
        }
        if (kind == Kind::Footer && group >= 0 && !child) {
            m_footerPage[group] = m_out.pageCount();
            m_footerOp[group] = m_out.lastPage().size();
        }
        draw(band, row, m_y);
        m_y += band.height;
        m_content = true;
        m_last = kind;
        for (const CompiledItem &item : band.items)
            if (item.reset)
                for (int slot : item.expression.sumSlots())
                    m_sums[slot] = Decimal();
        for (const CompiledBand &childBand : band.children)
            print(childBand, row, kind, -1, true);
    }

    // Moves the bands kept with the one to come from the bottom of this page to a new page.
    void carryOver(int row)
    {
        PreparedReport::Page &page = m_out.lastPage();
        const PreparedReport::Page moved = page.mid(m_keptOp);
        page.resize(m_keptOp);
        const double movedHeight = m_y - m_keptY;
        const double oldTop = m_keptY;
        const int oldPage = m_out.pageCount();
        // The groups whose lines come over: those still going on and those whose footer comes
        // over, unless their own header comes over too.
        QVector<bool> carried(m_report.m_groups.size(), false);
        QVector<bool> continuing = m_active;
        for (int g = 0; g < carried.size(); ++g) {
            carried[g] = m_headerPage.at(g) == oldPage && m_headerOp.at(g) >= m_keptOp;
            const bool footerCarried =
                m_footerPage.at(g) == oldPage && m_footerOp.at(g) >= m_keptOp;
            continuing[g] = (m_active.at(g) || footerCarried) && !carried.at(g);
        }
        const int oldOp = m_keptOp;
        const Kind last = m_last;
        finishPage(row);
        startPage(row, continuing);
        PreparedReport::Page &next = m_out.lastPage();
        m_keptOp = next.size();
        m_keptY = m_y;
        const double shift = m_y - oldTop;
        for (int g = 0; g < carried.size(); ++g) {
            if (carried.at(g)) {
                m_headerPage[g] = m_out.pageCount();
                m_headerOp[g] = m_headerOp.at(g) - oldOp + m_keptOp;
            }
            if (m_footerPage.at(g) == oldPage && m_footerOp.at(g) >= oldOp) {
                m_footerPage[g] = m_out.pageCount();
                m_footerOp[g] = m_footerOp.at(g) - oldOp + m_keptOp;
            }
        }
        for (PreparedReport::Op op : moved) {
            op.rect.translate(0, shift);
            next.append(op);
        }
        m_y += movedHeight;
        m_content = true;
        m_last = last;
    }

    void line(PreparedReport::Page &page, const Line &style, QPointF from, QPointF to)
    {
        if (!style.isVisible())
            return;
        PreparedReport::Op op;
        op.kind = PreparedReport::Op::Kind::Line;
        op.style = style.style;
        op.color = style.color;
        op.rect = QRectF(from, to);
        page.append(op);
    }

    void lines(PreparedReport::Page &page, const Lines &l, const QRectF &r)
    {
        line(page, l.top, r.topLeft(), r.topRight());
        line(page, l.bottom, r.bottomLeft(), r.bottomRight());
        line(page, l.left, r.topLeft(), r.bottomLeft());
        line(page, l.right, r.topRight(), r.bottomRight());
    }

    void draw(const CompiledBand &band, int row, double y, const QString &continued = {})
    {
        const QMarginsF &margins = m_paper.margins;
        const QRectF area(margins.left(), margins.top() + y, m_printable.width(), band.height);
        PreparedReport::Page &page = m_out.lastPage();
        if (band.background.isValid()) {
            PreparedReport::Op fill;
            fill.kind = PreparedReport::Op::Kind::Fill;
            fill.rect = area;
            fill.color = band.background;
            page.append(fill);
        }
        const Scope s = scope(row);
        for (const CompiledItem &item : band.items) {
            const Item &spec = item.item;
            QRectF rect(area.left() + x(spec.left), area.top() + spec.top, x(spec.width),
                        item.height);
            int font = item.font;
            QString shown = spec.text;
            if (item.expression.isNull()) {
                // A label is never cut: as wide as its text, or grown like a figure when the
                // layout gives it less room than its text needs.
                if (spec.width <= 0)
                    rect.setWidth(measure(font).width(shown));
                else
                    fit(item, true, area.left(), shown, rect, font);
            } else {
                const Value value = item.expression.evaluate(s);
                shown = value.display(spec.mask);
                // A group's header on a page where its lines continue says so after its first
                // field.
                if (!continued.isEmpty() && &item == firstField(band))
                    shown += QLatin1Char(' ') + continued;
                // A field without a width is as wide as its text, within its room.
                if (spec.width <= 0)
                    rect.setWidth(measure(font).width(shown));
                fit(item, value.isNumber(), area.left(), shown, rect, font);
            }
            if (spec.background.isValid() && spec.width > 0) {
                PreparedReport::Op fill;
                fill.kind = PreparedReport::Op::Kind::Fill;
                fill.rect = rect;
                fill.color = spec.background;
                page.append(fill);
            }
            PreparedReport::Op text;
            text.kind = PreparedReport::Op::Kind::Text;
            text.rect = rect;
            text.font = font;
            text.align = spec.align;
            text.middle = spec.middle;
            text.text = shown;
            page.append(text);
            lines(page, spec.lines, rect);
        }
        lines(page, band.lines, area);
    }

    // Where an item may spread within its band: from the middle of the gap to its neighbour on
    // the left to the middle of the gap to its neighbour on the right (a label's own text is
    // fixed, so the item may come up to it), in millimetres from the band's left edge.
    struct Room
    {
        double left = 0;
        double right = 0;
    };

    double labelWidth(const CompiledItem &item)
    {
        if (item.item.width > 0)
            return x(item.item.width);
        return item.expression.isNull() ? measure(item.font).width(item.item.text) : 0;
    }

    void findRooms(const CompiledBand &band)
    {
        for (const CompiledItem &item : band.items) {
            const Item &a = item.item;
            Room room{0, m_printable.width()};
            const double aLeft = x(a.left);
            const double aRight = aLeft + labelWidth(item);
            const double aMiddle = (aLeft + aRight) / 2;
            for (const CompiledItem &other : band.items) {
                if (&other == &item)
                    continue;
                const Item &b = other.item;
                if (b.top >= a.top + item.height - 1e-6 || a.top >= b.top + other.height - 1e-6)
                    continue;
                const double bLeft = x(b.left);
                const double bRight = bLeft + labelWidth(other);
                const bool fixed = other.expression.isNull();
                if ((bLeft + bRight) / 2 < aMiddle)
                    room.left = std::max(room.left, fixed ? bRight : (bRight + aLeft) / 2);
                else
                    room.right = std::min(room.right, fixed ? bLeft : (aRight + bLeft) / 2);
            }
            m_rooms.insert(&item, room);
        }
        for (const CompiledBand &child : band.children)
            findRooms(child);
    }

    const TextMeasure &measure(int font)
    {
        if (size_t(font) >= m_measures.size())
            m_measures.resize(size_t(font) + 1);
        auto &known = m_measures[size_t(font)];
        if (!known)
            known = std::make_unique<TextMeasure>(m_out.fonts().at(font));
        return *known;
    }

    // A number never loses a digit: its field grows toward the free side within its room, and
    // when the room is still too narrow the font steps down until the figure fits. A text too
    // long for its field (or for its room, where fields of the layout overlap) ends with "…".
    void fit(const CompiledItem &item, bool number, double bandLeft, QString &shown, QRectF &rect,
             int &font)
    {
        const Room room = m_rooms.value(&item);
        double roomLeft = bandLeft + room.left;
        double roomRight = bandLeft + std::max(room.left, room.right);
        if (!number) {
            const double left = std::max(rect.left(), roomLeft);
            const double right = std::max(left, std::min(rect.right(), roomRight));
            rect.setLeft(left);
            rect.setRight(right);
            shown = measure(font).elided(shown, rect.width());
            return;
        }
        const auto needed = [&](int f) { return measure(f).width(shown) * kFitSlack; };
        double need = needed(font);
        if (need <= rect.width() && rect.left() >= roomLeft - 1e-6 &&
            rect.right() <= roomRight + 1e-6)
            return;
        // A figure that grows keeps clear of the band's edges, where a frame is drawn.
        roomLeft = std::max(roomLeft, std::min(rect.left(), bandLeft + kEdgeGap));
        roomRight =
            std::min(roomRight, std::max(rect.right(), bandLeft + m_printable.width() - kEdgeGap));
        FontSpec spec = m_out.fonts().at(font);
        while (need > roomRight - roomLeft && spec.size > kSmallestFont) {
            spec.size = std::max(kSmallestFont, spec.size - 0.5);
            font = m_out.addFont(spec);
            need = needed(font);
        }
        need = std::min(need, roomRight - roomLeft);
        double left = rect.left();
        double right = rect.right();
        if (need > right - left) {
            switch (item.item.align) {
            case Align::Left:
                right = left + need;
                break;
            case Align::Right:
                left = right - need;
                break;
            case Align::Centre:
                left = rect.center().x() - need / 2;
                right = left + need;
                break;
            }
        }
        // Within the room, keeping the width the figure needs.
        if (left < roomLeft) {
            right += roomLeft - left;
            left = roomLeft;
        }
        if (right > roomRight) {
            left = std::max(roomLeft, left - (right - roomRight));
            right = roomRight;
        }
        rect.setLeft(left);
        rect.setRight(right);
    }

    // A layout printed on paper of another width (landscape, say) spreads its columns over the
    // printable width: the items keep their places relative to the page, the fonts their size.
    static double horizontalScale(const Layout &designed, const Layout &paper)
    {
        const double width = designed.printableSize().width();
        return width > 0 ? paper.printableSize().width() / width : 1.0;
    }

    double x(double designedMm) const { return designedMm * m_scale; }

    static constexpr double kSmallestFont = 4;
    static constexpr double kEdgeGap = 0.5; // millimetres

    static const CompiledItem *firstField(const CompiledBand &band)
    {
        for (const CompiledItem &item : band.items)
            if (!item.expression.isNull())
                return &item;
        return nullptr;
    }

    QHash<const CompiledItem *, Room> m_rooms;
    std::vector<std::unique_ptr<TextMeasure>> m_measures;
    const Report &m_report;
    const DataSource &m_source;
    const Layout &m_paper;
    PreparedReport m_out;
    QSizeF m_printable;
    double m_scale = 1;
    QVector<int> m_columns;
    QVector<Decimal> m_sums;
    QVector<const Expression *> m_summed;
    QVector<bool> m_active;
    double m_limit = 0;
    double m_y = 0;
    int m_pageNumber = 0;
    bool m_content = false;
    Kind m_last = Kind::None;
    double m_pageTop = 0;      // where the page's own bands begin, below the repeated headers
    qsizetype m_keptOp = 0;    // the first operation of the bands kept with the next one
    double m_keptY = 0;        // and where they begin
    QVector<int> m_headerPage; // the page of each group's last printed header
    QVector<qsizetype> m_headerOp;
    QVector<int> m_footerPage; // the page of each group's last printed footer
    QVector<qsizetype> m_footerOp;
};

PreparedReport Report::prepare(const DataSource &source) const
{
    return Preparation(*this, source, m_layout).run();
}

PreparedReport Report::prepare(const DataSource &source, const QPageLayout &paper) const
{
    Layout page = m_layout;
    if (paper.pageSize().id() != QPageSize::Custom)
        page.pageSize = paper.pageSize().id();
    page.orientation = paper.orientation();
    return Preparation(*this, source, page).run();
}

} // namespace report
