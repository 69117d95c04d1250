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
