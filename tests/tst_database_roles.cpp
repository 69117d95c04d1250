#include "app/login_dialog.h"
#include "app/startup.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>

#include <map>

namespace {

const QString Password = QStringLiteral("secret-1");

// The groups in the order of the expected strings below: full, planning, foremen, warehouse.
const QStringList Groups{QStringLiteral("tabel_full"), QStringLiteral("tabel_planning"),
                         QStringLiteral("tabel_foremen"), QStringLiteral("tabel_warehouse")};

} // namespace

// What each role may do is kept by the database: a person logged in as himself can do in psql no
// more than the program lets his role do, whatever the statement.
class TestDatabaseRoles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("database_roles"));
        m_admin = m_db->admin();
        m_dm = m_db->connect();
        const qint64 pid = QCoreApplication::applicationPid();
        // The site's login of personal logins: a reader that may write nothing.
        m_siteLogin = QStringLiteral("site_reader_%1").arg(pid);
        TestDatabase::exec(*m_admin, QStringLiteral("drop role if exists %1; create role %1 login "
                                                    "password '%2' in role tabel_reader")
                                         .arg(m_siteLogin, Password));
        // One person per group, and a login that is in none.
        for (const QString &group : Groups + QStringList{QString()}) {
            const QString person = QStringLiteral("person_%1_%2")
                                       .arg(group.isEmpty() ? QStringLiteral("none") : group)
                                       .arg(pid);
            TestDatabase::exec(
                *m_admin,
                QStringLiteral("drop role if exists %1; create role %1 "
                               "login password '%2'%3")
                    .arg(person, Password,
                         group.isEmpty() ? QString() : QStringLiteral(" in role ") + group));
            m_people[group] = person;
        }
        m_product = seed::product(*m_dm, QStringLiteral("ТП-120"));
        m_operation =
            seed::operation(*m_dm, seed::kind(*m_dm, QStringLiteral("Литьё")), m_product, 0, {10});
        m_worker = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        m_entry = seed::entry(*m_dm, {m_worker, m_product, m_operation, QDate(2024, 3, 5)});
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        for (const auto &[group, person] : m_people)
            m_admin->ADO_DB.run(QStringLiteral("drop role if exists %1").arg(person));
        m_admin->ADO_DB.run(QStringLiteral("drop role if exists %1").arg(m_siteLogin));
        m_admin.reset();
        m_db.reset();
    }

    // Each statement as each group's person, in a transaction rolled back afterwards: allowed or
    // refused as the role table of the program says (1 allowed, 0 refused; full, planning,
    // foremen, warehouse, and the reader of personal logins' site login).
    void rights_data()
    {
        QTest::addColumn<QString>("statement"); // ENTRY: the fixture's entry, SELF: the person
        QTest::addColumn<QString>("allowed");

        QTest::newRow("read the entries") << "select count(*) from accounts_dep.smena"
                                          << "11111";
        QTest::newRow("add an entry")
            << "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
               "color, time, ok) select w_id, i_id, o_id, cena, 1, 0, data, 2, 0, 4, 'no' from "
               "accounts_dep.smena where id=ENTRY"
            << "10100";
        QTest::newRow("change an entry")
            << "update accounts_dep.smena set kol_vo=kol_vo+1 where id=ENTRY"
            << "10000";
        QTest::newRow("accept an entry") << "update accounts_dep.smena set ok='да' where id=ENTRY"
                                         << "10010";
        QTest::newRow("delete an entry") << "delete from accounts_dep.smena where id=ENTRY"
                                         << "10000";
        QTest::newRow("write monthly rows directly")
            << "update accounts_dep.h_tabel set d5=20 where true"
            << "10000";
        QTest::newRow("enter hour-paid work")
            << "insert into accounts_dep.fatigue(id_o, id_p, d_date, i_mnth, i_year, i_smena, "
               "cnt, price, i_holiday, i_night) select 7777, w_id, '2024-03-06', 3, 2024, 1, 2, "
               "150, 0, 0 from accounts_dep.smena where id=ENTRY"
            << "11110";
        QTest::newRow("change prices") << "update accounts_dep.norm set price=price*10"
                                       << "10000";
        QTest::newRow("add an operation kind")
            << "insert into accounts_dep.vid_oper(vid) values ('Упаковка')"
            << "10000";
        QTest::newRow("rename a worker")
            << "update accounts_dep.person set fio='Иванов И.' where id=(select w_id from "
               "accounts_dep.smena where id=ENTRY)"
            << "10000";
        QTest::newRow("change the calendar")
            << "insert into accounts_dep.prod_calendar(d_date, kind, s_name) values "
               "('2024-03-09', 'рабочий', 'Перенос') on conflict (d_date) do update set "
               "kind=excluded.kind"
            << "10000";
        QTest::newRow("read absences") << "select count(*) from accounts_dep.absence"
                                       << "11111";
        QTest::newRow("mark an absence")
            << "insert into accounts_dep.absence(w_id, d_date, code) select w_id, '2024-03-20', "
               "'ОТ' from accounts_dep.smena where id=ENTRY"
            << "10000";
        QTest::newRow("change a payroll indicator")
            << "update accounts_dep.payroll_indicator set code='P01' where indicator='piece'"
            << "10000";
        QTest::newRow("change the form's settings")
            << "update accounts_dep.site_setting set value='ООО' where name='organisation'"
            << "10000";
        QTest::newRow("change the absence codes")
            << "update accounts_dep.absence_kind set caption='x' where code='ОТ'"
            << "00000";
        QTest::newRow("close a month through its function")
            << "select accounts_dep.close_month(2030, 1)"
            << "10000";
        QTest::newRow("open a month through its function")
            << "select accounts_dep.open_month(2030, 1)"
            << "10000";
        QTest::newRow("close a month directly")
            << "insert into accounts_dep.closed_month(year, month) values (2030, 2)"
            << "00000";
        QTest::newRow("reopen a month directly") << "delete from accounts_dep.closed_month"
                                                 << "00000";
        QTest::newRow("write the history")
            << "insert into accounts_dep.entry_history(entry_table, entry_id, action) values "
               "('smena', 1, 'insert')"
            << "00000";
        QTest::newRow("change the history") << "update accounts_dep.entry_history set os_user='x'"
                                            << "00000";
        QTest::newRow("empty the close log") << "delete from accounts_dep.closed_month_log"
                                             << "00000";
        QTest::newRow("stamp the version") << "update accounts_dep.ver set d=99991231"
                                           << "00000";
        QTest::newRow("switch the history off")
            << "alter table accounts_dep.smena disable trigger smena_history"
            << "00000";
        QTest::newRow("make a table") << "create table accounts_dep.x (id integer)"
                                      << "00000";
        QTest::newRow("empty the entries") << "truncate accounts_dep.smena"
                                           << "00000";
        QTest::newRow("give oneself more") << "alter role SELF createrole"
                                           << "00000";
        QTest::newRow("become full access") << "set role tabel_full"
                                            << "10000";
    }
    void rights()
    {
        QFETCH(QString, statement);
        QFETCH(QString, allowed);
        statement.replace(QLatin1String("ENTRY"), QString::number(m_entry));
        const QStringList logins{m_people.at(Groups.at(0)), m_people.at(Groups.at(1)),
                                 m_people.at(Groups.at(2)), m_people.at(Groups.at(3)), m_siteLogin};
        for (int g = 0; g < logins.size(); ++g) {
            const QString &person = logins.at(g);
            auto dm = m_db->connectAs(person, Password);
            bool done = true;
            QString refusal;
            dm->ADO_DB.begin();
            try {
                dm->ADO_DB.run(QString(statement).replace(QLatin1String("SELF"), person));
            } catch (const DbError &error) {
                done = false;
                refusal = error.message();
            }
            dm->ADO_DB.rollback();
            QVERIFY2(
                done == (allowed.at(g) == QLatin1Char('1')),
                qPrintable(QStringLiteral("%1: %2 %3")
                               .arg(person,
                                    done ? QStringLiteral("allowed") : QStringLiteral("refused:"),
                                    refusal)));
        }
    }

    // The version stamp: anyone may raise it to a build's stamp, nobody past tomorrow.
    void versionNeverFarAhead()
    {
        auto dm = m_db->connectAs(m_people.at(QStringLiteral("tabel_foremen")), Password);
        QSqlQuery stamp =
            dm->ADO_DB.run(QStringLiteral("select d from accounts_dep.raise_version(99991231, 1)"));
        QVERIFY(stamp.next());
        QVERIFY(stamp.value(0).toLongLong() < 99991231);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.ver where d=99991231")),
                 0);
    }

    // A foreman's entry reaches the timesheet although he may not write monthly rows, and the
    // history names him where logins are personal.
    void foremanEntryPostedAndNamed()
    {
        TestDatabase::exec(
            *m_admin,
            QStringLiteral("alter database \"%1\" set tabel.login = 'personal'").arg(m_db->name()));
        const QString foreman = m_people.at(QStringLiteral("tabel_foremen"));
        auto dm = m_db->connectAs(foreman, Password);
        const QDate day(2024, 4, 2);
        const qint64 id = seed::entry(*dm, {m_worker, m_product, m_operation, day, 1, 7});
        TestDatabase::exec(
            *m_admin, QStringLiteral("alter database \"%1\" reset tabel.login").arg(m_db->name()));
        QCOMPARE(seed::dayValue(*m_dm, m_worker, 1, day), 7);
        QSqlQuery history = m_dm->ADO_DB.run(
            QStringLiteral("select db_user, program_role from accounts_dep.entry_history "
                           "where entry_id=%1 and action='insert'")
                .arg(id));
        QVERIFY(history.next());
        QCOMPARE(history.value(0).toString(), foreman);
        QCOMPARE(history.value(1).toString(), QStringLiteral("мастера"));
    }

    // Personal logins: the dialog asks for the user and the password; each person gets his
    // group's role, a wrong password or a login in no group one sentence, and the dialog stays.
    void personalLogin_data()
    {
        QTest::addColumn<QString>("group"); // whose login; "" the login in no group, "-" none
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("role");        // Role, when accepted
        QTest::addColumn<QString>("refusal"); // the sentence's beginning, when refused
        QTest::newRow("full access") << "tabel_full" << Password << int(Role::Full) << "";
        QTest::newRow("planning") << "tabel_planning" << Password << int(Role::Planning) << "";
        QTest::newRow("foremen") << "tabel_foremen" << Password << int(Role::Foremen) << "";
        QTest::newRow("warehouse") << "tabel_warehouse" << Password << int(Role::Warehouse) << "";
        QTest::newRow("wrong password")
            << "tabel_full"
            << "secret-2" << int(Role::None)
            << "Вход не выполнен: неверное имя пользователя или пароль.";
        QTest::newRow("in no group") << "" << Password << int(Role::None) << "Пользователь «";
        QTest::newRow("no user name")
            << "-" << Password << int(Role::None) << "Введите имя пользователя и пароль.";
    }
    void personalLogin()
    {
        QFETCH(QString, group);
        QFETCH(QString, password);
        QFETCH(int, role);
        QFETCH(QString, refusal);
        TestDatabase::exec(
            *m_admin,
            QStringLiteral("alter database \"%1\" set tabel.login = 'personal'").arg(m_db->name()));
        const auto codesAgain = qScopeGuard([&] {
            TestDatabase::exec(
                *m_admin,
                QStringLiteral("alter database \"%1\" reset tabel.login").arg(m_db->name()));
        });
        // The site's login before the dialog can write nothing: a reader.
        const QByteArray user = qgetenv("PGUSER");
        const QByteArray password0 = qgetenv("PGPASSWORD");
        const auto restore = qScopeGuard([&] {
            qputenv("PGUSER", user);
            qputenv("PGPASSWORD", password0);
        });
        qputenv("PGUSER", m_siteLogin.toUtf8());
        qputenv("PGPASSWORD", Password.toUtf8());
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Role granted = Role::None;
        bool changeEnabled = false;
        ModalScript modal([&](QDialog &dialog) {
            auto &main = static_cast<TForm1 &>(dialog);
            granted = main.role();
            changeEnabled = main.Button2->isEnabled();
            dialog.close();
        });
        Program program({20240305, 0}, {m_db->name(), TestDatabase::server()});
        QVERIFY2(program.start(), qPrintable(recorder.described().join(QLatin1Char('\n'))));
        TForm23 &login = program.loginDialog();
        QVERIFY(login.personalLogins());
        QVERIFY(login.EditUser->isVisible());
        QCOMPARE(login.EditUser->accessibleName(), QStringLiteral("Пользователь"));
        QCOMPARE(login.Edit1->accessibleName(), QStringLiteral("Пароль"));
        login.EditUser->setText(group == QLatin1String("-") ? QString() : m_people.at(group));
        login.Edit1->setText(password);
        login.Button1->click();
        if (refusal.isEmpty()) {
            QCOMPARE(recorder.texts(), QStringList());
            QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm1")});
            QCOMPARE(int(granted), role);
            QCOMPARE(changeEnabled, Role(role) == Role::Full);
        } else {
            QVERIFY(modal.opened.isEmpty());
            QCOMPARE(recorder.shown.size(), 1);
            QVERIFY2(recorder.shown.first().text.startsWith(refusal),
                     qPrintable(recorder.shown.first().text));
            QVERIFY(login.isVisible());
            QVERIFY(terminations.requests.isEmpty());
        }
    }

    // Started as a login that may do more than any role (the superuser here), the program says so
    // once, in Russian, and goes on; the site's own login hears nothing.
    void powerfulLoginWarned_data()
    {
        QTest::addColumn<bool>("superuser");
        QTest::newRow("the superuser") << true;
        QTest::newRow("the site's login") << false;
    }
    void powerfulLoginWarned()
    {
        QFETCH(bool, superuser);
        const QByteArray user = qgetenv("PGUSER");
        const QByteArray password = qgetenv("PGPASSWORD");
        const auto restore = qScopeGuard([&] {
            qputenv("PGUSER", user);
            qputenv("PGPASSWORD", password);
        });
        if (superuser) {
            qputenv("PGUSER", "postgres");
            qputenv("PGPASSWORD", TestDatabase::superuserPassword().toUtf8());
        }
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, {m_db->name(), TestDatabase::server()});
        QVERIFY(program.start());
        if (superuser) {
            QCOMPARE(recorder.described(),
                     QStringList{QStringLiteral("information Предупреждение: Программа подключена "
                                                "к базе как суперпользователь: база не "
                                                "ограничивает ее права ролями. Для работы "
                                                "используйте вход программы или личные входы "
                                                "сотрудников.")});
        } else {
            QCOMPARE(recorder.described(), QStringList());
        }
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_admin;
    std::unique_ptr<TDataModule6> m_dm;
    std::map<QString, QString> m_people; // group ("" none) → login
    QString m_siteLogin;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    qint64 m_worker = 0;
    qint64 m_entry = 0;
};

TABEL_TEST_MAIN(TestDatabaseRoles)
#include "tst_database_roles.moc"
