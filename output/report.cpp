#include "output/report.h"

#include "output/data_source.h"

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

    Preparation(const Report &report, const DataSource &source)
        : m_report(report)
        , m_source(source)
        , m_out(report.m_layout, report.m_fonts)
        , m_printable(report.m_layout.printableSize())
        , m_active(report.m_groups.size(), false)
    {
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
            print(m_report.m_detail, row);
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
            print(*group.header, row);
        m_active[g] = true;
    }

    void endGroup(int g, int row)
    {
        const auto &group = m_report.m_groups.at(g);
        if (group.footer)
            print(*group.footer, row);
        m_active[g] = false;
    }

    void startPage(int row)
    {
        m_out.newPage();
        ++m_pageNumber;
        m_y = 0;
        m_content = false;
        const auto &groups = m_report.m_groups;
        for (int g = 0; g < groups.size(); ++g) {
            if (m_active.at(g) && groups.at(g).reprint && groups.at(g).header) {
                draw(*groups.at(g).header, row, m_y);
                m_y += groups.at(g).header->height;
            }
        }
    }

    void finishPage(int row)
    {
        if (m_report.m_pageFooter)
            draw(*m_report.m_pageFooter, row, m_limit);
    }

    void print(const CompiledBand &band, int row)
    {
        // A band that does not fit goes to the next page, unless the page holds nothing else yet.
        if (m_y + band.height > m_limit + 1e-6 && m_content) {
            finishPage(row);
            startPage(row);
        }
        draw(band, row, m_y);
        m_y += band.height;
        m_content = true;
        for (const CompiledItem &item : band.items)
            if (item.reset)
                for (int slot : item.expression.sumSlots())
                    m_sums[slot] = Decimal();
        for (const CompiledBand &child : band.children)
            print(child, row);
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

    void draw(const CompiledBand &band, int row, double y)
    {
        const QMarginsF &margins = m_report.m_layout.margins;
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
            const QRectF rect(area.left() + spec.left, area.top() + spec.top, spec.width,
                              item.height);
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
            text.font = item.font;
            text.align = spec.align;
            // Fields are cut at their width; labels are as wide as their text.
            text.clip = spec.width > 0 && !item.expression.isNull();
            text.middle = spec.middle;
            text.text = item.expression.isNull() ? spec.text
                                                 : item.expression.evaluate(s).display(spec.mask);
            page.append(text);
            lines(page, spec.lines, rect);
        }
        lines(page, band.lines, area);
    }

    const Report &m_report;
    const DataSource &m_source;
    PreparedReport m_out;
    QSizeF m_printable;
    QVector<int> m_columns;
    QVector<Decimal> m_sums;
    QVector<const Expression *> m_summed;
    QVector<bool> m_active;
    double m_limit = 0;
    double m_y = 0;
    int m_pageNumber = 0;
    bool m_content = false;
};

PreparedReport Report::prepare(const DataSource &source) const
{
    return Preparation(*this, source).run();
}

} // namespace report
