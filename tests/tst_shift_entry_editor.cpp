#include "app/startup.h"
#include "catalogues/operation_prices.h"
#include "catalogues/workers.h"
#include "db/data_module.h"
#include "db/production_calendar.h"
#include "shiftlog/piece_price.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

// The shift entry editor: picking, pricing, checking, saving and posting one entry.
class TestShiftEntryEditor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("shift_entry_editor"));
        Clock::set(QDateTime(m_today, QTime(9, 0)));
        auto dm = m_db->connect();
        m_worker = seed::worker(*dm, QStringLiteral("Иванов И.И."));
        m_worker2 = seed::worker(*dm, QStringLiteral("Петров П.П."));
        m_product = seed::product(*dm, QStringLiteral("ТП-120 белый"));
        m_plain =
            seed::operation(*dm, seed::kind(*dm, QStringLiteral("Литьё")), m_product, 0, {12, 10});
        m_paint = seed::operation(*dm, seed::kind(*dm, QStringLiteral("Окраска краска")), m_product,
                                  1, {20});
        m_odd = seed::operation(*dm, seed::kind(*dm, QStringLiteral("Шлифовка")), m_product, 0,
                                {12.3456789});
        // The decree of the year moved the day off of Monday 29 April onto Saturday 27 April.
        calendar::setDay(dm->ADO_DB, QDate(2024, 4, 27), false, QStringLiteral("Перенос на 29.04"));
        calendar::setDay(dm->ADO_DB, QDate(2024, 4, 29), true, QStringLiteral("Перенос с 27.04"));
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
        main().applyRole(Role::Full);
        for (int shift = 1; shift <= 4; ++shift)
            dm().shiftQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        main().ShiftNo = 1;
        main().FormActivate();
    }
    void cleanup() { m_program.reset(); }

    // The price of a piece: the lowest norm price, ×2 on a day off, then ×1.2 in the third shift
    // or ×1.5 in overtime.
    void piecePrice_data()
    {
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<double>("price");
        QTest::newRow("shift 1") << 1 << false << 10.0;
        QTest::newRow("shift 2") << 2 << false << 10.0;
        QTest::newRow("shift 3") << 3 << false << 12.0;
        QTest::newRow("overtime") << 4 << false << 15.0;
        QTest::newRow("day off") << 1 << true << 20.0;
        QTest::newRow("day off, shift 3") << 3 << true << 24.0;
        QTest::newRow("day off, overtime") << 4 << true << 30.0;
    }
    void piecePrice()
    {
        QFETCH(int, shift);
        QFETCH(bool, dayOff);
        QFETCH(double, price);
        selectShift(shift);
        main().CBox1->setChecked(dayOff);
        addEntry(m_worker, m_plain, QStringLiteral("5"), QStringLiteral("8"));
        QCOMPARE(stored(QStringLiteral("cena")).toDouble(), price);
        QCOMPARE(stored(QStringLiteral("smena")).toInt(), shift);
        QCOMPARE(stored(QStringLiteral("ok")).toString(), QStringLiteral("no"));
        QCOMPARE(stored(QStringLiteral("color")).toInt(), 0);
        QCOMPARE(stored(QStringLiteral("vvod")).toDate(), m_today);
        QCOMPARE(seed::dayValue(dm(), m_worker, shift, m_today), 8);
    }

    // The day-off raise follows the entry's own day: on the day the shift log lists, its
    // "Выходной" tick decides (set by hand or by the calendar); on any other date that date's own
    // status in the production calendar (a holiday, a moved day off, a worked Saturday, else
    // Saturday or Sunday). The price follows a change of the date; a changed entry keeps its
    // stored price until its date changes. The operation's base price is 10.
    void dayOffOfTheEntrysDay_data()
    {
        QTest::addColumn<QDate>("mainDay");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QDate>("entryDay");
        QTest::addColumn<bool>("change");
        QTest::addColumn<double>("factor");
        const QDate wednesday = m_today;
        const QDate thursday(2024, 3, 7);
        const QDate friday(2024, 3, 1);
        const QDate holiday(2024, 3, 8);         // a Friday
        const QDate workedSaturday(2024, 4, 27); // by the decree entered above
        const QDate movedDayOff(2024, 4, 29);    // a Monday, by the same decree
        const QDate afterHoliday(2024, 11, 5);   // the Tuesday after 4 November
        const QDate saturday(2024, 3, 9);
        const QDate sunday(2024, 3, 10);
        QTest::newRow("weekday") << wednesday << false << wednesday << false << 1.0;
        QTest::newRow("weekday ticked by hand") << wednesday << true << wednesday << false << 2.0;
        QTest::newRow("Saturday unticked by hand") << saturday << false << saturday << false << 1.0;
        QTest::newRow("Saturday") << saturday << true << saturday << false << 2.0;
        QTest::newRow("weekday, entry on Saturday")
            << wednesday << false << saturday << false << 2.0;
        QTest::newRow("weekday ticked, entry on Sunday")
            << wednesday << true << sunday << false << 2.0;
        QTest::newRow("weekday ticked, entry on Thursday")
            << wednesday << true << thursday << false << 1.0;
        QTest::newRow("Saturday, entry on Friday") << saturday << true << friday << false << 1.0;
        QTest::newRow("Saturday unticked, entry on Sunday")
            << saturday << false << sunday << false << 2.0;
        QTest::newRow("changed entry moved to Saturday")
            << wednesday << false << saturday << true << 2.0;
        QTest::newRow("changed entry moved to Friday") << saturday << true << friday << true << 1.0;
        QTest::newRow("weekday, entry on a holiday")
            << wednesday << false << holiday << false << 2.0;
        QTest::newRow("holiday shown, unticked by hand")
            << holiday << false << holiday << false << 1.0;
        QTest::newRow("weekday, entry on a worked Saturday")
            << wednesday << false << workedSaturday << false << 1.0;
        QTest::newRow("weekday, entry on a moved day off")
            << wednesday << false << movedDayOff << false << 2.0;
        QTest::newRow("weekday ticked, entry on the day after a holiday")
            << wednesday << true << afterHoliday << false << 1.0;
        QTest::newRow("changed entry moved to a holiday")
            << wednesday << false << holiday << true << 2.0;
    }
    void dayOffOfTheEntrysDay()
    {
        QFETCH(QDate, mainDay);
        QFETCH(bool, tick);
        QFETCH(QDate, entryDay);
        QFETCH(bool, change);
        QFETCH(double, factor);
        if (change) {
            seed::Entry entry{m_worker, m_product, m_plain, mainDay};
            entry.price = 10.5; // as stored by an earlier price list
            seed::entry(dm(), entry);
        }
        main().DateT->setDate(mainDay);
        main().DateTChange();
        main().CBox1->setChecked(tick);
        QStringList prices;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            if (!change) {
                pickWorker(m_worker);
                editor().Edit3->setText(QStringLiteral("3"));
                pickOperation(m_plain);
            }
            prices << editor().Edit7->text();
            editor().DTimeP->setDate(entryDay);
            prices << editor().Edit7->text() << editor().Edit9->text();
            editor().Button1->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });
        (change ? main().Button2 : main().Button1)->click();
        const QString before = change ? QStringLiteral("10,5")
                               : tick ? QStringLiteral("20")
                                      : QStringLiteral("10");
        QCOMPARE(prices, (QStringList{before, pricing::priceText(10 * factor),
                                      pricing::priceText(10 * factor * (change ? 10 : 3))}));
        QCOMPARE(stored(QStringLiteral("cena")).toDouble(), 10 * factor);
        QCOMPARE(stored(QStringLiteral("data")).toDate(), entryDay);
    }

    // The editor shows which shift the entry goes to.
    void shiftShown_data()
    {
        QTest::addColumn<int>("shift");
        QTest::addColumn<QString>("shown");
        QTest::newRow("shift 1") << 1 << QStringLiteral("Смена №1");
        QTest::newRow("shift 2") << 2 << QStringLiteral("Смена №2");
        QTest::newRow("shift 3") << 3 << QStringLiteral("Смена №3");
        QTest::newRow("overtime") << 4 << QStringLiteral("Переработка");
    }
    void shiftShown()
    {
        QFETCH(int, shift);
        QFETCH(QString, shown);
        seed::entry(dm(), {m_worker, m_product, m_plain, m_today, shift});
        selectShift(shift);
        main().FormActivate();
        QStringList labels;
        ModalScript modal([&](QDialog &) {
            labels << editor().ShiftLabel->text();
            editor().Button2->click();
        });
        main().Button1->click();
        main().Button2->click();
        QCOMPARE(labels, (QStringList{shown, shown}));
    }

    // The price boxes after a pick: 4 decimals, the user's separator; the stored price has them
    // too.
    void priceDisplays()
    {
        QStringList shown;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm11")) {
                dialog.show();
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
                editor().Button4->click();
                editor().Edit3->setText(QStringLiteral("3"));
                editor().Edit3->setFocus();
                editor().Edit6->setFocus(); // leaving the pieces box
                shown << editor().Edit8->text() << editor().Edit7->text() << editor().Edit9->text();
                pickWorker(m_worker);
                editor().Edit6->setText(QStringLiteral("2"));
                editor().Button1->click();
            } else if (dialog.objectName() == QLatin1String("TForm4")) {
                QVERIFY(dm().Oper.locate(QStringLiteral("id"), m_odd));
                operationList().Button2->click();
            } else {
                chooseWorker(dialog);
            }
        });
        main().Button1->click();
        QCOMPARE(shown, (QStringList{"12,3457", "12,3457", "37,037"}));
        QCOMPARE(stored(QStringLiteral("cena")).toDouble(), 12.3457);
        QCOMPARE(pricing::priceText(12.5), QStringLiteral("12,5"));
    }

    // A paint operation needs a colour; any other stores 0 with the colour box disabled.
    void colourRules()
    {
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm11")) {
                pickWorker(m_worker);
                pickOperation(m_paint);
                QVERIFY(editor().Edit5->isEnabled());
                editor().Edit3->setText(QStringLiteral("4"));
                editor().Edit6->setText(QStringLiteral("1"));
                editor().Button1->click(); // no colour: refused
                QCOMPARE(dialog.result(), 0);
                editor().Edit5->setText(QStringLiteral("9010"));
                editor().Button1->click();
            } else {
                handlePickers(dialog);
            }
        });
        main().Button1->click();
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
        QCOMPARE(stored(QStringLiteral("color")).toInt(), 9010);

        ModalScript plain([&](QDialog &dialog) {
            if (dialog.objectName() == QLatin1String("TForm11")) {
                pickWorker(m_worker2);
                pickOperation(m_plain);
                QVERIFY(!editor().Edit5->isEnabled());
                QCOMPARE(editor().Edit5->text(), QString());
                editor().Edit3->setText(QStringLiteral("4"));
                editor().Button1->click();
            } else {
                handlePickers(dialog);
            }
        });
        main().Button1->click();
        QCOMPARE(TestDatabase::scalar(
                     dm(), QStringLiteral("select color from accounts_dep.smena where w_id=%1")
                               .arg(m_worker2)),
                 0);
    }

    // The same work twice is refused; in another colour it is a separate entry; a changed entry is
    // not counted against itself.
    void duplicates()
    {
        MessageRecorder recorder;
        addEntry(m_worker, m_paint, QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("1"));
        addEntry(m_worker, m_paint, QStringLiteral("6"), QStringLiteral("3"), QStringLiteral("2"));
        QVERIFY(recorder.shown.isEmpty());
        addEntry(m_worker, m_paint, QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("1"));
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral("Позиция с такими параметрами уже заведена!")});
        QCOMPARE(
            TestDatabase::scalar(dm(), QStringLiteral("select count(*) from accounts_dep.smena")),
            2);

        recorder.clear();
        main().FormActivate();
        ModalScript change([&](QDialog &) {
            QCOMPARE(editor().windowTitle(), QStringLiteral("Изменение данных о позиции (11)"));
            editor().Edit3->setText(QStringLiteral("50"));
            editor().Button1->click();
        });
        main().Button2->click();
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(
            TestDatabase::scalar(
                dm(), QStringLiteral("select count(*) from accounts_dep.smena where kol_vo=50")),
            1);
    }

    // Empty boxes: leaving pieces or hours empty puts 0 in; Enter with an empty box is refused.
    void emptyBoxes()
    {
        MessageRecorder recorder;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            pickWorker(m_worker);
            pickOperation(m_plain);
            editor().Edit6->clear();
            editor().Edit6->setFocus();
            editor().Edit3->setFocus();
            QCOMPARE(editor().Edit6->text(), QStringLiteral("0"));
            editor().Edit3->clear();
            QTest::keyClick(editor().Edit3, Qt::Key_Return);
            QCOMPARE(dialog.result(), 0);
            QCOMPARE(recorder.texts(),
                     QStringList{QStringLiteral("Все поля должны быть заполнены!")});
            // Rejects above pieces and zero hours are accepted.
            editor().Edit3->setText(QStringLiteral("2"));
            editor().Edit4->setText(QStringLiteral("5"));
            QTest::keyClick(editor().Edit3, Qt::Key_Return);
            dialog.hide();
        });
        main().Button1->click();
        QCOMPARE(stored(QStringLiteral("brak")).toInt(), 5);
        QCOMPARE(seed::dayValue(dm(), m_worker, 1, m_today), 0);
    }

    // The number boxes take digits only, no more than the column holds; pasted text too.
    void digitBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("letters in pieces") << "Edit3"
                                           << "12a"
                                           << "";
        QTest::newRow("pieces cut to fit an integer") << "Edit3"
                                                      << "12345678901"
                                                      << "123456789";
        QTest::newRow("rejects cut to fit a smallint") << "Edit4"
                                                       << "99999"
                                                       << "9999";
        QTest::newRow("four-digit rejects") << "Edit4"
                                            << "9999"
                                            << "9999";
        QTest::newRow("minus sign") << "Edit6"
                                    << "-1"
                                    << "";
        QTest::newRow("digits") << "Edit5"
                                << "9010"
                                << "9010";
    }
    void digitBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        auto *edit = editor().findChild<QLineEdit *>(box);
        QVERIFY(edit);
        edit->clear();
        edit->setEnabled(true);
        QApplication::clipboard()->setText(pasted);
        edit->paste();
        QCOMPARE(edit->text(), kept);
    }

    // When the posting fails the entry is not stored either.
    void entryAndPostingTogether()
    {
        MessageRecorder recorder;
        TestDatabase::exec(
            dm(), QStringLiteral("alter table accounts_dep.h_tabel rename column d%1 to gone")
                      .arg(m_today.day()));
        addEntry(m_worker, m_plain, QStringLiteral("5"), QStringLiteral("8"));
        TestDatabase::exec(
            dm(), QStringLiteral("alter table accounts_dep.h_tabel rename column gone to d%1")
                      .arg(m_today.day()));
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().kind, messages::Kind::Error);
        QCOMPARE(
            TestDatabase::scalar(dm(), QStringLiteral("select count(*) from accounts_dep.smena")),
            0);
    }

    // Moving an entry to another worker and day re-posts the day it left; acceptance stays.
    void moveRepostsBothDays()
    {
        MessageRecorder recorder;
        addEntry(m_worker, m_plain, QStringLiteral("5"), QStringLiteral("8"));
        TestDatabase::exec(dm(), QStringLiteral("update accounts_dep.smena set ok='ok'"));
        main().FormActivate();
        const QDate other = m_today.addDays(-40); // another month
        ModalScript change([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            pickWorker(m_worker2);
            editor().DTimeP->setDate(other);
            editor().Button1->click();
        });
        main().Button2->click();
        QCOMPARE(recorder.texts(), QStringList());
        QCOMPARE(seed::dayValue(dm(), m_worker, 1, m_today), -2);
        QCOMPARE(seed::dayValue(dm(), m_worker2, 1, other), 8);
        QCOMPARE(stored(QStringLiteral("ok")).toString(), QStringLiteral("ok"));
        QCOMPARE(stored(QStringLiteral("w_id")).toLongLong(), m_worker2);
    }

    // An entry that brings the worker's day (every shift, every entry, the changed entry counted
    // once) above 24 hours asks first: "Нет" saves nothing and the editor stays open, "Да" saves.
    // The worker has 12 h in shift 2 and 8 h of overtime that day; other days and other workers
    // do not count.
    void dayAbove24Hours_data()
    {
        QTest::addColumn<bool>("change"); // the shift-2 entry changed instead of a new entry
        QTest::addColumn<int>("hours");   // typed
        QTest::addColumn<int>("total");   // the day's hours once saved
        QTest::newRow("new entry, 26 h") << false << 6 << 26;
        QTest::newRow("new entry, 24 h") << false << 4 << 24;
        QTest::newRow("changed entry, 24 h") << true << 16 << 24;
        QTest::newRow("changed entry, 25 h") << true << 17 << 25;
    }
    void dayAbove24Hours()
    {
        QFETCH(bool, change);
        QFETCH(int, hours);
        QFETCH(int, total);
        seed::Entry entry{m_worker, m_product, m_plain, m_today};
        entry.shift = 2;
        entry.hours = 12;
        seed::entry(dm(), entry);
        entry.shift = 4;
        entry.hours = 8;
        seed::entry(dm(), entry);
        entry.day = m_today.addDays(1);
        entry.hours = 20;
        seed::entry(dm(), entry);
        seed::entry(dm(), {m_worker2, m_product, m_plain, m_today, 1, 20});
        const auto dayHours = [this] {
            return TestDatabase::scalar(
                dm(), QStringLiteral("select sum(time) from accounts_dep.smena where w_id=%1 and "
                                     "data='%2'")
                          .arg(m_worker)
                          .arg(m_today.toString(Qt::ISODate)));
        };
        selectShift(change ? 2 : 1);
        main().FormActivate();
        const bool asked = total > 24;
        MessageRecorder recorder;
        recorder.answers << false << true;
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            if (!change) {
                pickWorker(m_worker);
                pickOperation(m_plain);
                editor().Edit3->setText(QStringLiteral("5"));
            }
            editor().Edit6->setText(QString::number(hours));
            editor().Button1->click();
            if (asked) {
                QCOMPARE(recorder.described(),
                         QStringList{QStringLiteral("question Часы за день: За 06.03.2024 у "
                                                    "рабочего получится %1 ч. Записать?")
                                         .arg(total)});
                QCOMPARE(dialog.result(), int(QDialog::Rejected));
                QCOMPARE(dayHours(), 20);
                editor().Button1->click();
            }
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });
        if (change)
            main().Button2->click();
        else
            main().Button1->click();
        QCOMPARE(recorder.shown.size(), asked ? 2 : 0);
        QCOMPARE(dayHours(), total);
        QCOMPARE(seed::dayValue(dm(), m_worker, change ? 2 : 1, m_today), hours);
    }

    // Back in the log after a save, the list stands on the entry just saved, not on the row
    // number it stood on before.
    void logStandsOnSavedEntry()
    {
        // Петров first, then Петров again: the new entry of Иванов sorts before both.
        seed::entry(dm(), {m_worker2, m_product, m_plain, m_today});
        seed::entry(dm(), {m_worker2, m_product, m_odd, m_today});
        main().FormActivate();
        Dataset &list = dm().shiftQuery(1);
        list.setRecNo(2);
        const qint64 before = list.integer(QStringLiteral("id"));
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            pickWorker(m_worker);
            pickOperation(m_plain);
            editor().Edit3->setText(QStringLiteral("4"));
            editor().Button1->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });
        main().Button1->click();
        const qint64 saved = TestDatabase::scalar(
            dm(), QStringLiteral("select id from accounts_dep.smena where w_id=%1").arg(m_worker));
        QCOMPARE(list.recordCount(), 3);
        QCOMPARE(list.integer(QStringLiteral("id")), saved);
        QVERIFY(saved != before);
        QCOMPARE(list.recNo(), 1);
    }

    // Cancel writes nothing and keeps the boxes; returning shows today again.
    void cancelWritesNothing()
    {
        main().DateT->setDate(m_today.addDays(-3));
        main().DateTChange();
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            QCOMPARE(editor().DTimeP->date(), m_today.addDays(-3));
            pickWorker(m_worker);
            editor().Button2->click();
        });
        main().Button1->click();
        QCOMPARE(
            TestDatabase::scalar(dm(), QStringLiteral("select count(*) from accounts_dep.smena")),
            0);
        QCOMPARE(editor().Edit1->text(), QStringLiteral("Иванов И.И."));
        QCOMPARE(main().DateT->date(), m_today);
    }

private:
    TDataModule6 &dm() { return m_program->dataModule(); }
    TForm1 &main() { return m_program->mainWindow(); }
    TForm11 &editor() { return m_program->forms().Form11; }
    TForm4 &operationList() { return m_program->forms().Form4; }
    TForm5 &workerList() { return m_program->forms().Form5; }

    void selectShift(int shift)
    {
        QRadioButton *buttons[] = {main().RadioButton1, main().RadioButton2, main().RadioButton3,
                                   main().RadioButton4};
        buttons[shift - 1]->click();
    }

    // The pickers of a test: the worker and the operation wanted next.
    void handlePickers(QDialog &dialog)
    {
        if (dialog.objectName() == QLatin1String("TForm5"))
            chooseWorker(dialog);
        else if (dialog.objectName() == QLatin1String("TForm4")) {
            QVERIFY(dm().Oper.locate(QStringLiteral("id"), m_wantedOperation));
            operationList().Button2->click();
        }
    }
    void chooseWorker(QDialog &)
    {
        QVERIFY(dm().Workers.locate(QStringLiteral("id"), m_wantedWorker));
        workerList().Button2->click();
    }
    void pickWorker(qint64 worker)
    {
        m_wantedWorker = worker;
        editor().Button3->click();
    }
    void pickOperation(qint64 operation)
    {
        m_wantedOperation = operation;
        editor().Button4->click();
    }

    void addEntry(qint64 worker, qint64 operation, const QString &pieces, const QString &hours,
                  const QString &colour = {})
    {
        ModalScript modal([&](QDialog &dialog) {
            if (dialog.objectName() != QLatin1String("TForm11")) {
                handlePickers(dialog);
                return;
            }
            pickWorker(worker);
            pickOperation(operation);
            editor().Edit3->setText(pieces);
            editor().Edit6->setText(hours);
            editor().Edit5->setText(colour);
            editor().Button1->click();
        });
        main().Button1->click();
    }

    QVariant stored(const QString &column)
    {
        QSqlQuery query = dm().ADO_DB.run(
            QStringLiteral("select %1 from accounts_dep.smena order by id desc limit 1")
                .arg(column));
        return query.next() ? query.value(0) : QVariant();
    }

    const QDate m_today{2024, 3, 6};
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    qint64 m_worker = 0;
    qint64 m_worker2 = 0;
    qint64 m_product = 0;
    qint64 m_plain = 0;
    qint64 m_paint = 0;
    qint64 m_odd = 0;
    qint64 m_wantedWorker = 0;
    qint64 m_wantedOperation = 0;
};

TABEL_TEST_MAIN(TestShiftEntryEditor)
#include "tst_shift_entry_editor.moc"
