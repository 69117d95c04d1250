#include "db/version_check.h"

#include "db/data_module.h"
#include "db/sql_text.h"

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
    if (dbDate > build.date || (dbDate == build.date && dbTime > build.time))
        return VersionState::DatabaseNewer;
    return VersionState::Current;
}
