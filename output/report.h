#pragma once

#include "output/expression.h"
#include "output/layout.h"
#include "output/prepared_report.h"

#include <QString>
#include <QVector>

#include <optional>
#include <vector>

namespace report {

class DataSource;

// A layout ready to be printed: its expressions are parsed once, here, and every preparation
// evaluates them against the rows of a data source.
class Report
{
public:
    // Throws ReportError when an expression of the layout cannot be parsed.
    explicit Report(const Layout &layout);

    const Layout &layout() const { return m_layout; }

    // The text of a named label (the title, for example); ReportError when the layout has none.
    void setText(const QString &itemName, const QString &text);
    QString text(const QString &itemName) const;
    // The fill of a named item (invalid: none); ReportError when the layout has none.
    void setBackground(const QString &itemName, const QColor &color);

    // Builds the pages from the rows of the source (all of them, in their order). A layout prints
    // even without rows: the bands of the groups without expression and the page footer. Throws
    // ReportError when an expression names a field the source lacks.
    PreparedReport prepare(const DataSource &source) const;
    // The same on another paper or orientation (the layout's margins kept): every band still
    // printed, the pages broken for that paper, the items spread over its printable width.
    PreparedReport prepare(const DataSource &source, const QPageLayout &paper) const;

private:
    struct CompiledItem
    {
        Item item;
        int font = 0;
        double height = 0;
        Expression expression;
        bool reset = false;
    };
    struct CompiledBand
    {
        double height = 0;
        QColor background;
        Lines lines;
        QVector<CompiledItem> items;
        std::vector<CompiledBand> children;
    };
    struct CompiledGroup
    {
        Expression key;
        std::optional<CompiledBand> header;
        std::optional<CompiledBand> footer;
        bool reprint = false;
        QString continuedMark;
    };
    friend class Preparation;

    CompiledBand compile(const Band &band, const FontSpec &layoutFont);
    int fontIndex(const FontSpec &font);
    CompiledItem *find(const QString &itemName);
    const CompiledItem *find(const QString &itemName) const;

    Layout m_layout;
    Symbols m_symbols;
    QVector<FontSpec> m_fonts;
    QVector<CompiledGroup> m_groups;
    CompiledBand m_detail;
    std::optional<CompiledBand> m_pageFooter;
};

} // namespace report
