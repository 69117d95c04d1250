#include "db/absences.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/production_calendar.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/absence_dialog.h"
#include "timesheets/absence_marks.h"
#include "timesheets/monthly_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate November(2026, 11, 1);
const QDate October(2026, 10, 1);
constexpr int Household = 7777;
constexpr int Average = 7778;

// The absence rows of a worker's month: "d code" in order of the days.
QStringList marked(TDataModule6 &dm, qint64 worker, const QDate &month)
{
    const QHash<absences::WorkerDay, QString> marks =
        absences::ofMonth(dm.ADO_DB, month.month(), month.year());
    QStringList result;
    for (int day = 1; day <= 31; ++day)
        if (marks.contains({worker, day}))
            result << QStringLiteral("%1 %2").arg(day).arg(marks.value({worker, day}));
    return result;
}

} // namespace

// Absences marked in the monthly timesheet and kept by the database like entries.
class TestMonthEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        QVERIFY(m_dir.isValid());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("month_end"));
        m_dm = m_db->connect();
        TDataModule6 &dm = *m_dm;
        QVERIFY(calendar::isDayOff(dm.ADO_DB, QDate(2026, 11, 4))); // a public holiday
        m_product = seed::product(dm, QStringLiteral("КР-1"));
        m_op = seed::operation(dm, seed::kind(dm, QStringLiteral("Литьё")), m_product, 0, {10.0});
        m_group = seed::group(dm, QStringLiteral("Крышки"));
        m_antonov = seed::worker(dm, QStringLiteral("Антонов А.А."));
        m_borisov = seed::worker(dm, QStringLiteral("Борисов Б.Б."));
        m_verina = seed::worker(dm, QStringLiteral("Верина В.В."));
        TestDatabase::exec(
            *m_db->admin(),
            QStringLiteral("update accounts_dep.site_setting set value='ООО «Пластик»' where "
                           "name='organisation'; update accounts_dep.site_setting set "
                           "value='Цех литья' where name='department'; update "
                           "accounts_dep.site_setting set value='12345678' where name='okpo'; "
                           "update cmn_contractor.person set s_code=null where id=%1")
                .arg(m_borisov));

        // November: every code of the form. Антонов: day, night (shift 3), work on the holiday
        // of the 4th, day with overtime, an empty working day (the 6th), household work on
        // Saturday, sick, business trip, leave. Борисов (no personnel number): average
        // piece-rate day and night work, then every other absence.
        const auto shift = [&](int day, int shiftNo, int hours) {
            seed::entry(dm, {m_antonov, m_product, m_op, QDate(2026, 11, day), shiftNo, hours, 10,
                             1, 12.35});
        };
        shift(2, 1, 8);
        shift(3, 3, 8);
        shift(4, 1, 6);
        shift(5, 1, 8);
        shift(5, 4, 2);
        shift(12, 1, 8);
        shift(13, 1, 8);
        seed::hourPaid(dm, m_antonov, m_group, Household, QDate(2026, 11, 7), 4, 150.25, false);
        seed::hourPaid(dm, m_borisov, m_group, Average, QDate(2026, 11, 2), 4, 200, false);
        seed::hourPaid(dm, m_borisov, m_group, Average, QDate(2026, 11, 2), 4, 240, true);
        const auto absent = [&](qint64 worker, int from, int to, const QString &code) {
            absences::mark(dm.ADO_DB, worker, QDate(2026, 11, from), QDate(2026, 11, to), code);
        };
        absent(m_antonov, 9, 10, QStringLiteral("Б"));
        absent(m_antonov, 11, 11, QStringLiteral("К"));
        absent(m_antonov, 16, 30, QStringLiteral("ОТ"));
        absent(m_borisov, 3, 3, QStringLiteral("ДО"));
        absent(m_borisov, 5, 5, QStringLiteral("НН"));
        absent(m_borisov, 6, 6, QStringLiteral("ПР"));
        absent(m_borisov, 9, 9, QStringLiteral("Г"));
        absent(m_borisov, 10, 30, QStringLiteral("ОЖ"));

        // October: Верина has hours on the 1st only; the window's marking works there.
        seed::entry(dm, {m_verina, m_product, m_op, QDate(2026, 10, 1), 1, 8, 10, 0, 10});
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // Marking in the window: F4 opens the marking of the current day for a range, the context
    // menu marks one day, Delete takes a mark off; the grid shows the codes.
    void windowMarking()
    {
        TForm27 window(*m_dm);
        window.applyRole(Role::Full);
        window.setMode(TForm27::Overall);
        window.selectMonth(10, 2026);
        Dataset &rows = window.currentQuery();
        QVERIFY(rows.locate(QStringLiteral("fio"), QStringLiteral("Верина В.В.")));
        const int row = rows.recNo() - 1;
        const auto cellOf = [&](int day) {
            return window.DBGrid->model()->index(row, TForm27::FirstDayColumn + day - 1);
        };
        const auto cleanup = qScopeGuard([this] {
            absences::clear(m_dm->ADO_DB, m_verina, October, October.addMonths(1).addDays(-1));
        });

        window.DBGrid->setCurrentIndex(cellOf(5));
        ModalScript script([](QDialog &dialog) {
            auto &marking = static_cast<AbsenceDialog &>(dialog);
            QCOMPARE(marking.FromDay->value(), 5);
            marking.Code->setCurrentIndex(marking.Code->findData(QStringLiteral("ДО")));
            marking.ToDay->setValue(7);
            marking.MarkButton->click();
        });
        QTest::keyClick(window.DBGrid, Qt::Key_F4);
        QCOMPARE(script.opened, QStringList{QStringLiteral("AbsenceDialog")});
        QCOMPARE(marked(*m_dm, m_verina, October), (QStringList{"5 ДО", "6 ДО", "7 ДО"}));
        QCOMPARE(cellOf(6).data().toString(), QStringLiteral("ДО"));
        QCOMPARE(cellOf(1).data().toString(), QStringLiteral("8"));

        QMenu menu;
        window.Absences->fillMenu(menu, row, 8);
        QMenu *codes = menu.findChild<QMenu *>(QStringLiteral("AbsenceCodes"));
        QVERIFY(codes);
        QAction *sick = nullptr;
        for (QAction *action : codes->actions())
            if (action->data().toString() == QStringLiteral("Б"))
                sick = action;
        QVERIFY(sick);
        sick->trigger();
        QCOMPARE(marked(*m_dm, m_verina, October), (QStringList{"5 ДО", "6 ДО", "7 ДО", "8 Б"}));

        window.DBGrid->setCurrentIndex(cellOf(6));
        QTest::keyClick(window.DBGrid, Qt::Key_Delete);
        QCOMPARE(marked(*m_dm, m_verina, October), (QStringList{"5 ДО", "7 ДО", "8 Б"}));
        QCOMPARE(cellOf(6).data().toString(), QString());
    }

    // A cell with hours and an absence is refused: by the window with a sentence before anything
    // is written, and by the database both ways (an absence on a day with hours, hours on a day
    // marked absent).
    void hoursAndAbsenceRefused()
    {
        TForm27 window(*m_dm);
        window.applyRole(Role::Full);
        window.setMode(TForm27::Overall);
        window.selectMonth(10, 2026);
        QVERIFY(window.currentQuery().locate(QStringLiteral("fio"), QStringLiteral("Верина В.В.")));
        const int row = window.currentQuery().recNo() - 1;
        MessageRecorder recorder;
        QVERIFY(!window.Absences->mark(row, 1, 2, QStringLiteral("ОТ")));
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Верина В.В.: в дни 01.10 есть часы работы, а в "
                                            "одном дне табеля не бывает и часов, и отсутствия "
                                            "«ОТ». Ничего не отмечено.")});
        QVERIFY(marked(*m_dm, m_verina, October).isEmpty());

        const auto refused = [this](const std::function<void()> &write) {
            try {
                write();
            } catch (const DbError &error) {
                return error.sqlState();
            }
            return QStringLiteral("written");
        };
        QCOMPARE(refused([this] {
                     absences::mark(m_dm->ADO_DB, m_verina, QDate(2026, 10, 1), QDate(2026, 10, 1),
                                    QStringLiteral("Б"));
                 }),
                 absences::RefusedState);
        absences::mark(m_dm->ADO_DB, m_verina, QDate(2026, 10, 2), QDate(2026, 10, 2),
                       QStringLiteral("Б"));
        const auto cleanup = qScopeGuard([this] {
            absences::clear(m_dm->ADO_DB, m_verina, October, October.addMonths(1).addDays(-1));
        });
        QCOMPARE(refused([this] {
                     m_dm->ADO_DB.run(
                         QStringLiteral(
                             "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, "
                             "data, smena, color, time, ok) values (%1, %2, %3, 1, 1, 0, "
                             "'2026-10-02', 1, 0, 4, 'no')")
                             .arg(m_verina)
                             .arg(m_product)
                             .arg(m_op));
                 }),
                 absences::RefusedState);
        QCOMPARE(refused([this] {
                     m_dm->ADO_DB.run(
                         QStringLiteral(
                             "insert into accounts_dep.fatigue(id_o, id_p, d_date, i_mnth, i_year, "
                             "i_smena, cnt, price, i_holiday, i_night) values (7777, %1, "
                             "'2026-10-02', 10, 2026, 1, 2, 100, 0, 0)")
                             .arg(m_verina));
                 }),
                 absences::RefusedState);
        // Moving the day's entry onto the absence is refused as well; its acceptance is not.
        QCOMPARE(refused([this] {
                     m_dm->ADO_DB.run(QStringLiteral("update accounts_dep.smena set "
                                                     "data='2026-10-02' where w_id=%1")
                                          .arg(m_verina));
                 }),
                 absences::RefusedState);
        QCOMPARE(refused([this] {
                     m_dm->ADO_DB.run(QStringLiteral("update accounts_dep.smena set ok='да' "
                                                     "where w_id=%1")
                                          .arg(m_verina));
                 }),
                 QStringLiteral("written"));
    }

    // A closed month takes no absence, whoever writes it; the history keeps every mark with who
    // made it; only full access marks.
    void closedMonthHistoryAndRights()
    {
        TForm27 window(*m_dm);
        window.applyRole(Role::Full);
        window.setMode(TForm27::Overall);
        window.selectMonth(10, 2026);
        QVERIFY(window.currentQuery().locate(QStringLiteral("fio"), QStringLiteral("Верина В.В.")));
        const int row = window.currentQuery().recNo() - 1;
        const auto cleanup = qScopeGuard([this] {
            closedmonths::open(*m_dm, 10, 2026);
            absences::clear(m_dm->ADO_DB, m_verina, October, October.addMonths(1).addDays(-1));
        });
        QVERIFY(window.Absences->mark(row, 12, 13, QStringLiteral("К")));
        closedmonths::close(*m_dm, 10, 2026);
        MessageRecorder recorder;
        QVERIFY(!window.Absences->mark(row, 14, 14, QStringLiteral("К")));
        QVERIFY(!window.Absences->clear(row, 12, 12));
        QCOMPARE(recorder.texts(), QStringList(2, closedmonths::refusal(10, 2026)));
        QString state;
        try {
            absences::mark(m_dm->ADO_DB, m_verina, QDate(2026, 10, 20), QDate(2026, 10, 20),
                           QStringLiteral("Б"));
        } catch (const DbError &error) {
            state = error.sqlState();
        }
        QCOMPARE(state, closedmonths::RefusedState);
        QCOMPARE(marked(*m_dm, m_verina, October), (QStringList{"12 К", "13 К"}));
        QCOMPARE(TestDatabase::scalar(*m_dm,
                                      QStringLiteral("select count(*) from accounts_dep."
                                                     "entry_history where entry_table='absence' "
                                                     "and action='insert' and (after_row->>'w_id')"
                                                     "::integer=%1 and after_row->>'code'='К'")
                                          .arg(m_verina)),
                 qint64(2));

        // Other roles see the marks and mark nothing.
        window.applyRole(Role::Foremen);
        ModalScript script([](QDialog &) { QFAIL("no marking for this role"); });
        window.DBGrid->setCurrentIndex(
            window.DBGrid->model()->index(row, TForm27::FirstDayColumn + 14));
        QTest::keyClick(window.DBGrid, Qt::Key_F4);
        QVERIFY(script.opened.isEmpty());
        QVERIFY(!window.Absences->mark(row, 15, 15, QStringLiteral("К")));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    qint64 m_product = 0;
    qint64 m_op = 0;
    qint64 m_group = 0;
    qint64 m_antonov = 0;
    qint64 m_borisov = 0;
    qint64 m_verina = 0;
};

TABEL_TEST_MAIN(TestMonthEnd)
#include "tst_month_end.moc"
