#include "db/site_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace connection {

namespace {

// The PostgreSQL client's default socket folder on Debian; it stands for "localhost" in a password
// file.
constexpr auto DefaultSocketFolder = "/var/run/postgresql";

// Splits a password file line at its unescaped colons, taking escaped characters as they are;
// `wildcard` tells for each field whether it was a lone unescaped "*".
struct Fields
{
    QStringList values;
    QList<bool> wildcard;
};

Fields splitLine(const QString &line)
{
    Fields fields;
    QString value;
    bool escaped = false; // the field holds an escaped character, so "\*" is no wildcard
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            value += line.at(++i);
            escaped = true;
        } else if (c == QLatin1Char(':')) {
            fields.wildcard << (!escaped && value == QLatin1String("*"));
            fields.values << value;
            value.clear();
            escaped = false;
        } else {
            value += c;
        }
    }
    fields.wildcard << (!escaped && value == QLatin1String("*"));
    fields.values << value;
    return fields;
}

std::optional<QString> passwordForHost(const QString &text, const QString &host,
                                       const QStringList &rest)
{
    const QStringList wanted = QStringList{host} + rest;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const Fields fields = splitLine(line);
        // The password ends at the next unescaped colon; a line without one is no entry.
        if (fields.values.size() < 5)
            continue;
        bool matches = true;
        for (int i = 0; i < 4 && matches; ++i)
            matches = fields.wildcard.at(i) || fields.values.at(i) == wanted.at(i);
        if (matches)
            return fields.values.at(4);
    }
    return std::nullopt;
}

QString firstGiven(std::initializer_list<QString> values)
{
    for (const QString &value : values) {
        if (!value.isEmpty())
            return value;
    }
    return {};
}

QString readText(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString environment(const char *name)
{
    return qEnvironmentVariable(name);
}

} // namespace

std::optional<QString> passwordFromFile(const QString &text, const QString &server, int port,
                                        const QString &database, const QString &user)
{
    const QStringList rest{QString::number(port), database, user};
    for (QString host : server.split(QLatin1Char(','))) {
        host = host.trimmed();
        if (host.isEmpty() || host == QLatin1String(DefaultSocketFolder))
            host = QStringLiteral("localhost");
        if (const auto password = passwordForHost(text, host, rest))
            return password;
    }
    return std::nullopt;
}

std::optional<QHash<QString, QString>> serviceEntry(const QString &text, const QString &name)
{
    std::optional<QHash<QString, QString>> entry;
    bool inside = false;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            // The first section of the name counts, as in the PostgreSQL client.
            if (entry)
                break;
            inside = line.mid(1, line.size() - 2).trimmed() == name;
            if (inside)
                entry.emplace();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inside && eq > 0)
            entry->insert(line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed());
    }
    return entry;
}

QString exposedServiceFile(const QString &path, bool shared)
{
    const QString name = QDir::toNativeSeparators(path);
    return shared
               ? QStringLiteral("Файл настроек подключения «%1» хранит пароль и открыт для чтения "
                                "всем пользователям компьютера, поэтому программа его не "
                                "использует. Оставьте его только группе пользователей "
                                "программы: chgrp <группа> %1; chmod 640 %1")
                     .arg(name)
               : QStringLiteral("Файл настроек подключения «%1» хранит пароль и открыт для чтения "
                                "другим пользователям компьютера, поэтому программа его не "
                                "использует. Закройте его для других: chmod 600 %1")
                     .arg(name);
}

Settings withSite(const Settings &settings, const SiteSettings &site)
{
    Settings result = settings;
    QHash<QString, QString> service;
    for (qsizetype i = 0; i < site.serviceFiles.size(); ++i) {
        if (auto entry = serviceEntry(site.serviceFiles.at(i), settings.server)) {
            service = std::move(*entry);
            if (service.contains(QStringLiteral("password")))
                result.refusal = site.exposedServiceFiles.value(i);
            result.server = service.value(QStringLiteral("host"), QLatin1String(DefaultServer));
            bool valid = false;
            const int port = service.value(QStringLiteral("port")).toInt(&valid);
            if (valid && port > 0)
                result.port = port;
            if (result.database.isEmpty())
                result.database = service.value(QStringLiteral("dbname"));
            break;
        }
    }

    if (settings.user == QLatin1String(DefaultUser))
        result.user = firstGiven({service.value(QStringLiteral("user")), site.user, settings.user});
    if (settings.sslMode.compare(QLatin1String(DefaultSslMode), Qt::CaseInsensitive) == 0)
        result.sslMode =
            firstGiven({service.value(QStringLiteral("sslmode")), site.sslMode, settings.sslMode});
    result.sslRootCert =
        firstGiven({service.value(QStringLiteral("sslrootcert")), site.sslRootCert});
    if (settings.password == QLatin1String(DefaultPassword)) {
        result.password = firstGiven({service.value(QStringLiteral("password")), site.password});
        if (result.password.isEmpty()) {
            const auto fromFile = passwordFromFile(site.passwordFile, result.server, result.port,
                                                   result.database, result.user);
            if (fromFile)
                result.password = *fromFile;
            else if (result.user == settings.user)
                result.password = settings.password;
        }
    }
    return result;
}

SiteSettings readSiteSettings()
{
    SiteSettings site;
    site.user = environment("PGUSER");
    site.password = environment("PGPASSWORD");
    site.sslMode = environment("PGSSLMODE");

    const QString home = QDir::homePath();
    QString passwordFile = environment("PGPASSFILE");
    if (passwordFile.isEmpty())
        passwordFile = home + QStringLiteral("/.pgpass");
    constexpr auto groupMay = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
    constexpr auto anyoneMay = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    const QFileInfo info(passwordFile);
    if (info.isFile() && !(info.permissions() & (groupMay | anyoneMay)))
        site.passwordFile = readText(passwordFile);
    site.sslRootCert = environment("PGSSLROOTCERT");

    QString userServices = environment("PGSERVICEFILE");
    if (userServices.isEmpty())
        userServices = home + QStringLiteral("/.pg_service.conf");
    QString systemFolder = environment("PGSYSCONFDIR");
    if (systemFolder.isEmpty())
        systemFolder = QStringLiteral("/etc/postgresql-common");
    const QString systemServices = systemFolder + QStringLiteral("/pg_service.conf");
    site.serviceFiles = {readText(userServices), readText(systemServices)};
    const auto exposed = [](const QString &path, QFile::Permissions others, bool shared) {
        const QFileInfo file(path);
        return file.isFile() && (file.permissions() & others) ? exposedServiceFile(path, shared)
                                                              : QString();
    };
    site.exposedServiceFiles = {exposed(userServices, groupMay | anyoneMay, false),
                                exposed(systemServices, anyoneMay, true)};
    return site;
}

Settings forSite(const QString &connectionString)
{
    return withSite(parse(connectionString), readSiteSettings());
}

} // namespace connection
