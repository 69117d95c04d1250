#pragma once

#include "db/data_module.h"

#include <QString>
#include <QStringList>

#include <memory>

// A database of its own for one test executable, cloned from the template that scripts/pg loaded
// with the schema (PGDATABASE), on the cluster of the PG* variables. Dropped when it goes.
class TestDatabase
{
public:
    // createClause: what follows the database's name in CREATE DATABASE, when the test needs
    // another database than a clone of the template (e.g. an empty one with another locale).
    explicit TestDatabase(const QString &testName, const QString &createClause = {});
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    const QString &name() const { return m_name; }
    // The server argument of the program: the cluster's socket directory or host.
    static QString server();
    // The program's connection string for this database.
    QString connectionString() const;
    // A data module connected to this database, as start-up would connect it (as sys, the
    // site's login of the access codes mode: a member of the four groups, owning nothing).
    std::unique_ptr<TDataModule6> connect() const;
    // The same as another login (a person of a group, a login in no group).
    std::unique_ptr<TDataModule6> connectAs(const QString &user, const QString &password) const;
    // As the cluster's superuser: for set-up that no login of the program may do (a version
    // stamp from the future, an old database's shape, making people).
    std::unique_ptr<TDataModule6> admin() const;
    static QString superuserPassword();

    // Runs the test's own set-up: a script of statements separated by semicolons, one statement
    // at a time in one transaction; a failure fails the test with the server's message and the
    // statement.
    static void exec(TDataModule6 &dm, const QString &sql);
    static QStringList statements(const QString &script);
    static qint64 scalar(TDataModule6 &dm, const QString &sql);

    // Takes what "scripts/pg start" prints ("export PGHOST=... PGPORT=... TABEL_PG_SOCKET=...",
    // paths without blanks): puts the PG* variables into this process's environment and returns
    // the cluster's socket directory.
    static QString adoptCluster(const QString &startOutput);

private:
    void maintenance(const QString &sql) const;

    QString m_name;
};
