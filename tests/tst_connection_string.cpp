#include "db/connection_string.h"
#include "support/test_main.h"

#include <QTest>

// The connection string from the command line and its reading by the database client.
class TestConnectionString : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::newRow("no arguments: built-in default") << QStringList{} << "mirel_erp"
                                                        << "127.0.0.1";
        QTest::newRow("only the database: ignored") << QStringList{"shop"} << "mirel_erp"
                                                    << "127.0.0.1";
        QTest::newRow("both") << QStringList{"shop", "10.0.0.5"} << "shop"
                              << "10.0.0.5";
        QTest::newRow("empty database with a server") << QStringList{"", "db.local"} << ""
                                                      << "db.local";
        QTest::newRow("socket directory") << QStringList{"shop", "/tmp/pg.abc"} << "shop"
                                          << "/tmp/pg.abc";
    }
    void fromArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, database);
        QFETCH(QString, server);
        const QString text = connection::fromArguments(arguments);
        QCOMPARE(text, connection::build(database, server));
        const connection::Settings settings = connection::parse(text);
        QCOMPARE(settings.database, database);
        QCOMPARE(settings.server, server);
        QCOMPARE(settings.port, 5432);
        QCOMPARE(settings.user, QStringLiteral("sys"));
        QCOMPARE(settings.password, QStringLiteral("xvbtrlu"));
        QCOMPARE(settings.sslMode, QStringLiteral("prefer"));
    }

    // The eight pieces in their order, driver options passed as they stand.
    void pieces()
    {
        const QString text = connection::build(QStringLiteral("db"), QStringLiteral("srv"));
        QVERIFY(text.startsWith(QStringLiteral(
            "DRIVER={PostgreSQL UNICODE};DATABASE=db;SERVER=srv;PORT=5432;UID=sys;PWD=xvbtrlu;"
            "SSLmode=prefer;ReadOnly=0;Protocol=7.4;FakeOidIndex=0;")));
        QVERIFY(text.contains(QStringLiteral("MaxLongVarcharSize=8190;Debug=0;CommLog=0;")));
        QVERIFY(text.contains(QStringLiteral("UpdatableCursors=1;TrueIsMinus1=0;BI=0;")));
        QVERIFY(text.endsWith(QStringLiteral("D6=-101;OptionalErrors=0;XaOpt=1")));
    }

    // What the client library is given beyond server and login: the SSL mode always, the root
    // certificate when the site names one, quoted so that blanks and quotes in its path hold.
    void clientOptions_data()
    {
        QTest::addColumn<QString>("sslMode");
        QTest::addColumn<QString>("rootCert");
        QTest::addColumn<QString>("expected");
        QTest::newRow("built in") << "prefer"
                                  << ""
                                  << "connect_timeout=10;sslmode=prefer";
        QTest::newRow("the site's certificate")
            << "verify-full"
            << "/etc/tabel/root.crt"
            << "connect_timeout=10;sslmode=verify-full;sslrootcert='/etc/tabel/root.crt'";
        QTest::newRow("blanks, a quote and a backslash in the path")
            << "VERIFY-FULL"
            << "/home/o'neil/My certs\\root.crt"
            << "connect_timeout=10;sslmode=verify-full;sslrootcert='/home/o\\'neil/My "
               "certs\\\\root.crt'";
    }
    void clientOptions()
    {
        QFETCH(QString, sslMode);
        QFETCH(QString, rootCert);
        QFETCH(QString, expected);
        connection::Settings settings;
        settings.sslMode = sslMode;
        settings.sslRootCert = rootCert;
        QCOMPARE(connection::clientOptions(settings), expected);
    }
};

TABEL_TEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connection_string.moc"
