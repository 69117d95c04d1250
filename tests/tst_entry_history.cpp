#include "db/data_module.h"
#include "db/db_error.h"
#include "db/session_identity.h"
#include "shiftlog/entry_history.h"
#include "shiftlog/shift_entries.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/shift_log_links.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_writes.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/dataset_model.h"
#include "ui/version_watch.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

namespace {

const QDate Day(2026, 11, 10);

struct Change
{
    QString action;
    QJsonObject before;
    QJsonObject after;
    QString osUser;
    QString workstation;
    QString programRole;
    QString dbUser;
};

} // namespace

// Every change of a shift entry or an hour-paid entry is kept by the database: when, who, in
// which role, and what changed; the shift log shows it, and nobody changes it afterwards.
class TestEntryHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        Clock::set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("entry_history"));
        m_dm = m_db->connect();
        m_worker = seed::worker(*m_dm, QStringLiteral("Зайцев З.З."));
        m_product = seed::product(*m_dm, QStringLiteral("КР-7"));
        const qint64 kind = seed::kind(*m_dm, QStringLiteral("Окраска"));
        m_operation = seed::operation(*m_dm, kind, m_product, 0, {3});
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // Added, changed, accepted and deleted through the program's own writes: four rows, each
    // with the user, workstation and role of the copy that made it; a change keeps only the
    // columns it changed, before and after; a save that changes nothing leaves no row.
    void shiftEntryLifetime()
    {
        m_dm->ADO_DB.setProgramRole(QStringLiteral("полный доступ"));
        Command command(m_dm->ADO_DB);
        shiftentries::Entry entry{m_worker, m_product, m_operation, 3, 10, 0, Day, 1, 0, 8};
        const qint64 id = shiftentries::save(command, entry, 0, Day);
        QVERIFY(id > 0);
        entry.pieces = 12;
        shiftentries::save(command, entry, id, Day);
        shiftentries::save(command, entry, id, Day);
        command.setText(shiftentries::acceptanceStatement());
        shiftentries::setAcceptance(command, id, QStringLiteral("ok"));
        // Another copy, in another role, deletes it.
        auto other = m_db->connect();
        other->ADO_DB.setProgramRole(QStringLiteral("мастера"));
        QVERIFY(shiftentries::remove(*other, id));

        const QList<Change> changes = history(QStringLiteral("smena"), id);
        QCOMPARE(changes.size(), 4);
        QCOMPARE(changes.at(0).action, QStringLiteral("insert"));
        QVERIFY(changes.at(0).before.isEmpty());
        QCOMPARE(changes.at(0).after.value(QStringLiteral("kol_vo")).toInt(), 10);
        QCOMPARE(changes.at(0).after.value(QStringLiteral("ok")).toString(), QStringLiteral("no"));
        QCOMPARE(changes.at(1).action, QStringLiteral("update"));
        QCOMPARE(changes.at(1).before, QJsonObject({{QStringLiteral("kol_vo"), 10}}));
        QCOMPARE(changes.at(1).after, QJsonObject({{QStringLiteral("kol_vo"), 12}}));
        QCOMPARE(changes.at(2).before, QJsonObject({{QStringLiteral("ok"), QStringLiteral("no")}}));
        QCOMPARE(changes.at(2).after, QJsonObject({{QStringLiteral("ok"), QStringLiteral("ok")}}));
        QCOMPARE(changes.at(3).action, QStringLiteral("delete"));
        QCOMPARE(changes.at(3).before.value(QStringLiteral("kol_vo")).toInt(), 12);
        QVERIFY(changes.at(3).after.isEmpty());
        const session::Identity local = session::local();
        QVERIFY(!local.osUser.isEmpty());
        for (const Change &change : changes) {
            QCOMPARE(change.osUser, local.osUser);
            QCOMPARE(change.workstation, local.workstation);
            QCOMPARE(change.dbUser, QStringLiteral("sys"));
        }
        QCOMPARE(changes.at(2).programRole, QStringLiteral("полный доступ"));
        QCOMPARE(changes.at(3).programRole, QStringLiteral("мастера"));
    }

    // Hour-paid entries have their history too; the monthly rows their postings write do not.
    void hourPaidEntries()
    {
        const qint64 group = seed::group(*m_dm, QStringLiteral("Ящики"));
        hourpaid::Entry entry;
        entry.groupId = group;
        entry.workerId = m_worker;
        entry.hours = 4;
        entry.price = 100;
        entry.day = Day;
        const qint64 id = hourpaid::save(*m_dm, entry, 0);
        QVERIFY(hourpaid::remove(*m_dm, id));
        const QList<Change> changes = history(QStringLiteral("fatigue"), id);
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.at(0).after.value(QStringLiteral("cnt")).toInt(), 4);
        QCOMPARE(changes.at(1).action, QStringLiteral("delete"));
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.entry_history where "
                                                            "entry_table not in ('smena', "
                                                            "'fatigue')")),
                 0);
    }

    void historyCannotBeChanged_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("update") << "update accounts_dep.entry_history set os_user='x'";
        QTest::newRow("delete") << "delete from accounts_dep.entry_history";
        QTest::newRow("truncate") << "truncate accounts_dep.entry_history";
    }
    // The program's role, even where it owns the tables, cannot rewrite or remove the history.
    void historyCannotBeChanged()
    {
        QFETCH(QString, statement);
        seed::entry(*m_dm, {m_worker, m_product, m_operation, Day.addDays(-(++m_entries))});
        const qint64 rows = TestDatabase::scalar(
            *m_dm, QStringLiteral("select count(*) from accounts_dep.entry_history"));
        QVERIFY(rows > 0);
        QVERIFY_THROWS_EXCEPTION(DbError, m_dm->ADO_DB.run(statement));
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select count(*) from accounts_dep.entry_history where "
                                           "os_user is distinct from 'x'")),
                 rows);
    }

    // "История" of the shift log lists the selected entry's changes in words: the action, who,
    // and each changed column by its title, from what to what.
    void shownFromTheShiftLog()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena"));
        m_dm->ADO_DB.setProgramRole(QStringLiteral("полный доступ"));
        Command command(m_dm->ADO_DB);
        shiftentries::Entry entry{m_worker, m_product, m_operation, 3, 10, 0, Day, 1, 0, 8};
        const qint64 id = shiftentries::save(command, entry, 0, Day);
        entry.pieces = 15;
        entry.day = Day.addDays(1);
        shiftentries::save(command, entry, id, Day);

        VersionWatch watch(*m_dm, BuildStamp{20240305, 0});
        RecordedShiftLogLinks links;
        TForm1 log(*m_dm, watch, links);
        log.Timer1->stop();
        log.applyRole(Role::Warehouse);
        log.DateT->setDate(Day.addDays(1));
        log.DateTChange();
        QStringList rows;
        bool saysNoChanges = true;
        ModalScript modal([&](QDialog &dialog) {
            auto &window = dynamic_cast<EntryHistory &>(dialog);
            saysNoChanges = window.NoChanges->isVisibleTo(&window);
            const DatasetModel &model = *window.DBGrid->gridModel();
            for (int row = 0; row < model.rowCount(); ++row) {
                QStringList cells;
                for (int column = 0; column < model.columnCount(); ++column)
                    cells << model.index(row, column).data().toString();
                cells.removeFirst(); // the time
                rows << cells.join(QLatin1Char('|'));
            }
        });
        QVERIFY(log.HistoryButton->isEnabled());
        log.HistoryButton->click();
        QCOMPARE(modal.opened, QStringList{QStringLiteral("EntryHistory")});
        QVERIFY(!saysNoChanges);
        const session::Identity local = session::local();
        const QString who = local.osUser + QLatin1Char('|') + local.workstation +
                            QStringLiteral("|полный доступ|sys|");
        QCOMPARE(rows,
                 QStringList({QStringLiteral("Добавлена|") + who +
                                  QStringLiteral("Дата: 10.11.2026; Смена: 1; Работник: Зайцев "
                                                 "З.З.; Изделие: КР-7; Операция: Окраска; Цвет: "
                                                 "0; Часы: 8; Кол-во: 10; Брак: 0; Расценка: 3; "
                                                 "Премия (%): 0; OK: no; Заведен: 10.11.2026"),
                              QStringLiteral("Изменена|") + who +
                                  QStringLiteral("Дата: 10.11.2026 → 11.11.2026; Кол-во: 10 → "
                                                 "15")}));
    }

    // At its described size the window shows every column and its title within the grid, the
    // longest list of changes wrapped into its row: no part of it behind the right edge.
    void readsWithinTheWindow()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena"));
        const qint64 worker = seed::worker(
            *m_dm, QStringLiteral("Константинопольский-Преображенский Александр Владимирович"));
        Command command(m_dm->ADO_DB);
        shiftentries::Entry entry{worker, m_product, m_operation, 3, 10, 0, Day, 1, 0, 8};
        const qint64 id = shiftentries::save(command, entry, 0, Day);
        entry.pieces = 123456789;
        entry.workerId = m_worker;
        shiftentries::save(command, entry, id, Day);

        EntryHistory window(*m_dm);
        window.load(QString::fromLatin1(EntryHistory::ShiftEntries), id);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(1180, 360);
        QCoreApplication::processEvents();
        DataGrid &grid = *window.DBGrid;
        QCOMPARE(grid.model()->rowCount(), 2);
        const QHeaderView &header = *grid.horizontalHeader();
        QVERIFY2(header.length() <= grid.viewport()->width(),
                 qPrintable(QStringLiteral("%1 pixels of columns in %2")
                                .arg(header.length())
                                .arg(grid.viewport()->width())));
        const int what = grid.model()->columnCount() - 1;
        const QString title = grid.model()->headerData(what, Qt::Horizontal).toString();
        QVERIFY(header.sectionSize(what) > grid.fontMetrics().horizontalAdvance(title));
        // The whole list of the added entry fits its wrapped row.
        const QModelIndex added = grid.model()->index(0, what);
        const QRect needed =
            grid.fontMetrics().boundingRect(QRect(0, 0, header.sectionSize(what) - 4, 10000),
                                            Qt::TextWordWrap, added.data().toString());
        QVERIFY2(grid.rowHeight(0) >= needed.height(),
                 qPrintable(QStringLiteral("%1 pixels high for %2")
                                .arg(grid.rowHeight(0))
                                .arg(needed.height())));
        window.close();
    }

private:
    QList<Change> history(const QString &table, qint64 id)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("select action, before_row::text, after_row::text, os_user, "
                           "workstation, program_role, db_user from accounts_dep.entry_history "
                           "where entry_table='%1' and entry_id=%2 order by id")
                .arg(table)
                .arg(id));
        QList<Change> changes;
        while (query.next()) {
            const auto object = [&](int column) {
                return QJsonDocument::fromJson(query.value(column).toString().toUtf8()).object();
            };
            changes << Change{query.value(0).toString(),
                              object(1),
                              object(2),
                              query.value(3).toString(),
                              query.value(4).toString(),
                              query.value(5).toString(),
                              query.value(6).toString()};
        }
        return changes;
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    qint64 m_worker = 0;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    int m_entries = 0;

    // An entry typed before the history was kept has no rows: the window says so instead of
    // showing an empty list.
    void entryWithoutChangesSaysSo()
    {
        EntryHistory window(*m_dm);
        window.load(QString::fromLatin1(EntryHistory::ShiftEntries), 987654321);
        QCOMPARE(window.DBGrid->gridModel()->rowCount(), 0);
        QVERIFY(window.NoChanges->isVisibleTo(&window));
    }
};

TABEL_TEST_MAIN(TestEntryHistory)
#include "tst_entry_history.moc"
