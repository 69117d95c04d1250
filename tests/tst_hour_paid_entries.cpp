#include "catalogues/nomenclature_groups.h"
#include "catalogues/workers.h"
#include "db/data_module.h"
#include "db/production_calendar.h"
#include "db/sql_text.h"
#include "support/recorders.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/hour_paid_writes.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"
#include "ui/lookup_combo.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>

#include <numeric>

namespace {

constexpr qint64 Household = hourpaid::HouseholdWorks;
constexpr qint64 Average = hourpaid::AveragePieceRate;
const QString Incomplete = QStringLiteral("Все поля должны быть заполнены!");
const QString NoHours = QStringLiteral("Нужно завести количество!");

// One hour-paid entry as the dialog is filled in.
struct Input
{
    qint64 worker = 0;
    qint64 group = 0;
    QString hours;
    qint64 kind = Household;
    bool night = false;
};

} // namespace

// The hour-paid entries of a day "Хоз. работы (25)" and their dialog "Хоз. работы/среднесдельная
// (24)": pricing, posting into the monthly fatigue rows, the delete rule, the input checks and the
// average piece-rate prices of a month.
class TestHourPaidEntries : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(m_wednesday, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("hour_paid_entries"));
        m_dm = m_db->connect();
        m_ivanov = seed::worker(*m_dm, QStringLiteral("Иванов И.И."));
        m_petrov = seed::worker(*m_dm, QStringLiteral("Петров П.П."));
        m_sidorov = seed::worker(*m_dm, QStringLiteral("Сидоров С.С."));
        m_blocks = group(QStringLiteral("Блоки"));
        m_bricks = group(QStringLiteral("Кирпич 'М-100'"));
        m_product = seed::product(*m_dm, QStringLiteral("ТП-120"));
        m_operation =
            seed::operation(*m_dm, seed::kind(*m_dm, QStringLiteral("Литьё")), m_product, 0, {10});
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }
    // Each case starts without entries or monthly rows, with fresh windows showing Wednesday.
    void init()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.fatigue; delete from "
                                                 "accounts_dep.h_tabel; delete from "
                                                 "accounts_dep.smena"));
        m_workerEditor = std::make_unique<TForm2>(*m_dm);
        m_workers = std::make_unique<TForm5>(*m_dm, *m_workerEditor);
        m_groups = std::make_unique<TForm26>(*m_dm);
        m_groupEditor = &m_groups->Form29();
        m_list = std::make_unique<TForm25>(*m_dm, *m_workers, *m_groups);
        m_dialog = &m_list->Form24();
        m_list->DTPcker1->setDate(m_wednesday);
        m_list->FormActivate();
    }
    void cleanup()
    {
        m_list.reset();
        m_dialog = nullptr;
        m_groupEditor = nullptr;
        m_groups.reset();
        m_workers.reset();
        m_workerEditor.reset();
        m_dm->Workers.close();
        m_dm->Workers.setFiltered(false);
        // A Saturday worked by the year's decree, entered by the office.
        calendar::setDay(m_dm->ADO_DB, QDate(2024, 4, 27), false,
                         QStringLiteral("Перенос на 29.04"));
    }

    // The price per hour: the kind's base price (150 household works, 200 average piece rate),
    // ×2 on a day off of the production calendar (the box ticked by choosing the date), then ×1.2
    // for night work. The entry
    // stores it with its flags and the list shows it; its hours reach the row of its kind and flag.
    void pricing_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<qint64>("kind");
        QTest::addColumn<bool>("night");
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("holidayMark");
        QTest::addColumn<QString>("nightMark");
        QTest::addColumn<QString>("sum");
        const QDate saturday(2024, 3, 9);
        const QDate sunday(2024, 3, 10);
        QTest::newRow("weekday, day") << m_wednesday << Household << false << 150.0 << ""
                                      << ""
                                      << "1200";
        QTest::newRow("Saturday") << saturday << Household << false << 300.0 << "+"
                                  << ""
                                  << "2400";
        QTest::newRow("weekday, night") << m_wednesday << Household << true << 180.0 << ""
                                        << "+"
                                        << "1440";
        QTest::newRow("Saturday, night") << saturday << Household << true << 360.0 << "+"
                                         << "+"
                                         << "2880";
        QTest::newRow("Sunday, night, average rate") << sunday << Average << true << 480.0 << "+"
                                                     << "+"
                                                     << "3840";
        QTest::newRow("holiday on a Friday")
            << QDate(2024, 3, 8) << Household << false << 300.0 << "+"
            << ""
            << "2400";
        QTest::newRow("Saturday worked by decree")
            << QDate(2024, 4, 27) << Household << false << 150.0 << ""
            << ""
            << "1200";
    }
    void pricing()
    {
        QFETCH(QDate, day);
        QFETCH(qint64, kind);
        QFETCH(bool, night);
        QFETCH(double, price);
        QFETCH(QString, holidayMark);
        QFETCH(QString, nightMark);
        QFETCH(QString, sum);
        MessageRecorder recorder;
        chooseDay(day);
        add({m_ivanov, m_bricks, QStringLiteral("8"), kind, night});
        QCOMPARE(recorder.texts(), QStringList());

        QSqlQuery stored = m_dm->ADO_DB.run(
            QStringLiteral("select price, cnt, id_o, id_p, id_nom, d_date, i_mnth, i_year, "
                           "i_smena, i_holiday, i_night from accounts_dep.fatigue"));
        QVERIFY(stored.next());
        QCOMPARE(stored.value(0).toDouble(), price);
        QCOMPARE(stored.value(1).toInt(), 8);
        QCOMPARE(stored.value(2).toLongLong(), kind);
        QCOMPARE(stored.value(3).toLongLong(), m_ivanov);
        QCOMPARE(stored.value(4).toLongLong(), m_bricks);
        QCOMPARE(stored.value(5).toDate(), day);
        QCOMPARE(stored.value(6).toInt(), day.month());
        QCOMPARE(stored.value(7).toInt(), day.year());
        QCOMPARE(stored.value(8).toInt(), 1);
        QCOMPARE(stored.value(9).toInt(), holidayMark.isEmpty() ? 0 : 1);
        QCOMPARE(stored.value(10).toInt(), night ? 1 : 0);
        QVERIFY(!stored.next());

        QCOMPARE(m_list->fatigue->recordCount(), 1);
        QCOMPARE(cell(0, "fio"), QStringLiteral("Иванов И.И."));
        QCOMPARE(cell(0, "s_caption"), QStringLiteral("Кирпич 'М-100'"));
        QCOMPARE(cell(0, "vid"), kind == Household ? QStringLiteral("Хоз. работы")
                                                   : QStringLiteral("Среднесдельная"));
        QCOMPARE(cell(0, "price"), QString::number(price));
        QCOMPARE(cell(0, "cnt"), QStringLiteral("8"));
        QCOMPARE(cell(0, "summ"), sum);
        QCOMPARE(cell(0, "s_holiday"), holidayMark);
        QCOMPARE(cell(0, "s_night"), nightMark);

        QCOMPARE(fatigueDay(m_ivanov, kind, night ? 1 : 0, day), 8);
        QCOMPARE(fatigueDay(m_ivanov, kind, night ? 0 : 1, day), -1);
        QCOMPARE(fatigueDay(m_ivanov, kind == Household ? Average : Household, night ? 1 : 0, day),
                 -1);
    }

    // A day's value is the sum of the entries of that worker, kind and flag: a second entry adds
    // to it; another flag, kind or worker has a row of its own; another day of the month goes into
    // the same row, one row per combination.
    void postingSumsTheDay()
    {
        MessageRecorder recorder;
        add({m_ivanov, m_blocks, QStringLiteral("5")});
        add({m_ivanov, m_bricks, QStringLiteral("3")});
        add({m_ivanov, m_blocks, QStringLiteral("2"), Household, true});
        add({m_ivanov, m_blocks, QStringLiteral("4"), Average});
        add({m_petrov, m_blocks, QStringLiteral("6")});
        const QDate thursday = m_wednesday.addDays(1);
        chooseDay(thursday);
        add({m_ivanov, m_blocks, QStringLiteral("7")});
        QCOMPARE(recorder.texts(), QStringList());

        QCOMPARE(fatigueDay(m_ivanov, Household, 0, m_wednesday), 8);
        QCOMPARE(fatigueDay(m_ivanov, Household, 0, thursday), 7);
        QCOMPARE(fatigueDay(m_ivanov, Household, 1, m_wednesday), 2);
        QCOMPARE(fatigueDay(m_ivanov, Average, 0, m_wednesday), 4);
        QCOMPARE(fatigueDay(m_petrov, Household, 0, m_wednesday), 6);
        QCOMPARE(TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from "
                                                            "accounts_dep.h_tabel")),
                 4);
        QCOMPARE(
            TestDatabase::scalar(*m_dm, QStringLiteral("select count(*) from accounts_dep.h_tabel "
                                                       "where smena<>0 or d%1 is not null")
                                            .arg(m_wednesday.day() - 1)),
            0);

        // The list of Wednesday: by name, then in the order of entry.
        chooseDay(m_wednesday);
        QCOMPARE(m_list->fatigue->recordCount(), 5);
        QStringList hours;
        for (int row = 0; row < 5; ++row)
            hours << cell(row, "fio").left(6) + cell(row, "cnt");
        QCOMPARE(hours, (QStringList{"Иванов5", "Иванов3", "Иванов2", "Иванов4", "Петров6"}));
    }

    // Changing an entry posts its new combination and re-posts the day it left, so the former
    // row keeps only the hours of the entries still there.
    void changeRepostsBoth_data()
    {
        QTest::addColumn<qint64>("worker");
        QTest::addColumn<qint64>("kind");
        QTest::addColumn<bool>("night");
        QTest::addColumn<int>("formerDay");
        QTest::newRow("hours only") << m_ivanov << Household << false << 9;
        QTest::newRow("another worker") << m_petrov << Household << false << 5;
        QTest::newRow("another kind") << m_ivanov << Average << false << 5;
        // The box is disabled when changing; the save still keeps both rows right.
        QTest::newRow("another night flag") << m_ivanov << Household << true << 5;
    }
    void changeRepostsBoth()
    {
        QFETCH(qint64, worker);
        QFETCH(qint64, kind);
        QFETCH(bool, night);
        QFETCH(int, formerDay);
        MessageRecorder recorder;
        add({m_ivanov, m_blocks, QStringLiteral("5")});
        add({m_ivanov, m_blocks, QStringLiteral("3")});
        QCOMPARE(fatigueDay(m_ivanov, Household, 0, m_wednesday), 8);

        m_list->fatigue->setRecNo(2);
        const qint64 changed = m_list->fatigue->integer(QStringLiteral("id"));
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm24")) {
                answerPicker(dialog);
                return;
            }
            QCOMPARE(m_dialog->Edit1->text(), QStringLiteral("Иванов И.И."));
            QCOMPARE(m_dialog->Edit2->text(), QStringLiteral("Блоки"));
            QCOMPARE(m_dialog->Edit6->text(), QStringLiteral("3"));
            QCOMPARE(m_dialog->cb_type_work->keyValue().value_or(0), Household);
            QVERIFY(!m_dialog->CBox1->isEnabled());
            if (worker != m_ivanov)
                pickWorker(worker);
            chooseKind(kind);
            m_dialog->CBox1->setEnabled(true);
            m_dialog->CBox1->setChecked(night);
            m_dialog->Edit6->setText(QStringLiteral("4"));
            m_dialog->Button1->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });
        m_list->Button6->click();
        QCOMPARE(recorder.texts(), QStringList());

        QCOMPARE(fatigueDay(m_ivanov, Household, 0, m_wednesday), formerDay);
        if (formerDay != 9)
            QCOMPARE(fatigueDay(worker, kind, night ? 1 : 0, m_wednesday), 4);
        QSqlQuery stored =
            m_dm->ADO_DB.run(QStringLiteral("select id_p, id_o, i_night, cnt, d_date, i_smena from "
                                            "accounts_dep.fatigue where id=%1")
                                 .arg(changed));
        QVERIFY(stored.next());
        QCOMPARE(stored.value(0).toLongLong(), worker);
        QCOMPARE(stored.value(1).toLongLong(), kind);
        QCOMPARE(stored.value(2).toInt(), night ? 1 : 0);
        QCOMPARE(stored.value(3).toInt(), 4);
        QCOMPARE(stored.value(4).toDate(), m_wednesday);
        QCOMPARE(stored.value(5).toInt(), 1);
        QCOMPARE(TestDatabase::scalar(*m_dm,
                                      QStringLiteral("select count(*) from accounts_dep.fatigue")),
                 2);
    }

    // Deleting an entry re-posts its day: empty when no entry of that worker, kind and flag is
    // left, the remaining sum otherwise (0 when they sum to 0); the row's other days stay.
    void deleteRule_data()
    {
        QTest::addColumn<QList<int>>("remaining");
        QTest::addColumn<int>("dayAfter");
        QTest::newRow("last entry of the day") << QList<int>{} << -2;
        QTest::newRow("one of two") << QList<int>{3} << 3;
        QTest::newRow("the rest sums to 0") << QList<int>{0} << 0;
    }
    void deleteRule()
    {
        QFETCH(QList<int>, remaining);
        QFETCH(int, dayAfter);
        MessageRecorder recorder;
        const QDate tuesday = m_wednesday.addDays(-1);
        chooseDay(tuesday);
        add({m_ivanov, m_blocks, QStringLiteral("7")});
        // Entries of other copies or older versions, as they are stored.
        for (int hours : remaining)
            insertEntry(m_ivanov, Household, 0, m_wednesday, hours);
        chooseDay(m_wednesday);
        add({m_ivanov, m_bricks, QStringLiteral("5")});
        QCOMPARE(fatigueDay(m_ivanov, Household, 0, m_wednesday),
                 5 + std::accumulate(remaining.begin(), remaining.end(), 0));
        QVERIFY(m_list->fatigue->locate(QStringLiteral("id_nom"), m_bricks));
        const qint64 id = m_list->fatigue->integer(QStringLiteral("id"));

        // "Нет" keeps everything.
        recorder.answers.enqueue(false);
        m_list->Button7->click();
        QCOMPARE(entryCount(), int(remaining.size()) + 2);

        m_list->Button7->click();
        QCOMPARE(recorder.shown.size(), 2);
        for (const messages::Message &message : recorder.shown) {
            QCOMPARE(message.kind, messages::Kind::Question);
            QCOMPARE(message.caption, QStringLiteral("Удаление"));
            QCOMPARE(message.text, QStringLiteral("Удалить позицию из списка?"));
        }
        QCOMPARE(
            TestDatabase::scalar(
                *m_dm,
                QStringLiteral("select count(*) from accounts_dep.fatigue where id=%1").arg(id)),
            0);
        QCOMPARE(fatigueDay(m_ivanov, Household, 0, m_wednesday), dayAfter);
        QCOMPARE(fatigueDay(m_ivanov, Household, 0, tuesday), 7);
        QCOMPARE(m_list->fatigue->recordCount(), int(remaining.size()));
    }

    // The entry and its posting land together: when the posting fails, no entry is stored (and
    // the dialog stays open); when the re-posting of a delete fails, the entry stays.
    void entryAndPostingTogether()
    {
        MessageRecorder recorder;
        const auto restore = qScopeGuard([this] { renameDayColumn(false); });
        renameDayColumn(true);
        int result = -1;
        add({m_ivanov, m_blocks, QStringLiteral("5")}, &result);
        QCOMPARE(result, 0);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
        QCOMPARE(entryCount(), 0);
        QCOMPARE(m_list->fatigue->recordCount(), 0);

        renameDayColumn(false);
        add({m_ivanov, m_blocks, QStringLiteral("5")});
        QCOMPARE(entryCount(), 1);
        renameDayColumn(true);
        recorder.clear();
        m_list->Button7->click();
        QCOMPARE(recorder.shown.size(), 2); // the question, then the error
        QCOMPARE(recorder.shown.last().kind, messages::Kind::Error);
        QCOMPARE(entryCount(), 1);
        renameDayColumn(false);
        QCOMPARE(fatigueDay(m_ivanov, Household, 0, m_wednesday), 5);
    }

    // What the save refuses, with its message; the dialog stays open and nothing is written.
    void inputChecks_data()
    {
        QTest::addColumn<bool>("withWorker");
        QTest::addColumn<bool>("withGroup");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<QString>("message");
        QTest::newRow("no worker") << false << true << "8" << Incomplete;
        QTest::newRow("no group") << true << false << "8" << Incomplete;
        QTest::newRow("nothing chosen") << false << false << "8" << Incomplete;
        QTest::newRow("empty hours") << true << true << "" << NoHours;
        QTest::newRow("zero hours") << true << true << "0" << NoHours;
        QTest::newRow("zeros") << true << true << "000" << NoHours;
        QTest::newRow("too many hours")
            << true << true << "10000"
            << QStringLiteral("Количество не может быть больше 9999 ч.!");
        QTest::newRow("far too many hours")
            << true << true << "9999999999"
            << QStringLiteral("Количество не может быть больше 9999 ч.!");
    }
    void inputChecks()
    {
        QFETCH(bool, withWorker);
        QFETCH(bool, withGroup);
        QFETCH(QString, hours);
        QFETCH(QString, message);
        MessageRecorder recorder;
        int result = -1;
        add({withWorker ? m_ivanov : 0, withGroup ? m_blocks : 0, hours}, &result);
        QCOMPARE(result, 0);
        QCOMPARE(recorder.texts(), QStringList{message});
        QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(entryCount(), 0);
        QCOMPARE(TestDatabase::scalar(*m_dm,
                                      QStringLiteral("select count(*) from accounts_dep.h_tabel")),
                 0);
    }

    // The hours box takes digits only, no more than an integer column holds; pasted text too.
    void hoursBox_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("digits") << "12"
                                << "12";
        QTest::newRow("letters") << "12a"
                                 << "";
        QTest::newRow("minus sign") << "-1"
                                    << "";
        QTest::newRow("decimal") << "1,5"
                                 << "";
        QTest::newRow("cut to ten digits") << "123456789012"
                                           << "1234567890";
    }
    void hoursBox()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        m_dialog->Edit6->clear();
        QApplication::clipboard()->setText(pasted);
        m_dialog->Edit6->paste();
        QCOMPARE(m_dialog->Edit6->text(), kept);
    }

    // "Сумма" shows the typed hours at the price the save will store, as the user types, ticks
    // "Ночные" or picks another kind; "Цена" shows the kind's base price.
    void sumFollowsTyping()
    {
        QStringList shown;
        const auto look = [&] {
            shown << m_dialog->DBEdit1->text() + QStringLiteral(" / ") + m_dialog->DBEdit2->text();
        };
        ModalScript modal([&](QDialog &) {
            look(); // "0" on opening
            m_dialog->Edit6->selectAll();
            typeText(m_dialog->Edit6, QStringLiteral("1"));
            look();
            typeText(m_dialog->Edit6, QStringLiteral("2"));
            look();
            m_dialog->CBox1->click();
            look();
            chooseKind(Average);
            look();
            QTest::keyClick(m_dialog->Edit6, Qt::Key_Backspace);
            look();
            QTest::keyClick(m_dialog->Edit6, Qt::Key_Backspace);
            look();
        });
        m_list->Button5->click();
        QCOMPARE(shown, (QStringList{"150 / 0", "150 / 150", "150 / 1800", "150 / 2160",
                                     "200 / 2880", "200 / 240", "200 / 0"}));

        // On a day off the sum is doubled; a changed entry shows its stored hours at once.
        shown.clear();
        chooseDay(QDate(2024, 3, 9));
        ModalScript dayOff([&](QDialog &) {
            m_dialog->Edit6->selectAll();
            typeText(m_dialog->Edit6, QStringLiteral("3"));
            look();
            m_dialog->CBox1->click();
            look();
        });
        m_list->Button5->click();
        QCOMPARE(shown, (QStringList{"150 / 900", "150 / 1080"}));

        shown.clear();
        add({m_ivanov, m_blocks, QStringLiteral("7"), Average, true});
        ModalScript change([&](QDialog &) { look(); });
        m_list->Button6->click();
        QCOMPARE(shown, QStringList{"200 / 3360"});
    }

    // The work kinds are listed once each, at the lowest price of their norms, however many
    // operations and norms they have; the day list shows each entry once as well.
    void workKindsOnce()
    {
        const auto restore = qScopeGuard([this] {
            TestDatabase::exec(
                *m_dm, QStringLiteral("delete from accounts_dep.oper where i_id=7777 and id not "
                                      "in (select min(id) from accounts_dep.oper where i_id=7777 "
                                      "group by vid); delete from accounts_dep.norm where "
                                      "price=170"));
        });
        const qint64 householdOperation = TestDatabase::scalar(
            *m_dm, QStringLiteral("select min(id) from accounts_dep.oper where vid=7777"));
        TestDatabase::exec(*m_dm, QStringLiteral("insert into accounts_dep.norm(o_id, norma, "
                                                 "prize, price) values (%1, 2, 0, 170)")
                                      .arg(householdOperation));
        seed::operation(*m_dm, Average, 7777, 0, {190, 230});
        seed::operation(*m_dm, Household, 7777, 0, {175});

        QStringList kinds;
        QStringList prices;
        ModalScript modal([&](QDialog &) {
            for (int i = 0; i < m_dialog->cb_type_work->count(); ++i)
                kinds << m_dialog->cb_type_work->itemText(i);
            prices << m_dialog->DBEdit1->text();
            chooseKind(Average);
            prices << m_dialog->DBEdit1->text();
        });
        m_list->Button5->click();
        QCOMPARE(kinds, (QStringList{"Хоз. работы", "Среднесдельная"}));
        QCOMPARE(prices, (QStringList{"150", "190"}));

        add({m_ivanov, m_blocks, QStringLiteral("2"), Average});
        QCOMPARE(m_list->fatigue->recordCount(), 1);
        QCOMPARE(cell(0, "price"), QStringLiteral("190"));
    }

    // Choosing another date ticks "Выходной" on Saturdays and Sundays and unticks it otherwise,
    // and shows that day's entries; opening the list on another day than the one it showed last
    // does the same, and a tick set by hand stays while the day does not change.
    void dateChangeTicksDayOff()
    {
        const QDate saturday(2024, 3, 9);
        const QDate sunday(2024, 3, 10);
        const QDate monday(2024, 3, 11);
        insertEntry(m_ivanov, Household, 0, saturday, 1);
        insertEntry(m_ivanov, Household, 0, sunday, 2);
        insertEntry(m_petrov, Household, 0, sunday, 3);

        QList<bool> ticks;
        QList<int> rows;
        const auto look = [&] {
            ticks << m_list->CBox1->isChecked();
            rows << m_list->fatigue->recordCount();
        };
        ModalScript modal([&](QDialog &dialog) {
            QCOMPARE(dialog.objectName(), QStringLiteral("TForm25"));
            look(); // opened on a Saturday
            m_list->DTPcker1->setDate(sunday);
            QTest::keyClick(m_list->DTPcker1, Qt::Key_Return);
            look();
            QVERIFY(m_list->CBox1->font().bold());
            QVERIFY(m_list->CBox1->styleSheet().contains(QStringLiteral("#ff0000")));
            Q_EMIT m_list->DTPcker1->calendarWidget()->clicked(monday);
            QCOMPARE(m_list->DTPcker1->date(), monday);
            look();
            QVERIFY(!m_list->CBox1->font().bold());
            QCOMPARE(m_list->CBox1->styleSheet(), QString());
        });
        m_list->showForDay(saturday, nullptr);
        QCOMPARE(ticks, (QList<bool>{true, true, false}));
        QCOMPARE(rows, (QList<int>{1, 2, 0}));

        // A tick set by hand stays when the list opens again on the day it showed last.
        m_list->CBox1->setChecked(true);
        ticks.clear();
        rows.clear();
        ModalScript again([&](QDialog &) { look(); });
        m_list->showForDay(monday, nullptr);
        m_list->showForDay(m_wednesday, nullptr);
        QCOMPARE(ticks, (QList<bool>{true, false}));
        QCOMPARE(rows, (QList<int>{0, 0}));
    }

    // The list moved to a Saturday and closed, then opened on a Thursday: the tick of the
    // Saturday does not stay, and a one-hour household entry is priced ×1.
    void weekendVisitThenWeekday()
    {
        const QDate saturday(2024, 3, 9);
        const QDate thursday(2024, 3, 7);
        QList<bool> ticks;
        ModalScript visit([&](QDialog &) {
            chooseDay(saturday);
            ticks << m_list->CBox1->isChecked();
        });
        m_list->showForDay(m_wednesday, nullptr);
        ModalScript again([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm25")) {
                ticks << m_list->CBox1->isChecked();
                add({m_ivanov, m_blocks, QStringLiteral("1")});
            } else {
                answerPicker(dialog);
            }
        });
        m_list->showForDay(thursday, nullptr);
        QCOMPARE(ticks, (QList<bool>{true, false}));
        QCOMPARE(TestDatabase::scalar(
                     *m_dm, QStringLiteral("select count(*) from accounts_dep.fatigue where "
                                           "d_date='2024-03-07' and price=150 and i_holiday=0")),
                 1);
    }

    // The list always shows the day its date box shows, so a double-click opens an entry the
    // user sees: a pick in the calendar by keyboard applies at once, a stepped date after a short
    // pause; a double-click while the box shows another day only brings that day up. Tuesday
    // lists Иванов and Сидоров, Wednesday Иванов and Петров; the second row is double-clicked.
    void listFollowsTheDateBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("opened"); // the worker of the entry the dialog opened on
        QTest::newRow("calendar, ← and Enter") << "calendar"
                                               << "Сидоров С.С.";
        QTest::newRow("stepped down, pause") << "step"
                                             << "Сидоров С.С.";
        QTest::newRow("stepped down, double-click at once") << "step at once"
                                                            << "";
    }
    void listFollowsTheDateBox()
    {
        QFETCH(QString, how);
        QFETCH(QString, opened);
        const QDate tuesday = m_wednesday.addDays(-1);
        insertEntry(m_ivanov, Household, 0, m_wednesday, 1);
        insertEntry(m_petrov, Household, 0, m_wednesday, 2);
        insertEntry(m_ivanov, Household, 0, tuesday, 3);
        insertEntry(m_sidorov, Household, 0, tuesday, 4);
        m_list->FormActivate();
        m_list->show();
        QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
        QDateEdit *box = m_list->DTPcker1;
        box->setFocus(Qt::TabFocusReason);
        if (how == QLatin1String("calendar")) {
            // Opened by its arrow; picked with the keys.
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
            QTRY_VERIFY(box->calendarWidget()->isVisible());
            QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Left);
            QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Return);
        } else {
            box->setSelectedSection(QDateTimeEdit::DaySection);
            QTest::keyClick(box, Qt::Key_Down);
        }
        QCOMPARE(box->date(), tuesday);
        if (how == QLatin1String("step"))
            QTRY_COMPARE(m_list->fatigue->param(QStringLiteral("d_date")), QVariant(tuesday));
        if (!opened.isEmpty())
            QCOMPARE(cell(1, "fio"), opened);
        QStringList workers;
        ModalScript modal([&](QDialog &) { workers << m_dialog->Edit1->text(); });
        const QRect row = m_list->DBGrid1->visualRect(m_list->DBGrid1->model()->index(1, 0));
        QTest::mouseClick(m_list->DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(m_list->DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(workers, opened.isEmpty() ? QStringList() : QStringList{opened});
        QCOMPARE(m_list->fatigue->param(QStringLiteral("d_date")), QVariant(tuesday));
        m_list->hide();
    }

    // "Изменить" and "Удалить" on an empty day do nothing.
    void emptyListCommands()
    {
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &) {});
        m_list->Button6->click();
        m_list->Button7->click();
        QCOMPARE(modal.opened, QList<QString>());
        QCOMPARE(recorder.texts(), QStringList());
    }

    // "Расчитать ср.сд.": every average piece-rate entry of the list's month gets its worker's
    // piece-work money of the month per hour worked, raised by 100 % for a holiday entry and 20 %
    // for a night entry (2.2 for both), to two decimals; 0 without hours. Other kinds and months
    // stay as they are.
    void averagePieceRate_data()
    {
        QTest::addColumn<QDate>("listDay");
        QTest::newRow("December") << QDate(2023, 12, 15);
        QTest::newRow("February of a leap year") << QDate(2024, 2, 10);
    }
    void averagePieceRate()
    {
        QFETCH(QDate, listDay);
        const QDate first(listDay.year(), listDay.month(), 1);
        const QDate last = first.addMonths(1).addDays(-1);
        // Ivanov's month: 9 good pieces at 3.5 in 4 hours and 8 at 2 in 3 hours, i.e. 47.5 in 7
        // hours; the days around the month do not count.
        shiftEntry(m_ivanov, first, 10, 1, 3.5, 4);
        shiftEntry(m_ivanov, last, 8, 0, 2, 3);
        shiftEntry(m_ivanov, first.addDays(-1), 100, 0, 100, 1);
        shiftEntry(m_ivanov, last.addDays(1), 100, 0, 100, 1);
        // Sidorov has entries without hours; Petrov none at all.
        shiftEntry(m_sidorov, first.addDays(4), 5, 0, 10, 0);

        const qint64 plain = insertEntry(m_ivanov, Average, 0, listDay, 2, 0, 99);
        const qint64 holiday = insertEntry(m_ivanov, Average, 0, first, 1, 1, 99);
        const qint64 night = insertEntry(m_ivanov, Average, 1, last, 1, 0, 99);
        const qint64 both = insertEntry(m_ivanov, Average, 1, listDay, 3, 1, 99);
        const qint64 petrov = insertEntry(m_petrov, Average, 0, listDay, 4, 0, 123);
        const qint64 sidorov = insertEntry(m_sidorov, Average, 0, listDay, 4, 0, 123);
        const qint64 household = insertEntry(m_ivanov, Household, 0, listDay, 5, 0, 150);
        const qint64 before = insertEntry(m_ivanov, Average, 0, first.addDays(-1), 1, 0, 77);
        const qint64 after = insertEntry(m_ivanov, Average, 0, last.addDays(1), 1, 0, 88);

        const QString monthlyRows = QStringLiteral("select count(*) from accounts_dep.h_tabel");
        const qint64 rowsBefore = TestDatabase::scalar(*m_dm, monthlyRows);
        chooseDay(listDay);
        m_list->fatigue->setRecNo(3);
        MessageRecorder recorder;
        m_list->Button1->click();
        QCOMPARE(recorder.texts(), QStringList());

        QCOMPARE(priceOf(plain), 6.79);    // 47.5 / 7
        QCOMPARE(priceOf(holiday), 13.57); // 95 / 7
        QCOMPARE(priceOf(night), 8.14);    // 57 / 7
        QCOMPARE(priceOf(both), 14.93);    // 104.5 / 7
        QCOMPARE(priceOf(petrov), 0.0);
        QCOMPARE(priceOf(sidorov), 0.0);
        QCOMPARE(priceOf(household), 150.0);
        QCOMPARE(priceOf(before), 77.0);
        QCOMPARE(priceOf(after), 88.0);
        // New prices change no hours: no monthly row is written.
        QCOMPARE(TestDatabase::scalar(*m_dm, monthlyRows), rowsBefore);

        // The list shows the new prices and stays on its row.
        QCOMPARE(m_list->fatigue->recNo(), 3);
        QStringList shown;
        for (int row = 0; row < m_list->fatigue->recordCount(); ++row)
            shown << cell(row, "fio").left(6) + QLatin1Char(' ') + cell(row, "price") +
                         QLatin1Char(' ') + cell(row, "summ");
        QCOMPARE(shown, (QStringList{"Иванов 6,79 13,58", "Иванов 14,93 44,79", "Иванов 150 750",
                                     "Петров 0 0", "Сидоро 0 0"}));
    }

private:
    qint64 group(const QString &caption)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("insert into cmn_classifier.item(s_caption) values (%1) returning id")
                .arg(sql::quote(caption)));
        query.next();
        return query.value(0).toLongLong();
    }

    // An entry stored as another copy would store it (no posting).
    qint64 insertEntry(qint64 worker, qint64 kind, int night, const QDate &day, int hours,
                       int holiday = 0, double price = 150)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, "
                           "i_year, i_smena, cnt, price, i_holiday, i_night) values (%1, %2, %3, "
                           "%4, %5, %6, 1, %7, %8, %9, %10) returning id")
                .arg(m_blocks)
                .arg(kind)
                .arg(worker)
                .arg(sql::toDate(day))
                .arg(day.month())
                .arg(day.year())
                .arg(hours)
                .arg(sql::decimal(price))
                .arg(holiday)
                .arg(night));
        query.next();
        return query.value(0).toLongLong();
    }

    void shiftEntry(qint64 worker, const QDate &day, int pieces, int rejects, double price,
                    int hours)
    {
        seed::Entry entry{worker, m_product, m_operation, day};
        entry.pieces = pieces;
        entry.rejects = rejects;
        entry.price = price;
        entry.hours = hours;
        seed::entry(*m_dm, entry);
    }

    double priceOf(qint64 entry)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("select price from accounts_dep.fatigue where id=%1").arg(entry));
        return query.next() ? query.value(0).toDouble() : -1;
    }

    int entryCount()
    {
        return int(TestDatabase::scalar(
            *m_dm, QStringLiteral("select count(*) from accounts_dep.fatigue")));
    }

    // The day value of a fatigue row: -1 when the row is missing, -2 when the day is empty.
    int fatigueDay(qint64 worker, qint64 kind, int night, const QDate &day)
    {
        QSqlQuery query = m_dm->ADO_DB.run(
            QStringLiteral("select %1 from accounts_dep.h_tabel where w_id=%2 and smena=0 and "
                           "i_type=%3 and i_night=%4 and month=%5 and year=%6")
                .arg(sql::dayColumn(day.day()))
                .arg(worker)
                .arg(kind)
                .arg(night)
                .arg(day.month())
                .arg(day.year()));
        if (!query.next())
            return -1;
        return query.value(0).isNull() ? -2 : query.value(0).toInt();
    }

    void renameDayColumn(bool away)
    {
        const QString column = sql::dayColumn(m_wednesday.day());
        const bool present = TestDatabase::scalar(
            *m_dm, QStringLiteral("select count(*) from information_schema.columns where "
                                  "table_schema='accounts_dep' and table_name='h_tabel' and "
                                  "column_name='%1'")
                       .arg(column));
        if (away && present)
            TestDatabase::exec(*m_dm,
                               QStringLiteral("alter table accounts_dep.h_tabel rename column %1 "
                                              "to gone")
                                   .arg(column));
        else if (!away && !present)
            TestDatabase::exec(*m_dm,
                               QStringLiteral("alter table accounts_dep.h_tabel rename column gone "
                                              "to %1")
                                   .arg(column));
    }

    // The list's date chosen as a user chooses it (Enter in the date box).
    void chooseDay(const QDate &day)
    {
        m_list->DTPcker1->setDate(day);
        QTest::keyClick(m_list->DTPcker1, Qt::Key_Return);
        QCOMPARE(m_list->CBox1->isChecked(), calendar::isDayOff(m_dm->ADO_DB, day));
    }

    QString cell(int row, const char *field) const
    {
        const DatasetModel *model = m_list->DBGrid1->gridModel();
        return model->index(row, model->columnOfField(QLatin1String(field))).data().toString();
    }

    // The kind chosen in the drop-down list as a user chooses it.
    void chooseKind(qint64 kind)
    {
        const int index = m_dialog->cb_type_work->findData(kind);
        QVERIFY(index >= 0);
        m_dialog->cb_type_work->setCurrentIndex(index);
        Q_EMIT m_dialog->cb_type_work->activated(index);
    }

    void pickWorker(qint64 worker)
    {
        m_wanted = worker;
        m_dialog->Button3->click();
    }
    void pickGroup(qint64 group)
    {
        m_wanted = group;
        m_dialog->Button4->click();
    }
    // The worker list or the group list, shown as a picker: chooses the wanted row.
    void answerPicker(QDialog &dialog)
    {
        if (dialog.objectName() == QLatin1String("TForm5")) {
            QVERIFY(m_dm->Workers.locate(QStringLiteral("id"), m_wanted));
            m_workers->Button2->click();
        } else if (dialog.objectName() == QLatin1String("TForm26")) {
            QVERIFY(m_groups->item.locate(QStringLiteral("id"), m_wanted));
            m_groups->Button3->click();
        } else {
            QFAIL(qPrintable(QStringLiteral("unexpected window ") + dialog.objectName()));
        }
    }

    // "Добавить", the dialog filled in and "Записать" pressed; the dialog's result goes to result.
    void add(const Input &input, int *result = nullptr)
    {
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm24")) {
                answerPicker(dialog);
                return;
            }
            QCOMPARE(m_dialog->Edit6->text(), QStringLiteral("0"));
            QVERIFY(m_dialog->CBox1->isEnabled());
            QVERIFY(!m_dialog->CBox1->isChecked());
            QCOMPARE(m_dialog->cb_type_work->keyValue().value_or(0), Household);
            if (input.worker)
                pickWorker(input.worker);
            if (input.group)
                pickGroup(input.group);
            if (input.kind != Household)
                chooseKind(input.kind);
            m_dialog->CBox1->setChecked(input.night);
            m_dialog->Edit6->setText(input.hours);
            m_dialog->Button1->click();
            if (result)
                *result = dialog.result();
        });
        m_list->Button5->click();
        QVERIFY(!m_dialog->type_work->isOpen());
    }

    const QDate m_wednesday{2024, 3, 6};
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm2> m_workerEditor;
    std::unique_ptr<TForm5> m_workers;
    std::unique_ptr<TForm26> m_groups;
    TForm29 *m_groupEditor = nullptr;
    TForm24 *m_dialog = nullptr;
    std::unique_ptr<TForm25> m_list;
    qint64 m_ivanov = 0;
    qint64 m_petrov = 0;
    qint64 m_sidorov = 0;
    qint64 m_blocks = 0;
    qint64 m_bricks = 0;
    qint64 m_product = 0;
    qint64 m_operation = 0;
    qint64 m_wanted = 0;
};

TABEL_TEST_MAIN(TestHourPaidEntries)
#include "tst_hour_paid_entries.moc"
