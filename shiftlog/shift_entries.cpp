#include "shiftlog/shift_entries.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/hours_posting.h"
#include "db/sql_text.h"
#include "shiftlog/piece_price.h"

#include <optional>

namespace shiftentries {

namespace {

struct Stored
{
    qint64 worker = 0;
    int shift = 0;
    QDate day;
};

// The entry as stored now, locked until the transaction ends so that no other copy moves or
// deletes it meanwhile; nothing when it is gone.
std::optional<Stored> lockStored(TDataModule6 &dm, qint64 id)
{
    std::optional<Stored> stored;
    dm.lockRow(QStringLiteral("accounts_dep.smena"), QStringLiteral("w_id, smena, data"), id,
               [&](const Dataset &row) {
                   stored = Stored{row.integer(QStringLiteral("w_id")),
                                   int(row.integer(QStringLiteral("smena"))),
                                   row.date(QStringLiteral("data"))};
               });
    return stored;
}

} // namespace

qint64 save(TDataModule6 &dm, Command &command, const Entry &entry, qint64 id, const QDate &today)
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
    qint64 saved = id;
    try {
        dm.ADO_DB.inTransaction([&] {
            std::optional<Stored> before;
            if (!isNew) {
                before = lockStored(dm, id);
                if (!before)
                    throw DbError::rowDeleted(command.text());
            }
            if (isNew)
                saved = command.executeReturning().toLongLong();
            else
                command.execute();
            posting::postDay(dm, entry.workerId, entry.shift, entry.day);
            // The hours of a moved entry must not stay behind on the day it left.
            if (before && (before->worker != entry.workerId || before->day != entry.day ||
                           before->shift != entry.shift))
                posting::postDayAfterDelete(dm, before->worker, before->shift, before->day);
        });
    } catch (const DbError &error) {
        if (error.sqlState() != QLatin1String("23505"))
            throw;
        return 0;
    }
    return saved;
}

bool remove(TDataModule6 &dm, qint64 id)
{
    bool removed = false;
    dm.ADO_DB.inTransaction([&] {
        removed = false;
        const std::optional<Stored> stored = lockStored(dm, id);
        if (!stored)
            return;
        dm.DelSmena.execute(QStringLiteral("delete from accounts_dep.smena where id=") +
                            sql::integer(id));
        posting::postDayAfterDelete(dm, stored->worker, stored->shift, stored->day);
        removed = true;
    });
    return removed;
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
