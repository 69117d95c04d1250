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
// Encrypted when the server offers it, plain otherwise; a site that checks the server's
// certificate says so in its service entry (sslmode=verify-full, sslrootcert).
inline constexpr auto DefaultSslMode = "prefer";

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
    QString sslRootCert; // the certificate the server's is checked against; empty: the client's own
    // Why the site's settings are not used (a sentence for the user), empty when they are.
    QString refusal;
};

Settings parse(const QString &connectionString);

// The client library's options beyond server, port, database and login, in the driver's form
// ("key=value" separated by ";"); values that may hold blanks are quoted for the client library.
QString clientOptions(const Settings &settings);

} // namespace connection
