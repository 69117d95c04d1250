#include "db/connection_string.h"

namespace connection {

QString build(const QString &database, const QString &server)
{
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + database +
           QStringLiteral(";SERVER=") + server + QStringLiteral(";PORT=5432;UID=") +
           QLatin1String(DefaultUser) + QStringLiteral(";PWD=") + QLatin1String(DefaultPassword) +
           QStringLiteral(";SSLmode=") + QLatin1String(DefaultSslMode) + QLatin1Char(';') +
           QStringLiteral("ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;"
                          "RowVersioning=0;ShowSystemTables=0;Fetch=100;UnknownSizes=0;"
                          "MaxVarcharSize=255;MaxLongVarcharSize=8190;") +
           QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;"
                          "UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;"
                          "ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;") +
           QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;"
                          "LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1");
}

QString fromArguments(const QStringList &arguments)
{
    const QString database = arguments.value(0);
    const QString server = arguments.value(1);
    if (server.isEmpty())
        return build(QString::fromLatin1(DefaultDatabase), QString::fromLatin1(DefaultServer));
    return build(database, server);
}

Settings parse(const QString &connectionString)
{
    Settings settings;
    // Pieces are KEY=VALUE separated by ";"; a value in braces may itself hold ";".
    qsizetype i = 0;
    const qsizetype n = connectionString.size();
    while (i < n) {
        const qsizetype eq = connectionString.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        const QString key = connectionString.mid(i, eq - i).trimmed().toUpper();
        qsizetype end;
        QString value;
        if (eq + 1 < n && connectionString.at(eq + 1) == QLatin1Char('{')) {
            const qsizetype close = connectionString.indexOf(QLatin1Char('}'), eq + 2);
            end = close < 0 ? n : close + 1;
            value = connectionString.mid(eq + 2, (close < 0 ? n : close) - eq - 2);
            const qsizetype semi = connectionString.indexOf(QLatin1Char(';'), end);
            end = semi < 0 ? n : semi;
        } else {
            const qsizetype semi = connectionString.indexOf(QLatin1Char(';'), eq + 1);
            end = semi < 0 ? n : semi;
            value = connectionString.mid(eq + 1, end - eq - 1);
        }
        if (key == QLatin1String("DATABASE"))
            settings.database = value;
        else if (key == QLatin1String("SERVER"))
            settings.server = value;
        else if (key == QLatin1String("PORT"))
            settings.port = value.toInt();
        else if (key == QLatin1String("UID"))
            settings.user = value;
        else if (key == QLatin1String("PWD"))
            settings.password = value;
        else if (key == QLatin1String("SSLMODE"))
            settings.sslMode = value;
        i = end + 1;
    }
    return settings;
}

QString clientOptions(const Settings &settings)
{
    // The driver joins the options with blanks into the client library's "key=value key=value"
    // text: a value is quoted there, with its quotes and backslashes escaped.
    const auto quoted = [](QString value) {
        value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        value.replace(QLatin1Char('\''), QStringLiteral("\\'"));
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    };
    QString options = QStringLiteral("connect_timeout=10");
    if (!settings.sslMode.isEmpty())
        options += QStringLiteral(";sslmode=") + settings.sslMode.toLower();
    if (!settings.sslRootCert.isEmpty())
        options += QStringLiteral(";sslrootcert=") + quoted(settings.sslRootCert);
    return options;
}

} // namespace connection
