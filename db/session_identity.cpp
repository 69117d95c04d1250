#include "db/session_identity.h"

#include "db/sql_text.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QSysInfo>

namespace session {

namespace {

QString setting(const QString &name, const QString &value)
{
    return QStringLiteral("set_config(%1, %2, false)").arg(sql::quote(name), sql::quote(value));
}

QString setting(const char *name, const QString &value)
{
    return setting(QLatin1String(name), value);
}

} // namespace

Identity local()
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    Identity identity;
    // USER on Linux, USERNAME on Windows; LOGNAME where neither is set (cron).
    for (const char *name : {"USER", "USERNAME", "LOGNAME"}) {
        identity.osUser = environment.value(QLatin1String(name));
        if (!identity.osUser.isEmpty())
            break;
    }
    // A session started without them (a service, a bare container): the home folder's name.
    if (identity.osUser.isEmpty())
        identity.osUser = QDir::home().dirName();
    identity.workstation = QSysInfo::machineHostName();
    return identity;
}

QString identityStatement(const Identity &identity, const QList<std::pair<QString, QString>> &first)
{
    // application_name shows the copy in the server's list of sessions; the server keeps 63
    // bytes of it.
    QString application = QStringLiteral("tabel");
    if (!identity.osUser.isEmpty() || !identity.workstation.isEmpty())
        application += QLatin1Char(' ') + identity.osUser + QLatin1Char('@') + identity.workstation;
    QStringList settings;
    for (const auto &[name, value] : first)
        settings << setting(name, value);
    settings << QStringList{
        setting("application_name", application), setting("tabel.os_user", identity.osUser),
        setting("tabel.workstation", identity.workstation),
        setting("tabel.program_role", identity.programRole),
        setting("role", identity.group.isEmpty() ? QStringLiteral("none") : identity.group)};
    return QStringLiteral("select ") + settings.join(QLatin1String(", "));
}

} // namespace session
