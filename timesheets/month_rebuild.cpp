#include "timesheets/month_rebuild.h"

#include "db/data_module.h"
#include "db/hours_posting.h"
#include "db/sql_text.h"

#include <QDate>
#include <QStringList>
#include <QVariant>

namespace rebuild {

namespace {

// Deletes one family of the month's rows, then writes every row of the family once, all its day
// columns in one statement: each row version and index entry written is one that stays.
// keyColumns/sourceKeys name the row key in h_tabel and in the entries; dateColumn and valueColumn
// the entries' day and hours. The progress moves after each of the two statements.
void rebuildMonth(TDataModule6 &dm, int month, int year, const QString &family,
                  const QString &keyColumns, const QString &sourceKeys, const QString &source,
                  const QString &dateColumn, const QString &valueColumn, const Progress &progress)
{
    const QDate first(year, month, 1);
    const int days = first.daysInMonth();
    // A typed date constant: the planner folds it once, where to_date() would run for every entry
    // and every day column.
    const auto date = [](const QDate &day) {
        return sql::literal(QVariant(day)) + QStringLiteral("::date");
    };
    dm.ADO_DB.inTransaction([&] {
        posting::lockMonth(dm, month, year);
        dm.DelSmena.execute(QStringLiteral("delete from accounts_dep.h_tabel where %1 and month=%2 "
                                           "and year=%3")
                                .arg(family, sql::integer(month), sql::integer(year)));
        if (progress)
            progress(days / 2);
        QStringList columns;
        QStringList sums;
        for (int day = 1; day <= days; ++day) {
            columns << sql::dayColumn(day);
            // Null when the key has no entry that day, so the day stays empty.
            sums << QStringLiteral("sum(%1) filter (where %2=%3)")
                        .arg(valueColumn, dateColumn, date(QDate(year, month, day)));
        }
        dm.H_Tabel_ins.execute(
            QStringLiteral("insert into accounts_dep.h_tabel(%1, month, year, %2) select %3, %4, "
                           "%5, %6 from %7 where %8>=%9 and %8<=%10 group by %3")
                .arg(keyColumns, columns.join(QLatin1String(", ")), sourceKeys, sql::integer(month),
                     sql::integer(year), sums.join(QLatin1String(", ")), source, dateColumn,
                     date(first))
                .arg(date(QDate(year, month, days))));
        if (progress)
            progress(days);
    });
}

} // namespace

void shiftMonth(TDataModule6 &dm, int month, int year, const Progress &progress)
{
    rebuildMonth(dm, month, year, QStringLiteral("smena>0"), QStringLiteral("smena, w_id"),
                 QStringLiteral("smena, w_id"), QStringLiteral("accounts_dep.smena"),
                 QStringLiteral("data"), QStringLiteral("time"), progress);
}

void fatigueMonth(TDataModule6 &dm, int month, int year, const Progress &progress)
{
    rebuildMonth(dm, month, year, QStringLiteral("smena=0"),
                 QStringLiteral("i_type, w_id, i_night"), QStringLiteral("id_o, id_p, i_night"),
                 QStringLiteral("accounts_dep.fatigue"), QStringLiteral("d_date"),
                 QStringLiteral("cnt"), progress);
}

} // namespace rebuild
