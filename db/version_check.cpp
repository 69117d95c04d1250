#include "db/version_check.h"

#include "db/data_module.h"
#include "db/sql_text.h"

namespace {

bool isNewer(qint64 date, qint64 time, const BuildStamp &than)
{
    return date > than.date || (date == than.date && time > than.time);
}

} // namespace

void askVersion(Dataset &query)
{
    query.setSql(QStringLiteral("select d, t, delim from accounts_dep.ver limit 1"));
}

std::optional<VersionState> versionFrom(TDataModule6 &dm, Dataset &query, const BuildStamp &build)
{
    query.first();
    if (query.isEmpty())
        return std::nullopt;
    const qint64 dbDate = query.integer(QStringLiteral("d"));
    const qint64 dbTime = query.integer(QStringLiteral("t"));
    if (isNewer(build.date, build.time, BuildStamp{int(dbDate), int(dbTime)}))
        return std::nullopt;
    dm.DecimalDelimiter = query.text(QStringLiteral("delim"));
    return isNewer(dbDate, dbTime, build) ? VersionState::DatabaseNewer : VersionState::Current;
}

VersionState CheckVersion(TDataModule6 &dm, const BuildStamp &build, bool readOnly)
{
    const QString d = sql::integer(build.date);
    const QString t = sql::integer(build.time);
    Dataset &ver = dm.Control;
    ver.close();
    // The database raises its stamp for a newer build, never lowers it, and answers with the row
    // in the same call; a report run only reads it.
    ver.setSql(readOnly
                   ? QStringLiteral("select d, t, delim from accounts_dep.ver limit 1")
                   : QStringLiteral("select d, t, delim from accounts_dep.raise_version(%1, %2)")
                         .arg(d, t));
    ver.open();
    dm.DecimalDelimiter = ver.text(QStringLiteral("delim"));
    const qint64 dbDate = ver.integer(QStringLiteral("d"));
    const qint64 dbTime = ver.integer(QStringLiteral("t"));
    ver.close();
    return isNewer(dbDate, dbTime, build) ? VersionState::DatabaseNewer : VersionState::Current;
}
