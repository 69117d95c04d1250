#include "timesheets/hour_paid_writes.h"

#include "db/data_module.h"
#include "db/db_error.h"
#include "shiftlog/piece_price.h"

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

void bindEntry(Command &command, const Entry &entry, qint64 id)
{
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
}

// One statement: the database posts the hours of the entry's day (and takes them away from the
// row a changed entry left) in the same statement.
const QString Insert = QStringLiteral(
    "INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, "
    "price, i_holiday, i_night)VALUES(:nom, :kind, :worker, :day, :month, :year, :shift, :cnt, "
    ":price, :holiday, :night) returning id");

} // namespace

qint64 save(TDataModule6 &dm, const Entry &entry, qint64 id)
{
    Command &command = dm.SQL_exec;
    bindEntry(command, entry, id);
    if (id == 0) {
        command.setText(Insert);
        return command.executeReturning().toLongLong();
    }
    const QString statement =
        QStringLiteral("UPDATE accounts_dep.fatigue SET id_nom=:nom, id_o=:kind, id_p=:worker, "
                       "cnt=:cnt, price=:price, i_holiday=:holiday, i_night=:night where id=:id");
    if (command.execute(statement) == 0)
        throw DbError::rowDeleted(statement);
    return id;
}

qint64 newEntryId(TDataModule6 &dm)
{
    dm.SQL_exec.setText(
        QStringLiteral("select nextval(pg_get_serial_sequence('accounts_dep.fatigue', 'id'))"));
    return dm.SQL_exec.executeReturning().toLongLong();
}

qint64 saveNew(TDataModule6 &dm, const Entry &entry, qint64 id)
{
    Command &command = dm.SQL_exec;
    bindEntry(command, entry, id);
    // The stored entry keeps its day, month, year and shift, as a change does.
    command.setText(QStringLiteral(
        "INSERT INTO accounts_dep.fatigue(id, id_nom, id_o, id_p, d_date, i_mnth, i_year, "
        "i_smena, cnt, price, i_holiday, i_night)VALUES(:id, :nom, :kind, :worker, :day, :month, "
        ":year, :shift, :cnt, :price, :holiday, :night) ON CONFLICT (id) DO UPDATE SET "
        "id_nom=excluded.id_nom, id_o=excluded.id_o, id_p=excluded.id_p, cnt=excluded.cnt, "
        "price=excluded.price, i_holiday=excluded.i_holiday, i_night=excluded.i_night"));
    command.execute();
    return id;
}

bool remove(TDataModule6 &dm, qint64 id)
{
    // The entry goes and the database takes its hours away from its day.
    dm.SQL_exec.setParam(QStringLiteral("id"), id);
    return dm.SQL_exec.execute(QStringLiteral("delete from accounts_dep.fatigue where id=:id")) > 0;
}

} // namespace hourpaid
