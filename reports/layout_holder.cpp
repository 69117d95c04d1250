#include "reports/layout_holder.h"

#include "db/data_module.h"
#include "output/data_source.h"
#include "output/preview.h"
#include "ui/busy.h"

LayoutHolder::LayoutHolder(TDataModule6 &dm, const QString &objectName,
                           const reporting::ReportDesign &design, QWidget *parent)
    : QWidget(parent)
    , QuickRep1(design.layout)
    , m_query(dm.ADO_DB)
    , m_queryName(design.queryName)
{
    setObjectName(objectName);
    m_query.setObjectName(design.queryName);
    m_query.setSql(design.sql);
}

LayoutHolder::~LayoutHolder() = default;

void LayoutHolder::preview(const report::PreparedReport &prepared, QWidget *parent)
{
    report::preview(prepared, parent, [this](const QPageLayout &paper) {
        return QuickRep1.prepare(report::DatasetSource(m_query, m_queryName), paper);
    });
}

PeriodLayout::PeriodLayout(TDataModule6 &dm, const QString &objectName,
                           const reporting::PeriodReportDesign &design, QWidget *parent)
    : LayoutHolder(dm, objectName, design, parent)
    , m_design(design)
{}

report::PreparedReport PeriodLayout::prepare(const QDate &from, const QDate &to, ProductKind kind)
{
    return reporting::preparePeriod(query(), QuickRep1, m_design, from, to, kind);
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
