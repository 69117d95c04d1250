#include "designs/report_functions.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "db/month_days.h"
#include "db/number_format.h"
#include "designs/hours_table_design.h"
#include "output/data_source.h"
#include "output/report.h"
#include "output/xlsx_export.h"

QueryCloser::~QueryCloser()
{
    m_query.close();
}

namespace reporting {

namespace {

// The pages from the open query's rows that pass its filter.
report::PreparedReport preparePages(const Dataset &query, const report::Report &layout,
                                    const QString &queryName)
{
    return layout.prepare(report::DatasetSource(query, queryName));
}

// A query of the design's statement, named as the layout holders name theirs.
void setUpQuery(Dataset &query, const ReportDesign &design)
{
    query.setObjectName(design.queryName);
    query.setSql(design.sql);
}

} // namespace

void filterProductKind(Dataset &query, ProductKind kind)
{
    switch (kind) {
    case ProductKind::All:
        query.setFiltered(false);
        break;
    case ProductKind::Finished:
        query.setFilter(QStringLiteral("naimen=0"));
        query.setFiltered(true);
        break;
    case ProductKind::Blanks:
        query.setFilter(QStringLiteral("naimen=1"));
        query.setFiltered(true);
        break;
    }
}

QString periodTitle(const QString &titleText, const QDate &from, const QDate &to)
{
    const QString format = QStringLiteral("dd.MM.yyyy");
    return titleText + from.toString(format) + QStringLiteral(" по ") + to.toString(format);
}

void setPeriod(Dataset &query, int parameterCount, const QDate &from, const QDate &to)
{
    for (int n = 1; n <= parameterCount; ++n)
        query.setParam(QStringLiteral("data%1").arg(n), n % 2 == 1 ? from : to);
}

QString monthTitle(int month, int year)
{
    return MonthDays::monthNames().value(month - 1) + QLatin1Char(' ') + QString::number(year) +
           QStringLiteral(" г.");
}

report::PreparedReport preparePeriod(Dataset &query, report::Report &layout,
                                     const PeriodReportDesign &design, const QDate &from,
                                     const QDate &to, ProductKind kind)
{
    query.close();
    setPeriod(query, design.parameterCount, from, to);
    filterProductKind(query, kind);
    query.open();
    const QString title = periodTitle(design.titleText, from, to);
    layout.setText(QStringLiteral("QRLabel1"), title);
    report::PreparedReport prepared = preparePages(query, layout, design.queryName);
    prepared.title = title;
    return prepared;
}

report::PreparedReport prepareHours(Connection &connection, Dataset &query, report::Report &layout,
                                    const QString &queryName, int month, int year,
                                    const QString &title)
{
    // Grey, not red: the table goes to black-and-white printers as well.
    const QColor dayOffShade(225, 225, 225);
    const MonthDays days(connection, month, year);
    for (int day = 1; day <= 31; ++day) {
        const MonthDays::Day &info = days.days[day - 1];
        const QColor shade = info.inMonth && info.dayOff ? dayOffShade : QColor();
        layout.setBackground(hoursDayTitle(day), shade);
        layout.setBackground(hoursDayCell(day), shade);
    }
    query.close();
    query.setParam(QStringLiteral("mnth"), month);
    query.setParam(QStringLiteral("yea"), year);
    query.open();
    layout.setText(QStringLiteral("QRLabel33"), title);
    report::PreparedReport prepared = preparePages(query, layout, queryName);
    prepared.title = title;
    return prepared;
}

report::PreparedReport preparePeriodReport(TDataModule6 &dm, PeriodReport which, const QDate &from,
                                           const QDate &to, ProductKind kind)
{
    const PeriodReportDesign design = periodReportDesign(which);
    Dataset query(dm.ADO_DB);
    setUpQuery(query, design);
    report::Report layout(design.layout);
    QueryCloser closer(query);
    return preparePeriod(query, layout, design, from, to, kind);
}

report::PreparedReport prepareHoursTable(TDataModule6 &dm, int month, int year)
{
    const ReportDesign design = hoursTableDesign();
    Dataset query(dm.ADO_DB);
    setUpQuery(query, design);
    report::Report layout(design.layout);
    QueryCloser closer(query);
    return prepareHours(dm.ADO_DB, query, layout, design.queryName, month, year,
                        monthTitle(month, year));
}

QStringList productSummaryText()
{
    // The period's good pieces are summed per product, operation and colour before the names are
    // joined: the same lines as summing the joined entries, without sorting a year of them.
    return {
        QStringLiteral("select sum(smena.good)::numeric as kolvo, vid_oper.vid,"),
        QStringLiteral("izdel.nom, oper.naimen, color,izdel.massa*sum(smena.good) as mass "),
        QStringLiteral("from (select i_id, o_id, color, sum(kol_vo-brak) as good from "
                       "accounts_dep.smena where data<:data2 and data>=:data1 "
                       "group by i_id, o_id, color) smena,"),
        QStringLiteral("accounts_dep.izdel,accounts_dep.vid_oper, "
                       "accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        QStringLiteral("and oper.id=smena.o_id "),
        QStringLiteral(
            "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
    };
}

QString operationText(const QString &kind, qint64 color)
{
    if (color <= 0)
        return kind;
    if (color == 1)
        return kind + QStringLiteral(" (грунт)");
    return kind + QStringLiteral(" (цвет: ") + QString::number(color) + QLatin1Char(')');
}

QString productSummarySubject(const QDate &from, const QDate &to)
{
    const QString format = QStringLiteral("dd.MM.yyyy");
    return QStringLiteral("Продукция %1-%2").arg(from.toString(format), to.toString(format));
}

void openProductSummary(Dataset &query, const QDate &from, const QDate &to, ProductKind kind)
{
    query.close();
    query.setParam(QStringLiteral("data1"), from);
    query.setParam(QStringLiteral("data2"), to);
    filterProductKind(query, kind);
    query.open();
}

void writeProductSummary(Dataset &query, XlsxExport &workbook,
                         const std::function<void()> &rowWritten)
{
    const QStringList titles = {QStringLiteral("Наименование"), QStringLiteral("Операция"),
                                QStringLiteral("Вид продукции"), QStringLiteral("Коробки"),
                                QStringLiteral("Кол-во")};
    for (int column = 1; column <= titles.size(); ++column)
        workbook.write(1, column, 1, titles.at(column - 1));
    int row = 2;
    for (query.first(); !query.eof(); query.next(), ++row) {
        workbook.write(1, 1, row, query.text(QStringLiteral("nom")));
        workbook.write(1, 2, row,
                       operationText(query.text(QStringLiteral("vid")),
                                     query.integer(QStringLiteral("color"))));
        workbook.write(1, 3, row,
                       query.integer(QStringLiteral("naimen")) == 0
                           ? QStringLiteral("Готовая продукция")
                           : QStringLiteral("Заготовки"));
        workbook.write(1, 4, row, numbers::text(query.decimal(QStringLiteral("mass"))));
        workbook.write(1, 5, row, QString::number(query.integer(QStringLiteral("kolvo"))));
        if (rowWritten)
            rowWritten();
    }
}

bool exportProductSummary(TDataModule6 &dm, const QDate &from, const QDate &to, ProductKind kind,
                          const QString &path)
{
    Dataset query(dm.ADO_DB);
    query.setObjectName(QStringLiteral("XLS_Rep"));
    query.setSql(productSummaryText());
    QueryCloser closer(query);
    openProductSummary(query, from, to, kind);
    XlsxExport workbook;
    if (workbook.create(path) != 1)
        return false;
    writeProductSummary(query, workbook);
    return workbook.save() == 1;
}

} // namespace reporting
