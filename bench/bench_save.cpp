#include "bench/bench_save.h"

#include "bench/harness.h"
#include "db/command.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "shiftlog/shift_entries.h"

#include <QScopeGuard>

#include <vector>

namespace {

// The triggers that each save runs beside the entry and its posting.
const char *const Triggers[][2] = {
    {"accounts_dep.smena", "smena_history"},
    {"accounts_dep.h_tabel", "h_tabel_month_guard_ins"},
    {"accounts_dep.h_tabel", "h_tabel_month_guard_upd"},
    {"accounts_dep.h_tabel", "h_tabel_month_guard_del"},
};

void setTriggers(TDataModule6 &dm, bool enabled)
{
    for (const auto &trigger : Triggers)
        dm.ADO_DB.run(QStringLiteral("alter table %1 %2 trigger %3")
                          .arg(QLatin1String(trigger[0]),
                               enabled ? QLatin1String("enable") : QLatin1String("disable"),
                               QLatin1String(trigger[1])));
}

std::vector<qint64> ids(TDataModule6 &dm, const QString &sql)
{
    Dataset rows(dm.ADO_DB);
    rows.setSql(sql);
    rows.open();
    std::vector<qint64> values;
    for (int row = 0; row < rows.recordCount(); ++row)
        values.push_back(rows.valueAt(row, 0).toLongLong());
    return values;
}

QString text(TDataModule6 &dm, const QString &sql)
{
    Dataset rows(dm.ADO_DB);
    rows.setSql(sql);
    rows.open();
    return rows.textAt(0, 0);
}

} // namespace

void saveEntries(bench::Run &run)
{
    TDataModule6 dm;
    dm.ADO_DB.setConnectionString(connection::build(run.database(), run.server()));
    dm.ADO_DB.open();
    // Only the tables' owner (or the superuser) may switch their triggers; the saves run as the
    // program's login.
    TDataModule6 owner;
    owner.ADO_DB.setConnectionString(
        connection::build(run.database(), run.server())
            .replace(QLatin1String("UID=sys;PWD=xvbtrlu"),
                     QStringLiteral("UID=postgres;PWD=") +
                         qEnvironmentVariable("TABEL_PG_SUPERUSER_PASSWORD")));
    owner.ADO_DB.open();
    // The busiest day, a hundred workers and one operation; a colour no entry has keeps the new
    // entries clear of the stored ones.
    const QDate day = QDate::fromString(
        text(dm, QStringLiteral("select data::date::text from accounts_dep.smena group by data "
                                "order by count(*) desc, data desc limit 1")),
        Qt::ISODate);
    const std::vector<qint64> workers =
        ids(dm, QStringLiteral("select id from accounts_dep.person order by id limit 100"));
    const qint64 operation = text(dm, QStringLiteral("select min(id) from accounts_dep.oper "
                                                     "where vid not in (7777, 7778)"))
                                 .toLongLong();
    const qint64 productId =
        text(dm, QStringLiteral("select i_id from accounts_dep.oper where id=%1").arg(operation))
            .toLongLong();

    // A month long paid is closed, as in a working office: every statement checks it.
    dm.ADO_DB.run(QStringLiteral("select accounts_dep.close_month(2001, 1)"));
    const auto restore = qScopeGuard([&] {
        setTriggers(owner, true);
        dm.ADO_DB.run(QStringLiteral("select accounts_dep.open_month(2001, 1)"));
    });

    Command command(dm.ADO_DB);
    const auto saveAll = [&](std::vector<qint64> &saved, int pieces) {
        for (std::size_t i = 0; i < workers.size(); ++i) {
            shiftentries::Entry entry;
            entry.workerId = workers[i];
            entry.productId = productId;
            entry.operationId = operation;
            entry.price = 1.5;
            entry.pieces = pieces;
            entry.day = day;
            entry.colour = 777;
            entry.hours = 1;
            const qint64 id =
                shiftentries::save(command, entry, i < saved.size() ? saved[i] : 0, day);
            if (saved.size() <= i)
                saved.push_back(id);
        }
    };
    const QString count = QString::number(workers.size());
    for (int i = 0; i < run.runs(); ++i) {
        double times[2][2] = {};
        // Each variant goes first in every other run, so neither gains from the other's warm-up.
        for (const bool triggers : {i % 2 == 0, i % 2 != 0}) {
            setTriggers(owner, triggers);
            const QString variant = triggers ? QString()
                                             : QStringLiteral(", without the month-close and "
                                                              "history triggers");
            std::vector<qint64> saved;
            times[triggers][0] = run.time(
                QStringLiteral("save: %1 new entries with their posting").arg(count) + variant,
                [&] { saveAll(saved, 10); });
            times[triggers][1] = run.time(
                QStringLiteral("save: %1 changed entries with their posting").arg(count) + variant,
                [&] { saveAll(saved, 12); });
            for (const qint64 id : saved)
                shiftentries::remove(dm, id);
        }
        run.value(QStringLiteral("save: new entries, with triggers / without"),
                  times[1][0] / times[0][0], QStringLiteral("×"), bench::Target{1.2});
        run.value(QStringLiteral("save: changed entries, with triggers / without"),
                  times[1][1] / times[0][1], QStringLiteral("×"), bench::Target{1.2});
    }
}
