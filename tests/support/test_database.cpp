#include "support/test_database.h"

#include "db/connection_string.h"
#include "db/db_error.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

QString env(const char *name, const char *fallback = "")
{
    const QByteArray value = qgetenv(name);
    return QString::fromLocal8Bit(value.isEmpty() ? QByteArray(fallback) : value);
}

} // namespace

TestDatabase::TestDatabase(const QString &testName, const QString &createClause)
{
    if (qgetenv("PGHOST").isEmpty()) {
        qFatal("PGHOST is not set: run the tests through scripts/test, or eval \"$(scripts/pg "
               "start)\" first");
    }
    m_name =
        QStringLiteral("t_%1_%2").arg(testName.toLower()).arg(QCoreApplication::applicationPid());
    maintenance(QStringLiteral("drop database if exists \"%1\"").arg(m_name));
    maintenance(
        QStringLiteral("create database \"%1\" %2")
            .arg(m_name,
                 createClause.isEmpty()
                     ? QStringLiteral("template \"%1\"").arg(env("PGDATABASE", "tabel_template"))
                     : createClause));
}

TestDatabase::~TestDatabase()
{
    // Leftover connections of the test keep the database busy; force it.
    try {
        maintenance(QStringLiteral("drop database if exists \"%1\" with (force)").arg(m_name));
    } catch (...) {
    }
}

QString TestDatabase::server()
{
    return env("PGHOST");
}

QString TestDatabase::connectionString() const
{
    return connection::build(m_name, server());
}

std::unique_ptr<TDataModule6> TestDatabase::connect() const
{
    auto dm = std::make_unique<TDataModule6>();
    dm->ADO_DB.setConnectionString(connectionString());
    dm->ADO_DB.open();
    return dm;
}

std::unique_ptr<TDataModule6> TestDatabase::connectAs(const QString &user,
                                                      const QString &password) const
{
    auto dm = std::make_unique<TDataModule6>();
    dm->ADO_DB.setConnectionString(connectionString().replace(
        QLatin1String("UID=sys;PWD=xvbtrlu"), QStringLiteral("UID=%1;PWD=%2").arg(user, password)));
    dm->ADO_DB.open();
    return dm;
}

std::unique_ptr<TDataModule6> TestDatabase::admin() const
{
    return connectAs(QStringLiteral("postgres"), superuserPassword());
}

QString TestDatabase::superuserPassword()
{
    const QString password = env("TABEL_PG_SUPERUSER_PASSWORD");
    if (password.isEmpty())
        qFatal("TABEL_PG_SUPERUSER_PASSWORD is not set: start the cluster with scripts/pg");
    return password;
}

void TestDatabase::maintenance(const QString &sql) const
{
    const QString name = QStringLiteral("tabel-test-maintenance");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(server());
        db.setPort(env("PGPORT", "5432").toInt());
        // Databases are the superuser's to make: the program's login may not.
        db.setUserName(QStringLiteral("postgres"));
        db.setPassword(superuserPassword());
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open())
            qFatal("cannot reach the test cluster: %s", qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        // Parallel test executables clone the same template; a clone fails while another starts.
        bool done = false;
        for (int attempt = 0; attempt < 50 && !done; ++attempt) {
            done = query.exec(sql);
            if (!done)
                QTest::qSleep(100);
        }
        if (!done)
            qFatal("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QStringList TestDatabase::statements(const QString &script)
{
    // Split at semicolons outside quotes, dollar quotes and line comments.
    static const QRegularExpression dollarTag(QStringLiteral("\\$[A-Za-z_]*\\$"));
    QStringList result;
    QString current;
    QString openTag;
    QChar quote;
    bool comment = false;
    const auto flush = [&] {
        if (!current.trimmed().isEmpty())
            result << current.trimmed();
        current.clear();
    };
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (comment) {
            comment = c != QLatin1Char('\n');
        } else if (!openTag.isEmpty()) {
            if (QStringView(script).mid(i).startsWith(openTag)) {
                current += openTag;
                i += openTag.size() - 1;
                openTag.clear();
                continue;
            }
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (QStringView(script).mid(i).startsWith(QLatin1String("--"))) {
            comment = true;
        } else if (c == QLatin1Char('$')) {
            const QRegularExpressionMatch tag =
                dollarTag.match(script, i, QRegularExpression::NormalMatch,
                                QRegularExpression::AnchorAtOffsetMatchOption);
            if (tag.hasMatch()) {
                openTag = tag.captured();
                current += openTag;
                i += openTag.size() - 1;
                continue;
            }
        } else if (c == QLatin1Char(';')) {
            flush();
            continue;
        }
        current += c;
    }
    flush();
    return result;
}

namespace {

// The database posts the monthly rows of the entries a test seeds; a monthly row the test writes
// itself takes the place of the posted one (its day values win), as a hand-made row would.
QString monthlyRowOverPosted(const QString &statement)
{
    static const QRegularExpression insert(
        QStringLiteral("^\\s*insert\\s+into\\s+accounts_dep\\.h_tabel\\s*\\(([^)]*)\\)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = insert.match(statement);
    if (!match.hasMatch() || statement.contains(QLatin1String("on conflict"), Qt::CaseInsensitive))
        return statement;
    static const QStringList key{QStringLiteral("w_id"),   QStringLiteral("month"),
                                 QStringLiteral("year"),   QStringLiteral("smena"),
                                 QStringLiteral("i_type"), QStringLiteral("i_night")};
    QStringList updates;
    for (const QString &column : match.captured(1).split(QLatin1Char(','))) {
        const QString name = column.trimmed().toLower();
        // Rows given their own ids stand for an old database's rows (maybe without the unique
        // key): they go in as written.
        if (name == QLatin1String("id"))
            return statement;
        if (!key.contains(name))
            updates << QStringLiteral("%1=excluded.%1").arg(name);
    }
    return statement +
           (updates.isEmpty()
                ? QStringLiteral(
                      " on conflict (w_id, month, year, smena, i_type, i_night) do nothing")
                : QStringLiteral(
                      " on conflict (w_id, month, year, smena, i_type, i_night) do update "
                      "set ") +
                      updates.join(QLatin1String(", ")));
}

} // namespace

namespace {

// Set-up that no login of the program may do: changing the schema (a column taken away, a trigger
// that refuses, a scratch table), writing the ERP's persons, the version stamp or the closed
// months by hand.
bool needsSuperuser(const QString &statement)
{
    static const QRegularExpression privileged(
        QStringLiteral("^\\s*(create|alter|drop|comment|grant|revoke)\\b|"
                       "^\\s*(insert\\s+into|update|delete\\s+from)\\s+(cmn_contractor\\.person|"
                       "accounts_dep\\.ver|accounts_dep\\.closed_month)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return privileged.match(statement).hasMatch();
}

} // namespace

void TestDatabase::exec(TDataModule6 &dm, const QString &sql)
{
    const QStringList script = statements(sql);
    if (std::any_of(script.begin(), script.end(), needsSuperuser) &&
        !dm.ADO_DB.connectionString().contains(QLatin1String("UID=postgres;"))) {
        // As the superuser, on the same database; what it makes the program's login may use.
        TDataModule6 admin;
        admin.ADO_DB.setConnectionString(
            QString(dm.ADO_DB.connectionString())
                .replace(QRegularExpression(QStringLiteral("UID=[^;]*;PWD=[^;]*")),
                         QStringLiteral("UID=postgres;PWD=") + superuserPassword()));
        admin.ADO_DB.open();
        exec(admin, sql + QStringLiteral(";grant all on all tables in schema public to public;"
                                         "grant all on all sequences in schema public to public"));
        return;
    }

    // One statement at a time in one transaction: the client reports only the first statement's
    // error of a batch, and a later failure would roll the whole batch back unseen.
    QString statement;
    try {
        dm.ADO_DB.inTransaction([&] {
            for (const QString &each : script) {
                statement = monthlyRowOverPosted(each);
                dm.ADO_DB.run(statement);
            }
        });
    } catch (const DbError &e) {
        QTest::qFail(qPrintable(QStringLiteral("%1\n%2").arg(e.message(), statement)), __FILE__,
                     __LINE__);
        throw;
    }
}

qint64 TestDatabase::scalar(TDataModule6 &dm, const QString &sql)
{
    QSqlQuery query = dm.ADO_DB.run(sql);
    if (!query.next())
        return 0;
    return query.value(0).toLongLong();
}

QString TestDatabase::adoptCluster(const QString &startOutput)
{
    QString socket;
    const QString line = startOutput.trimmed();
    for (const QString &assignment :
         line.mid(line.indexOf(QLatin1Char(' ')) + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        const QByteArray name = assignment.left(equals).toLocal8Bit();
        const QByteArray value = assignment.mid(equals + 1).toLocal8Bit();
        if (name == "TABEL_PG_SOCKET")
            socket = QString::fromLocal8Bit(value);
        else if (name.startsWith("PG") || name == "TABEL_PG_SUPERUSER_PASSWORD")
            qputenv(name.constData(), value);
    }
    return socket;
}
