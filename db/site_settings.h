#pragma once

#include "db/connection_string.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// The site's own login through PostgreSQL's standard client settings, so that an office can use a
// role and password of its own while an installation that sets nothing keeps the built-in login.
namespace connection {

// What the site gives, as read from the environment and the files; empty where it gives nothing.
struct SiteSettings
{
    QString user;             // PGUSER
    QString password;         // PGPASSWORD
    QString sslMode;          // PGSSLMODE
    QString passwordFile;     // the text of the password file (PGPASSFILE, else ~/.pgpass)
    QStringList serviceFiles; // the texts of the service files in the order they are searched
    // For each service file that people it is not meant for may read: the sentence that says so
    // and how to close it; empty for the others.
    QStringList exposedServiceFiles;
    QString sslRootCert; // PGSSLROOTCERT
};

// The sentence for a service file holding a password that others may read. `shared`: the
// system's file, meant for a group of users (the office's).
QString exposedServiceFile(const QString &path, bool shared);

// The settings to connect with, from those of the connection string and what the site gives.
// The rules follow the PostgreSQL client's own order (a service entry before the environment,
// the password file last):
// - The server names a service when a service file has an entry of that name: the first file
//   holding it is used (the user's before the system's). Its host replaces the server (none:
//   the built-in server), its port the port, and its dbname the database when the connection
//   string names none.
// - User, password and SSL mode of the site replace only the built-in values: a connection
//   string with a login of its own keeps it. The user is the service's, else PGUSER, else the
//   built-in one; the SSL mode likewise the service's, else PGSSLMODE, else the built-in one.
// - The SSL root certificate is the service's sslrootcert, else PGSSLROOTCERT.
// - A service entry holding a password in a file others may read is not used: the settings
//   carry the sentence why (refusal), as the PostgreSQL client ignores such a password file.
// - The password is the service's, else PGPASSWORD, else that of the first line of the password
//   file matching host, port, database and user; else the built-in password when the user is the
//   built-in one, and none for a role of the site's (it logs in by other means, or is refused).
Settings withSite(const Settings &settings, const SiteSettings &site);

// The password of the first line "host:port:database:user:password" of a password file that
// matches; "*" matches anything, "\" takes the next character as it is, lines starting with "#"
// are comments. A server that is empty or the default socket folder matches "localhost"; of a
// list of servers ("a,b") the first with a matching line counts.
std::optional<QString> passwordFromFile(const QString &text, const QString &server, int port,
                                        const QString &database, const QString &user);

// The settings of the entry [name] of a service file (key=value lines), if the file holds it.
std::optional<QHash<QString, QString>> serviceEntry(const QString &text, const QString &name);

// What this process's environment and the files give. A password file that others than its
// owner may read is ignored, as the PostgreSQL client ignores it; a service file is marked
// exposed when others than its owner may read it (the user's) or anyone may (the system's, which
// its group shares).
SiteSettings readSiteSettings();

// The connection string read and completed with what the site gives.
Settings forSite(const QString &connectionString);

} // namespace connection
