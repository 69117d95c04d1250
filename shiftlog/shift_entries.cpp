#include "shiftlog/shift_entries.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "shiftlog/piece_price.h"

namespace shiftentries {

qint64 save(Command &command, const Entry &entry, qint64 id, const QDate &today)
{
    const bool isNew = id == 0;
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
    command.setText(
        isNew ? QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, "
                               "brak, data, smena, color, time, vvod,ok, prize, id_doc, "
                               "id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
                               "values(:w, :i, :o, :p,:k, :b, :d, :s, :c, :t, :n, 'no', 0, "
                               "0, 0, 0, 0, 0) returning id")
              : QStringLiteral("update accounts_dep.SMENA set w_id=:w, i_id=:i, o_id=:o, "
                               "cena=:p, kol_vo=:k, brak=:b, data=:d, smena=:s, color=:c, "
                               "time=:t, vvod=:n, prize=0, id_doc=0, id_doc_item=0, "
                               "f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=:id"));
    // One statement: the database posts the hours of the entry's day, and of the day a changed
    // entry left, in the same statement, whoever writes it.
    qint64 saved = id;
    try {
        if (isNew) {
            saved = command.executeReturning().toLongLong();
        } else if (command.execute() == 0) {
            throw DbError::rowDeleted(command.text());
        }
    } catch (const DbError &error) {
        if (error.sqlState() != QLatin1String("23505"))
            throw;
        return 0;
    }
    return saved;
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
