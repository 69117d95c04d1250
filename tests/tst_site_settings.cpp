#include "db/data_module.h"
#include "db/db_error.h"
#include "db/site_settings.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <optional>

namespace {

const char *const ClientVariables[] = {"PGUSER",        "PGPASSWORD",   "PGSSLMODE", "PGPASSFILE",
                                       "PGSERVICEFILE", "PGSYSCONFDIR", "HOME"};

void writeFile(const QString &path, const QString &text, QFile::Permissions permissions)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(text.toUtf8());
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

} // namespace

// The login of the program: the site's own through PostgreSQL's client settings (environment,
// password file, service files), the built-in one when the site gives none, so that an existing
// installation keeps working.
class TestSiteSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The rules without a server: what the connection string holds and what the site gives, to
    // what the program connects with.
    void rules_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("login");   // the connection string's own, "" for the built-in
        QTest::addColumn<QStringList>("env"); // PGUSER, PGPASSWORD, PGSSLMODE
        QTest::addColumn<QString>("passwordFile");
        QTest::addColumn<QStringList>("serviceFiles"); // the user's, the system's
        QTest::addColumn<QStringList>("expected"); // server, port, database, user, password, ssl

        const QStringList none{"", "", ""};
        const QStringList builtIn{"db.local", "5432", "shop", "sys", "xvbtrlu", "prefer"};
        const auto with = [&](int field, const QString &value) {
            QStringList expected = builtIn;
            expected[field] = value;
            return expected;
        };
        QTest::newRow("nothing given: the built-in login")
            << "shop"
            << "db.local"
            << "" << none << "" << QStringList{} << builtIn;
        QTest::newRow("PGUSER alone: a site role gets no built-in password")
            << "shop"
            << "db.local"
            << "" << QStringList{"clerk", "", ""} << "" << QStringList{}
            << QStringList{"db.local", "5432", "shop", "clerk", "", "prefer"};
        QTest::newRow("PGUSER and PGPASSWORD")
            << "shop"
            << "db.local"
            << "" << QStringList{"clerk", "secret", ""} << "" << QStringList{}
            << QStringList{"db.local", "5432", "shop", "clerk", "secret", "prefer"};
        QTest::newRow("PGPASSWORD for the built-in role")
            << "shop"
            << "db.local"
            << "" << QStringList{"", "secret", ""} << "" << QStringList{} << with(4, "secret");
        QTest::newRow("PGSSLMODE")
            << "shop"
            << "db.local"
            << "" << QStringList{"", "", "require"} << "" << QStringList{} << with(5, "require");
        QTest::newRow("password file: the first line matching host, port, database and user")
            << "shop"
            << "db.local"
            << "" << none
            << "# db.local:5432:shop:sys:comment\n"
               "other:5432:shop:sys:host\n"
               "db.local:5433:shop:sys:port\n"
               "db.local:5432:other:sys:database\n"
               "db.local:5432:shop:clerk:user\n"
               "db.local:5432:shop:sys:right\r\n"
               "*:*:*:*:later\n"
            << QStringList{} << with(4, "right");
        QTest::newRow("password file: wildcards for a site role")
            << "shop"
            << "db.local"
            << "" << QStringList{"clerk", "", ""} << "*:*:*:sys:not-this\n*:*:*:clerk:pw"
            << QStringList{} << QStringList{"db.local", "5432", "shop", "clerk", "pw", "prefer"};
        QTest::newRow("password file: escapes, an escaped star is no wildcard")
            << "shop"
            << "db.local"
            << "" << none << "\\*:*:*:*:literal-star\ndb.local:*:*:sys:a\\:b\\\\c:rest"
            << QStringList{} << with(4, "a:b\\c");
        QTest::newRow("password file: a line of four fields is no entry")
            << "shop"
            << "db.local"
            << "" << none << "db.local:5432:shop:sys" << QStringList{} << builtIn;
        QTest::newRow("password file without a matching line: the built-in password")
            << "shop"
            << "db.local"
            << "" << none << "other:*:*:*:x" << QStringList{} << builtIn;
        QTest::newRow("PGPASSWORD before the password file")
            << "shop"
            << "db.local"
            << "" << QStringList{"", "env", ""} << "*:*:*:*:file" << QStringList{}
            << with(4, "env");
        QTest::newRow("password file: the default socket folder is localhost")
            << "shop"
            << "/var/run/postgresql"
            << "" << none << "localhost:5432:shop:sys:sock" << QStringList{}
            << QStringList{"/var/run/postgresql", "5432", "shop", "sys", "sock", "prefer"};
        QTest::newRow("password file: another socket folder by its path")
            << "shop"
            << "/tmp/pg.x"
            << "" << none << "localhost:5432:shop:sys:a\n/tmp/pg.x:5432:shop:sys:b" << QStringList{}
            << QStringList{"/tmp/pg.x", "5432", "shop", "sys", "b", "prefer"};
        QTest::newRow("password file: of several servers the first with a line")
            << "shop"
            << "a.local,b.local"
            << "" << none << "b.local:5432:shop:sys:second" << QStringList{}
            << QStringList{"a.local,b.local", "5432", "shop", "sys", "second", "prefer"};

        const QString office = QStringLiteral("[other]\nhost=elsewhere\n"
                                              "[office]\n# the office's server\n"
                                              " host = 10.0.0.5 \nport=6432\nuser=clerk\n"
                                              "password=svc\nsslmode=require\ndbname=erp\n");
        QTest::newRow("service entry named as the server")
            << "shop"
            << "office"
            << "" << none << "" << QStringList{office, ""}
            << QStringList{"10.0.0.5", "6432", "shop", "clerk", "svc", "require"};
        QTest::newRow("service: its dbname when no database is given")
            << ""
            << "office"
            << "" << none << "" << QStringList{office, ""}
            << QStringList{"10.0.0.5", "6432", "erp", "clerk", "svc", "require"};
        QTest::newRow("service: the user's file before the system's")
            << "shop"
            << "office"
            << "" << none << ""
            << QStringList{"[office]\nhost=mine", "[office]\nhost=system\nuser=clerk"}
            << with(0, "mine");
        QTest::newRow("service: the system's file when the user's lacks the entry")
            << "shop"
            << "office"
            << "" << none << "" << QStringList{"[other]\nhost=mine", "[office]\nhost=system"}
            << with(0, "system");
        QTest::newRow("service: the first entry of the name in a file")
            << "shop"
            << "office"
            << "" << none << "" << QStringList{"[office]\nhost=first\n[office]\nhost=second", ""}
            << with(0, "first");
        QTest::newRow("service before the environment, PGPASSWORD for its user")
            << "shop"
            << "office"
            << "" << QStringList{"envuser", "envpw", "disable"} << ""
            << QStringList{"[office]\nhost=10.0.0.5\nuser=clerk", ""}
            << QStringList{"10.0.0.5", "5432", "shop", "clerk", "envpw", "disable"};
        QTest::newRow("service without a password: the password file for its host and user")
            << "shop"
            << "office"
            << "" << none << "10.0.0.5:5432:shop:sys:wrong\n10.0.0.5:6432:shop:clerk:frompass"
            << QStringList{"[office]\nhost=10.0.0.5\nport=6432\nuser=clerk", ""}
            << QStringList{"10.0.0.5", "6432", "shop", "clerk", "frompass", "prefer"};
        QTest::newRow("service without a host: the built-in server")
            << "shop"
            << "office"
            << "" << none << "" << QStringList{"[office]\nuser=clerk", ""}
            << QStringList{"127.0.0.1", "5432", "shop", "clerk", "", "prefer"};
        QTest::newRow("a server that names no service is a host")
            << "shop"
            << "db.local"
            << "" << none << "" << QStringList{office, office} << builtIn;
        QTest::newRow("a connection string's own login is kept")
            << "shop"
            << "db.local"
            << "UID=owner;PWD=ownpw;SSLmode=verify-ca" << QStringList{"clerk", "secret", "require"}
            << "*:*:*:*:file"
            << QStringList{"[db.local]\nhost=db.local\nuser=svc\npassword=svc\nsslmode=disable", ""}
            << QStringList{"db.local", "5432", "shop", "owner", "ownpw", "verify-ca"};
    }
    void rules()
    {
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(QString, login);
        QFETCH(QStringList, env);
        QFETCH(QString, passwordFile);
        QFETCH(QStringList, serviceFiles);
        QFETCH(QStringList, expected);

        QString text = connection::build(database, server);
        if (!login.isEmpty())
            text.replace(QLatin1String("UID=sys;PWD=xvbtrlu;SSLmode=prefer"), login);
        const connection::SiteSettings site{env.at(0),    env.at(1), env.at(2), passwordFile,
                                            serviceFiles, {},        {}};
        const connection::Settings settings = connection::withSite(connection::parse(text), site);
        const QStringList actual{settings.server,   QString::number(settings.port),
                                 settings.database, settings.user,
                                 settings.password, settings.sslMode};
        QCOMPARE(actual, expected);
    }

    // The service entry's SSL settings reach the client library; an entry holding a password in a
    // file others may read is refused with a sentence that says how to close the file, and only
    // then (the password elsewhere, or another entry used).
    void serviceSecurity_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QStringList>("serviceFiles");
        QTest::addColumn<QStringList>("exposed"); // the files' sentences, "" for closed files
        QTest::addColumn<QString>("envRootCert");
        QTest::addColumn<QStringList>("expected"); // sslmode, sslrootcert, refusal

        const QString checked = QStringLiteral(
            "[office]\nhost=db.shop.local\nsslmode=verify-full\nsslrootcert=/etc/tabel/root.crt\n");
        const QString withPassword = QStringLiteral("[office]\nhost=db.local\npassword=pw\n");
        QTest::newRow("verify-full with the site's certificate")
            << "office" << QStringList{checked, ""} << QStringList{"", ""} << ""
            << QStringList{"verify-full", "/etc/tabel/root.crt", ""};
        QTest::newRow("PGSSLROOTCERT when the entry names none")
            << "office" << QStringList{"[office]\nhost=db.local\n", ""} << QStringList{"", ""}
            << "/home/u/root.crt" << QStringList{"prefer", "/home/u/root.crt", ""};
        QTest::newRow("the entry's certificate before PGSSLROOTCERT")
            << "office" << QStringList{checked, ""} << QStringList{"", ""} << "/home/u/root.crt"
            << QStringList{"verify-full", "/etc/tabel/root.crt", ""};
        QTest::newRow("the user's file others may read, with a password: refused")
            << "office" << QStringList{withPassword, ""} << QStringList{"user's file open", ""}
            << "" << QStringList{"prefer", "", "user's file open"};
        QTest::newRow("the system's file anyone may read, with a password: refused")
            << "office" << QStringList{"", withPassword} << QStringList{"", "system file open"}
            << "" << QStringList{"prefer", "", "system file open"};
        QTest::newRow("an open file without a password is used")
            << "office" << QStringList{checked, ""} << QStringList{"user's file open", ""} << ""
            << QStringList{"verify-full", "/etc/tabel/root.crt", ""};
        QTest::newRow("an open file whose entry is not used")
            << "db.local" << QStringList{withPassword, ""} << QStringList{"user's file open", ""}
            << "" << QStringList{"prefer", "", ""};
    }
    void serviceSecurity()
    {
        QFETCH(QString, server);
        QFETCH(QStringList, serviceFiles);
        QFETCH(QStringList, exposed);
        QFETCH(QString, envRootCert);
        QFETCH(QStringList, expected);
        const connection::SiteSettings site{{}, {}, {}, {}, serviceFiles, exposed, envRootCert};
        const connection::Settings settings = connection::withSite(
            connection::parse(connection::build(QStringLiteral("shop"), server)), site);
        QCOMPARE((QStringList{settings.sslMode, settings.sslRootCert, settings.refusal}), expected);
    }

    // The sentences say which file and how to close it.
    void exposedServiceFileSentences()
    {
        const QString user =
            connection::exposedServiceFile(QStringLiteral("/home/u/.pg_service.conf"), false);
        QVERIFY2(user.contains(QStringLiteral("«/home/u/.pg_service.conf»")), qPrintable(user));
        QVERIFY2(user.endsWith(QStringLiteral("chmod 600 /home/u/.pg_service.conf")),
                 qPrintable(user));
        const QString shared = connection::exposedServiceFile(
            QStringLiteral("/etc/postgresql-common/pg_service.conf"), true);
        QVERIFY2(
            shared.endsWith(QStringLiteral("chmod 640 /etc/postgresql-common/pg_service.conf")),
            qPrintable(shared));
    }

    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("site_settings"));
        m_owner = m_db->connect();
        for (const char *name : ClientVariables)
            m_saved.emplace(name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt);
        if (TestDatabase::scalar(*m_owner,
                                 QStringLiteral("select count(*) from pg_roles where "
                                                "rolname=current_user and rolcreaterole")) == 0)
            return;
        m_role = QStringLiteral("tabel_site_%1").arg(QCoreApplication::applicationPid());
        TestDatabase::exec(*m_owner, QStringLiteral("drop role if exists %1; create role %1 login "
                                                    "password 'site-password'")
                                         .arg(m_role));
    }
    void cleanup()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    void cleanupTestCase()
    {
        if (m_owner && !m_role.isEmpty()) {
            try {
                m_owner->ADO_DB.run(QStringLiteral("drop role if exists %1").arg(m_role));
            } catch (const DbError &error) {
                qWarning("the role %s stays: %s", qPrintable(m_role), qPrintable(error.message()));
            }
        }
        m_owner.reset();
        m_db.reset();
    }

    // Logging in on the real cluster (password authentication) with a role of the site's own,
    // given each way a site gives it; and refused where the site's file is not to be used or
    // holds a wrong password, so the password is shown to come from where it should.
    void login_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("nothing given: the built-in role") << "none" << true;
        QTest::newRow("PGUSER and PGPASSWORD") << "environment" << true;
        QTest::newRow("password file named by PGPASSFILE") << "PGPASSFILE" << true;
        QTest::newRow("the user's ~/.pgpass") << "home" << true;
        QTest::newRow("a password file others may read is ignored") << "readable" << false;
        QTest::newRow("a wrong password in the password file") << "wrong" << false;
        QTest::newRow("service file named by PGSERVICEFILE") << "PGSERVICEFILE" << true;
        QTest::newRow("the system's service file, open to its group") << "PGSYSCONFDIR" << true;
        QTest::newRow("a service file with a password others may read is refused")
            << "exposed" << false;
    }
    void login()
    {
        QFETCH(QString, way);
        QFETCH(bool, loggedIn);
        if (m_role.isEmpty())
            QSKIP("the test cluster's sys may not create roles (start it with scripts/pg)");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Nothing of the machine's own settings takes part.
        qunsetenv("PGUSER");
        qunsetenv("PGPASSWORD");
        qunsetenv("PGSSLMODE");
        qputenv("HOME", QFile::encodeName(dir.path()));
        qputenv("PGPASSFILE", QFile::encodeName(dir.filePath(QStringLiteral("none"))));
        qputenv("PGSERVICEFILE", QFile::encodeName(dir.filePath(QStringLiteral("none"))));
        qputenv("PGSYSCONFDIR", QFile::encodeName(dir.filePath(QStringLiteral("none"))));

        const QString host = TestDatabase::server();
        const QString port = qEnvironmentVariable("PGPORT", QStringLiteral("5432"));
        const QString line = QStringLiteral("%1:%2:%3:%4:%5\n")
                                 .arg(host, port, m_db->name(), m_role, QStringLiteral("%1"));
        const QString service = QStringLiteral("site_%1").arg(QCoreApplication::applicationPid());
        const QString entry =
            QStringLiteral("[%1]\nhost=%2\nport=%3\nuser=%4\npassword=site-password\n")
                .arg(service, host, port, m_role);
        constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        QString server = host;
        if (way == QLatin1String("environment")) {
            qputenv("PGUSER", m_role.toUtf8());
            qputenv("PGPASSWORD", "site-password");
        } else if (way == QLatin1String("PGPASSFILE") || way == QLatin1String("readable") ||
                   way == QLatin1String("wrong")) {
            qputenv("PGUSER", m_role.toUtf8());
            const QString path = dir.filePath(QStringLiteral("passwords"));
            qputenv("PGPASSFILE", QFile::encodeName(path));
            writeFile(path,
                      line.arg(way == QLatin1String("wrong") ? QStringLiteral("not-the-password")
                                                             : QStringLiteral("site-password")),
                      way == QLatin1String("readable")
                          ? ownerOnly | QFile::ReadGroup | QFile::ReadOther
                          : ownerOnly);
        } else if (way == QLatin1String("home")) {
            qputenv("PGUSER", m_role.toUtf8());
            qunsetenv("PGPASSFILE");
            writeFile(dir.filePath(QStringLiteral(".pgpass")),
                      QStringLiteral("# the office\n") + line.arg(QStringLiteral("site-password")),
                      ownerOnly);
        } else if (way == QLatin1String("PGSERVICEFILE") || way == QLatin1String("exposed")) {
            const QString path = dir.filePath(QStringLiteral("services"));
            qputenv("PGSERVICEFILE", QFile::encodeName(path));
            writeFile(path, entry,
                      way == QLatin1String("exposed")
                          ? ownerOnly | QFile::ReadGroup | QFile::ReadOther
                          : ownerOnly);
            server = service;
        } else if (way == QLatin1String("PGSYSCONFDIR")) {
            qputenv("PGSYSCONFDIR", QFile::encodeName(dir.path()));
            writeFile(dir.filePath(QStringLiteral("pg_service.conf")), entry,
                      ownerOnly | QFile::ReadGroup);
            server = service;
        }
        if (QTest::currentTestFailed())
            return;

        TDataModule6 dm;
        dm.ADO_DB.setConnectionString(connection::build(m_db->name(), server));
        try {
            dm.ADO_DB.open();
        } catch (const DbError &error) {
            QVERIFY2(!loggedIn, qPrintable(error.message()));
            if (way == QLatin1String("exposed")) {
                // Refused before connecting, with the way to mend it.
                QVERIFY(!error.isConnectionError());
                QCOMPARE(error.message(), connection::exposedServiceFile(
                                              dir.filePath(QStringLiteral("services")), false));
                return;
            }
            QVERIFY(error.isConnectionError());
            QVERIFY2(error.message().contains(QLatin1String("password")) ||
                         error.message().contains(QStringLiteral("пароль")),
                     qPrintable(error.message()));
            return;
        }
        QVERIFY2(loggedIn, "logged in where the site's settings must not be used");
        QSqlQuery user = dm.ADO_DB.run(QStringLiteral("select current_user"));
        QVERIFY(user.next());
        QCOMPARE(user.value(0).toString(),
                 way == QLatin1String("none") ? QStringLiteral("sys") : m_role);
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_owner;
    QString m_role;
    std::map<const char *, std::optional<QByteArray>> m_saved;
};

TABEL_TEST_GUILESS_MAIN(TestSiteSettings)
#include "tst_site_settings.moc"
