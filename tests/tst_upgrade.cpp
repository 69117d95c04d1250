#include "db/closed_months.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/production_calendar.h"
#include "db/schema_check.h"
#include "db/sql_text.h"
#include "db/version_check.h"
#include "shiftlog/shift_log.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/month_rebuild.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

const QString DbDir = QStringLiteral(TABEL_DB_DIR);

// The earlier program's database: the shop's tables with their columns but none of our keys,
// indexes and defaults, no reserved kinds and no version row; with duplicate monthly rows (also
// rows whose kind columns stayed empty), duplicate shift entries and rows whose worker, kind or
// operation is gone. Made from a clone of the template by taking all that away.
const char *const OldShape = R"sql(
-- The earlier program's database belonged to its login, sys, the ERP's tables too; there were no
-- groups' rights, no owner of its own and no hours posted by the database.
REASSIGN OWNED BY tabel_owner TO sys;
DO $$
DECLARE r record;
BEGIN
    FOR r IN SELECT c.oid::regclass AS rel FROM pg_class c
             JOIN pg_namespace n ON n.oid = c.relnamespace
             WHERE n.nspname IN ('cmn_contractor', 'cmn_gds_and_srv', 'cmn_classifier',
                                 'hrms_staffpos', 'cmn_department', 'adm_role')
               AND c.relkind = 'r' LOOP
        EXECUTE format('ALTER TABLE %s OWNER TO sys', r.rel);
    END LOOP;
END $$;
REVOKE ALL ON ALL TABLES IN SCHEMA accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_classifier,
    hrms_staffpos, cmn_department, adm_role
    FROM tabel_full, tabel_planning, tabel_foremen, tabel_warehouse, tabel_owner;
SET ROLE sys;
DROP FUNCTION accounts_dep.entries_post_hours() CASCADE;
DROP FUNCTION accounts_dep.post_hours(text, jsonb, jsonb),
    accounts_dep.close_month(integer, integer), accounts_dep.open_month(integer, integer),
    accounts_dep.raise_version(integer, integer), accounts_dep.check_month(integer, integer);
DROP TABLE accounts_dep.closed_month_log;
DROP FUNCTION accounts_dep.closed_month_log_keep();
DROP TABLE accounts_dep.month_state;
DROP FUNCTION accounts_dep.guard_months(integer[]), accounts_dep.touch_months(integer[]),
    accounts_dep.month_changed(integer, integer);
DROP TRIGGER person_mirror ON accounts_dep.person;
DROP FUNCTION accounts_dep.person_mirror();
-- no closed months and no history of entries yet
DROP FUNCTION accounts_dep.h_tabel_month_guard(), accounts_dep.entry_history_write(),
    accounts_dep.entry_history_keep() CASCADE;
DROP FUNCTION accounts_dep.refuse_closed_month(integer, integer);
DROP FUNCTION accounts_dep.session_role_name();
DROP TABLE accounts_dep.entry_history, accounts_dep.closed_month;
DROP TABLE accounts_dep.prod_calendar;
DROP FUNCTION accounts_dep.prod_calendar_fill(integer);
-- no absences, settings of the form T-13 or payroll indicators yet
DROP TABLE accounts_dep.absence, accounts_dep.absence_kind, accounts_dep.site_setting,
    accounts_dep.payroll_indicator;
DROP FUNCTION accounts_dep.absence_without_hours(), accounts_dep.hours_without_absence() CASCADE;
DROP FUNCTION accounts_dep.refuse_hours_and_absence(integer, date, text),
    accounts_dep.lock_worker_month(integer, date);
DO $$
DECLARE r record;
BEGIN
    FOR r IN SELECT conrelid::regclass AS tbl, conname FROM pg_constraint
             WHERE connamespace = 'accounts_dep'::regnamespace ORDER BY contype = 'p' LOOP
        EXECUTE format('ALTER TABLE %s DROP CONSTRAINT %I', r.tbl, r.conname);
    END LOOP;
    FOR r IN SELECT c.oid::regclass AS idx FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid
             WHERE c.relnamespace = 'accounts_dep'::regnamespace LOOP
        EXECUTE format('DROP INDEX %s', r.idx);
    END LOOP;
    FOR r IN SELECT a.attrelid::regclass AS tbl FROM pg_attribute a JOIN pg_class c
             ON c.oid = a.attrelid WHERE c.relnamespace = 'accounts_dep'::regnamespace
             AND c.relkind = 'r' AND a.attname = 'id' LOOP
        EXECUTE format('ALTER TABLE %s ALTER id DROP NOT NULL', r.tbl);
    END LOOP;
END $$;
DROP INDEX cmn_classifier.item_id_level_idx, cmn_gds_and_srv.gds_and_srv_id_class_item_idx;
ALTER TABLE accounts_dep.h_tabel ALTER smena DROP DEFAULT, ALTER i_type DROP DEFAULT,
    ALTER i_night DROP DEFAULT;
ALTER TABLE accounts_dep.fatigue ALTER id DROP DEFAULT;
DROP SEQUENCE accounts_dep.fatigue_id_seq;
ALTER SEQUENCE accounts_dep.vid_oper_id_seq RESTART WITH 1;
DELETE FROM accounts_dep.norm;
DELETE FROM accounts_dep.oper;
DELETE FROM accounts_dep.vid_oper;
DELETE FROM accounts_dep.ver;
DELETE FROM cmn_gds_and_srv.gds_and_srv WHERE id = 7777;
-- the ERP numbered its products up to just below the reserved one
ALTER SEQUENCE cmn_gds_and_srv.gds_and_srv_id_seq RESTART WITH 7771;

INSERT INTO accounts_dep.person (id, fio) VALUES
    (1, 'Иванов И.И.'), (2, 'Петров П.П.'), (3, 'Сидоров С.С.');
INSERT INTO cmn_contractor.person (id, s_code, s_caption) VALUES
    (1, '1', 'Иванов И.И.'), (2, '2', 'Петров П.П.'), (3, '3', 'Сидоров С.С.');
INSERT INTO cmn_gds_and_srv.gds_and_srv (id, s_caption) VALUES (5001, 'ТП-1'), (5002, 'ТП-2');
INSERT INTO accounts_dep.vid_oper (id, vid) VALUES (1, 'Литье'), (2, 'КРАСКА белая');
-- operation 13: its kind 99 is gone
INSERT INTO accounts_dep.oper (id, vid, naimen, i_id, cena_new) VALUES
    (11, 1, 0, 5001, 0), (12, 2, 0, 5002, 0), (13, 99, 0, 5001, 0);
-- norm 3: its operation 999 is gone
INSERT INTO accounts_dep.norm (id, o_id, norma, prize, price) VALUES
    (1, 11, 1, 0, 10), (2, 12, 1, 0, 12), (3, 999, 1, 0, 5);
-- entries 4 and 5 are the same entry twice; entry 6's worker 99 is gone
INSERT INTO accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color,
                                time, ok) VALUES
    (1, 1, 5001, 11, 10, 5, 0, '2024-03-04', 1, 0, 3, 'no'),
    (2, 1, 5002, 12, 12, 5, 0, '2024-03-04', 1, 7, 5, 'да'),
    (3, 1, 5001, 11, 10, 5, 0, '2024-03-05', 1, 0, 7, 'no'),
    (4, 2, 5001, 11, 10, 5, 0, '2024-03-06', 2, 0, 4, 'no'),
    (5, 2, 5001, 11, 10, 5, 0, '2024-03-06', 2, 0, 4, 'no'),
    (6, 99, 5001, 11, 10, 5, 0, '2024-03-07', 1, 0, 8, 'no');
-- entry 3's worker 98 is gone; the last entry has no number
INSERT INTO accounts_dep.fatigue (id, id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt,
                                  price, i_holiday, i_night) VALUES
    (1, NULL, 7777, 1, '2024-03-07', 3, 2024, 1, 4, 150, 0, 0),
    (2, NULL, 7777, 1, '2024-03-07', 3, 2024, 1, 2, 150, 0, 0),
    (3, NULL, 7777, 98, '2024-03-08', 3, 2024, 1, 3, 150, 0, 0),
    (NULL, NULL, 7778, 2, '2024-03-11', 3, 2024, 1, 6, 200, 0, 0);
-- two rows of worker 1's shift 1; worker 2's shift 2 once with empty kind columns; worker 1's
-- household works once with an empty shift; worker 3's row is alone and stays as it is
INSERT INTO accounts_dep.h_tabel (id, w_id, month, year, smena, i_type, i_night, d1, d4, d5, d6,
                                  d7, d8, d10) VALUES
    (1, 1, 3, 2024, 1, 0, 0, NULL, 2, NULL, NULL, NULL, NULL, 6),
    (2, 1, 3, 2024, 1, 0, 0, NULL, 3, 6, NULL, NULL, NULL, 9),
    (3, 2, 3, 2024, 2, NULL, NULL, NULL, NULL, NULL, 5, NULL, NULL, NULL),
    (4, 2, 3, 2024, 2, 0, 0, NULL, NULL, NULL, 1, NULL, NULL, NULL),
    (5, 1, 3, 2024, NULL, 7777, 0, NULL, NULL, NULL, NULL, 1, 2, NULL),
    (6, 1, 3, 2024, 0, 7777, 0, NULL, NULL, NULL, NULL, 3, NULL, NULL),
    (7, 3, 3, 2024, 1, 0, 0, 11, NULL, NULL, NULL, NULL, NULL, NULL);

-- what was there before the upgrade, to find every row again afterwards
RESET ROLE;
CREATE SCHEMA kept;
CREATE TABLE kept.smena AS SELECT * FROM accounts_dep.smena;
CREATE TABLE kept.fatigue AS SELECT * FROM accounts_dep.fatigue;
CREATE TABLE kept.person AS SELECT * FROM accounts_dep.person;
CREATE TABLE kept.oper AS SELECT * FROM accounts_dep.oper;
CREATE TABLE kept.norm AS SELECT * FROM accounts_dep.norm;
CREATE TABLE kept.vid_oper AS SELECT * FROM accounts_dep.vid_oper;
GRANT USAGE ON SCHEMA kept TO sys;
GRANT ALL ON ALL TABLES IN SCHEMA kept TO sys;
)sql";

struct Run
{
    int code = -1;
    QString output; // standard output and errors as they came
};

// The role a client program logs in as, when not the PG* variables' one.
struct Login
{
    QString user;
    QString password;
};

// Runs a client program of the cluster (psql, pg_dump) on the test database.
Run client(const QString &program, const TestDatabase &db, const QStringList &arguments,
           const Login &login = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGDATABASE"), db.name());
    // The administrator runs the scripts as the superuser, unless the case says who.
    environment.insert(QStringLiteral("PGUSER"),
                       login.user.isEmpty() ? QStringLiteral("postgres") : login.user);
    environment.insert(QStringLiteral("PGPASSWORD"),
                       login.user.isEmpty() ? TestDatabase::superuserPassword() : login.password);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStandardPaths::findExecutable(program), arguments);
    Run run;
    if (!process.waitForFinished(300000))
        return run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

// The administrator's run of a script of db/.
Run script(const TestDatabase &db, const QString &name, const QStringList &variables = {},
           const Login &login = {})
{
    QStringList arguments{QStringLiteral("-X"), QStringLiteral("-f"),
                          DbDir + QLatin1Char('/') + name};
    for (const QString &variable : variables)
        arguments << QStringLiteral("-v") << variable;
    return client(QStringLiteral("psql"), db, arguments, login);
}

// Turns a clone of the template into the old database, through psql like the upgrade itself so
// that every statement has finished when it returns.
bool makeOld(const TestDatabase &db)
{
    const Run run = client(QStringLiteral("psql"), db,
                           {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                            QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
                            QString::fromUtf8(OldShape)});
    if (run.code != 0)
        qWarning("%s", qPrintable(run.output));
    return run.code == 0;
}

// The whole database, definitions, rows and sequence values.
QString dump(const TestDatabase &db)
{
    const Run run = client(QStringLiteral("pg_dump"), db, {});
    if (run.code != 0)
        return QStringLiteral("pg_dump failed: ") + run.output;
    // Newer pg_dump guards its output with a random key per run.
    QStringList lines = run.output.split(QLatin1Char('\n'));
    lines.removeIf([](const QString &line) {
        return line.startsWith(QLatin1String("\\restrict")) ||
               line.startsWith(QLatin1String("\\unrestrict"));
    });
    return lines.join(QLatin1Char('\n'));
}

// The lines of a report that hold the marker.
QStringList linesWith(const QString &output, const QString &marker)
{
    QStringList found;
    for (const QString &line : output.split(QLatin1Char('\n')))
        if (line.contains(marker))
            found << line;
    return found;
}

// The first column of a query's rows, as text.
QStringList column(TDataModule6 &dm, const QString &sql)
{
    QSqlQuery query = dm.ADO_DB.run(sql);
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

// The first message of a report that holds the marker, with the lines it runs on to (a list of
// groups puts each on a line of its own).
QString messageWith(const QString &output, const QString &marker)
{
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines.at(i).contains(marker))
            continue;
        QStringList message{lines.at(i)};
        while (++i < lines.size() && !lines.at(i).startsWith(QLatin1String("psql:")) &&
               !lines.at(i).startsWith(QLatin1String("==")))
            message << lines.at(i);
        return message.join(QLatin1Char('\n'));
    }
    return {};
}

// The report from its summary on: what was not done, and why.
QString summary(const QString &output)
{
    const qsizetype at = output.indexOf(QStringLiteral("== Итог"));
    return at < 0 ? QString() : output.mid(at);
}

// Another session holding a table, as a copy of tabel or the ERP in the middle of its work would,
// until it goes.
class HeldTable
{
public:
    HeldTable(const TestDatabase &db, const QString &table)
        : m_dm(db.admin())
    {
        m_dm->ADO_DB.begin();
        m_dm->ADO_DB.run(QStringLiteral("lock table %1 in access exclusive mode").arg(table));
    }
    ~HeldTable() { m_dm->ADO_DB.rollback(); }
    HeldTable(const HeldTable &) = delete;
    HeldTable &operator=(const HeldTable &) = delete;

private:
    std::unique_ptr<TDataModule6> m_dm;
};

// A login role of the test cluster for this test program, dropped with what it was granted.
class TestRole
{
public:
    // Made by the cluster's superuser: no login of the program may make roles.
    TestRole(const TestDatabase &db, const QString &name)
        : m_admin(db.admin())
        , m_name(QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid()))
    {
        TestDatabase::exec(*m_admin, QStringLiteral("drop role if exists %1; create role %1 login "
                                                    "password 'role-test'")
                                         .arg(m_name));
    }
    ~TestRole()
    {
        try {
            m_admin->ADO_DB.run(QStringLiteral("drop owned by %1; drop role %1").arg(m_name));
        } catch (const DbError &error) {
            qWarning("the role %s stays: %s", qPrintable(m_name), qPrintable(error.message()));
        }
    }
    TestRole(const TestRole &) = delete;
    TestRole &operator=(const TestRole &) = delete;

    const QString &name() const { return m_name; }
    Login login() const { return {m_name, QStringLiteral("role-test")}; }

private:
    std::unique_ptr<TDataModule6> m_admin;
    QString m_name;
};

// March 2024 is closed and opened again, and the entries' history holds rows written by this
// session's role: what the upgrade adds works for whoever the program logs in as.
void closeOpenAndHistory(TDataModule6 &dm)
{
    closedmonths::close(dm, 3, 2024);
    QVERIFY(closedmonths::isClosed(dm, 3, 2024));
    closedmonths::open(dm, 3, 2024);
    QVERIFY(TestDatabase::scalar(dm, QStringLiteral("select count(*) from "
                                                    "accounts_dep.entry_history where "
                                                    "db_user=current_user")) > 0);
}

} // namespace

// Bringing the earlier program's database up to what tabel needs without losing data, and tabel's
// refusal to work on a database that was not brought up.
class TestUpgrade : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("psql")).isEmpty());
        QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("pg_dump")).isEmpty());
        m_old = std::make_unique<TestDatabase>(QStringLiteral("upgrade_old"));
        QVERIFY(makeOld(*m_old));
        m_dm = m_old->connect();
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_old.reset();
        m_nulls.reset();
        m_lists.reset();
        m_months.reset();
    }

    qint64 scalar(const QString &sql) { return TestDatabase::scalar(*m_dm, sql); }

    // The old database as it is: tabel says in one message that it must be upgraded and by what,
    // and ends before the version check writes its row; tabel-report refuses it likewise.
    void oldDatabaseRefused()
    {
        MessageRecorder recorder;
        TerminationRecorder terminations;
        {
            Program program({20240305, 0}, {m_old->name(), TestDatabase::server()});
            QVERIFY(!program.start());
            QVERIFY(!program.mainWindow().Timer1->isActive());
        }
        QCOMPARE(recorder.shown.size(), 1);
        const messages::Message &shown = recorder.shown.first();
        QCOMPARE(shown.kind, messages::Kind::Error);
        QCOMPARE(shown.caption, QStringLiteral("Ошибка!"));
        QCOMPARE(shown.text, schema_check::message());
        QVERIFY(shown.text.contains(QLatin1String("db/upgrade.sql")));
        QVERIFY2(shown.detail.contains(QStringLiteral("нет уникального ключа строк табеля")),
                 qPrintable(shown.detail));
        QVERIFY(shown.detail.contains(
            QStringLiteral("у столбца accounts_dep.h_tabel.i_type нет значения по умолчанию 0")));
        QVERIFY(
            shown.detail.contains(QStringLiteral("нет первичного ключа accounts_dep.smena (id)")));
        QVERIFY(shown.detail.contains(QStringLiteral("accounts_dep.fatigue.id нет значения")));
        QCOMPARE(terminations.requests, QList<int>{1});
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.ver")), 0);

        QProcess report;
        report.start(QStringLiteral(TABEL_REPORT_PATH),
                     {m_old->name(), TestDatabase::server(), QStringLiteral("--report"),
                      QStringLiteral("hours"), QStringLiteral("--pdf"),
                      QDir::temp().filePath(QStringLiteral("tst_upgrade.pdf"))});
        QVERIFY(report.waitForFinished(60000));
        QCOMPARE(report.exitCode(), 1);
        const QString errors = QString::fromUtf8(report.readAllStandardError());
        QVERIFY2(errors.contains(QLatin1String("db/upgrade.sql")) &&
                     errors.contains(QStringLiteral("нет уникального ключа строк табеля")),
                 qPrintable(errors));
    }

    // The first run: every entry and hour-paid entry is still there unchanged, no worker,
    // operation, norm or kind is lost, one monthly row per key remains; the report says what was
    // merged and which keys wait for a person.
    void firstRun()
    {
        const Run run = script(*m_old, QStringLiteral("upgrade.sql"));
        m_firstReport = run.output;
        QVERIFY2(run.code == 0, qPrintable(run.output));
        QVERIFY2(!run.output.contains(QLatin1String("ERROR")), qPrintable(run.output));
        // The entry without a number got the next one after the highest.
        QCOMPARE(scalar(QStringLiteral("select id from accounts_dep.fatigue where "
                                       "d_date='2024-03-11'")),
                 4);
        TestDatabase::exec(*m_dm, QStringLiteral("update kept.fatigue set id=4 where id is null"));
        for (const char *table : {"smena", "fatigue"}) {
            QCOMPARE(scalar(QStringLiteral("select count(*) from (select * from kept.%1 except all "
                                           "select * from accounts_dep.%1) lost")
                                .arg(QLatin1String(table))),
                     0);
            QCOMPARE(scalar(QStringLiteral("select count(*) from (select * from accounts_dep.%1 "
                                           "except all select * from kept.%1) changed")
                                .arg(QLatin1String(table))),
                     0);
        }
        for (const char *table : {"person", "oper", "norm", "vid_oper"})
            QCOMPARE(scalar(QStringLiteral("select count(*) from (select * from kept.%1 except all "
                                           "select * from accounts_dep.%1) lost")
                                .arg(QLatin1String(table))),
                     0);
        QCOMPARE(scalar(QStringLiteral(
                     "select count(*) from (select 1 from accounts_dep.h_tabel group by w_id, "
                     "month, year, smena, i_type, i_night having count(*) > 1) repeated")),
                 0);
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")), 4);
        // The database guards the roles: the tables belong to the owner without login, not to
        // the program's login any more, which is a member of the four groups instead (the access
        // codes go on working), and keeps no right of its own on them.
        QCOMPARE(scalar(QStringLiteral("select count(*) from pg_class where relnamespace = "
                                       "'accounts_dep'::regnamespace and relkind in ('r', 'v') "
                                       "and relowner <> 'tabel_owner'::regrole")),
                 0);
        QCOMPARE(scalar(QStringLiteral("select count(*) from unnest(array['tabel_full', "
                                       "'tabel_planning', 'tabel_foremen', 'tabel_warehouse']) g "
                                       "where pg_has_role('sys', g, 'MEMBER')")),
                 4);
        QCOMPARE(scalar(QStringLiteral("select count(*) from pg_class c, aclexplode(c.relacl) a "
                                       "where c.relnamespace = 'accounts_dep'::regnamespace and "
                                       "a.grantee = 'sys'::regrole and a.privilege_type <> "
                                       "'SELECT'")),
                 0);
        QVERIFY2(m_firstReport.contains(QStringLiteral("таблицы программы переданы роли "
                                                       "tabel_owner")),
                 qPrintable(m_firstReport));
        QVERIFY2(run.output.contains(
                     QStringLiteral("повторяющиеся строки табеля объединены: ключей 3, лишних "
                                    "строк удалено 3")),
                 qPrintable(run.output));
        // The duplicate entries are named with their ids.
        QVERIFY(run.output.contains(QLatin1String("color=0: id 4, 5")));
        QVERIFY(run.output.contains(QStringLiteral("их id_p (всего 1): 98")));
        // Months can be closed, and the entries' changes are recorded from now on.
        QVERIFY(run.output.contains(QStringLiteral("добавлены таблица закрытых месяцев")));
        QCOMPARE(scalar(QStringLiteral("select count(*) from pg_trigger where tgname in "
                                       "('smena_history', 'fatigue_history', "
                                       "'h_tabel_month_guard_upd')")),
                 3);
        // The production calendar holds the public holidays of every year from 2007 to the next
        // one.
        QCOMPARE(linesWith(run.output, QStringLiteral("создана таблица")).size(), 1);
        QVERIFY2(run.output.contains(QStringLiteral(
                     "создана таблица accounts_dep.prod_calendar (производственный календарь)")),
                 qPrintable(run.output));
        QCOMPARE(scalar(QStringLiteral("select count(distinct extract(year from d_date)) from "
                                       "accounts_dep.prod_calendar")),
                 QDate::currentDate().year() + 1 - 2007 + 1);
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.prod_calendar where "
                                       "d_date between '2026-01-01' and '2026-12-31'")),
                 16);
        // Nothing is left that tabel needs.
        QVERIFY(run.output.contains(QStringLiteral("Программе не хватает")));
        QCOMPARE(schema_check::missing(m_dm->ADO_DB), QStringList{});
    }

    // The merged monthly rows: a day with entries holds their sum (duplicate entries both count,
    // as in a rebuild), a day without keeps the largest stored value; rows with empty kind
    // columns joined their key; a row without duplicates is left as it was.
    void mergedRows_data()
    {
        QTest::addColumn<int>("worker");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hours"); // -1: empty
        QTest::newRow("two entries summed over stale values") << 1 << 1 << 0 << 4 << 8;
        QTest::newRow("entry over a stale value in one row") << 1 << 1 << 0 << 5 << 7;
        QTest::newRow("no entries: the largest stored") << 1 << 1 << 0 << 10 << 9;
        QTest::newRow("no entries, nothing stored") << 1 << 1 << 0 << 3 << -1;
        QTest::newRow("empty kind columns joined the key") << 2 << 2 << 0 << 6 << 8;
        QTest::newRow("hour-paid row from its entries") << 1 << 0 << 7777 << 7 << 6;
        QTest::newRow("hour-paid day without entries") << 1 << 0 << 7777 << 8 << 2;
        QTest::newRow("row without duplicates untouched") << 3 << 1 << 0 << 1 << 11;
    }
    void mergedRows()
    {
        QFETCH(int, worker);
        QFETCH(int, shift);
        QFETCH(int, kind);
        QFETCH(int, day);
        QFETCH(int, hours);
        const QString where = QStringLiteral("w_id=%1 and smena=%2 and i_type=%3 and i_night=0 and "
                                             "month=3 and year=2024")
                                  .arg(worker)
                                  .arg(shift)
                                  .arg(kind);
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where ") + where),
                 1);
        QCOMPARE(scalar(QStringLiteral("select coalesce(d%1, -1) from accounts_dep.h_tabel where ")
                            .arg(day) +
                        where),
                 hours);
    }

    // Keys are added where the data allows, and the report names each one left out and why.
    void keys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("reason");
        QTest::newRow("monthly rows") << "h_tabel_row_key" << true << "";
        QTest::newRow("entries' key") << "smena_pkey" << true << "";
        QTest::newRow("hour-paid entries' key") << "fatigue_pkey" << true << "";
        QTest::newRow("duplicate entries")
            << "smena_entry_key" << false << "повторяющихся записей 1 (групп 1)";
        QTest::newRow("entry of a deleted worker")
            << "smena_w_id_fkey" << false
            << "записи смен, чей работник удален, строк 1, их w_id (всего 1): 99";
        QTest::newRow("entries' products") << "smena_i_id_fkey" << true << "";
        QTest::newRow("entries' operations") << "smena_o_id_fkey" << true << "";
        QTest::newRow("operation of a deleted kind")
            << "oper_vid_fkey" << false
            << "операции, чей вид операции удален, строк 1, их vid (всего 1): 99";
        QTest::newRow("operations' products") << "oper_i_id_fkey" << true << "";
        QTest::newRow("norm of a deleted operation")
            << "norm_o_id_fkey" << false
            << "нормативы удаленных операций, строк 1, их o_id (всего 1): 999";
        QTest::newRow("index of the shift log") << "smena_month_idx" << true << "";
        QTest::newRow("index of a worker's month") << "smena_worker_month_idx" << true << "";
        QTest::newRow("index of the groups") << "item_id_level_idx" << true << "";
    }
    void keys()
    {
        QFETCH(QString, name);
        QFETCH(bool, present);
        QFETCH(QString, reason);
        QCOMPARE(
            scalar(
                QStringLiteral("select count(*) from pg_constraint where conname='%1'").arg(name)) +
                    scalar(QStringLiteral("select count(*) from pg_class where relname='%1' and "
                                          "relkind='i'")
                               .arg(name)) >
                0,
            present);
        const QStringList refused =
            linesWith(m_firstReport, QStringLiteral("WARNING:  НЕ СДЕЛАНО")).filter(name);
        if (present) {
            QVERIFY2(refused.isEmpty(), qPrintable(refused.join(QLatin1Char('\n'))));
        } else {
            QCOMPARE(refused.size(), 1);
            QVERIFY2(refused.first().contains(reason), qPrintable(refused.first()));
        }
    }

    // A calendar that lacks a year (say, deleted by hand) gets that year's holidays once.
    void calendarYearFilledOnce()
    {
        TestDatabase db(QStringLiteral("upgrade_calendar_year"));
        auto dm = db.connect();
        TestDatabase::exec(*dm, QStringLiteral("delete from accounts_dep.prod_calendar where "
                                               "d_date between '2010-01-01' and '2010-12-31'"));
        Run run = script(db, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(linesWith(run.output, QStringLiteral("NOTICE"))
                     .filter(QStringLiteral(
                         "производственный календарь дополнен годами, в которых не было ни одного "
                         "дня: дней 17"))
                     .size(),
                 1);
        QVERIFY(calendar::isDayOff(dm->ADO_DB, QDate(2010, 2, 23)));
        run = script(db, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(linesWith(run.output, QStringLiteral("NOTICE")), QStringList{});
    }

    // The second run changes nothing (definitions, rows, sequences) and says again what is left.
    void secondRunChangesNothing()
    {
        const QString before = dump(*m_old);
        const Run run = script(*m_old, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(dump(*m_old), before);
        QCOMPARE(linesWith(run.output, QStringLiteral("NOTICE")), QStringList{});
        QCOMPARE(linesWith(run.output, QStringLiteral("WARNING:  НЕ СДЕЛАНО")).size(),
                 linesWith(m_firstReport, QStringLiteral("WARNING:  НЕ СДЕЛАНО")).size());
    }

    // The program on the upgraded database: it starts without a message; new rows get free
    // numbers (kinds above the reserved ones), postings and rebuilds write through the new key,
    // and the reserved kinds with their prices are there for hour-paid work.
    void programWorksAfterUpgrade()
    {
        MessageRecorder recorder;
        {
            RunningProgram program(*m_old);
            QVERIFY(program.started());
        }
        QCOMPARE(recorder.texts(), QStringList{});

        TDataModule6 &dm = *m_dm;
        const QDate day(2024, 3, 4);
        const qint64 worker = seed::worker(dm, QStringLiteral("Новиков Н.Н."));
        QCOMPARE(worker, 4);
        QVERIFY(seed::kind(dm, QStringLiteral("Сборка")) > 7778);
        seed::entry(dm, {1, 5001, 11, day, 1, 2});
        QCOMPARE(seed::dayValue(dm, 1, 1, day), 10);
        QCOMPARE(seed::shiftRows(dm, 1, 1, 3, 2024), 1);
        TestDatabase::exec(dm,
                           QStringLiteral("insert into accounts_dep.fatigue(id_o, id_p, d_date, "
                                          "i_mnth, i_year, i_smena, cnt, price, i_holiday, "
                                          "i_night) values (7778, 1, '2024-03-09', 3, 2024, 1, "
                                          "5, 200, 0, 1)"));
        rebuild::shiftMonth(dm, 3, 2024);
        rebuild::fatigueMonth(dm, 3, 2024);
        closeOpenAndHistory(dm);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(seed::dayValue(dm, 1, 1, day), 10);
        QCOMPARE(scalar(QStringLiteral("select d9 from accounts_dep.h_tabel where w_id=1 and "
                                       "i_type=7778 and i_night=1 and month=3 and year=2024")),
                 5);
        QCOMPARE(scalar(QStringLiteral(
                     "select count(*) from accounts_dep.vid_oper v join accounts_dep.oper o on "
                     "o.vid=v.id and o.i_id>=7777 join accounts_dep.norm n on n.o_id=o.id where "
                     "v.id in (7777, 7778) and n.price > 0")),
                 2);
    }

    // Tables that got a row of their own numbers: the program's next new rows are numbered past
    // it, however low the ERP's sequence stood (it stood at 7771 before the reserved product).
    void newRowsPastTheReserved_data()
    {
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("reserved");
        QTest::newRow("products") << "insert into cmn_gds_and_srv.gds_and_srv(s_caption) values "
                                     "('Новое изделие %1') returning id"
                                  << "cmn_gds_and_srv.gds_and_srv" << 7777;
        QTest::newRow("operation kinds")
            << "insert into accounts_dep.vid_oper(vid) values ('Новый вид %1') returning id"
            << "accounts_dep.vid_oper" << 7778;
    }
    void newRowsPastTheReserved()
    {
        QFETCH(QString, insert);
        QFETCH(QString, table);
        QFETCH(int, reserved);
        QCOMPARE(
            scalar(QStringLiteral("select count(*) from %1 where id=%2").arg(table).arg(reserved)),
            1);
        for (int n = 1; n <= 7; ++n)
            QVERIFY(scalar(insert.arg(n)) > reserved);
    }

    // Two entries under one number: the primary key waits for a person, the report says which
    // number, the other steps are done all the same, and tabel still refuses the database (it
    // would change or delete both entries as one).
    void duplicateIdsBlockTheirKey()
    {
        TestDatabase db(QStringLiteral("upgrade_duplicate_ids"));
        QVERIFY(makeOld(db));
        auto dm = db.connect();
        TestDatabase::exec(*dm, QStringLiteral("update accounts_dep.smena set id=3 where id=6"));
        const Run run = script(db, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        const QStringList refused = linesWith(run.output, QStringLiteral("WARNING:  НЕ СДЕЛАНО"));
        QCOMPARE(refused
                     .filter(QStringLiteral("первичный ключ accounts_dep.smena (id) не "
                                            "добавлен"))
                     .filter(QStringLiteral("номера id повторяются у разных строк (всего 1): 3"))
                     .size(),
                 1);
        QCOMPARE(schema_check::missing(dm->ADO_DB),
                 QStringList{QStringLiteral("нет первичного ключа accounts_dep.smena (id)")});
        QVERIFY(
            run.output.contains(QStringLiteral(" нет первичного ключа accounts_dep.smena (id)")));
        QVERIFY(
            run.output.contains(QStringLiteral("добавлен уникальный ключ accounts_dep.h_tabel")));

        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, {db.name(), TestDatabase::server()});
        QVERIFY(!program.start());
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().detail,
                 QStringLiteral("нет первичного ключа accounts_dep.smena (id)"));
    }

    // The indexes of an earlier version give way to the month's indexes that answer from
    // themselves: both new ones are made, the old ones dropped, and the report says so.
    void monthIndexesReplaceOldOnes()
    {
        TestDatabase db(QStringLiteral("upgrade_month_indexes"));
        {
            auto dm = db.connect();
            TestDatabase::exec(
                *dm, QStringLiteral(
                         "drop index accounts_dep.smena_month_idx;"
                         "drop index accounts_dep.smena_worker_month_idx;"
                         "create index smena_data_smena_idx on accounts_dep.smena (data, smena);"
                         "create index smena_w_id_data_idx on accounts_dep.smena (w_id, data)"));
        }
        const Run run = script(db, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(linesWith(run.output, QStringLiteral("удален индекс")).size(), 2);
        auto dm = db.connect();
        const auto present = [&](const char *name) {
            return TestDatabase::scalar(
                *dm, QStringLiteral("select count(*) from pg_indexes where indexname = '%1'")
                         .arg(QLatin1String(name)));
        };
        QCOMPARE(present("smena_month_idx"), 1);
        QCOMPARE(present("smena_worker_month_idx"), 1);
        QCOMPARE(present("smena_data_smena_idx"), 0);
        QCOMPARE(present("smena_w_id_data_idx"), 0);
    }

    // A database made by the schema script is already what tabel needs: the upgrade changes
    // nothing and reports nothing.
    void freshDatabaseUnchanged()
    {
        TestDatabase fresh(QStringLiteral("upgrade_fresh"));
        const QString before = dump(fresh);
        const Run run = script(fresh, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(linesWith(run.output, QStringLiteral("NOTICE")), QStringList{});
        QCOMPARE(linesWith(run.output, QStringLiteral("WARNING")), QStringList{});
        QCOMPARE(dump(fresh), before);
    }

    // A person who adds entries through his group (a foreman) stays in his group when the upgrade
    // runs again: only logins with rights of their own on the entries became full access.
    void foremanStaysForeman()
    {
        TestDatabase db(QStringLiteral("upgrade_foreman"));
        const QString foreman =
            QStringLiteral("foreman_%1").arg(QCoreApplication::applicationPid());
        const auto admin = [&](const QString &sql) {
            const Run run =
                client(QStringLiteral("psql"), db,
                       {QStringLiteral("-X"), QStringLiteral("-At"), QStringLiteral("-v"),
                        QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"), sql});
            return run.code == 0 ? run.output.trimmed() : QStringLiteral("<failed>");
        };
        admin(QStringLiteral("drop role if exists %1").arg(foreman));
        admin(QStringLiteral("create role %1 login in role tabel_foremen").arg(foreman));
        const auto dropRole =
            qScopeGuard([&] { admin(QStringLiteral("drop role %1").arg(foreman)); });
        const Run run = script(db, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(admin(QStringLiteral("select pg_has_role('%1', 'tabel_full', 'MEMBER')::text || "
                                      "' ' || pg_has_role('%1', 'tabel_foremen', 'MEMBER')::text")
                           .arg(foreman)),
                 QStringLiteral("false true"));
    }

    // A database whose locale leaves Russian letters as they are in upper(): the upgrade warns
    // that duplicate checks and searches will tell cases apart. Without the program's tables it
    // stops, and tabel names what is missing instead of failing in a window.
    void foreignDatabase()
    {
        TestDatabase other(QStringLiteral("upgrade_c_locale"),
                           QStringLiteral("template template0 locale_provider libc locale 'C'"));
        const Run run = script(other, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QVERIFY2(run.output.contains(QStringLiteral("ВНИМАНИЕ: upper('ёж') дает 'ёж'")),
                 qPrintable(run.output));
        QVERIFY(run.output.contains(QStringLiteral("НЕ СДЕЛАНО: нет таблицы accounts_dep.smena")));
        QVERIFY(run.output.contains(QStringLiteral("Обновление остановлено")));

        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, {other.name(), TestDatabase::server()});
        QVERIFY(!program.start());
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().text, schema_check::message());
        QVERIFY2(recorder.shown.first().detail.contains(
                     QStringLiteral("нет таблицы accounts_dep.h_tabel")),
                 qPrintable(recorder.shown.first().detail));
    }

    // An office login that may create in the schema public (as every role may on a database made
    // before PostgreSQL 15) lays a function there that a superuser's script would call in place
    // of the system's: the scripts look names up in the system catalog only, so the trap never
    // runs, and the upgrade says that public is open.
    void trapInSchemaPublic()
    {
        TestDatabase db(QStringLiteral("upgrade_trap"));
        const TestRole office(db, QStringLiteral("tabel_trap"));
        TestDatabase::exec(*db.admin(), QStringLiteral("grant create on schema public to public"));
        auto trapper = db.connectAs(office.name(), office.login().password);
        trapper->ADO_DB.run(
            QStringLiteral("create function public.format(text, text) returns text language "
                           "plpgsql as $$ begin execute 'alter role %1 superuser'; return $1; "
                           "end $$")
                .arg(office.name()));
        const auto isSuperuser = [&] {
            return TestDatabase::scalar(*db.admin(),
                                        QStringLiteral("select count(*) from pg_roles where "
                                                       "rolname='%1' and rolsuper")
                                            .arg(office.name()));
        };
        const Run upgrade = script(db, QStringLiteral("upgrade.sql"));
        QVERIFY2(upgrade.code == 0, qPrintable(upgrade.output));
        QVERIFY2(upgrade.output.contains(QStringLiteral("в схеме public любая роль может "
                                                        "создавать объекты")),
                 qPrintable(upgrade.output));
        const Run grants = script(db, QStringLiteral("grants.sql"));
        QVERIFY2(grants.code == 0, qPrintable(grants.output));
        const Run schema = script(db, QStringLiteral("schema.sql"));
        QVERIFY2(schema.code == 0, qPrintable(schema.output));
        QCOMPARE(isSuperuser(), 0);
    }

    // The grants script applies to sys on a database it owns (nothing changes for it)...
    void grantsApply()
    {
        TestDatabase db(QStringLiteral("upgrade_grants"));
        const Run run = script(db, QStringLiteral("grants.sql"));
        QVERIFY2(run.code == 0 && run.output.isEmpty(), qPrintable(run.output));
    }

    // ...and a role with exactly its grants can do what the program does, and nothing else.
    void grantsSufficeForTheProgram()
    {
        TestDatabase db(QStringLiteral("upgrade_role"));
        const TestRole testRole(db, QStringLiteral("tabel_grants"));
        const QString role = testRole.name();
        const Run run = script(db, QStringLiteral("grants.sql"), {QStringLiteral("role=") + role});
        // What the role may do comes from the four groups alone.
        QVERIFY2(run.code == 0, qPrintable(run.output));

        TDataModule6 dm;
        dm.ADO_DB.setConnectionString(
            connection::build(db.name(), TestDatabase::server())
                .replace(QLatin1String("UID=sys;PWD=xvbtrlu"),
                         QStringLiteral("UID=%1;PWD=role-test").arg(role)));
        dm.ADO_DB.open();
        QSqlQuery user = dm.ADO_DB.run(QStringLiteral("select current_user"));
        QVERIFY(user.next());
        QCOMPARE(user.value(0).toString(), role);
        QCOMPARE(schema_check::missing(dm.ADO_DB), QStringList{});
        QCOMPARE(CheckVersion(dm, {20240305, 100}), VersionState::Current);

        const QDate day(2024, 3, 4);
        const qint64 worker = seed::worker(dm, QStringLiteral("Орлов О.О."));
        TestDatabase::exec(dm,
                           QStringLiteral("update accounts_dep.person set s_staffpos_hl='Цех 2' "
                                          "where id=%1")
                               .arg(worker));
        const qint64 product = seed::product(dm, QStringLiteral("ТП-9"));
        const qint64 kind = seed::kind(dm, QStringLiteral("Упаковка"));
        const qint64 operation = seed::operation(dm, kind, product, 0, {10, 9});
        const qint64 entry = seed::entry(dm, {worker, product, operation, day});
        TestDatabase::exec(
            dm, QStringLiteral("update accounts_dep.smena set ok='да' where id=%1").arg(entry));
        QCOMPARE(seed::dayValue(dm, worker, 1, day), 8);
        TestDatabase::exec(dm,
                           QStringLiteral("insert into accounts_dep.fatigue(id_o, id_p, d_date, "
                                          "i_mnth, i_year, i_smena, cnt, price, i_holiday, "
                                          "i_night) values (7777, %1, '2024-03-04', 3, 2024, 1, "
                                          "3, 150, 0, 0)")
                               .arg(worker));
        rebuild::shiftMonth(dm, 3, 2024);
        rebuild::fatigueMonth(dm, 3, 2024);
        closeOpenAndHistory(dm);
        if (QTest::currentTestFailed())
            return;
        TestDatabase::exec(
            dm, QStringLiteral("insert into cmn_classifier.item(s_caption) values ('Крышки');"
                               "update cmn_classifier.item set s_caption='Крышки 2' where "
                               "s_caption='Крышки';"
                               "delete from cmn_classifier.item where s_caption='Крышки 2';"
                               "update cmn_gds_and_srv.gds_and_srv set massa=2 where id=%1;"
                               "update accounts_dep.fatigue set price=price;"
                               "update accounts_dep.norm set price=8 where o_id=%2;"
                               "update accounts_dep.oper set naimen=1 where id=%2;"
                               "update accounts_dep.vid_oper set vid='Упаковка 2' where id=%3;"
                               "delete from accounts_dep.fatigue where id_p=%4;"
                               "delete from accounts_dep.smena where id=%5;"
                               "delete from accounts_dep.h_tabel where w_id=%4;"
                               "delete from accounts_dep.oper where id=%2;"
                               "delete from accounts_dep.vid_oper where id=%3;"
                               "delete from cmn_gds_and_srv.gds_and_srv where id=%1;"
                               "delete from accounts_dep.person where id=%4")
                    .arg(product)
                    .arg(operation)
                    .arg(kind)
                    .arg(worker)
                    .arg(entry));
        for (const char *relation :
             {"accounts_dep.izdel", "cmn_contractor.person", "hrms_staffpos.staffpos",
              "cmn_department.department", "adm_role.roles"})
            QVERIFY(TestDatabase::scalar(dm, QStringLiteral("select count(*) from %1")
                                                 .arg(QLatin1String(relation))) >= 0);

        // The production calendar: a day changed in its window, a new year filled.
        calendar::setDay(dm.ADO_DB, QDate(2024, 3, 9), false, QStringLiteral("Перенос"));
        QVERIFY(!calendar::isDayOff(dm.ADO_DB, QDate(2024, 3, 9)));
        QCOMPARE(calendar::fillYears(dm.ADO_DB, 2040, 2040), 15);

        // Nothing more: no writing of the read-only lists, no deleting the version row, no new
        // tables.
        for (const char *statement :
             {"insert into adm_role.roles(id, s_name) values (99, 'x')",
              "update hrms_staffpos.staffpos set s_caption='x'", "delete from accounts_dep.ver",
              "create table accounts_dep.x (id integer)",
              "insert into accounts_dep.entry_history(entry_table, entry_id, action) values "
              "('smena', 1, 'insert')",
              "update accounts_dep.entry_history set os_user='x'",
              "delete from accounts_dep.entry_history"})
            QVERIFY_THROWS_EXCEPTION(DbError, dm.ADO_DB.run(QLatin1String(statement)));
    }

    // Run by a role that does not own the tables, the upgrade stops at its start: nothing in the
    // database changes (before, such a run added the reserved rows under ids of other rows), psql
    // ends with an error, and one sentence says why and whom to run it as.
    void notOwnerChangesNothing_data()
    {
        QTest::addColumn<bool>("programGrants");
        QTest::newRow("the program's role") << true;
        QTest::newRow("a role without grants") << false;
    }
    void notOwnerChangesNothing()
    {
        QFETCH(bool, programGrants);
        TestDatabase db(QStringLiteral("upgrade_not_owner"));
        QVERIFY(makeOld(db));
        const TestRole role(db, QStringLiteral("tabel_not_owner"));
        if (programGrants) {
            const Run grants =
                script(db, QStringLiteral("grants.sql"), {QStringLiteral("role=") + role.name()});
            QVERIFY2(grants.code == 0, qPrintable(grants.output));
        }
        const QString before = dump(db);
        const Run run = script(db, QStringLiteral("upgrade.sql"), {}, role.login());
        QCOMPARE(dump(db), before);
        QVERIFY2(run.code != 0, qPrintable(run.output));
        const QStringList stop = linesWith(run.output, QStringLiteral("Обновление не начато"));
        QCOMPARE(stop.size(), 1);
        QVERIFY2(
            stop.first().contains(QStringLiteral("база не изменена")) &&
                stop.first().contains(QStringLiteral("роль «%1» не владелец").arg(role.name())) &&
                stop.first().contains(QStringLiteral("psql -U sys")),
            qPrintable(stop.first()));
        // No step ran.
        QVERIFY2(!run.output.contains(QLatin1String("== 1.")), qPrintable(run.output));
        QCOMPARE(linesWith(run.output, QStringLiteral("NOTICE")), QStringList{});
    }

    // Entries that repeat each other with an empty key column (no colour, no shift, no product)
    // are listed like any others and keep the unique index away.
    void nullKeyDuplicates_data()
    {
        QTest::addColumn<QString>("group");
        QTest::newRow("no colour") << "smena=1, color=(пусто): id 20, 21";
        QTest::newRow("no shift") << "data=2024-03-13 00:00:00, smena=(пусто), color=0: id 22, 23";
        QTest::newRow("no product")
            << "i_id=(пусто), data=2024-03-14 00:00:00, smena=1, color=0: id "
               "24, 25";
    }
    void nullKeyDuplicates()
    {
        QFETCH(QString, group);
        if (!m_nulls) {
            m_nulls = std::make_unique<TestDatabase>(QStringLiteral("upgrade_null_keys"));
            QVERIFY(makeOld(*m_nulls));
            auto dm = m_nulls->connect();
            TestDatabase::exec(
                *dm, QStringLiteral(
                         "insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, "
                         "brak, data, smena, color, time, ok) values "
                         "(20, 3, 5001, 11, 10, 5, 0, '2024-03-12', 1, null, 2, 'no'),"
                         "(21, 3, 5001, 11, 10, 5, 0, '2024-03-12', 1, null, 2, 'no'),"
                         "(22, 3, 5001, 11, 10, 5, 0, '2024-03-13', null, 0, 2, 'no'),"
                         "(23, 3, 5001, 11, 10, 5, 0, '2024-03-13', null, 0, 2, 'no'),"
                         "(24, 3, null, 11, 10, 5, 0, '2024-03-14', 1, 0, 2, 'no'),"
                         "(25, 3, null, 11, 10, 5, 0, '2024-03-14', 1, 0, 2, 'no')"));
            const Run run = script(*m_nulls, QStringLiteral("upgrade.sql"));
            QCOMPARE(run.code, 0);
            m_nullsReport = messageWith(run.output, QStringLiteral("WARNING:  НЕ СДЕЛАНО: "
                                                                   "уникальный индекс"));
        }
        QVERIFY2(m_nullsReport.contains(QStringLiteral("smena_entry_key")) &&
                     m_nullsReport.contains(QStringLiteral("повторяющихся записей 4 (групп 4)")),
                 qPrintable(m_nullsReport));
        QVERIFY2(m_nullsReport.contains(group), qPrintable(m_nullsReport));
        auto dm = m_nulls->connect();
        QCOMPARE(TestDatabase::scalar(*dm, QStringLiteral("select count(*) from pg_class where "
                                                          "relname='smena_entry_key'")),
                 0);
    }

    // With one entry left of each group the index is added, and it refuses an entry that repeats
    // another without a colour, as the program expects ("Позиция с такими параметрами уже
    // заведена!").
    void nullKeyDuplicatesResolved()
    {
        QVERIFY(m_nulls);
        auto dm = m_nulls->connect();
        TestDatabase::exec(
            *dm, QStringLiteral("delete from accounts_dep.smena where id in (5, 21, 23, 25)"));
        const Run run = script(*m_nulls, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QVERIFY2(run.output.contains(
                     QStringLiteral("NOTICE:  добавлен уникальный индекс accounts_dep.smena "
                                    "smena_entry_key")),
                 qPrintable(run.output));
        QCOMPARE(TestDatabase::scalar(*dm, QStringLiteral("select count(*) from pg_index where "
                                                          "indexrelid='accounts_dep.smena_entry_"
                                                          "key'::regclass and "
                                                          "indnullsnotdistinct")),
                 1);
        QVERIFY_THROWS_EXCEPTION(
            DbError, dm->ADO_DB.run(QStringLiteral(
                         "insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, "
                         "data, smena, color, time, ok) values "
                         "(3, 5001, 11, 10, 5, 0, '2024-03-12', 1, null, 2, 'no')")));
    }

    // A database made by db/schema.sql has the same index, also one made before empty columns
    // counted as equal once the schema script has run again.
    void schemaIndexTreatsEmptyColumnsAsEqual_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("new database") << "";
        QTest::newRow("database made before")
            << "drop index accounts_dep.smena_entry_key; create unique index smena_entry_key on "
               "accounts_dep.smena (w_id, o_id, i_id, data, smena, color)";
    }
    void schemaIndexTreatsEmptyColumnsAsEqual()
    {
        QFETCH(QString, before);
        TestDatabase db(QStringLiteral("upgrade_schema_index"));
        auto dm = db.connect();
        if (!before.isEmpty()) {
            TestDatabase::exec(*dm, before);
            const Run run = script(db, QStringLiteral("schema.sql"));
            QVERIFY2(run.code == 0, qPrintable(run.output));
        }
        const qint64 worker = seed::worker(*dm, QStringLiteral("Орлов О.О."));
        const QString entry =
            QStringLiteral("insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, "
                           "brak, data, smena, color, time, ok) select %1, o.i_id, o.id, 1, "
                           "1, 0, '2024-03-12', 1, null, 1, 'no' from accounts_dep.oper o "
                           "where o.vid=7777")
                .arg(worker);
        dm->ADO_DB.run(entry);
        try {
            dm->ADO_DB.run(entry);
            QFAIL("a second entry without a colour was stored");
        } catch (const DbError &error) {
            QCOMPARE(error.sqlState(), QStringLiteral("23505"));
        }
    }

    // A step that fails after it has done part of its work rolls back, and the report says only
    // that it was not done: no line says that the monthly rows were filled or merged.
    void rolledBackStepPrintsNoDoneLine_data()
    {
        QTest::addColumn<QString>("held"); // a table another session holds during the run
        QTest::addColumn<QString>("rule"); // or a rule of the database that refuses
        QTest::newRow("hour-paid entries held by another session") << "accounts_dep.fatigue"
                                                                   << "";
        QTest::newRow("deletes refused by the database")
            << ""
            << "create function accounts_dep.keep_rows() returns trigger language plpgsql as $$ "
               "begin raise exception 'строки табеля удаляет только ERP'; end $$; "
               "create trigger keep_rows before delete on accounts_dep.h_tabel for each row "
               "execute function accounts_dep.keep_rows()";
    }
    void rolledBackStepPrintsNoDoneLine()
    {
        QFETCH(QString, held);
        QFETCH(QString, rule);
        TestDatabase db(QStringLiteral("upgrade_rolled_back"));
        QVERIFY(makeOld(db));
        auto dm = db.connect();
        if (!rule.isEmpty())
            TestDatabase::exec(*dm, rule);
        const QString rows = QStringLiteral("select count(*) * 1000 + sum(coalesce(d4, 0) + "
                                            "coalesce(d8, 0) + coalesce(d10, 0)) from "
                                            "accounts_dep.h_tabel where smena is not null and "
                                            "i_type is not null");
        const qint64 before = TestDatabase::scalar(*dm, rows);
        Run run;
        {
            std::optional<HeldTable> holder;
            if (!held.isEmpty())
                holder.emplace(db, held);
            run = script(db, QStringLiteral("upgrade.sql"), {QStringLiteral("lock_timeout=300ms")});
        }
        QCOMPARE(run.code, 0);
        QCOMPARE(linesWith(run.output, QStringLiteral("НЕ СДЕЛАНО: строки табеля: повторы не "
                                                      "объединены"))
                     .size(),
                 1);
        const QStringList done = linesWith(run.output, QStringLiteral("NOTICE"));
        QCOMPARE(done.filter(QStringLiteral("строки табеля")), QStringList{});
        QCOMPARE(done.filter(QStringLiteral("h_tabel_row_key")), QStringList{});
        QCOMPARE(TestDatabase::scalar(*dm, rows), before);
    }

    // A list longer than a report line shows says how many items it holds, shows the first ones
    // whole and in numeric order, ends with "… и ещё N", and is kept whole in
    // tabel_upgrade.lists.
    void longListsShortened_data()
    {
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("full"); // the whole list in its order
        QTest::newRow("entries of deleted workers")
            << "внешний ключ smena_w_id_fkey"
            << "smena_w_id_fkey" << 131
            << "их w_id (всего 131; весь список: tabel_upgrade.lists, list = 'smena_w_id_fkey'): "
               "99, 100, 101,"
            << "select g.w::text from (select 99 union all select generate_series(100, 229)) g(w) "
               "order by g.w";
        QTest::newRow("repeated ids of norms")
            << "первичный ключ accounts_dep.norm"
            << "accounts_dep.norm id" << 25
            << "номера id повторяются у разных строк (всего 25; весь список: "
               "tabel_upgrade.lists, list = 'accounts_dep.norm id'): 1000, 1001,"
            << "select generate_series(1000, 1024)::text";
        QTest::newRow("groups of repeated entries")
            << "уникальный индекс accounts_dep.smena"
            << "smena_entry_key" << 26
            << "группы (всего 26; весь список: tabel_upgrade.lists, list = "
               "'smena_entry_key'):\nw_id=1, o_id=11, i_id=5001, data=2024-04-01 00:00:00, "
               "smena=3, color=0: id 300, 301\n"
            << "select format('w_id=1, o_id=11, i_id=5001, data=%s 00:00:00, smena=3, color=0: "
               "id %s, %s', date '2024-03-31' + g, 298 + 2 * g, 299 + 2 * g) from "
               "generate_series(1, 25) g union all select 'w_id=2, o_id=11, i_id=5001, "
               "data=2024-03-06 00:00:00, smena=2, color=0: id 4, 5'";
        QTest::newRow("hour-paid entries of deleted workers")
            << "ВНИМАНИЕ: почасовые записи (accounts_dep.fatigue), чей работник удален"
            << "fatigue id_p" << 31
            << "их id_p (всего 31; весь список: tabel_upgrade.lists, list = 'fatigue id_p'): 98, "
               "1000, 1001,"
            << "select g.w::text from (select 98 union all select generate_series(1000, 1029)) "
               "g(w) order by g.w";
    }
    void longListsShortened()
    {
        QFETCH(QString, marker);
        QFETCH(QString, list);
        QFETCH(int, total);
        QFETCH(QString, first);
        QFETCH(QString, full);
        if (!m_lists) {
            m_lists = std::make_unique<TestDatabase>(QStringLiteral("upgrade_long_lists"));
            QVERIFY(makeOld(*m_lists));
            auto dm = m_lists->connect();
            TestDatabase::exec(
                *dm,
                QStringLiteral(
                    "insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, "
                    "data, smena, color, time, ok) select 100 + w, 100 + w, 5001, 11, 10, 1, 0, "
                    "'2024-05-02', 1, 0, 1, 'no' from generate_series(0, 129) w;"
                    "insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, "
                    "data, smena, color, time, ok) select 298 + 2 * g + c, 1, 5001, 11, 10, 1, 0, "
                    "date '2024-03-31' + g, 3, 0, 1, 'no' from generate_series(1, 25) g, "
                    "generate_series(0, 1) c;"
                    "insert into accounts_dep.norm (id, o_id, norma, prize, price) select id, 11, "
                    "1, 0, 10 from generate_series(1000, 1024) id, generate_series(1, 2);"
                    "insert into accounts_dep.fatigue (id, id_o, id_p, d_date, i_mnth, i_year, "
                    "i_smena, cnt, price, i_holiday, i_night) select 100 + p, 7777, 1000 + p, "
                    "'2024-05-03', 5, 2024, 1, 1, 150, 0, 0 from generate_series(0, 29) p"));
            const Run run = script(*m_lists, QStringLiteral("upgrade.sql"));
            QCOMPARE(run.code, 0);
            m_listsReport = run.output;
        }
        const QString message = messageWith(m_listsReport, marker);
        QVERIFY2(message.contains(first), qPrintable(message));
        QVERIFY2(message.endsWith(QStringLiteral("… и ещё %1").arg(total - 20)),
                 qPrintable(message));
        auto dm = m_lists->connect();
        const QStringList stored =
            column(*m_lists->admin(),
                   QStringLiteral("select item from tabel_upgrade.lists where list=%1 order by n")
                       .arg(sql::quote(list)));
        QCOMPARE(stored.size(), total);
        QCOMPARE(stored, column(*dm, full));
    }

    // A table held by another session for the whole run: the checks that read it are reported
    // as not run, with the reason, and the summary is printed all the same.
    void lockedTableStillGetsSummary_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QStringList>("notRun");
        QTest::newRow("the ERP's persons")
            << "cmn_contractor.person"
            << QStringList{QStringLiteral("проверка не выполнена (чего не хватает программе "
                                          "(db/schema_ready.sql))"),
                           QStringLiteral("проверка не выполнена (личные номера "
                                          "cmn_contractor.person.s_code)")};
        QTest::newRow("the monthly rows")
            << "accounts_dep.h_tabel"
            << QStringList{QStringLiteral("проверка не выполнена (месяцы, чьи строки табеля "
                                          "расходятся с записями)")};
    }
    void lockedTableStillGetsSummary()
    {
        QFETCH(QString, held);
        QFETCH(QStringList, notRun);
        TestDatabase db(QStringLiteral("upgrade_held"));
        Run run;
        {
            const HeldTable holder(db, held);
            run = script(db, QStringLiteral("upgrade.sql"), {QStringLiteral("lock_timeout=300ms")});
        }
        QCOMPARE(run.code, 0);
        const QString closing = summary(run.output);
        QVERIFY2(closing.contains(QRegularExpression(QStringLiteral("Итог\\s+\\|\\s+Что"))),
                 qPrintable(run.output));
        for (const QString &check : notRun) {
            const QStringList lines =
                linesWith(closing, check).filter(QStringLiteral("НЕ СДЕЛАНО |"));
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().contains(QStringLiteral("НЕ СДЕЛАНО")) &&
                         lines.first().contains(QStringLiteral("таблицу держит другой сеанс")),
                     qPrintable(lines.first()));
        }
    }

    // What would break a window or a report later keeps tabel from starting, named in Russian
    // with what to do about it.
    void startupCheckNamesWhatBreaksLater_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("advice");
        QTest::newRow("personnel code that is not a number")
            << "insert into cmn_contractor.person (id, s_code, s_caption) values (900, 'Б/Н', "
               "'Прохожий'), (901, ' 12 ', 'С пробелами')"
            << "Строки (всего 1): id 900 «Б/Н»"
            << "впишите в s_code табельный номер цифрами";
        QTest::newRow("personnel code too large for a number")
            << "insert into cmn_contractor.person (id, s_code, s_caption) values (900, "
               "'99999999999', 'Большой')"
            << "Строки (всего 1): id 900 «99999999999»"
            << "впишите в s_code";
        QTest::newRow("persons of the ERP dropped") << "drop table cmn_contractor.person"
                                                    << "нет таблицы cmn_contractor.person"
                                                    << "восстановите ее из резервной копии";
        QTest::newRow("column of the ERP dropped")
            << "alter table cmn_contractor.person drop column s_caption"
            << "нет столбца cmn_contractor.person.s_caption (текст)"
            << "верните столбец";
        QTest::newRow("column of another kind")
            << "alter table hrms_staffpos.staffpos alter d_begin type text"
            << "столбец hrms_staffpos.staffpos.d_begin имеет тип text, а программа читает его как "
               "дату"
            << "приведите тип столбца";
        QTest::newRow("products without a unique id")
            << "alter table accounts_dep.smena drop constraint smena_i_id_fkey; alter table "
               "accounts_dep.oper drop constraint oper_i_id_fkey; alter table "
               "cmn_gds_and_srv.gds_and_srv drop constraint gds_and_srv_pkey"
            << "нет уникального ключа cmn_gds_and_srv.gds_and_srv (id)"
            << "db/upgrade.sql добавляет первичный ключ";
        QTest::newRow("type of the personnel codes dropped") << "drop domain t_integer"
                                                             << "нет типа t_integer"
                                                             << "db/upgrade.sql создает его";
        QTest::newRow("a column the postings cannot fill")
            << "alter table accounts_dep.h_tabel add column approved integer not null"
            << "у столбца accounts_dep.h_tabel.approved нет значения по умолчанию"
            << "задайте ему значение по умолчанию";
        QTest::newRow("production calendar dropped") << "drop table accounts_dep.prod_calendar"
                                                     << "нет таблицы accounts_dep.prod_calendar"
                                                     << "db/upgrade.sql создает ее";
        QTest::newRow("absences dropped")
            << "drop table accounts_dep.absence"
            << "нет таблиц отсутствий accounts_dep.absence и accounts_dep.absence_kind"
            << "их создает db/upgrade.sql";
        QTest::newRow("payroll indicators dropped")
            << "drop table accounts_dep.payroll_indicator"
            << "показателей для зарплаты accounts_dep.payroll_indicator"
            << "их создает db/upgrade.sql";
        QTest::newRow("history of absences switched off")
            << "alter table accounts_dep.absence disable trigger absence_history"
            << "нет триггеров отсутствий"
            << "отсутствие можно отметить в закрытом месяце";
    }
    void startupCheckNamesWhatBreaksLater()
    {
        QFETCH(QString, change);
        QFETCH(QString, named);
        QFETCH(QString, advice);
        TestDatabase db(QStringLiteral("upgrade_breaks_later"));
        {
            auto dm = db.connect();
            TestDatabase::exec(*dm, change);
            const QStringList found = schema_check::missing(dm->ADO_DB).filter(named);
            QCOMPARE(found.size(), 1);
            QVERIFY2(found.first().contains(advice), qPrintable(found.first()));
        }
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, {db.name(), TestDatabase::server()});
        QVERIFY(!program.start());
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().text, schema_check::message());
        QVERIFY2(recorder.shown.first().detail.contains(named),
                 qPrintable(recorder.shown.first().detail));
    }

    // The months whose monthly rows disagree with the entries, per family, in order, with the
    // rows and day cells that differ; a month that agrees is not listed.
    void monthsToRebuild_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("months");
        QTest::newRow("shift rows")
            << "строки табеля по сменам расходятся с записями"
            << "месяцы (всего 3): 11.2023 (строк 1, дней 1), 01.2024 (строк 1, дней 1), 03.2024 "
               "(строк 3, дней 3)";
        QTest::newRow("hour-paid rows")
            << "строки табеля почасовых работ расходятся с записями"
            << "месяцы (всего 2): 02.2024 (строк 1, дней 1), 03.2024 (строк 3, дней 3)";
    }
    void monthsToRebuild()
    {
        QFETCH(QString, rows);
        QFETCH(QString, months);
        if (!m_months) {
            m_months = std::make_unique<TestDatabase>(QStringLiteral("upgrade_months"));
            QVERIFY(makeOld(*m_months));
            auto dm = m_months->connect();
            // November: a day of 3 hours whose entry says 5; January: hours on the 31st without
            // an entry; February: an hour-paid entry without its row; April agrees.
            TestDatabase::exec(
                *dm,
                QStringLiteral(
                    "insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, "
                    "brak, data, smena, color, time, ok) values "
                    "(100, 1, 5001, 11, 10, 5, 0, '2023-11-14', 1, 0, 5, 'no'),"
                    "(101, 2, 5001, 11, 10, 5, 0, '2024-04-02', 1, 0, 6, 'no');"
                    "insert into accounts_dep.h_tabel (id, w_id, month, year, smena, i_type, "
                    "i_night, d2, d14, d31) values "
                    "(100, 1, 11, 2023, 1, 0, 0, null, 3, null),"
                    "(101, 3, 1, 2024, 2, 0, 0, null, null, 4),"
                    "(102, 2, 4, 2024, 1, 0, 0, 6, null, null);"
                    "insert into accounts_dep.fatigue (id, id_o, id_p, d_date, i_mnth, i_year, "
                    "i_smena, cnt, price, i_holiday, i_night) values "
                    "(100, 7777, 2, '2024-02-05', 2, 2024, 1, 4, 150, 0, 1)"));
            const Run run = script(*m_months, QStringLiteral("upgrade.sql"));
            QCOMPARE(run.code, 0);
            m_monthsReport = run.output;
        }
        const QString message = messageWith(m_monthsReport, rows);
        QVERIFY2(message.contains(QStringLiteral("WARNING:  ВНИМАНИЕ:")) &&
                     message.contains(QLatin1String("-v rebuild=1")) && message.endsWith(months),
                 qPrintable(message));
    }

    // psql -v rebuild=1 rebuilds those months, each in a transaction of its own: every day value
    // of every monthly row is then the sum of its entries, a month that agreed keeps its rows,
    // and a later run finds nothing to rebuild and changes nothing.
    void rebuildLeavesEntriesSums()
    {
        QVERIFY(m_months);
        auto dm = m_months->connect();
        const Run run =
            script(*m_months, QStringLiteral("upgrade.sql"), {QStringLiteral("rebuild=1")});
        QCOMPARE(run.code, 0);
        const QStringList rebuilt = linesWith(run.output, QStringLiteral("NOTICE:  месяц"));
        QCOMPARE(rebuilt.size(), 4);
        for (const char *month : {"11.2023", "01.2024", "02.2024", "03.2024"})
            QCOMPARE(
                rebuilt
                    .filter(
                        QStringLiteral("месяц %1 перестроен по записям").arg(QLatin1String(month)))
                    .size(),
                1);
        QVERIFY2(!run.output.contains(QStringLiteral("расходятся с записями")),
                 qPrintable(run.output));
        // Each stored day against the sum of its entries, over both families.
        const QString differing = QStringLiteral(
            "with stored as (select h.w_id, h.smena, h.i_type, h.i_night, make_date(h.year, "
            "h.month, 1) + d.n::integer - 1 as day, d.v from accounts_dep.h_tabel h, unnest(array["
            "d1,d2,d3,d4,d5,d6,d7,d8,d9,d10,d11,d12,d13,d14,d15,d16,d17,d18,d19,d20,d21,d22,d23,"
            "d24,d25,d26,d27,d28,d29,d30,d31]) with ordinality d(v, n) where d.v is not null), "
            "entered as (select w_id, smena, 0 as i_type, 0 as i_night, data::date as day, "
            "sum(time) as v from accounts_dep.smena group by 1, 2, 5 union all select "
            "id_p::integer, 0, id_o::integer, i_night, d_date, sum(cnt) from "
            "accounts_dep.fatigue group by 1, 3, 4, 5) "
            "select count(*) from stored s full join entered e using (w_id, smena, i_type, "
            "i_night, day) where coalesce(s.v, 0) <> coalesce(e.v, 0)");
        QCOMPARE(TestDatabase::scalar(*dm, differing), 0);
        QCOMPARE(TestDatabase::scalar(*dm, QStringLiteral("select d2 from accounts_dep.h_tabel "
                                                          "where id=102")),
                 6);
        const QString before = dump(*m_months);
        const Run again =
            script(*m_months, QStringLiteral("upgrade.sql"), {QStringLiteral("rebuild=1")});
        QCOMPARE(again.code, 0);
        QCOMPARE(linesWith(again.output, QStringLiteral("NOTICE")), QStringList{});
        QCOMPARE(dump(*m_months), before);
    }

    // A key refused for want of a row that a later step adds waits for that step: an operation
    // of the average piece rate (7778) made by the earlier program gets its kind, then its key.
    void keyTriedAfterTheRowItNeeds()
    {
        TestDatabase db(QStringLiteral("upgrade_key_order"));
        QVERIFY(makeOld(db));
        auto dm = db.connect();
        TestDatabase::exec(*dm, QStringLiteral("delete from accounts_dep.oper where id=13;"
                                               "insert into accounts_dep.oper (id, vid, naimen, "
                                               "i_id, cena_new) values (14, 7778, 0, 5001, 0)"));
        const Run run = script(db, QStringLiteral("upgrade.sql"));
        QCOMPARE(run.code, 0);
        QCOMPARE(linesWith(run.output, QStringLiteral("НЕ СДЕЛАНО"))
                     .filter(QLatin1String("oper_vid_fkey")),
                 QStringList{});
        QCOMPARE(TestDatabase::scalar(*dm, QStringLiteral("select count(*) from pg_constraint "
                                                          "where conname='oper_vid_fkey'")),
                 1);
    }

private:
    std::unique_ptr<TestDatabase> m_old;
    std::unique_ptr<TDataModule6> m_dm;
    QString m_firstReport;
    // Databases that several rows of a data-driven test look at, made by its first row.
    std::unique_ptr<TestDatabase> m_nulls;
    QString m_nullsReport;
    std::unique_ptr<TestDatabase> m_lists;
    QString m_listsReport;
    std::unique_ptr<TestDatabase> m_months;
    QString m_monthsReport;
};

TABEL_TEST_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
