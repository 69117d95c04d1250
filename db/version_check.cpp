#include "db/version_check.h"

#include "db/data_module.h"
#include "db/sql_text.h"

VersionState CheckVersion(TDataModule6 &dm, const BuildStamp &build, bool readOnly)
{
    const QString d = sql::integer(build.date);
    const QString t = sql::integer(build.time);
    Dataset &ver = dm.Control;
    dm.ADO_DB.inTransaction([&] {
        if (!readOnly) {
            // Two copies starting at once must not insert two rows, nor lower a stamp that another
            // copy has just raised: the row is written under a lock, only upwards.
            dm.ADO_DB.run(QStringLiteral("select pg_advisory_xact_lock(7777001)"));
            dm.ADO_DB.run(QStringLiteral("insert into accounts_dep.ver(d, t) select %1, %2 where "
                                         "not exists (select 1 from accounts_dep.ver)")
                              .arg(d, t));
            dm.ADO_DB.run(
                QStringLiteral("update accounts_dep.ver set d=%1, t=%2 where ctid=(select ctid "
                               "from accounts_dep.ver limit 1) and (coalesce(d,0), coalesce(t,0)) "
                               "< (%1, %2)")
                    .arg(d, t));
        }
        ver.close();
        ver.setSql(QStringLiteral("select d, t, delim from accounts_dep.ver limit 1"));
        ver.open();
    });
    dm.DecimalDelimiter = ver.text(QStringLiteral("delim"));
    const qint64 dbDate = ver.integer(QStringLiteral("d"));
    const qint64 dbTime = ver.integer(QStringLiteral("t"));
    ver.close();
    if (dbDate > build.date || (dbDate == build.date && dbTime > build.time))
        return VersionState::DatabaseNewer;
    return VersionState::Current;
}
