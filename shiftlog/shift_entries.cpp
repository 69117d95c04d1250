#include "shiftlog/shift_entries.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "shiftlog/piece_price.h"

namespace shiftentries {

namespace {

void setEntryParams(Command &command, const Entry &entry, qint64 id, const QDate &today)
{
    command.setParam(QStringLiteral("w"), entry.workerId);
    command.setParam(QStringLiteral("i"), entry.productId);
    command.setParam(QStringLiteral("o"), entry.operationId);
    command.setParam(QStringLiteral("p"), pricing::round4(entry.price));
    command.setParam(QStringLiteral("k"), entry.pieces);
    command.setParam(QStringLiteral("b"), entry.rejects);
    command.setParam(QStringLiteral("d"), entry.day);
    command.setParam(QStringLiteral("s"), entry.shift);
    command.setParam(QStringLiteral("c"), entry.colour);
    command.setParam(QStringLiteral("t"), entry.hours);
    command.setParam(QStringLiteral("n"), today);
    command.setParam(QStringLiteral("id"), id);
}

} // namespace

qint64 save(Command &command, const Entry &entry, qint64 id, const QDate &today)
{
    const Checked checked = saveChecked(command, entry, id, today, -1);
    return checked.sameEntries > 0 ? 0 : checked.savedId;
}

Checked saveChecked(Command &command, const Entry &entry, qint64 id, const QDate &today,
                    int maxDayHours)
{
    const bool isNew = id == 0;
    const QString duplicates =
        QStringLiteral("select count(id) from accounts_dep.SMENA where w_id=%1 and o_id=%2 and "
                       "i_id=%3 and data=%4 and smena=%5")
            .arg(sql::integer(entry.workerId), sql::integer(entry.operationId),
                 sql::integer(entry.productId), sql::toDate(entry.day), sql::integer(entry.shift)) +
        (isNew ? QString() : QStringLiteral(" and id<>") + sql::integer(id)) +
        QStringLiteral(" and color=") + sql::integer(entry.colour);
    const QString otherHours =
        QStringLiteral("select coalesce(sum(time), 0) from accounts_dep.smena where w_id=%1 and "
                       "data=%2 and id<>%3")
            .arg(sql::integer(entry.workerId), sql::toDate(entry.day), sql::integer(id));
    const QString allowed = QStringLiteral("checks.cnt = 0 and (:max < 0 or checks.hours + :t <= "
                                           ":max)");
    setEntryParams(command, entry, id, today);
    command.setParam(QStringLiteral("max"), maxDayHours);
    command.setText(
        QStringLiteral("with checks as (select (%1) as cnt, (%2) as hours),\nsaved as (")
            .arg(duplicates, otherHours) +
        (isNew ? QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, "
                                "brak, data, smena, color, time, vvod,ok, prize, id_doc, "
                                "id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
                                "select :w, :i, :o, :p,:k, :b, :d, :s, :c, :t, :n, 'no', 0, "
                                "0, 0, 0, 0, 0 from checks where ") +
                     allowed
               : QStringLiteral("update accounts_dep.SMENA set w_id=:w, i_id=:i, o_id=:o, "
                                "cena=:p, kol_vo=:k, brak=:b, data=:d, smena=:s, color=:c, "
                                "time=:t, vvod=:n, prize=0, id_doc=0, id_doc_item=0, "
                                "f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 from checks "
                                "where SMENA.id=:id and ") +
                     allowed) +
        QStringLiteral(" returning SMENA.id)\nselect checks.cnt, checks.hours, (select id from "
                       "saved) from checks"));
    Checked checked;
    try {
        const QVariantList row = command.executeReturningRow();
        checked.sameEntries = row.value(0).toLongLong();
        checked.otherHours = row.value(1).toLongLong();
        checked.savedId = row.value(2).toLongLong();
    } catch (const DbError &error) {
        // Another copy stored the same entry between the check and the write.
        if (error.sqlState() != QLatin1String("23505"))
            throw;
        checked.sameEntries = 1;
        return checked;
    }
    const bool wanted = checked.sameEntries == 0 &&
                        (maxDayHours < 0 || checked.otherHours + entry.hours <= maxDayHours);
    if (wanted && checked.savedId == 0)
        throw DbError::rowDeleted(command.text());
    return checked;
}

bool remove(TDataModule6 &dm, qint64 id)
{
    // The database takes the entry's hours away from its day with it.
    return dm.DelSmena.execute(QStringLiteral("delete from accounts_dep.smena where id=") +
                               sql::integer(id)) > 0;
}

QString acceptanceStatement()
{
    return QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id");
}

void setAcceptance(Command &command, qint64 id, const QString &ok)
{
    command.setParam(QStringLiteral("id"), id);
    command.setParam(QStringLiteral("ok"), ok);
    command.execute();
}

} // namespace shiftentries
