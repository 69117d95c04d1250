#include "support/test_database.h"

#include "db/connection_string.h"
#include "db/db_error.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

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

void TestDatabase::maintenance(const QString &sql) const
{
    const QString name = QStringLiteral("tabel-test-maintenance");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(server());
        db.setPort(env("PGPORT", "5432").toInt());
        db.setUserName(env("PGUSER", "sys"));
        db.setPassword(env("PGPASSWORD", "xvbtrlu"));
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

void TestDatabase::exec(TDataModule6 &dm, const QString &sql)
{
    // One statement at a time in one transaction: the client reports only the first statement's
    // error of a batch, and a later failure would roll the whole batch back unseen.
    QString statement;
    try {
        dm.ADO_DB.inTransaction([&] {
            for (const QString &each : statements(sql)) {
                statement = each;
                dm.ADO_DB.run(each);
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
        else if (name.startsWith("PG"))
            qputenv(name.constData(), value);
    }
    return socket;
}
