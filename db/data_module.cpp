#include "db/data_module.h"

#include "db/messages.h"
#include "db/sql_text.h"

TDataModule6::TDataModule6(QObject *parent)
    : QObject(parent)
{
    Workers.setSql(QStringLiteral("select * from accounts_dep.person order by fio"));
    Izdel.setSql(QStringLiteral("select *  from accounts_dep.IZDEL order by marka"));
    Oper.setSql(operationListText());
    Vid_oper.setSql(QStringLiteral("select * from accounts_dep.VID_OPER order by vid"));
    Dataset *shifts[] = {&Smena1, &Smena2, &Smena3, &Smena4};
    for (int shift = 1; shift <= 4; ++shift) {
        shifts[shift - 1]->setSql(shiftQueryText(shift));
        shifts[shift - 1]->setParam(QStringLiteral("ok"), QStringLiteral("ok"));
        shifts[shift - 1]->setParam(QStringLiteral("data"), QVariant(QMetaType(QMetaType::QDate)));
    }
    Dataset *timesheets[] = {&H_Tabel_1, &H_Tabel_2, &H_Tabel_3};
    for (int shift = 1; shift <= 3; ++shift)
        timesheets[shift - 1]->setSql(timesheetQueryText(shift));
}

TDataModule6::~TDataModule6() = default;

bool TDataModule6::CheckCount(const QString &sql, const QString &message)
{
    Control.close();
    Control.setSql(sql);
    Control.open();
    const qint64 count = Control.isEmpty() ? 0 : Control.integer(QStringLiteral("cnt"));
    Control.close();
    if (count > 0) {
        messages::error(QStringLiteral("Ошибка"), message);
        return true;
    }
    return false;
}

QString TDataModule6::FixDecimal(const QString &text) const
{
    qsizetype at = text.indexOf(QLatin1Char(','));
    if (at < 0)
        at = text.indexOf(QLatin1Char('.'));
    if (at < 0)
        return text;
    QString result = text;
    result.replace(at, 1, DecimalDelimiter);
    return result;
}

qint64 TDataModule6::scalar(const QString &sql, const QString &field)
{
    Control.close();
    Control.setSql(sql);
    Control.open();
    const qint64 value = Control.isEmpty() ? 0 : Control.integer(field);
    Control.close();
    return value;
}

bool TDataModule6::lockRow(const QString &relation, const QString &columns, qint64 id,
                           const std::function<void(const Dataset &row)> &read)
{
    Control.close();
    Control.setSql(QStringLiteral("select %1 from %2 where id=%3 for update")
                       .arg(columns, relation, sql::integer(id)));
    Control.open();
    const bool found = !Control.isEmpty();
    if (found)
        read(Control);
    Control.close();
    return found;
}

Dataset &TDataModule6::shiftQuery(int shiftNo)
{
    switch (shiftNo) {
    case 2:
        return Smena2;
    case 3:
        return Smena3;
    case 4:
        return Smena4;
    default:
        return Smena1;
    }
}

Dataset &TDataModule6::timesheetQuery(int shift)
{
    switch (shift) {
    case 2:
        return H_Tabel_2;
    case 3:
        return H_Tabel_3;
    default:
        return H_Tabel_1;
    }
}

QStringList TDataModule6::shiftQueryText(int shiftNo)
{
    QStringList lines{
        QStringLiteral(
            "select smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
        QStringLiteral("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE "
                       "naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, "
                       "oper.naimen,  smena.brak, smena.kol_vo::numeric,"),
        QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, "
                       "color,time, smena.ok, vvod, smena.id_doc, smena.id_doc_item, "
                       "smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
        QStringLiteral(
            "from cmn_contractor.person person, "
            "accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
        // The code through accounts_dep.person_code: its index finds each entry's person, where
        // s_code::t_id made the list compare every entry of the day with every person.
        QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or "
                       "accounts_dep.person_code(s_code)=w_id) and "),
    };
    if (shiftNo == 1) {
        lines << QStringLiteral("oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and "
                                "ok!=:ok order by ")
              << QStringLiteral("fio, izdel.marka, vid_oper.vid, oper.naimen, color");
    } else {
        lines << QStringLiteral("oper.vid=vid_oper.id and smena.smena=%1 and smena.data=:data and "
                                "ok<>:ok order by fio, smena.id")
                     .arg(shiftNo);
    }
    return lines;
}

namespace {

// "coalesce(dA,0)+...+coalesce(dB,0)+"
QString daySum(int from, int to)
{
    QString text;
    for (int day = from; day <= to; ++day)
        text += QStringLiteral("coalesce(d%1,0)+").arg(day);
    return text;
}

} // namespace

QStringList TDataModule6::timesheetQueryText(int shift)
{
    QStringList lines{
        QStringLiteral("select person.s_caption fio, "),
        QStringLiteral("(") + daySum(1, 10),
        daySum(11, 20),
        daySum(21, 30),
        QStringLiteral("coalesce(d31,0)) as summ, "),
        QStringLiteral("case when (") + daySum(1, 10),
        daySum(11, 20),
        daySum(21, 30),
        QStringLiteral("coalesce(d31,0))=0 then 0 else"),
        QStringLiteral("(s.money/(") + daySum(1, 10),
        daySum(11, 20),
        daySum(21, 30),
        QStringLiteral("coalesce(d31,0))) end ::numeric(10,2) as average_price, "
                       "s.money::numeric(10,2) as cena_all,"),
        QStringLiteral("h_tabel.*"),
        // Each worker's money of the month summed before the join: the month's entries are read
        // once from their index, and no monthly row is carried through the sum.
        QStringLiteral("from accounts_dep.h_tabel, cmn_contractor.person, (select w_id, "
                       "sum(cena*(kol_vo-brak)) as money from accounts_dep.smena where data "
                       ">=:date1 and data <:date2 group by w_id) s where "),
        QStringLiteral("h_tabel.w_id=person.s_code::integer and h_tabel.smena=%1 and month=:mnth "
                       "and s.w_id = h_tabel.w_id and")
            .arg(shift),
        QStringLiteral("h_tabel.year=:yea"),
        QStringLiteral("order by fio"),
    };
    return lines;
}

QStringList TDataModule6::operationListText()
{
    return {
        QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 "
                       "THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,"),
        QStringLiteral("count(o_id) norma, min(price)::numeric cena,"),
        QStringLiteral(
            "oper.id, oper.i_id, oper.VID as oper_vid from "
            "accounts_dep.norm,accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER "
            "where OPER.i_id=IZDEL.id and norm.o_id=oper.id"),
        QStringLiteral(
            "and oper.vid=vid_oper.id group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, "
            "oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen"),
    };
}

QStringList TDataModule6::operationCatalogueText()
{
    return {
        QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 "
                       "THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,"),
        QStringLiteral("count(norm.o_id) norma, min(norm.price)::numeric cena,"),
        QStringLiteral("oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.OPER left join "
                       "accounts_dep.norm on norm.o_id=oper.id, accounts_dep.IZDEL, "
                       "accounts_dep.VID_OPER where OPER.i_id=IZDEL.id"),
        QStringLiteral(
            "and oper.vid=vid_oper.id group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, "
            "oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen"),
    };
}
