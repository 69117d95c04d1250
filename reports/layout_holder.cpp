#include "reports/layout_holder.h"

#include "db/data_module.h"
#include "output/data_source.h"
#include "output/preview.h"
#include "ui/busy.h"

LayoutHolder::LayoutHolder(TDataModule6 &dm, const QString &objectName, const QString &queryName,
                           const QStringList &sql, const report::Layout &layout, QWidget *parent)
    : QWidget(parent)
    , QuickRep1(layout)
    , m_query(dm.ADO_DB)
    , m_queryName(queryName)
{
    setObjectName(objectName);
    m_query.setObjectName(queryName);
    m_query.setSql(sql);
}

LayoutHolder::~LayoutHolder() = default;

report::PreparedReport LayoutHolder::prepare() const
{
    return QuickRep1.prepare(report::DatasetSource(m_query, m_queryName));
}

void LayoutHolder::preview(const report::PreparedReport &prepared, QWidget *parent)
{
    report::preview(prepared, parent);
}

PeriodLayout::PeriodLayout(TDataModule6 &dm, const QString &objectName, const QString &queryName,
                           const QStringList &sql, int parameterCount, const QString &titleText,
                           const report::Layout &layout, QWidget *parent)
    : LayoutHolder(dm, objectName, queryName, sql, layout, parent)
    , m_parameterCount(parameterCount)
    , m_titleText(titleText)
{}

QString PeriodLayout::title(const QDate &from, const QDate &to) const
{
    const QString format = QStringLiteral("dd.MM.yyyy");
    return m_titleText + from.toString(format) + QStringLiteral(" по ") + to.toString(format);
}

void PeriodLayout::setPeriod(const QDate &from, const QDate &to)
{
    for (int n = 1; n <= m_parameterCount; ++n)
        query().setParam(QStringLiteral("data%1").arg(n), n % 2 == 1 ? from : to);
}

void PeriodLayout::setProductKind(ProductKind kind)
{
    switch (kind) {
    case ProductKind::All:
        query().setFiltered(false);
        break;
    case ProductKind::Finished:
        query().setFilter(QStringLiteral("naimen=0"));
        query().setFiltered(true);
        break;
    case ProductKind::Blanks:
        query().setFilter(QStringLiteral("naimen=1"));
        query().setFiltered(true);
        break;
    }
}

void PeriodLayout::setTitle(const QString &text)
{
    QuickRep1.setText(QStringLiteral("QRLabel1"), text);
}

report::PreparedReport PeriodLayout::prepare(const QDate &from, const QDate &to, ProductKind kind)
{
    query().close();
    setPeriod(from, to);
    setProductKind(kind);
    query().open();
    setTitle(title(from, to));
    report::PreparedReport prepared = LayoutHolder::prepare();
    prepared.title = title(from, to);
    return prepared;
}

void PeriodLayout::print(const QDate &from, const QDate &to, ProductKind kind,
                         QWidget *previewParent)
{
    QueryCloser closer(query());
    const report::PreparedReport prepared = [&] {
        BusyScope busy;
        return prepare(from, to, kind);
    }();
    preview(prepared, previewParent);
}

void PeriodLayout::writePdf(const QDate &from, const QDate &to, ProductKind kind,
                            const QString &path)
{
    QueryCloser closer(query());
    prepare(from, to, kind).writePdf(path);
}

namespace layouts {

report::Layout periodPage()
{
    report::Layout layout;
    layout.pageSize = QPageSize::A4;
    layout.orientation = QPageLayout::Portrait;
    layout.margins = QMarginsF(10, 10, 10, 10);
    layout.font = {QStringLiteral("Arial"), 10, false};
    return layout;
}

report::Band pageNumberFooter(double height)
{
    return report::band(height).add(
        report::field(QStringLiteral("PAGENUMBER"), 176.2, 11.9).sized(9).bold(false).centred());
}

QString kindText()
{
    return QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
}

QString colourText()
{
    return QStringLiteral("if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')");
}

} // namespace layouts
