#include "db/hours_posting.h"

#include "db/data_module.h"

namespace posting {

namespace {

// Advisory lock keys: (class, object). Class -1 is a whole month (the database's postings take it
// shared with the same key).
constexpr int MonthLockClass = -1;

int monthKey(int month, int year)
{
    return year * 100 + month;
}

} // namespace

void lockMonth(TDataModule6 &dm, int month, int year)
{
    // A rebuild is long work: it may wait longer than a click for the writes under way.
    dm.ADO_DB.run(QStringLiteral("set local lock_timeout = '60s'"));
    dm.ADO_DB.run(QStringLiteral("select pg_advisory_xact_lock(%1, %2)")
                      .arg(MonthLockClass)
                      .arg(monthKey(month, year)));
}

} // namespace posting
