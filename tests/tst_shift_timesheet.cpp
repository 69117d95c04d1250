#include "app/startup.h"
#include "db/data_module.h"
#include "db/production_calendar.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/shown_text.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "timesheets/month_rebuild.h"
#include "timesheets/shift_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The timesheet by shifts: the month's layout, the cells, the listing and the month rebuild.
class TestShiftTimesheet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("shift_timesheet"));
        auto dm = m_db->connect();
        m_product = seed::product(*dm, QStringLiteral("ТП-120"));
        const qint64 kind = seed::kind(*dm, QStringLiteral("Литьё"));
        for (int i = 0; i < 3; ++i)
            m_ops << seed::operation(*dm, kind, m_product, i % 2, {10.0 + i});
        m_anna = seed::worker(*dm, QStringLiteral("Анисимова А.А."));
        m_boris = seed::worker(*dm, QStringLiteral("Борисов Б.Б."));
        m_vera = seed::worker(*dm, QStringLiteral("Верина В.В."));
    }
    void cleanupTestCase()
    {
        m_db.reset();
        Clock::set({});
    }
    void init()
    {
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
        TestDatabase::exec(
            dm(),
            QStringLiteral("delete from accounts_dep.smena; delete from accounts_dep.h_tabel"));
    }
    void cleanup() { m_program.reset(); }

    // Days after the month's end are blanked (silver titles, invisible text); the days off of the
    // production calendar are red, and a holiday's title names it on hover.
    void monthLayout_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("days");
        QTest::addColumn<QList<int>>("daysOff"); // some days off of the month
        QTest::addColumn<QList<int>>("weekdays");
        QTest::addColumn<int>("namedDay"); // 0: none
        QTest::addColumn<QString>("name");
        QTest::newRow("31 days, New Year holidays")
            << 1 << 2024 << 31 << QList<int>{1, 5, 6, 7, 8, 27, 28} << QList<int>{9, 31} << 7
            << "Рождество Христово";
        QTest::newRow("30 days") << 4 << 2024 << 30 << QList<int>{6, 7, 27, 28} << QList<int>{1, 30}
                                 << 0 << "";
        QTest::newRow("leap February") << 2 << 2024 << 29 << QList<int>{3, 4, 23, 24, 25}
                                       << QList<int>{22, 29} << 23 << "День защитника Отечества";
        QTest::newRow("February") << 2 << 2023 << 28 << QList<int>{4, 5, 25, 26}
                                  << QList<int>{24, 28} << 0 << "";
        QTest::newRow("starting on a Sunday")
            << 9 << 2024 << 30 << QList<int>{1, 7, 8, 14, 15, 29} << QList<int>{2, 30} << 0 << "";
        QTest::newRow("holiday on a Thursday") << 6 << 2025 << 30 << QList<int>{1, 12, 14, 15}
                                               << QList<int>{11, 13} << 12 << "День России";
        QTest::newRow("Monday after a Saturday holiday")
            << 5 << 2026 << 31 << QList<int>{1, 9, 11} << QList<int>{8, 12} << 11
            << "Перенос с 09.05";
    }
    void monthLayout()
    {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(int, days);
        QFETCH(QList<int>, daysOff);
        QFETCH(QList<int>, weekdays);
        QFETCH(int, namedDay);
        QFETCH(QString, name);
        window().selectMonth(month, year);
        QAbstractItemModel *model = window().DBGrid2->model();
        const auto titleColour = [&](int day) {
            return model->headerData(day, Qt::Horizontal, Qt::ForegroundRole)
                .value<QBrush>()
                .color();
        };
        for (int day : daysOff)
            QCOMPARE(titleColour(day), QColor(255, 0, 0));
        for (int day : weekdays) {
            QVERIFY(titleColour(day) != QColor(255, 0, 0) &&
                    titleColour(day) != QColor(192, 192, 192));
            QCOMPARE(model->headerData(day, Qt::Horizontal, Qt::ToolTipRole), QVariant());
        }
        if (namedDay > 0)
            QCOMPARE(
                shownText(model->headerData(namedDay, Qt::Horizontal, Qt::ToolTipRole).toString()),
                name);
        for (int day = days + 1; day <= 31; ++day)
            QCOMPARE(titleColour(day), QColor(192, 192, 192));
    }

    // A day's name with markup in it shows on hover over its title as written, not drawn as a red
    // banner over the window.
    void markupInDayName()
    {
        const QDate day(2026, 6, 17);
        calendar::setDay(dm().ADO_DB, day, true, markupName());
        const auto restore = qScopeGuard([&] {
            TestDatabase::exec(dm(), QStringLiteral("delete from accounts_dep.prod_calendar "
                                                    "where d_date = '2026-06-17'"));
        });
        window().selectMonth(6, 2026);
        const QString tip =
            window().DBGrid2->model()->headerData(17, Qt::Horizontal, Qt::ToolTipRole).toString();
        QCOMPARE(shownText(tip), markupName());
    }

    // Cells: 0 grey (red on weekends), 8 bold, more than 8 bold on green; after the month's end
    // nothing shows.
    void cellStyling_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hours");
        QTest::addColumn<QColor>("text"); // invalid: the usual colour
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("background");
        QTest::newRow("0 on a weekday") << 4 << 0 << QColor(192, 192, 192) << false << QColor();
        QTest::newRow("0 on a Saturday") << 2 << 0 << QColor(255, 0, 0) << false << QColor();
        QTest::newRow("8") << 4 << 8 << QColor() << true << QColor();
        QTest::newRow("10") << 4 << 10 << QColor() << true << QColor(192, 220, 192);
        QTest::newRow("6") << 4 << 6 << QColor() << false << QColor();
        QTest::newRow("10 on a Sunday")
            << 3 << 10 << QColor(255, 0, 0) << true << QColor(192, 220, 192);
    }
    void cellStyling()
    {
        QFETCH(int, day);
        QFETCH(int, hours);
        QFETCH(QColor, text);
        QFETCH(bool, bold);
        QFETCH(QColor, background);
        // March 2024: the 2nd is a Saturday, the 3rd a Sunday.
        const QDate date(2024, 3, day);
        seed::Entry e{m_anna, m_product, m_ops[0], date};
        e.hours = hours;
        seed::entry(dm(), e);
        TestDatabase::exec(
            dm(), QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) "
                                 "values (1, %2, 3, 2024, %3)")
                      .arg(day)
                      .arg(m_anna)
                      .arg(hours));
        window().selectMonth(3, 2024);
        const QModelIndex cell = window().DBGrid1->model()->index(0, day);
        QCOMPARE(cell.data().toString(), QString::number(hours));
        const QVariant foreground = cell.data(Qt::ForegroundRole);
        QCOMPARE(foreground.isValid() ? foreground.value<QBrush>().color() : QColor(), text);
        QCOMPARE(cell.data(Qt::FontRole).value<QFont>().bold(), bold);
        const QVariant fill = cell.data(Qt::BackgroundRole);
        QCOMPARE(fill.isValid() ? fill.value<QBrush>().color() : QColor(), background);
        // The 31st of a 30-day month would be invisible; March has it, so day 31 is plain.
        window().selectMonth(4, 2024);
    }

    // A worker whose entries are all in shift 2 is on that tab only; an overtime row on none.
    void listedByShift()
    {
        seed::Entry second{m_boris, m_product, m_ops[0], QDate(2024, 3, 5)};
        second.shift = 2;
        seed::entry(dm(), second);
        seed::Entry overtime{m_vera, m_product, m_ops[0], QDate(2024, 3, 5)};
        overtime.shift = 4;
        seed::entry(dm(), overtime);
        rebuild::shiftMonth(dm(), 3, 2024);
        window().selectMonth(3, 2024);
        QCOMPARE(dm().H_Tabel_1.recordCount(), 0);
        QCOMPARE(dm().H_Tabel_2.recordCount(), 1);
        QCOMPARE(dm().H_Tabel_2.text(QStringLiteral("fio")), QStringLiteral("Борисов Б.Б."));
        QCOMPARE(dm().H_Tabel_2.integer(QStringLiteral("summ")), 8);
        QCOMPARE(dm().H_Tabel_3.recordCount(), 0);
    }

    // The rebuild leaves exactly the rows the entries give: a value for every day with entries
    // (0 where they sum to 0), nothing on other days; the fatigue rows and other months stay.
    void rebuildMatchesEntries()
    {
        struct E
        {
            qint64 worker;
            int op;
            int day;
            int shift;
            int hours;
        };
        const QList<E> entries{{m_anna, 0, 1, 1, 3},   {m_anna, 1, 1, 1, 5},  {m_anna, 0, 31, 1, 7},
                               {m_anna, 0, 2, 4, 2},   {m_boris, 0, 2, 2, 0}, {m_boris, 1, 2, 2, 0},
                               {m_boris, 2, 15, 3, 9}, {m_vera, 0, 29, 1, 4}};
        for (const E &e : entries) {
            seed::Entry row{e.worker, m_product, m_ops[e.op], QDate(2024, 3, e.day)};
            row.shift = e.shift;
            row.hours = e.hours;
            seed::entry(dm(), row);
        }
        // Stale rows of the month, a fatigue row, and a row of another month.
        TestDatabase::exec(dm(),
                           QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, "
                                          "year, d1, d9) values (1, %1, 3, 2024, 99, 99);"
                                          "insert into accounts_dep.h_tabel(smena, w_id, month, "
                                          "year, d3) values (3, %2, 3, 2024, 5);"
                                          "insert into accounts_dep.h_tabel(w_id, i_type, i_night, "
                                          "month, year, d4) values (%1, 7777, 1, 3, 2024, 6);"
                                          "insert into accounts_dep.h_tabel(smena, w_id, month, "
                                          "year, d4) values (1, %1, 4, 2024, 2)")
                               .arg(m_anna)
                               .arg(m_vera));

        QMap<QString, QMap<int, int>> expected; // "worker/shift" → day → hours
        for (const E &e : entries)
            expected[QStringLiteral("%1/%2").arg(e.worker).arg(e.shift)][e.day] += e.hours;

        MessageRecorder recorder;
        window().selectMonth(3, 2024);
        window().Button1->click();
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(!window().PB->isVisible());

        QSqlQuery rows =
            dm().ADO_DB.run(QStringLiteral("select w_id, smena, %1 from accounts_dep.h_tabel "
                                           "where month=3 and year=2024 and smena>0 "
                                           "order by w_id, smena")
                                .arg(dayList()));
        QMap<QString, QMap<int, int>> actual;
        while (rows.next()) {
            const QString key =
                QStringLiteral("%1/%2").arg(rows.value(0).toLongLong()).arg(rows.value(1).toInt());
            QVERIFY2(!actual.contains(key), qPrintable(key));
            QMap<int, int> &days = actual[key];
            for (int day = 1; day <= 31; ++day)
                if (!rows.value(1 + day).isNull())
                    days[day] = rows.value(1 + day).toInt();
        }
        QCOMPARE(actual, expected);
        QCOMPARE(
            TestDatabase::scalar(
                dm(), QStringLiteral(
                          "select d4 from accounts_dep.h_tabel where smena=0 and i_type=7777")),
            6);
        QCOMPARE(TestDatabase::scalar(
                     dm(), QStringLiteral("select d4 from accounts_dep.h_tabel where month=4")),
                 2);
        QCOMPARE(dm().H_Tabel_1.recordCount(), 2); // reopened: Анисимова and Верина
    }

    // A rebuild that fails part-way leaves the month as it was, and says so.
    void failedRebuildChangesNothing()
    {
        seed::entry(dm(), {m_anna, m_product, m_ops[0], QDate(2024, 3, 5)});
        seed::entry(dm(), {m_anna, m_product, m_ops[0], QDate(2024, 3, 20)});
        TestDatabase::exec(
            dm(),
            QStringLiteral(
                "delete from accounts_dep.h_tabel; insert into accounts_dep.h_tabel(smena, w_id, "
                "month, year, d1) values (1, %1, 3, 2024, 11);"
                "create function public.refuse_day20() returns "
                "trigger language plpgsql as $$ begin "
                "if new.d20 is not null then raise exception 'no "
                "day 20'; end if; return new; end $$;"
                "create trigger refuse_day20 before insert or "
                "update on accounts_dep.h_tabel for each row "
                "execute function public.refuse_day20()")
                .arg(m_anna));
        MessageRecorder recorder;
        window().selectMonth(3, 2024);
        window().Button1->click();
        TestDatabase::exec(dm(),
                           QStringLiteral("drop trigger refuse_day20 on accounts_dep.h_tabel; "
                                          "drop function public.refuse_day20()"));
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().text,
                 QStringLiteral("Табель не перестроен: строки месяца остались прежними."));
        QVERIFY(recorder.shown.first().detail.contains(QStringLiteral("no day 20")));
        QCOMPARE(
            TestDatabase::scalar(dm(), QStringLiteral("select count(*) from accounts_dep.h_tabel")),
            1);
        QCOMPARE(TestDatabase::scalar(dm(), QStringLiteral("select d1 from accounts_dep.h_tabel")),
                 11);
        QCOMPARE(TestDatabase::scalar(
                     dm(), QStringLiteral(
                               "select count(*) from accounts_dep.h_tabel where d5 is not null")),
                 0);
        QVERIFY(!window().PB->isVisible());
        QVERIFY(window().Button1->isEnabled());
    }

    // The connection drops while the server commits the rebuild: the month may have been rebuilt
    // or not, and the message says so as every other action does, not "not rebuilt".
    void rebuildLostAtCommit()
    {
        seed::entry(dm(), {m_anna, m_product, m_ops[0], QDate(2024, 3, 5)});
        TestDatabase::exec(dm(), QStringLiteral(R"(
create function public.end_at_commit() returns trigger language plpgsql as $$
begin
    perform pg_terminate_backend(pg_backend_pid());
    return null;
end $$;
create constraint trigger end_at_commit after insert on accounts_dep.h_tabel
    deferrable initially deferred for each row execute function public.end_at_commit();
)"));
        MessageRecorder recorder;
        window().selectMonth(3, 2024);
        window().Button1->click();
        // The lists were read again on a new connection.
        QVERIFY(dm().H_Tabel_1.isOpen());
        TestDatabase::exec(dm(), QStringLiteral("drop trigger end_at_commit on "
                                                "accounts_dep.h_tabel; drop function "
                                                "public.end_at_commit()"));
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Связь с сервером базы данных прервалась в момент "
                                            "записи: действие могло быть выполнено. Проверьте "
                                            "данные, прежде чем повторять его.")});
        QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
        QVERIFY(!window().PB->isVisible());
        QVERIFY(window().Button1->isEnabled());
    }

    // The year list runs to next year; the menu opens the month of the date the log shows.
    void menuSelectsTheShownMonth()
    {
        QCOMPARE(window().ComboBox2->itemText(0), QStringLiteral("2007"));
        QCOMPARE(window().ComboBox2->itemText(window().ComboBox2->count() - 1),
                 QStringLiteral("2027"));
        TForm1 &main = m_program->mainWindow();
        main.applyRole(Role::Full);
        main.FormActivate();
        main.DateT->setDate(QDate(2027, 1, 15));
        main.DateTChange();
        ModalScript modal([&](QDialog &) {
            QCOMPARE(window().ComboBox1->currentText(), QStringLiteral("Январь"));
            QCOMPARE(window().ComboBox2->currentText(), QStringLiteral("2027"));
            QVERIFY(dm().H_Tabel_1.isOpen());
        });
        main.findChild<QAction *>(QStringLiteral("N13"))->trigger();
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm19")});
        QVERIFY(!dm().H_Tabel_1.isOpen());
    }

    // Print and export show per worker and day the sum of all his monthly rows: every shift,
    // overtime and the hour-paid rows; the export caption ends with equal counts.
    void printAndExportSumAllRows()
    {
        TestDatabase::exec(dm(), QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, "
                                                "month, year, d5) values (1, %1, 3, 2024, 3)")
                                     .arg(m_anna));
        TestDatabase::exec(dm(),
                           QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, "
                                          "year, d5, d6) values (4, %1, 3, 2024, 2, 1)")
                               .arg(m_anna));
        TestDatabase::exec(dm(),
                           QStringLiteral("insert into accounts_dep.h_tabel(w_id, i_type, i_night, "
                                          "month, year, d5) values (%1, 7777, 1, 3, 2024, 4)")
                               .arg(m_anna));
        TestDatabase::exec(dm(), QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, "
                                                "month, year, d31) values (2, %1, 3, 2024, 8)")
                                     .arg(m_boris));
        QTemporaryDir dir;
        XlsxExport::setFolder(dir.path());
        OpenerRecorder opener;
        PreviewCapture previews(dir.path());
        window().selectMonth(3, 2024);
        window().Button6->click();
        window().Button2->click();
        XlsxExport::setFolder({});

        QCOMPARE(previews.files.size(), 1);
        const QString text = pdf::lines(previews.files.first()).join(QLatin1Char('\n'));
        QVERIFY2(text.contains(QStringLiteral("Март 2024 г.")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Анисимова А.А.")), qPrintable(text));

        QCOMPARE(window().Button2->text(), QStringLiteral("Excel (2 из 2)"));
        QCOMPARE(opener.opened.size(), 1);
        const QJsonObject book = readBack(opener.opened.first());
        QCOMPARE(cellText(book, 1, 1), QStringLiteral("Март 2024"));
        QCOMPARE(cellText(book, 1, 2), QStringLiteral("Фамилия И.О."));
        QCOMPARE(cellText(book, 33, 2), QStringLiteral("Итого"));
        QCOMPARE(cellText(book, 1, 3), QStringLiteral("Анисимова А.А."));
        QCOMPARE(cellText(book, 6, 3), QStringLiteral("9")); // day 5: 3 + 2 + 4
        QCOMPARE(cellText(book, 7, 3), QStringLiteral("1"));
        QCOMPARE(cellText(book, 5, 3), QString()); // day 4: no hours, no cell
        QCOMPARE(cellText(book, 33, 3), QStringLiteral("10"));
        QCOMPARE(cellText(book, 32, 4), QStringLiteral("8"));
        QCOMPARE(cellText(book, 1, 5), QString());
        window().FormActivate();
        QCOMPARE(window().Button2->text(), QStringLiteral("Excel"));
    }

private:
    TDataModule6 &dm() { return m_program->dataModule(); }
    TForm19 &window() { return m_program->forms().Form19; }
    static QString dayList()
    {
        QStringList days;
        for (int day = 1; day <= 31; ++day)
            days << QStringLiteral("d%1").arg(day);
        return days.join(QLatin1String(", "));
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    qint64 m_product = 0;
    QList<qint64> m_ops;
    qint64 m_anna = 0;
    qint64 m_boris = 0;
    qint64 m_vera = 0;
};

TABEL_TEST_MAIN(TestShiftTimesheet)
#include "tst_shift_timesheet.moc"
