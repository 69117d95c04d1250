#include "timesheets/hour_paid_writes.h"

#include "db/data_module.h"
#include "db/db_error.h"
#include "db/hours_posting.h"
#include "shiftlog/piece_price.h"

#include <optional>

namespace hourpaid {

double hourlyPrice(double basePrice, bool dayOff, bool night)
{
    double price = basePrice;
    if (dayOff)
        price *= 2.0;
    if (night)
        price *= 1.2;
    return pricing::round4(price);
}

namespace {

struct Stored
{
    qint64 worker = 0;
    qint64 kind = 0;
    int night = 0;
    QDate day;
};

// The entry as stored now, locked until the transaction ends so that no other copy changes or
// deletes it meanwhile; nothing when it is gone.
std::optional<Stored> lockStored(TDataModule6 &dm, qint64 id)
{
    std::optional<Stored> stored;
    dm.lockRow(QStringLiteral("accounts_dep.fatigue"),
               QStringLiteral("id_p, id_o, i_night, d_date"), id, [&](const Dataset &row) {
                   stored = Stored{row.integer(QStringLiteral("id_p")),
                                   row.integer(QStringLiteral("id_o")),
                                   row.integer(QStringLiteral("i_night")) != 0 ? 1 : 0,
                                   row.date(QStringLiteral("d_date"))};
               });
    return stored;
}

} // namespace

qint64 save(TDataModule6 &dm, const Entry &entry, qint64 id)
{
    const bool isNew = id == 0;
    Command &command = dm.SQL_exec;
    command.setParam(QStringLiteral("nom"), entry.groupId);
    command.setParam(QStringLiteral("kind"), entry.kind);
    command.setParam(QStringLiteral("worker"), entry.workerId);
    command.setParam(QStringLiteral("cnt"), entry.hours);
    command.setParam(QStringLiteral("price"), entry.price);
    command.setParam(QStringLiteral("holiday"), entry.holiday ? 1 : 0);
    command.setParam(QStringLiteral("night"), entry.night);
    command.setParam(QStringLiteral("day"), entry.day);
    command.setParam(QStringLiteral("month"), entry.day.month());
    command.setParam(QStringLiteral("year"), entry.day.year());
    command.setParam(QStringLiteral("shift"), entry.shift);
    command.setParam(QStringLiteral("id"), id);
    const QString statement =
        isNew ? QStringLiteral("INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, "
                               "i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)VALUES("
                               ":nom, :kind, :worker, :day, :month, :year, :shift, :cnt, :price, "
                               ":holiday, :night) returning id")
              : QStringLiteral("UPDATE accounts_dep.fatigue SET id_nom=:nom, id_o=:kind, "
                               "id_p=:worker, cnt=:cnt, price=:price, i_holiday=:holiday, "
                               "i_night=:night where id=:id");
    // The entry and the hours of its day land together or not at all; an entry that moved to
    // another worker, kind or flag takes its hours away from the former row's day.
    qint64 saved = id;
    dm.ADO_DB.inTransaction([&] {
        std::optional<Stored> before;
        if (!isNew) {
            before = lockStored(dm, id);
            if (!before)
                throw DbError::rowDeleted(statement);
        }
        const QDate day = before ? before->day : entry.day;
        command.setText(statement);
        if (isNew)
            saved = command.executeReturning().toLongLong();
        else
            command.execute();
        posting::postFatigueDay(dm, entry.workerId, entry.kind, entry.night, day);
        if (before && (before->worker != entry.workerId || before->kind != entry.kind ||
                       before->night != entry.night))
            posting::postFatigueDayAfterDelete(dm, before->worker, before->kind, before->night,
                                               day);
    });
    return saved;
}

bool remove(TDataModule6 &dm, qint64 id)
{
    bool removed = false;
    // The entry goes and its day's hours follow, or neither.
    dm.ADO_DB.inTransaction([&] {
        removed = false;
        const std::optional<Stored> stored = lockStored(dm, id);
        if (!stored)
            return;
        dm.SQL_exec.setParam(QStringLiteral("id"), id);
        dm.SQL_exec.execute(QStringLiteral("delete from accounts_dep.fatigue where id=:id"));
        posting::postFatigueDayAfterDelete(dm, stored->worker, stored->kind, stored->night,
                                           stored->day);
        removed = true;
    });
    return removed;
}

} // namespace hourpaid
