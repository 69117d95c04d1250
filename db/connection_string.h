#pragma once

#include <QString>
#include <QStringList>

// The connection string of the program and how it maps onto the PostgreSQL client.
namespace connection {

inline constexpr auto DefaultDatabase = "mirel_erp";
inline constexpr auto DefaultServer = "127.0.0.1";
// The login of the built-in connection string, used where the site gives none of its own.
inline constexpr auto DefaultUser = "sys";
inline constexpr auto DefaultPassword = "xvbtrlu";
inline constexpr auto DefaultSslMode = "allow";

// The connection string for a database on a server, from the fixed pieces.
QString build(const QString &database, const QString &server);
// From the command line (arguments without the program name): the first is the database, the
// second the server; without a server the built-in default is used and the first is ignored.
QString fromArguments(const QStringList &arguments);

// What the PostgreSQL client needs from a connection string.
struct Settings
{
    QString database;
    QString server; // host name, IP address, or a socket directory
    int port = 5432;
    QString user;
    QString password;
    QString sslMode;
};

Settings parse(const QString &connectionString);

} // namespace connection
