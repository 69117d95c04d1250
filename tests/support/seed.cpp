#include "support/seed.h"

#include "db/data_module.h"
#include "db/sql_text.h"
#include "support/test_database.h"

namespace seed {

namespace {

qint64 insertReturningId(TDataModule6 &dm, const QString &sql)
{
    QSqlQuery query = dm.ADO_DB.run(sql + QStringLiteral(" returning id"));
    query.next();
    return query.value(0).toLongLong();
}

} // namespace

qint64 worker(TDataModule6 &dm, const QString &fio)
{
    return insertReturningId(dm,
                             QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) "
                                            "values (%1, 'Цех')")
                                 .arg(sql::quote(fio)));
}

qint64 product(TDataModule6 &dm, const QString &mark, double boxes)
{
    return insertReturningId(dm,
                             QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, "
                                            "massa, id_msm_bs) values (%1, %2, 6)")
                                 .arg(sql::quote(mark), sql::decimal(boxes)));
}

qint64 kind(TDataModule6 &dm, const QString &name)
{
    return insertReturningId(
        dm,
        QStringLiteral("insert into accounts_dep.vid_oper(vid) values (%1)").arg(sql::quote(name)));
}

qint64 operation(TDataModule6 &dm, qint64 kindId, qint64 productId, int naimen,
                 std::initializer_list<double> prices)
{
    const qint64 id = insertReturningId(
        dm, QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values "
                           "(%1, %2, %3, 0)")
                .arg(kindId)
                .arg(naimen)
                .arg(productId));
    int norma = 10;
    for (double price : prices) {
        dm.ADO_DB.run(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) "
                                     "values (%1, %2, 0, %3)")
                          .arg(id)
                          .arg(norma)
                          .arg(sql::decimal(price)));
        norma += 10;
    }
    return id;
}

qint64 entry(TDataModule6 &dm, const Entry &e)
{
    return insertReturningId(
        dm,
        QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, "
                       "data, smena, color, time, ok, vvod, prize, id_doc, id_doc_item, "
                       "f_gds_qty_use, id_gds_use, id_cons_use) values (%1, %2, %3, %4, %5, %6, "
                       "%7, %8, %9, %10, %11, now(), 0, 0, 0, 0, 0, 0)")
            .arg(sql::integer(e.worker), sql::integer(e.product), sql::integer(e.operation),
                 sql::decimal(e.price), sql::integer(e.pieces), sql::integer(e.rejects),
                 sql::toDate(e.day), sql::integer(e.shift), sql::integer(e.color))
            .arg(sql::integer(e.hours), sql::quote(e.ok)));
}

qint64 group(TDataModule6 &dm, const QString &caption)
{
    return insertReturningId(
        dm, QStringLiteral("insert into cmn_classifier.item(s_caption) values (%1)")
                .arg(sql::quote(caption)));
}

void setGroup(TDataModule6 &dm, qint64 product, qint64 group)
{
    TestDatabase::exec(
        dm, QStringLiteral("update cmn_gds_and_srv.gds_and_srv set id_class_item=%1 where id=%2")
                .arg(group ? sql::integer(group) : QStringLiteral("null"), sql::integer(product)));
}

void hourPaid(TDataModule6 &dm, qint64 worker, qint64 group, int kind, const QDate &day, int hours,
              double price, bool night)
{
    TestDatabase::exec(
        dm, QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, "
                           "i_year, i_smena, cnt, price, i_holiday, i_night) values (%1, %2, %3, "
                           "%4, %5, %6, 1, %7, %8, 0, %9)")
                .arg(sql::integer(group), sql::integer(kind), sql::integer(worker),
                     sql::toDate(day), sql::integer(day.month()), sql::integer(day.year()),
                     sql::integer(hours), sql::decimal(price), sql::integer(night ? 1 : 0)));
}

void monthRow(TDataModule6 &dm, qint64 worker, int month, int year, int shift,
              std::initializer_list<DayHours> days, int type, bool night)
{
    QString columns, values;
    for (const DayHours &each : days) {
        columns += QStringLiteral(", ") + sql::dayColumn(each.day);
        values += QStringLiteral(", ") + sql::integer(each.hours);
    }
    TestDatabase::exec(
        dm, QStringLiteral("insert into accounts_dep.h_tabel(w_id, month, year, smena, i_type, "
                           "i_night%1) values (%2, %3, %4, %5, %6, %7%8)")
                .arg(columns, sql::integer(worker), sql::integer(month), sql::integer(year),
                     sql::integer(shift), sql::integer(type), sql::integer(night ? 1 : 0), values));
}

SmallShop smallShop(TDataModule6 &dm)
{
    SmallShop shop;
    shop.lids = group(dm, QStringLiteral("Крышки"));
    shop.boxes = group(dm, QStringLiteral("Ящики"));
    shop.lid = product(dm, QStringLiteral("КР-1 белая"), 0.5);
    shop.box = product(dm, QStringLiteral("ЯЩ-2"), 2);
    setGroup(dm, shop.lid, shop.lids);
    setGroup(dm, shop.box, shop.boxes);
    shop.cast = kind(dm, QStringLiteral("Литьё"));
    shop.paint = kind(dm, QStringLiteral("Покраска"));
    shop.castLid = operation(dm, shop.cast, shop.lid, 0, {1.5});
    shop.paintLid = operation(dm, shop.paint, shop.lid, 0, {2});
    shop.castBox = operation(dm, shop.cast, shop.box, 1, {3});
    shop.antonov = worker(dm, QStringLiteral("Антонов А.А."));
    shop.borisov = worker(dm, QStringLiteral("Борисов Б.Б."));
    shop.vasiliev = worker(dm, QStringLiteral("Васильев В.В."));
    return shop;
}

int dayValue(TDataModule6 &dm, qint64 worker, int shift, const QDate &day)
{
    QSqlQuery query = dm.ADO_DB.run(
        QStringLiteral("select %1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 and "
                       "month=%4 and year=%5")
            .arg(sql::dayColumn(day.day()))
            .arg(worker)
            .arg(shift)
            .arg(day.month())
            .arg(day.year()));
    if (!query.next())
        return -1;
    return query.value(0).isNull() ? -2 : query.value(0).toInt();
}

int shiftRows(TDataModule6 &dm, qint64 worker, int shift, int month, int year)
{
    return int(TestDatabase::scalar(
        dm, QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=%1 and smena=%2 "
                           "and month=%3 and year=%4")
                .arg(worker)
                .arg(shift)
                .arg(month)
                .arg(year)));
}

} // namespace seed
