#include "reports/hours_table_layout.h"

#include "db/data_module.h"
#include "designs/hours_table_design.h"
#include "ui/busy.h"

TForm15::TForm15(TDataModule6 &dm, QWidget *parent)
    : LayoutHolder(dm, QStringLiteral("TForm15"), reporting::hoursTableDesign(), parent)
    , H_Tabel(query())
    , m_connection(dm.ADO_DB)
{}

QString TForm15::title() const
{
    return QuickRep1.text(QStringLiteral("QRLabel33"));
}

report::PreparedReport TForm15::prepare(int month, int year, const QString &title)
{
    return reporting::prepareHours(m_connection, H_Tabel, QuickRep1, queryName(), month, year,
                                   title);
}

void TForm15::print(int month, int year, const QString &title, QWidget *previewParent)
{
    QueryCloser closer(H_Tabel);
    const report::PreparedReport prepared = [&] {
        BusyScope busy;
        return prepare(month, year, title);
    }();
    preview(prepared, previewParent);
}
