#include "designs/period_designs.h"

using namespace report;

namespace {

// A total of a footer: a number centred in its light grey cell.
Item total(const QString &expression, double left, double width, const QString &mask = {})
{
    return field(expression, left, width).centred().masked(mask).filled(layouts::TotalField);
}

// The report header band: light grey, the title label at the left.
Band reportHeader(double height, double titleLeft, const FontSpec &titleFont)
{
    Band header = band(height).filled(layouts::ReportHeader);
    Item title = label(QString(), titleLeft).named(QStringLiteral("QRLabel1"));
    title.font = titleFont;
    header.add(title);
    return header;
}

Band spacer()
{
    return band(0.5);
}

Band groupHeader(double height, const QString &fieldName)
{
    return band(height).filled(layouts::GroupHeader).add(field(fieldName, 0.3).bold().sized(10));
}

Band grandTotal(double height)
{
    return band(height).filled(layouts::GrandTotal).framed(Lines::frame());
}

const QString Mask2 = QStringLiteral("#0.00");
const QString Mask3 = QStringLiteral("#0.000");

// ---------------------------------------------------------------------------------------------
// "Отчет по рабочим"

QStringList workersText()
{
    return {
        QStringLiteral("select person.s_caption fio, sum(smena.good)::numeric(10,2) "
                       "as kolvo,vid_oper.vid, "),
        QStringLiteral("sum(smena.pay)::numeric(10,2) as summa,izdel.nom, oper.naimen, color,"),
        QStringLiteral(
            "(select coalesce(sum((f.cnt*f.price)::numeric),0)::numeric(10,2) f_sum7 from "
            "accounts_dep.fatigue f where f.d_date<:data4 and f.d_date>=:data3 and "
            "f.id_p=smena.w_id and f.id_nom=izdel.id_nom and f.id_o=7777),"),
        QStringLiteral(
            "(select coalesce(sum((f.cnt*f.price)::numeric),0)::numeric(10,2) f_sum8 from "
            "accounts_dep.fatigue f where f.d_date<:data6 and f.d_date>=:data5 and "
            "f.id_p=smena.w_id and f.id_nom=izdel.id_nom and f.id_o=7778),"),
        QStringLiteral(
            "(select coalesce(sum((f.cnt*f.price)::numeric),0)::numeric(10,2) f_sum78 from "
            "accounts_dep.fatigue f where f.d_date<:data8 and f.d_date>=:data7 and "
            "f.id_p=smena.w_id),"),
        QStringLiteral(
            "(select coalesce(sum((f.cnt*f.price)::numeric),0)::numeric(10,2) f_sum7_all from "
            "accounts_dep.fatigue f where f.d_date<:data10 and f.d_date>=:data9 and f.id_o=7777),"),
        QStringLiteral(
            "(select coalesce(sum((f.cnt*f.price)::numeric),0)::numeric(10,2) f_sum8_all from "
            "accounts_dep.fatigue f where f.d_date<:data12 and f.d_date>=:data11 and f.id_o=7778)"),
        // The period's entries summed per worker, product, operation and colour before the names
        // are joined: the same lines as summing the joined rows, without sorting a year of them.
        QStringLiteral("from cmn_contractor.person person,"),
        QStringLiteral("(select w_id, i_id, o_id, color, sum(kol_vo-brak) as good, "
                       "sum(((kol_vo-brak)*cena)::numeric) as pay from accounts_dep.smena where "
                       "data<:data2 and data>=:data1 group by w_id, i_id, o_id, color) smena,"),
        QStringLiteral("accounts_dep.izdel,accounts_dep.vid_oper,"),
        QStringLiteral("accounts_dep.oper where w_id=s_code::integer and izdel.id=smena.i_id and "
                       "vid_oper.id=oper.vid"),
        QStringLiteral("and oper.id=smena.o_id"),
        QStringLiteral(
            "group by fio, izdel.nom, vid_oper.vid, smena.w_id, izdel.id_nom, oper.naimen, color"),
        QStringLiteral("order by fio, izdel.nom"),
    };
}

Layout workersLayout()
{
    Layout layout = layouts::periodPage();

    Group whole;
    whole.header = reportHeader(4.2, 0.3, boldFont(10));
    whole.header->child(spacer());
    whole.footer =
        grandTotal(36.8)
            .withFont(boldFont(11))
            .add({
                total(QStringLiteral("sum(summa)"), 129.4, 28.0, Mask2),
                total(QStringLiteral("sum(summa/1.2)"), 159.0, 28.0, Mask2),
                label(QStringLiteral("Хоз.р.:"), 114.8).at(6.5),
                total(QStringLiteral("f_sum7_all"), 129.4, 28.0, Mask2).at(6.5),
                total(QStringLiteral("f_sum7_all/1.2"), 159.0, 28.0, Mask2).at(6.5),
                label(QStringLiteral("Ср.сд.:"), 114.8).at(12.6),
                total(QStringLiteral("f_sum8_all"), 129.4, 28.0, Mask2).at(12.6),
                total(QStringLiteral("f_sum8_all/1.2"), 159.0, 28.0, Mask2).at(12.6),
                label(QStringLiteral("Итого:"), 114.8).at(18.7),
                total(QStringLiteral("(sum(summa)+f_sum7_all+f_sum8_all)"), 129.4, 28.0, Mask2)
                    .at(18.7),
                total(QStringLiteral("(sum(summa)+f_sum7_all+f_sum8_all)/1.2"), 159.0, 28.0, Mask2)
                    .at(18.7),
            });

    Group worker;
    worker.expression = QStringLiteral("t_Report.fio");
    worker.continuedMark = layouts::Continued;
    worker.header = groupHeader(6.6, QStringLiteral("fio"))
                        .add(label(QStringLiteral("Сумма без Р/К"), 163.2, 25.1).bold().sized(10));
    worker.footer =
        band(12.7)
            .withFont(boldFont(9))
            .resetting()
            .add({
                total(QStringLiteral("sum(summa)"), 137.8, 23.8, Mask2),
                total(QStringLiteral("sum(summa/1.2)"), 163.2, 23.8, Mask2),
                total(QStringLiteral("sum(summa)+ t_Report.f_sum78"), 137.8, 23.8, Mask3).at(6.7),
                total(QStringLiteral("(sum(summa)+f_sum78)/1.2"), 163.2, 23.8, Mask3).at(6.7),
            });

    Group nomenclature;
    nomenclature.expression = QStringLiteral("t_Report.nom");
    nomenclature.header = groupHeader(5.3, QStringLiteral("nom"));
    nomenclature.footer =
        band(11.6)
            .withFont(boldFont(9))
            .resetting()
            .add({
                label(QStringLiteral("Хоз.р.:"), 38.6),
                total(QStringLiteral("f_sum7"), 54.2, 19.3),
                label(QStringLiteral("Ср. сд.:"), 78.8),
                total(QStringLiteral("f_sum8"), 93.4, 19.3),
                total(QStringLiteral("sum(kolvo)"), 117.5, 19.3),
                total(QStringLiteral("sum(summa)"), 137.8, 23.8, Mask3),
                total(QStringLiteral("sum(summa/1.2)"), 163.2, 23.8, Mask3),
                label(QStringLiteral("Итого:"), 123.3).at(6.7),
                total(QStringLiteral("sum(summa) + t_Report.f_sum7 + t_Report.f_sum8"), 137.8, 23.8,
                      Mask3)
                    .at(6.7),
                total(QStringLiteral("(sum(summa) + t_Report.f_sum7+ t_Report.f_sum8)/1.2"), 163.2,
                      23.8, Mask3)
                    .at(6.7),
            });

    layout.groups = {whole, worker, nomenclature};
    layout.detail = band(4.2)
                        .withFont(report::font(9))
                        .add({
                            field(layouts::kindText(), 0.3, 42.6),
                            field(QStringLiteral("vid"), 44.5, 38.6).centred(),
                            field(layouts::colourText(), 84.7, 28.0),
                            field(QStringLiteral("kolvo"), 117.5, 19.3).centred(),
                            field(QStringLiteral("summa"), 138.1, 23.5).centred().masked(Mask3),
                        });
    layout.pageFooter = layouts::pageNumberFooter(4.8);
    return layout;
}

// ---------------------------------------------------------------------------------------------
// "Отчет по продукции"

QStringList productsText()
{
    return {
        QStringLiteral("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
        QStringLiteral("izdel.nom, oper.naimen, color,  "
                       "round((izdel.massa*sum(smena.kol_vo-smena.brak))::numeric,2) as mass"),
        QStringLiteral("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, "
                       "accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        QStringLiteral(
            "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
    };
}

Layout productsLayout()
{
    Layout layout = layouts::periodPage();

    Group whole;
    whole.header = reportHeader(7.7, 0, boldFont(10))
                       .add({
                           label(QStringLiteral("Коробки"), 136.3).bold().sized(10),
                           label(QStringLiteral("Количество"), 165.1).bold().sized(10),
                       });
    whole.header->child(spacer());
    whole.footer = grandTotal(5.8).add({
        label(QStringLiteral("Итого:"), 106.4).bold().sized(11),
        total(QStringLiteral("sum(mass)"), 131.2, 23.5, QStringLiteral("#0")),
        total(QStringLiteral("sum(kolvo)"), 160.9, 28.0).bold().sized(11),
    });

    Group nomenclature;
    nomenclature.expression = QStringLiteral("t_Report.nom");
    nomenclature.header = groupHeader(5.3, QStringLiteral("nom"));
    nomenclature.footer = band(5.3)
                              .withFont(boldFont(9))
                              .resetting()
                              .add({
                                  total(QStringLiteral("sum(mass)"), 133.6, 19.3),
                                  total(QStringLiteral("sum(kolvo)"), 163.0, 23.8),
                              });

    layout.groups = {whole, nomenclature};
    layout.detail = band(4.2)
                        .withFont(report::font(9))
                        .add({
                            field(layouts::kindText(), 13.2, 40.0),
                            field(QStringLiteral("vid"), 54.8, 36.2).centred(),
                            field(layouts::colourText(), 92.6, 39.4),
                            field(QStringLiteral("mass"), 133.6, 19.3).centred(),
                            field(QStringLiteral("kolvo"), 163.0, 23.5).centred(),
                        });
    layout.pageFooter = layouts::pageNumberFooter(4.8);
    return layout;
}

// ---------------------------------------------------------------------------------------------
// "Детальный отчет по рабочим"

QStringList workersDetailedText()
{
    // The entries are summed per worker, product, operation and colour before the names are
    // joined, and the hour-paid figures once per worker rather than once per line: the same
    // lines as summing the joined rows, in a fraction of the time on a year of entries.
    struct HourPaid
    {
        const char *name;
        const char *sum;
        int kind;
        int night;
        int from; // the parameter numbers of the period's bounds: from and from + 1
    };
    const HourPaid hourPaid[] = {
        {"f_sum7", "(f.cnt*f.price)::numeric", 7777, 0, 1},
        {"f_sum7_n", "(f.cnt*f.price)::numeric", 7777, 1, 3},
        {"f_sum8", "(f.cnt*f.price)::numeric", 7778, 0, 5},
        {"f_sum8_n", "(f.cnt*f.price)::numeric", 7778, 1, 7},
        {"f_sum7h", "f.cnt", 7777, 0, 11},
        {"f_sum7h_n", "f.cnt", 7777, 1, 13},
        {"f_sum8h", "f.cnt", 7778, 0, 15},
        {"f_sum8h_n", "f.cnt", 7778, 1, 17},
    };
    QStringList columns;
    QStringList sums;
    for (const HourPaid &h : hourPaid) {
        const QString name = QLatin1String(h.name);
        columns << QStringLiteral("coalesce(max(fz.%1),0)::numeric(10,2) %1").arg(name);
        sums << QStringLiteral("sum(%1) filter (where f.d_date<:data%2 and f.d_date>=:data%3 and "
                               "f.id_o=%4 and f.i_night=%5) %6")
                    .arg(QLatin1String(h.sum))
                    .arg(h.from + 1)
                    .arg(h.from)
                    .arg(h.kind)
                    .arg(h.night)
                    .arg(name);
    }
    return {
        QStringLiteral("select s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, "
                       "sum(smena.sum_time) as sum_time,"),
        QStringLiteral("sum(smena.kolvo)::numeric as kolvo, sum(smena.brk) as brk, "
                       "sum(smena.summa) as summa, color, sum(smena.s_prize) as s_prize,"),
        columns.join(QStringLiteral(",\n")),
        QStringLiteral("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,"),
        QStringLiteral("(select w_id, i_id, o_id, color, sum(time) as sum_time, sum(kol_vo) as "
                       "kolvo, sum(brak) as brk, sum(((kol_vo-brak)*cena)::numeric) as summa, "
                       "sum((prize*(kol_vo-brak)*cena/100)::numeric) as s_prize"),
        QStringLiteral("from accounts_dep.smena where data<:data10 and data>=:data9 "
                       "group by w_id, i_id, o_id, color) smena"),
        QStringLiteral("left join (select f.id_p,"),
        sums.join(QStringLiteral(",\n")),
        QStringLiteral("from accounts_dep.fatigue f group by f.id_p) fz on fz.id_p=smena.w_id,"),
        QStringLiteral("accounts_dep.vid_oper "),
        QStringLiteral(
            "where smena.o_id=oper.id and smena.w_id=s_code::integer and smena.i_id=izdel.id "),
        QStringLiteral("and oper.vid=vid_oper.id "),
        QStringLiteral("group by fio, marka,vid_oper.vid, oper.naimen, color, w_id "),
        QStringLiteral("order by fio, marka, vid_oper.vid, oper.naimen"),
    };
}

Layout workersDetailedLayout()
{
    Layout layout = layouts::periodPage();

    Group whole;
    whole.header = reportHeader(7.7, 0, boldFont(10));
    whole.header->child(spacer());
    whole.footer = grandTotal(6.3)
                       .withFont(boldFont(11))
                       .add({
                           label(QStringLiteral("Итого:"), 106.1),
                           // A year's pay of the whole shop runs to nine digits and kopecks.
                           total(QStringLiteral("sum(brk)"), 128.0, 11.4),
                           total(QStringLiteral("sum(kolvo)"), 140.4, 19.3),
                           total(QStringLiteral("sum(summa)"), 160.7, 28.0, Mask2),
                       });

    Group worker;
    worker.expression = QStringLiteral("w_Report.fio");
    worker.continuedMark = layouts::Continued;
    worker.header = groupHeader(5.3, QStringLiteral("fio"))
                        .add({
                            label(QStringLiteral("Часы"), 126.7).bold().sized(9),
                            label(QStringLiteral("Брак"), 140.8).bold().sized(9),
                            label(QStringLiteral("Количество"), 152.4).bold().sized(9),
                            label(QStringLiteral("Сумма"), 176.5).bold().sized(9),
                        });

    // The worker's summary: the totals of his lines, then a small table of his hour-paid work and
    // piece work, hours and pay with and without the raise coefficient.
    Band summary =
        band(57.9)
            .withFont(boldFont(9))
            .resetting()
            .add({
                total(QStringLiteral("sum(brk)"), 140.0, 9.3),
                total(QStringLiteral("sum(kolvo)"), 150.8, 17.5),
                total(QStringLiteral("sum(summa)"), 169.9, 19.6, Mask2),
                label(QStringLiteral("Часы"), 107.7, 22.8).centred().at(9.2),
                label(QStringLiteral("Сумма с р/к (р.)"), 131.5, 22.8).centred().at(9.2),
                label(QStringLiteral("Сумма без р/к (р.)"), 163.8, 22.8).centred().at(9.2),
            });
    struct Row
    {
        const char *caption;
        const char *hours;
        const char *withRaise;
        const char *withoutRaise;
        bool masked;
    };
    static const Row rows[] = {
        {"Хоз. раб. (дн.)", "f_sum7h", "f_sum7", "f_sum7/1.2", false},
        {"Хоз. раб. (нч.)", "f_sum7h_n", "f_sum7_n", "f_sum7_n/1.2", false},
        {"Ср. сд. (дн.)", "f_sum8h", "f_sum8", "f_sum8/1.2", false},
        {"Ср. сд. (нч.)", "f_sum8h_n", "f_sum8_n", "f_sum8_n/1.2", false},
        {"Сдел.", "sum(sum_time)", "sum(summa)", "sum(summa)/1.2", true},
        {"Итого:", "sum(sum_time)+f_sum7h+f_sum7h_n+f_sum8h+f_sum8h_n",
         "sum(summa)+w_Report.f_sum7+w_Report.f_sum7_n + w_Report.f_sum8 + w_Report.f_sum8_n",
         "(sum(summa)+w_Report.f_sum7+w_Report.f_sum7_n + w_Report.f_sum8 + w_Report.f_sum8_n)/1.2",
         true},
        // A worker without piece-work hours has no price per hour: the division prints nothing.
        {"Цена ср. сд. за 1 ч.:", nullptr, "sum(summa)/sum(sum_time)",
         "sum(summa)/sum(sum_time)/1.2", true},
    };
    double top = 15.3;
    for (const Row &row : rows) {
        const QString mask = row.masked ? Mask2 : QString();
        summary.add(label(QString::fromUtf8(row.caption), 84.7).at(top));
        if (row.hours)
            summary.add(total(QString::fromUtf8(row.hours), 107.7, 22.8, mask).at(top));
        summary.add(total(QString::fromUtf8(row.withRaise), 131.5, 22.8, mask).at(top));
        summary.add(total(QString::fromUtf8(row.withoutRaise), 163.8, 22.8, mask).at(top));
        top += 6.1;
    }
    worker.footer = summary;

    layout.groups = {whole, worker};
    layout.detail = band(4.2)
                        .withFont(report::font(8))
                        .add({
                            field(QStringLiteral("marka"), 0.3, 41.0),
                            field(QStringLiteral("vid"), 42.9, 29.1).centred(),
                            field(QStringLiteral("color"), 73.6, 16.1).centred(),
                            field(layouts::kindText(), 91.3, 29.9),
                            field(QStringLiteral("sum_time"), 126.5, 9.0).centred(),
                            field(QStringLiteral("brk"), 140.2, 9.0).centred(),
                            field(QStringLiteral("kolvo"), 150.8, 17.5).centred(),
                            field(QStringLiteral("summa"), 169.9, 19.6).centred().masked(Mask2),
                        });
    layout.pageFooter = layouts::pageNumberFooter(6.9);
    return layout;
}

// ---------------------------------------------------------------------------------------------
// "Детальный отчет по продукции"

QStringList productsDetailedText()
{
    return {
        QStringLiteral("select izdel.marka, vid_oper.vid vid, oper.naimen, izdel.nom,"),
        QStringLiteral("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, "),
        QStringLiteral("sum(((kol_vo-brak)*smena.cena)::numeric) as summa, color, "
                       "round((izdel.massa*sum(smena.kol_vo))::numeric,2) as mass "),
        QStringLiteral(
            "from accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "
            "where smena.o_id=oper.id and smena.i_id=izdel.id "),
        QStringLiteral(
            "and smena.o_id=oper.id and oper.vid=vid_oper.id and smena.data<:data2 and "),
        QStringLiteral("smena.data>=:data1 group by izdel.nom, marka, vid_oper.vid, oper.naimen, "
                       "color,massa "),
        QStringLiteral("order by izdel.nom,marka, vid_oper.vid, oper.naimen"),
    };
}

Layout productsDetailedLayout()
{
    Layout layout = layouts::periodPage();

    // The sum takes the room of nine digits and kopecks, a year's pay of a product group; the
    // columns before it moved left for it.
    Group whole;
    whole.header = reportHeader(7.7, 0, boldFont(9))
                       .add({
                           label(QStringLiteral("Брак"), 120.4).bold().sized(10),
                           label(QStringLiteral("Коробки"), 130.9).bold().sized(10),
                           label(QStringLiteral("Кол-во"), 149.5).bold().sized(10),
                           label(QStringLiteral("Сумма"), 171.5).bold().sized(10),
                       });
    whole.header->child(spacer());
    whole.footer = grandTotal(6.6).add({
        label(QStringLiteral("Итого:"), 95.7).bold().sized(11),
        total(QStringLiteral("sum(brk)"), 120.4, 8.2),
        total(QStringLiteral("sum(mass)"), 128.8, 19.1),
        total(QStringLiteral("sum(kolvo)"), 148.1, 17.6),
        total(QStringLiteral("sum(summa)"), 165.9, 23.6, Mask2),
    });

    Group nomenclature;
    nomenclature.expression = QStringLiteral("i_Report.nom");
    nomenclature.header = groupHeader(5.3, QStringLiteral("nom"));
    nomenclature.footer = band(5.3)
                              .withFont(boldFont(9))
                              .resetting()
                              .add({
                                  total(QStringLiteral("sum(brk)"), 120.4, 8.2),
                                  total(QStringLiteral("sum(mass)"), 128.8, 19.1, Mask2),
                                  total(QStringLiteral("sum(kolvo)"), 148.1, 17.6),
                                  total(QStringLiteral("sum(summa)"), 165.9, 23.6, Mask2),
                              });

    layout.groups = {whole, nomenclature};
    layout.detail = band(4.2)
                        .withFont(report::font(9))
                        .add({
                            // Each field ends before the next one's left position.
                            field(QStringLiteral("marka"), 1.1, 47.6),
                            field(QStringLiteral("vid"), 48.9, 28.1),
                            // The colour's figures are short: the kind takes the room it needs for
                            // "Готовая продукция" whole, in the line's font, before the rejects.
                            field(QStringLiteral("color"), 77.2, 11.6).centred(),
                            field(layouts::kindText(), 89.0, 30.7),
                            field(QStringLiteral("brk"), 120.0, 9.4).centred(),
                            field(QStringLiteral("mass"), 129.6, 18.3).centred(),
                            field(QStringLiteral("kolvo"), 148.1, 17.6).centred(),
                            field(QStringLiteral("summa"), 165.9, 23.6).centred().masked(Mask3),
                        });
    layout.pageFooter = layouts::pageNumberFooter(4.8);
    return layout;
}

} // namespace

namespace reporting {

PeriodReportDesign periodReportDesign(PeriodReport which)
{
    PeriodReportDesign design;
    switch (which) {
    case PeriodReport::Workers:
        design.queryName = QStringLiteral("t_Report");
        design.sql = workersText();
        design.layout = workersLayout();
        design.parameterCount = 12;
        design.titleText = QStringLiteral("   Отчет по рабочим за период с ");
        break;
    case PeriodReport::Products:
        design.queryName = QStringLiteral("t_Report");
        design.sql = productsText();
        design.layout = productsLayout();
        design.parameterCount = 2;
        design.titleText = QStringLiteral("   Отчет по продукции за период с ");
        break;
    case PeriodReport::WorkersDetailed:
        design.queryName = QStringLiteral("w_Report");
        design.sql = workersDetailedText();
        design.layout = workersDetailedLayout();
        design.parameterCount = 18;
        design.titleText = QStringLiteral("   Детальный отчет по рабочим за период с ");
        break;
    case PeriodReport::ProductsDetailed:
        design.queryName = QStringLiteral("i_Report");
        design.sql = productsDetailedText();
        design.layout = productsDetailedLayout();
        design.parameterCount = 2;
        design.titleText = QStringLiteral("   Детальный отчет по продукции за период с ");
        break;
    }
    return design;
}

} // namespace reporting

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
