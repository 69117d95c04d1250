#include "app/login_dialog.h"
#include "db/data_module.h"
#include "db/production_calendar.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/shift_log_links.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/version_watch.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

// The daily shift log and the login that restricts it.
class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("main_window"));
        m_dm = m_db->connect();
        Clock::set(QDateTime(m_today, QTime(10, 0)));
        m_product = seed::product(*m_dm, QStringLiteral("ТП-120"));
        const qint64 kind = seed::kind(*m_dm, QStringLiteral("Литьё"));
        m_oper = seed::operation(*m_dm, kind, m_product, 0, {10});
        m_oper2 = seed::operation(*m_dm, kind, m_product, 1, {12});
        // A Saturday worked by the year's decree, entered by the office.
        calendar::setDay(m_dm->ADO_DB, QDate(2025, 11, 1), false,
                         QStringLiteral("Перенос на 03.11"));
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // Each case gets fresh windows on a database without entries or monthly rows.
    void init()
    {
        TestDatabase::exec(
            *m_dm,
            QStringLiteral("delete from accounts_dep.smena; delete from accounts_dep.h_tabel"));
        m_watch = std::make_unique<VersionWatch>(*m_dm, BuildStamp{20240305, 0});
        m_main = std::make_unique<TForm1>(*m_dm, *m_watch, m_links);
        m_login = std::make_unique<TForm23>(*m_dm, *m_watch, *m_main);
        m_main->Timer1->stop();
        m_terminations = std::make_unique<TerminationRecorder>();
    }
    void cleanup()
    {
        // The next case logs in anew: the session leaves the last code's group.
        m_dm->ADO_DB.setProgramRole({});
        m_terminations.reset();
        m_login.reset();
        m_main.reset();
        m_watch.reset();
    }

    // Logs in with a code; the main window runs "modally" by showing it and returning at once.
    void login(const QString &code)
    {
        ModalScript modal([](QDialog &dialog) { dialog.show(); });
        m_login->Edit1->setText(code);
        m_login->Button1Click();
    }

    // Every control the roles restrict, as each code leaves it.
    void roleTable_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected"); // 1 enabled, 0 disabled, in the order of controls()
        QTest::addColumn<QString>("group");    // the database group the session acts as
        //                                         B1 B2 B3 R1 R2 R3 R4 CB B8 G  D  N2 N11 B4 B5 N7
        QTest::newRow("full 61730428") << "61730428"
                                       << "1111111111111111"
                                       << "tabel_full";
        QTest::newRow("full 9073") << " 9073 "
                                   << "1111111111111111"
                                   << "tabel_full";
        QTest::newRow("planning") << "vadrik"
                                  << "0000000000000111"
                                  << "tabel_planning";
        QTest::newRow("foremen") << "pilgrom"
                                 << "1001111111100111"
                                 << "tabel_foremen";
        QTest::newRow("warehouse") << "tumen"
                                   << "0001111111100111"
                                   << "tabel_warehouse";
    }
    void roleTable()
    {
        QFETCH(QString, code);
        QFETCH(QString, expected);
        QFETCH(QString, group);
        MessageRecorder recorder;
        login(code);
        // The program itself can do no more than the role: the session acts as its group.
        QSqlQuery session = m_dm->ADO_DB.run(QStringLiteral("select current_user, session_user"));
        QVERIFY(session.next());
        QCOMPARE(session.value(0).toString(), group);
        QCOMPARE(session.value(1).toString(), QStringLiteral("sys"));
        QVERIFY(recorder.shown.isEmpty());
        const QList<std::pair<QString, bool>> states = controls();
        QString actual;
        for (const auto &state : states)
            actual += state.second ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(actual, expected);
        QCOMPARE(m_main->ShiftNo, 1);
        for (int shift = 1; shift <= 4; ++shift)
            QCOMPARE(m_dm->shiftQuery(shift).param(QStringLiteral("ok")).toString(),
                     QStringLiteral("ta"));
    }

    // A refused code: the message, the dialog stays; then a valid code proceeds with "Табель"
    // enabled.
    void refusedThenValid()
    {
        MessageRecorder recorder;
        login(QStringLiteral("VADRIK"));
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
        QVERIFY(!m_main->N11->menuAction()->isEnabled());
        QCOMPARE(m_main->LoginText, QStringLiteral("VADRIK"));
        recorder.clear();
        login(QStringLiteral("9073"));
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(m_main->N11->menuAction()->isEnabled());
        QVERIFY(m_main->isVisible());
    }

    // The first activation shows today's entries of every shift; a weekend day ticks "Выходной".
    void activationShowsToday()
    {
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        addEntry(w, m_today, 1, 8, QStringLiteral("no"));
        addEntry(w, m_today.addDays(-1), 1, 8, QStringLiteral("no"));
        m_main->FormActivate();
        QCOMPARE(m_main->DateT->date(), m_today);
        QCOMPARE(m_dm->Smena1.recordCount(), 1);
        QVERIFY(!m_main->CBox1->isChecked()); // a Wednesday

        // Another day shown, then a modal window returns: back to today.
        m_main->DateT->setDate(m_today.addDays(-1));
        m_main->DateTChange();
        QCOMPARE(m_dm->Smena1.date(QStringLiteral("data")), m_today.addDays(-1));
        runModalFromMain();
        QCOMPARE(m_main->DateT->date(), m_today);
        QCOMPARE(m_dm->Smena1.date(QStringLiteral("data")), m_today);
    }

    // A picked day ticks "Выходной" as the production calendar has it.
    void weekendTick_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("Saturday") << QDate(2024, 3, 9) << true;
        QTest::newRow("Sunday") << QDate(2024, 3, 10) << true;
        QTest::newRow("Monday") << QDate(2024, 3, 11) << false;
        QTest::newRow("holiday on a Friday") << QDate(2024, 3, 8) << true;
        QTest::newRow("holiday on a Thursday") << QDate(2025, 6, 12) << true;
        QTest::newRow("holiday on a Monday") << QDate(2024, 11, 4) << true;
        QTest::newRow("Monday after a Sunday holiday") << QDate(2025, 2, 24) << true;
        QTest::newRow("Tuesday after it") << QDate(2025, 2, 25) << false;
        QTest::newRow("New Year holiday") << QDate(2025, 1, 8) << true;
        QTest::newRow("day after the New Year holidays") << QDate(2025, 1, 9) << false;
        QTest::newRow("Saturday worked by decree") << QDate(2025, 11, 1) << false;
    }
    void weekendTick()
    {
        QFETCH(QDate, day);
        QFETCH(bool, ticked);
        m_main->FormActivate();
        m_main->CBox1->setChecked(!ticked);
        m_main->DateT->setDate(day);
        m_main->DateTChange();
        QCOMPARE(m_main->CBox1->isChecked(), ticked);
        QCOMPARE(m_main->CBox1->font().bold(), ticked);
    }

    // A manual tick stays when activation keeps the day; a weekend visit does not leak into today.
    void dayOffTickAfterActivation()
    {
        m_main->FormActivate();
        m_main->CBox1->setChecked(true);
        runModalFromMain();
        QVERIFY(m_main->CBox1->isChecked());
        m_main->DateT->setDate(QDate(2024, 3, 9));
        m_main->DateTChange();
        QVERIFY(m_main->CBox1->isChecked());
        runModalFromMain();
        QVERIFY(!m_main->CBox1->isChecked());
    }

    // Double-click: accepted entries ("ok", "да") are withdrawn, all others accepted; the grid
    // stays on the row; the "OK" cell is green or red.
    void acceptanceToggle_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("ok withdrawn") << "ok"
                                      << "no";
        QTest::newRow("да withdrawn") << "да"
                                      << "no";
        QTest::newRow("no accepted") << "no"
                                     << "ok";
        QTest::newRow("anything else accepted") << "x"
                                                << "ok";
    }
    void acceptanceToggle()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        const qint64 a = seed::worker(*m_dm, QStringLiteral("Антонов А.А."));
        const qint64 b = seed::worker(*m_dm, QStringLiteral("Борисов Б.Б."));
        addEntry(a, m_today, 1, 4, QStringLiteral("no"));
        const qint64 id = addEntry(b, m_today, 1, 4, before);
        login(QStringLiteral("tumen"));
        m_main->FormActivate();
        m_dm->Smena1.setRecNo(2);
        QCOMPARE(cellColour(2), isAcceptedText(before) ? QColor(0, 128, 0) : QColor(255, 0, 0));
        doubleClickRow(2);
        QCOMPARE(okOf(id), after);
        QCOMPARE(m_dm->Smena1.recNo(), 2);
        QCOMPARE(m_main->DBGrid2->currentIndex().row(), 1);
        QCOMPARE(cellColour(2), isAcceptedText(after) ? QColor(0, 128, 0) : QColor(255, 0, 0));
    }

    // The foremen may not accept; the planning role's grid takes no click at all.
    void acceptanceRefused_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("foremen") << "pilgrom";
        QTest::newRow("planning") << "vadrik";
    }
    void acceptanceRefused()
    {
        QFETCH(QString, code);
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        const qint64 id = addEntry(w, m_today, 1, 4, QStringLiteral("no"));
        login(code);
        m_main->FormActivate();
        doubleClickRow(1);
        QTest::keyClick(m_main->DBGrid2, Qt::Key_Return);
        QCOMPARE(okOf(id), QStringLiteral("no"));
    }

    // "Нет" deletes nothing; "Да" deletes the entry and re-posts its day from what remains.
    void deleteEntry()
    {
        login(QStringLiteral("9073"));
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        const qint64 first = addEntry(w, m_today, 1, 3, QStringLiteral("no"));
        addEntry(w, m_today, 1, 5, QStringLiteral("no"), m_oper2);
        addEntry(w, m_today.addDays(1), 1, 6, QStringLiteral("no"));
        TestDatabase::exec(*m_dm,
                           QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, "
                                          "year, d%1, d%2) values (1, %3, %4, %5, 8, 6)")
                               .arg(m_today.day())
                               .arg(m_today.day() + 1)
                               .arg(w)
                               .arg(m_today.month())
                               .arg(m_today.year()));
        m_main->FormActivate();
        QVERIFY(m_dm->Smena1.locate(QStringLiteral("id"), first));

        MessageRecorder recorder;
        recorder.answers.enqueue(false);
        m_main->Button3->click();
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().kind, messages::Kind::Question);
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(recorder.shown.first().text, QStringLiteral("Удалить позицию из списка?"));
        QCOMPARE(m_dm->Smena1.recordCount(), 2);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, m_today), 8);

        QVERIFY(m_dm->Smena1.locate(QStringLiteral("id"), first));
        recorder.answers.enqueue(true);
        m_main->Button3->click();
        QCOMPARE(m_dm->Smena1.recordCount(), 1);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, m_today), 5);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, m_today.addDays(1)), 6);

        recorder.answers.enqueue(true);
        m_main->Button3->click();
        QCOMPARE(m_dm->Smena1.recordCount(), 0);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, m_today), -2);
        QCOMPARE(seed::dayValue(*m_dm, w, 1, m_today.addDays(1)), 6);

        // On an empty list nothing is asked.
        recorder.clear();
        m_main->Button3->click();
        QVERIFY(recorder.shown.isEmpty());
    }

    // A list read again stays on the entry the user was on, so that the next "Удалить" or
    // double-click acts on the row the user chose: after "Нет" to the delete question, after
    // "Обновить", and back on the same day (activation after an editor). One worker's entries in
    // shift 2 keep one order between reads.
    void reReadKeepsTheEntry_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("shift");
        QTest::newRow("delete answered No, shift 1") << "no" << 1;
        QTest::newRow("delete answered No, shift 2") << "no" << 2;
        QTest::newRow("refresh") << "refresh" << 2;
        QTest::newRow("back on the same day") << "activate" << 2;
    }
    void reReadKeepsTheEntry()
    {
        QFETCH(QString, action);
        QFETCH(int, shift);
        login(QStringLiteral("9073"));
        const qint64 a = seed::worker(*m_dm, QStringLiteral("Антонов А.А."));
        const qint64 b = seed::worker(*m_dm, QStringLiteral("Борисов Б.Б."));
        addEntry(a, m_today, shift, 3, QStringLiteral("no"));
        addEntry(b, m_today, shift, 4, QStringLiteral("no"));
        const qint64 chosen = addEntry(b, m_today, shift, 5, QStringLiteral("no"), m_oper2);
        m_main->FormActivate();
        if (shift == 2)
            m_main->RadioButton2->click();
        Dataset &query = m_dm->shiftQuery(shift);
        QVERIFY(query.locate(QStringLiteral("id"), chosen));
        const int row = query.recNo();
        QVERIFY(row > 1);

        MessageRecorder recorder;
        if (action == QLatin1String("no")) {
            recorder.answers.enqueue(false);
            m_main->Button3->click();
        } else if (action == QLatin1String("refresh")) {
            m_main->Button8->click();
        } else {
            m_main->FormActivate();
        }
        QCOMPARE(query.integer(QStringLiteral("id")), chosen);
        QCOMPARE(query.recNo(), row);
        QCOMPARE(m_main->DBGrid2->currentIndex().row(), row - 1);
        QCOMPARE(query.recordCount(), 3);
    }

    // The deleted entry's own day is re-posted even when the picker shows another date unconfirmed.
    void deleteRepostsTheEntrysDay()
    {
        login(QStringLiteral("9073"));
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        addEntry(w, m_today, 2, 3, QStringLiteral("no"));
        TestDatabase::exec(*m_dm, QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, "
                                                 "month, year, d%1) values (2, %2, %3, %4, 3)")
                                      .arg(m_today.day())
                                      .arg(w)
                                      .arg(m_today.month())
                                      .arg(m_today.year()));
        m_main->FormActivate();
        m_main->RadioButton2->setChecked(true);
        {
            const QSignalBlocker blocker(m_main->DateT);
            m_main->DateT->setDate(m_today.addDays(5));
        }
        MessageRecorder recorder;
        m_main->Button3->click();
        QCOMPARE(seed::dayValue(*m_dm, w, 2, m_today), -2);
    }

    // The grid always lists the day the date box shows, so a double-click acts on an entry the
    // user sees: a pick in the calendar by keyboard applies at once, a stepped or typed date after
    // a short pause; a double-click while the box shows another day than the grid only brings
    // that day up and changes nothing. Tuesday lists Карпов and Лебедев, Wednesday Антонов and
    // Борисов; the second row is double-clicked.
    void gridFollowsTheDateBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("acted"); // the double-click changed the entry it was on
        QTest::newRow("calendar, ← and Enter") << "calendar" << true;
        QTest::newRow("stepped down, pause") << "step" << true;
        QTest::newRow("typed, pause") << "type" << true;
        QTest::newRow("stepped down, double-click at once") << "step at once" << false;
    }
    void gridFollowsTheDateBox()
    {
        QFETCH(QString, how);
        QFETCH(bool, acted);
        const QDate tuesday = m_today.addDays(-1);
        QList<qint64> ids;
        for (const auto &[name, day] :
             {std::pair{"Антонов А.А.", m_today}, std::pair{"Борисов Б.Б.", m_today},
              std::pair{"Карпов К.К.", tuesday}, std::pair{"Лебедев Л.Л.", tuesday}})
            ids << addEntry(seed::worker(*m_dm, QString::fromUtf8(name)), day, 1, 4,
                            QStringLiteral("no"));
        login(QStringLiteral("tumen"));
        m_main->FormActivate();
        m_main->show();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        QDateEdit *box = m_main->DateT;
        box->setFocus(Qt::TabFocusReason);
        if (how == QLatin1String("calendar")) {
            // Opened by its arrow; picked with the keys.
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
            QWidget *calendar = box->calendarWidget();
            QTRY_VERIFY(calendar->isVisible());
            QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Left);
            QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Return);
            QVERIFY(!calendar->isVisible());
        } else if (how == QLatin1String("type")) {
            box->setSelectedSection(QDateTimeEdit::DaySection);
            QTest::keyClicks(box, QStringLiteral("05"));
        } else {
            QTest::keyClick(box, Qt::Key_Down);
        }
        QCOMPARE(box->date(), tuesday);
        if (how.endsWith(QLatin1String("pause")) || how == QLatin1String("step") ||
            how == QLatin1String("type"))
            QTRY_COMPARE(m_dm->Smena1.param(QStringLiteral("data")), QVariant(tuesday));
        const QString listed = acted ? gridText(2) : QString();
        if (acted)
            QCOMPARE(listed, QStringLiteral("Лебедев Л.Л."));
        doubleClickRow(2);
        QStringList changed;
        const QStringList names{"Антонов А.А.", "Борисов Б.Б.", "Карпов К.К.", "Лебедев Л.Л."};
        for (int i = 0; i < ids.size(); ++i) {
            if (okOf(ids.at(i)) != QLatin1String("no"))
                changed << names.at(i);
        }
        QCOMPARE(changed, acted ? QStringList{listed} : QStringList());
        QCOMPARE(m_dm->Smena1.param(QStringLiteral("data")), QVariant(tuesday));
        QCOMPARE(gridText(1), QStringLiteral("Карпов К.К."));
    }

    // The shift buttons switch the grid between the four open queries without a round trip.
    void shiftSwitch()
    {
        login(QStringLiteral("9073"));
        const qint64 w = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        addEntry(w, m_today, 1, 8, QStringLiteral("no"));
        addEntry(w, m_today, 4, 2, QStringLiteral("ok"));
        addEntry(w, m_today, 4, 1, QStringLiteral("no"), m_oper2);
        addEntry(w, m_today.addDays(-1), 4, 3, QStringLiteral("no"));
        m_main->FormActivate();
        QCOMPARE(m_main->DBGrid2->model()->rowCount(), 1);
        m_dm->ADO_DB.close(); // switching needs no statement
        m_main->RadioButton4->click();
        QCOMPARE(m_main->ShiftNo, 4);
        QCOMPARE(m_main->DBGrid2->model()->rowCount(), 2);
        QVERIFY(m_main->RadioButton4->font().bold());
        QVERIFY(!m_main->RadioButton1->font().bold());
        m_main->RadioButton1->click();
        QCOMPARE(m_main->ShiftNo, 1);
        QCOMPARE(m_main->DBGrid2->model()->rowCount(), 1);
        m_dm->ADO_DB.open();
    }

    // The grid's columns, titles and hidden bonus column.
    void gridColumns()
    {
        m_main->FormActivate();
        QAbstractItemModel *model = m_main->DBGrid2->model();
        QStringList titles;
        for (int i = 0; i < model->columnCount(); ++i)
            titles << model->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(titles,
                 (QStringList{"Фамилия И.О.", "Марка изделия", "Операция", "Вид", "Цвет", "Часы",
                              "Кол-во", "Брак", "Итого (р.)", "Премия (%)", "OK", "Заведен"}));
        QVERIFY(m_main->DBGrid2->isColumnHidden(9));
        QCOMPARE(m_main->DBGrid2->columnWidth(0), 250);
    }

private:
    QList<std::pair<QString, bool>> controls() const
    {
        TForm1 &m = *m_main;
        return {{"Button1", m.Button1->isEnabled()},
                {"Button2", m.Button2->isEnabled()},
                {"Button3", m.Button3->isEnabled()},
                {"RadioButton1", m.RadioButton1->isEnabled()},
                {"RadioButton2", m.RadioButton2->isEnabled()},
                {"RadioButton3", m.RadioButton3->isEnabled()},
                {"RadioButton4", m.RadioButton4->isEnabled()},
                {"CBox1", m.CBox1->isEnabled()},
                {"Button8", m.Button8->isEnabled()},
                {"DBGrid2", m.DBGrid2->isEnabled()},
                {"DateT", m.DateT->isEnabled()},
                {"N2", m.N2->menuAction()->isEnabled()},
                {"N11", m.N11->menuAction()->isEnabled()},
                {"Button4", m.Button4->isEnabled()},
                {"Button5", m.Button5->isEnabled()},
                {"N7", m.N7->menuAction()->isEnabled()}};
    }

    static bool isAcceptedText(const QString &ok)
    {
        return ok == QLatin1String("ok") || ok == QStringLiteral("да");
    }

    qint64 addEntry(qint64 worker, const QDate &day, int shift, int hours, const QString &ok,
                    qint64 oper = 0)
    {
        seed::Entry e{worker, m_product, oper ? oper : m_oper, day};
        e.shift = shift;
        e.hours = hours;
        e.ok = ok;
        return seed::entry(*m_dm, e);
    }

    QString okOf(qint64 id)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(id));
        query.next();
        return query.value(0).toString();
    }

    QColor cellColour(int recNo)
    {
        QAbstractItemModel *model = m_main->DBGrid2->model();
        return model->index(recNo - 1, 10).data(Qt::ForegroundRole).value<QBrush>().color();
    }

    // The worker's name the grid shows in a row.
    QString gridText(int recNo)
    {
        return m_main->DBGrid2->model()->index(recNo - 1, 0).data().toString().trimmed();
    }

    void doubleClickRow(int recNo)
    {
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        DataGrid *grid = m_main->DBGrid2;
        const QRect cell = grid->visualRect(grid->model()->index(recNo - 1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // A modal window opened from the main window returns.
    void runModalFromMain()
    {
        ModalScript modal([](QDialog &) {});
        QDialog other;
        runModal(other, m_main.get());
    }

    const QDate m_today{2024, 3, 6}; // a Wednesday
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<VersionWatch> m_watch;
    RecordedShiftLogLinks m_links;
    std::unique_ptr<TForm1> m_main;
    std::unique_ptr<TForm23> m_login;
    std::unique_ptr<TerminationRecorder> m_terminations;
    qint64 m_product = 0;
    qint64 m_oper = 0;
    qint64 m_oper2 = 0;
};

TABEL_TEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
