#include "designs/hours_table_design.h"

using namespace report;

namespace reporting {

namespace {

constexpr double kDayWidth = 5.3;

QStringList hoursTableText()
{
    return {
        QStringLiteral("select person.s_caption fio,sum(d1) as sd1,sum(d2) as sd2,sum(d3) as "
                       "sd3,sum(d4) as sd4,"),
        QStringLiteral(
            "sum(d5) as sd5,sum(d6) as sd6,sum(d7) as sd7,sum(d8) as sd8,sum(d9) as sd9,"),
        QStringLiteral("sum(d10) as sd10,sum(d11) as sd11,sum(d12) as sd12,sum(d13) as sd13,"),
        QStringLiteral("sum(d14) as sd14,sum(d15) as sd15,sum(d16) as sd16,sum(d17) as sd17,"),
        QStringLiteral("sum(d18) as sd18,sum(d19) as sd19,sum(d20) as sd20,sum(d21) as sd21,"),
        QStringLiteral("sum(d22) as sd22,sum(d23) as sd23,sum(d24) as sd24,sum(d25) as sd25,"),
        QStringLiteral("sum(d26) as sd26,sum(d27) as sd27,sum(d28) as sd28,sum(d29) as sd29,"),
        QStringLiteral("sum(d30) as sd30,sum(d31) as sd31 from accounts_dep.h_tabel, "
                       "cmn_contractor.person person where"),
        QStringLiteral("h_tabel.w_id=person.s_code::t_integer and month=:mnth and"),
        QStringLiteral("year=:yea group by fio order by fio"),
    };
}

Layout hoursTableLayout()
{
    Layout layout;
    layout.pageSize = QPageSize::A4;
    layout.orientation = QPageLayout::Landscape;
    layout.margins = QMarginsF(10, 10, 10, 10);
    layout.font = {QStringLiteral("Arial"), 10, false};

    const double headerHeight = 6.6;
    Band header = band(headerHeight).framed(Lines::aboveAndBelow(solidLine()));
    header.add(label(QStringLiteral("Данные за:"), 0, 20.1)
                   .named(QStringLiteral("QRLabel33"))
                   .bold()
                   .spanning(headerHeight));
    const QVector<double> &cells = hoursDayCells();
    for (int day = 1; day <= 31; ++day)
        header.add(label(QString::number(day), cells.at(day - 1), kDayWidth)
                       .named(hoursDayTitle(day))
                       .bold()
                       .centred()
                       .spanning(headerHeight)
                       .framed(Lines::sides(dottedGreyLine())));
    header.add(label(QStringLiteral("Итого"), 264.6).bold().spanning(headerHeight));

    // A group without expression: printed once at the top and again on every new page.
    Group columns;
    columns.header = header;
    columns.reprintOnNewPage = true;
    layout.groups = {columns};

    const double lineHeight = 6.4;
    Band detail = band(lineHeight).framed(Lines::aboveAndBelow(dottedGreyLine()));
    detail.add(field(QStringLiteral("fio"), 0, 80.4).spanning(lineHeight));
    QStringList days;
    for (int day = 1; day <= 31; ++day) {
        const QString name = QStringLiteral("sd%1").arg(day);
        days.append(name);
        Item cell = field(name, cells.at(day - 1), kDayWidth)
                        .named(hoursDayCell(day))
                        .centred()
                        .family(QStringLiteral("Microsoft Sans Serif"))
                        .sized(9)
                        .spanning(lineHeight);
        if (day % 2 == 1)
            cell.framed(Lines::sides(dottedGreyLine()));
        detail.add(cell);
    }
    detail.add(
        field(days.join(QLatin1Char('+')), 264.6, 10.3).bold().centred().spanning(lineHeight));
    layout.detail = detail;

    layout.pageFooter =
        band(6).add(field(QStringLiteral("PAGENUMBER"), 252.7, 25.7).rightAligned());
    return layout;
}

} // namespace

ReportDesign hoursTableDesign()
{
    return {QStringLiteral("H_Tabel"), hoursTableText(), hoursTableLayout()};
}

const QVector<double> &hoursDayCells()
{
    static const QVector<double> cells = {81.2,  87.8,  93.7,  100.0, 106.1, 112.4, 118.8, 125.4,
                                          131.8, 137.6, 143.1, 148.7, 154.3, 159.8, 165.4, 170.9,
                                          176.5, 182.0, 187.6, 193.2, 198.7, 204.3, 209.8, 215.4,
                                          220.9, 226.5, 232.0, 237.6, 243.2, 248.7, 254.3};
    return cells;
}

QString hoursDayTitle(int day)
{
    return QStringLiteral("DayTitle%1").arg(day);
}

QString hoursDayCell(int day)
{
    return QStringLiteral("DayCell%1").arg(day);
}

} // namespace reporting
