#include "db/absences.h"
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/production_calendar.h"
#include "designs/payroll_export.h"
#include "designs/report_functions.h"
#include "designs/t13_form.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "timesheets/absence_dialog.h"
#include "timesheets/absence_marks.h"
#include "timesheets/month_end_papers.h"
#include "timesheets/month_end_settings.h"
#include "timesheets/monthly_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

namespace {

const QDate November(2026, 11, 1);
const QDate October(2026, 10, 1);
constexpr int Household = 7777;
constexpr int Average = 7778;

// The cell of the printed form at position i (0..15) of a worker's line: every word whose middle
// lies in the cell (A4 landscape, 10 mm margins; the day cells start 59 mm in, 7.8 mm wide).
QString printedCell(const QList<pdf::Word> &words, int page, double lineTop, double lineBottom,
                    double leftMm, double widthMm)
{
    QStringList found;
    for (const pdf::Word &word : words) {
        const double x = pdf::mm((word.xMin + word.xMax) / 2) - 10;
        const double y = (word.yMin + word.yMax) / 2;
        if (word.page == page && y > lineTop && y < lineBottom && x > leftMm &&
            x < leftMm + widthMm)
            found << word.text;
    }
    return found.join(QLatin1Char(' '));
}

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

// The month-end paperwork: absences marked in the monthly timesheet and kept by the database like
// entries, the form T-13 read back from its PDF and workbook, and the payroll export against the
// monthly timesheet and the worker report.
class TestMonthEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        QVERIFY(m_dir.isValid());
        XlsxExport::setFolder(m_dir.path());
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
        XlsxExport::setFolder({});
        m_dm.reset();
        m_db.reset();
        Clock::set({});
    }

    // The form's cells, day by day, from the data: work codes by shift and calendar, absences as
    // marked, В on days off, nothing on a working day without hours or mark.
    void formCells_data()
    {
        QTest::addColumn<QString>("worker");
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QString>("hours");
        QTest::newRow("Sunday") << "Антонов" << 1 << "В"
                                << "";
        QTest::newRow("day work") << "Антонов" << 2 << "Я"
                                  << "8";
        QTest::newRow("night shift") << "Антонов" << 3 << "Н"
                                     << "8";
        QTest::newRow("worked holiday") << "Антонов" << 4 << "РВ"
                                        << "6";
        QTest::newRow("day and overtime") << "Антонов" << 5 << "Я/С"
                                          << "8/2";
        QTest::newRow("empty working day") << "Антонов" << 6 << ""
                                           << "";
        QTest::newRow("household work on Saturday") << "Антонов" << 7 << "РВ"
                                                    << "4";
        QTest::newRow("sick") << "Антонов" << 9 << "Б"
                              << "";
        QTest::newRow("business trip") << "Антонов" << 11 << "К"
                                       << "";
        QTest::newRow("leave over a weekend") << "Антонов" << 21 << "ОТ"
                                              << "";
        QTest::newRow("hour-paid day and night") << "Борисов" << 2 << "Я/Н"
                                                 << "4/4";
        QTest::newRow("unpaid leave") << "Борисов" << 3 << "ДО"
                                      << "";
        QTest::newRow("holiday off") << "Борисов" << 4 << "В"
                                     << "";
        QTest::newRow("unexplained") << "Борисов" << 5 << "НН"
                                     << "";
        QTest::newRow("truancy") << "Борисов" << 6 << "ПР"
                                 << "";
        QTest::newRow("state duties") << "Борисов" << 9 << "Г"
                                      << "";
        QTest::newRow("parental leave") << "Борисов" << 30 << "ОЖ"
                                        << "";
    }
    void formCells()
    {
        QFETCH(QString, worker);
        QFETCH(int, day);
        QFETCH(QString, codes);
        QFETCH(QString, hours);
        const t13::Form form = t13::read(m_dm->ADO_DB, 11, 2026, QDate(2026, 12, 10));
        const int index = worker == QStringLiteral("Антонов") ? 0 : 1;
        QCOMPARE(form.workers.size(), 2);
        QVERIFY(form.workers.at(index).name.startsWith(worker));
        const t13::Day &cell = form.workers.at(index).days[size_t(day - 1)];
        QCOMPARE(cell.codes, codes);
        QCOMPARE(cell.hours, hours);

        // The same cell printed: the codes line and the hours line of the worker's half month.
        const QString path = m_dir.filePath(QStringLiteral("t13_cells.pdf"));
        if (!QFile::exists(path))
            t13::prepare(form).writePdf(path);
        const QList<pdf::Word> words = pdf::words(path);
        // The cells "Х" of position 16 mark each printed line: the column title, then four a
        // worker.
        QList<pdf::Word> marks;
        for (const pdf::Word &word : words) {
            const double x = pdf::mm((word.xMin + word.xMax) / 2) - 10;
            if (word.text == QStringLiteral("Х") && x > 59 + 15 * 7.8 && x < 59 + 16 * 7.8)
                marks << word;
        }
        QCOMPARE(marks.size(), 1 + 4 * 2);
        const int half = day <= 15 ? 0 : 1;
        const int position = half == 0 ? day - 1 : day - 16;
        const pdf::Word &codesLine = marks.at(1 + 4 * index + 2 * half);
        const pdf::Word &hoursLine = marks.at(2 + 4 * index + 2 * half);
        QCOMPARE(printedCell(words, codesLine.page, codesLine.yMin - 1, codesLine.yMax + 1,
                             59 + position * 7.8, 7.8),
                 codes);
        QCOMPARE(printedCell(words, hoursLine.page, hoursLine.yMin - 1, hoursLine.yMax + 1,
                             59 + position * 7.8, 7.8),
                 hours);
    }

    // The totals: by half month, of the month, absences by code; equal to the monthly
    // timesheet's hours. The warnings name the worker without a number and the empty day.
    void formTotals()
    {
        const t13::Form form = t13::read(m_dm->ADO_DB, 11, 2026, QDate(2026, 12, 10));
        const t13::Worker &antonov = form.workers.at(0);
        QCOMPARE(antonov.halfDays[0], 7);
        QCOMPARE(antonov.halfHours[0], 52);
        QCOMPARE(antonov.halfDays[1], 0);
        QCOMPARE(antonov.monthDays, 7);
        QCOMPARE(antonov.monthHours, 52);
        QCOMPARE(antonov.personnelNumber, QString::number(m_antonov));
        const QVector<QPair<QString, int>> antonovAbsent{
            {QStringLiteral("ОТ"), 15}, {QStringLiteral("Б"), 2}, {QStringLiteral("К"), 1}};
        QCOMPARE(antonov.absences, antonovAbsent);
        const t13::Worker &borisov = form.workers.at(1);
        QCOMPARE(borisov.monthDays, 1);
        QCOMPARE(borisov.monthHours, 8);
        QCOMPARE(borisov.personnelNumber, QString());
        const QVector<QPair<QString, int>> borisovAbsent{{QStringLiteral("ДО"), 1},
                                                         {QStringLiteral("НН"), 1},
                                                         {QStringLiteral("ПР"), 1},
                                                         {QStringLiteral("Г"), 1},
                                                         {QStringLiteral("ОЖ"), 21}};
        QCOMPARE(borisov.absences, borisovAbsent);
        QCOMPARE(form.totalHours(), 60);
        QCOMPARE(form.withoutNumber, QStringList{QStringLiteral("Борисов Б.Б.")});
        QCOMPARE(form.unmarked, QStringList{QStringLiteral("Антонов А.А.: 6")});

        // The monthly timesheet's overall hours of the month, worker by worker.
        TForm27 window(*m_dm);
        window.setMode(TForm27::Overall);
        window.selectMonth(11, 2026);
        Dataset &rows = window.currentQuery();
        QVERIFY(rows.locate(QStringLiteral("fio"), QStringLiteral("Антонов А.А.")));
        QCOMPARE(rows.integer(QStringLiteral("i_time")), qint64(antonov.monthHours));
        QVERIFY(rows.locate(QStringLiteral("fio"), QStringLiteral("Борисов Б.Б.")));
        QCOMPARE(rows.integer(QStringLiteral("i_time")), qint64(borisov.monthHours));

        // Printed: header, totals and the absences of each worker.
        const QString path = m_dir.filePath(QStringLiteral("t13_totals.pdf"));
        t13::prepare(form).writePdf(path);
        const QString text = pdf::lines(path).join(QLatin1Char('\n'));
        for (const char *expected :
             {"ООО «Пластик»", "Цех литья", "12345678", "0301008", "ТАБЕЛЬ УЧЕТА РАБОЧЕГО ВРЕМЕНИ",
              "01.11.2026", "30.11.2026", "10.12.2026", "Антонов А.А.", "Борисов Б.Б.",
              "Ответственное лицо", "Руководитель структурного подразделения",
              "Работник кадровой службы", "Итого по табелю: 8 60"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        const QList<pdf::Word> words = pdf::words(path);
        const auto column = [&words](double leftMm, double widthMm) {
            QStringList found;
            for (const pdf::Word &word : words) {
                const double x = pdf::mm((word.xMin + word.xMax) / 2) - 10;
                if (x > leftMm && x < leftMm + widthMm && word.yMin > 188 && word.yMax < 500)
                    found << word.text;
            }
            return found;
        };
        // Month days and hours (with the form's total), the absence codes and their days.
        const double monthDaysLeft = 59 + 16 * 7.8 + 13;
        QCOMPARE(column(monthDaysLeft, 11), (QStringList{"7", "1", "8"}));
        QCOMPARE(column(monthDaysLeft + 11, 13), (QStringList{"52", "8", "60"}));
        const double absenceLeft = monthDaysLeft + 11 + 13 + 28;
        QCOMPARE(column(absenceLeft, 12), (QStringList{"ОТ", "Б", "К", "ДО", "НН", "ПР", "Г/ОЖ"}));
        QCOMPARE(column(absenceLeft + 12, 277 - absenceLeft - 12),
                 (QStringList{"15", "2", "1", "1", "1", "1", "1/21"}));
    }

    // The workbook of the form, read back by an independent reader.
    void formWorkbook()
    {
        const t13::Form form = t13::read(m_dm->ADO_DB, 11, 2026, QDate(2026, 12, 10));
        const QString path = m_dir.filePath(QStringLiteral("t13.xlsx"));
        QVERIFY(t13::exportWorkbook(form, path));
        const QJsonObject book = readBack(path);
        QCOMPARE(cellText(book, 3, 2), QStringLiteral("ООО «Пластик»"));
        QCOMPARE(cellText(book, 3, 3), QStringLiteral("Цех литья"));
        QCOMPARE(cellText(book, 3, 7), QStringLiteral("01.11.2026"));
        QCOMPARE(cellText(book, 6, 7), QStringLiteral("30.11.2026"));
        // Антонов's four lines start at row 13: codes and hours of the first half, then the
        // second; day d of the first half in column 4 + d.
        const int first = 13;
        QCOMPARE(cellText(book, 2, first), QStringLiteral("Антонов А.А."));
        QCOMPARE(cellText(book, 3, first), QString::number(m_antonov));
        QCOMPARE(cellText(book, 4 + 2, first), QStringLiteral("Я"));
        QCOMPARE(cellText(book, 4 + 2, first + 1), QStringLiteral("8"));
        QCOMPARE(cellText(book, 4 + 5, first), QStringLiteral("Я/С"));
        QCOMPARE(cellText(book, 4 + 5, first + 1), QStringLiteral("8/2"));
        QCOMPARE(cellText(book, 4 + 6, first), QString());
        QCOMPARE(cellText(book, 4 + 4, first), QStringLiteral("РВ"));
        QCOMPARE(cellText(book, 4 + 9, first), QStringLiteral("Б"));
        QCOMPARE(cellText(book, 5 + (21 - 16), first + 2), QStringLiteral("ОТ"));
        QCOMPARE(cellText(book, 21, first), QStringLiteral("7"));
        QCOMPARE(cellText(book, 21, first + 1), QStringLiteral("52"));
        QCOMPARE(cellText(book, 22, first), QStringLiteral("7"));
        QCOMPARE(cellText(book, 23, first), QStringLiteral("52"));
        QCOMPARE(cellText(book, 24, first), QStringLiteral("ОТ"));
        QCOMPARE(cellText(book, 25, first), QStringLiteral("15"));
        QCOMPARE(cellAt(book, 23, first).value(QStringLiteral("type")).toString(),
                 QStringLiteral("n"));
        // Борисов: his five absence codes take five lines.
        const int second = first + 4;
        QCOMPARE(cellText(book, 2, second), QStringLiteral("Борисов Б.Б."));
        QCOMPARE(cellText(book, 3, second), QString());
        QCOMPARE(cellText(book, 4 + 2, second), QStringLiteral("Я/Н"));
        QCOMPARE(cellText(book, 24, second + 4), QStringLiteral("ОЖ"));
        QCOMPARE(cellText(book, 25, second + 4), QStringLiteral("21"));
        QCOMPARE(cellText(book, 22, second + 5), QStringLiteral("8"));
        QCOMPARE(cellText(book, 23, second + 5), QStringLiteral("60"));
    }

    // The pay figures: exact sums of the entries, equal to the monthly timesheet and the worker
    // report to the kopeck; absence days by code; indicator codes from their table.
    void payrollRows()
    {
        const payroll::Export data = payroll::read(m_dm->ADO_DB, 11, 2026);
        QStringList rows;
        for (const payroll::Row &row : data.rows)
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(row.personnelNumber, row.name, row.code, row.amount);
        const QString a = QString::number(m_antonov) + QStringLiteral("|Антонов А.А.|");
        const QString b = QStringLiteral("|Борисов Б.Б.|");
        const QStringList expected{
            a + QStringLiteral("СД|778.05"), a + QStringLiteral("СДБК|648.38"),
            a + QStringLiteral("ХР|601.00"), a + QStringLiteral("ЧСД|48"),
            a + QStringLiteral("ЧН|8"),      a + QStringLiteral("ЧРВ|10"),
            a + QStringLiteral("ОТ|15"),     a + QStringLiteral("Б|2"),
            a + QStringLiteral("К|1"),       b + QStringLiteral("ССД|1760.00"),
            b + QStringLiteral("ЧН|4"),      b + QStringLiteral("ДО|1"),
            b + QStringLiteral("НН|1"),      b + QStringLiteral("ПР|1"),
            b + QStringLiteral("Г|1"),       b + QStringLiteral("ОЖ|21")};
        QCOMPARE(rows, expected);
        QCOMPARE(data.withoutNumber, QStringList{QStringLiteral("Борисов Б.Б.")});
        QCOMPARE(data.period(), QStringLiteral("11.2026"));

        // The monthly timesheet's money and hours of the same workers.
        TForm27 window(*m_dm);
        window.setMode(TForm27::PieceWork);
        window.selectMonth(11, 2026);
        QVERIFY(
            window.currentQuery().locate(QStringLiteral("fio"), QStringLiteral("Антонов А.А.")));
        QCOMPARE(window.currentQuery().decimal(QStringLiteral("f_price")), 778.05);
        QCOMPARE(window.currentQuery().integer(QStringLiteral("i_time")), qint64(48));
        window.setMode(TForm27::HouseholdWorks);
        window.selectMonth(11, 2026);
        QVERIFY(
            window.currentQuery().locate(QStringLiteral("fio"), QStringLiteral("Антонов А.А.")));
        QCOMPARE(window.currentQuery().decimal(QStringLiteral("f_price")), 601.0);
        QCOMPARE(window.DBText2->text(), QStringLiteral("601"));
        QCOMPARE(window.DBText1->text(), QStringLiteral("1760"));

        // The worker report: the worker's piece pay and the pay without the coefficient.
        const report::PreparedReport report =
            reporting::preparePeriodReport(*m_dm, reporting::PeriodReport::Workers, November,
                                           November.addMonths(1), ProductKind::All);
        QStringList texts;
        for (int page = 0; page < report.pageCount(); ++page)
            texts += report.texts(page);
        QVERIFY2(texts.contains(QStringLiteral("778,05")), qPrintable(texts.join(' ')));
        QVERIFY2(texts.contains(QStringLiteral("648,38")), qPrintable(texts.join(' ')));
    }

    // The CSV a Russian spreadsheet opens directly, and the workbook; an indicator's code and
    // caption come from the table the office edits.
    void payrollFiles()
    {
        TestDatabase::exec(*m_dm, QStringLiteral("update accounts_dep.payroll_indicator set "
                                                 "code='P01', caption='Сдельно; бригада' where "
                                                 "indicator='piece'"));
        const auto restore = qScopeGuard([this] {
            TestDatabase::exec(*m_dm, QStringLiteral("update accounts_dep.payroll_indicator set "
                                                     "code='СД', caption='Сдельная оплата' where "
                                                     "indicator='piece'"));
        });
        const payroll::Export data = payroll::read(m_dm->ADO_DB, 11, 2026);
        const QString csv = m_dir.filePath(QStringLiteral("pay.csv"));
        QVERIFY(payroll::writeCsv(data, csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.first(),
                 QStringLiteral("Табельный номер;ФИО;Код показателя;Показатель;Сумма или "
                                "часы;Период"));
        QCOMPARE(lines.at(1), QString::number(m_antonov) +
                                  QStringLiteral(";Антонов А.А.;P01;\"Сдельно; бригада\";778,05;"
                                                 "11.2026"));
        QCOMPARE(lines.at(2), QString::number(m_antonov) +
                                  QStringLiteral(";Антонов А.А.;СДБК;Сдельная оплата без "
                                                 "коэффициента 1,2;648,38;11.2026"));
        QVERIFY(lines.contains(QStringLiteral(";Борисов Б.Б.;ССД;Средняя сдельная оплата;"
                                              "1760,00;11.2026")));
        QCOMPARE(lines.size(), data.rows.size() + 2); // the last line ends too

        const QString xlsx = m_dir.filePath(QStringLiteral("pay.xlsx"));
        QVERIFY(payroll::exportWorkbook(data, xlsx));
        const QJsonObject book = readBack(xlsx);
        QCOMPARE(cellText(book, 3, 2), QStringLiteral("P01"));
        QCOMPARE(cellAt(book, 5, 2).value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        QCOMPARE(cellAt(book, 5, 2).value(QStringLiteral("value")).toDouble(), 778.05);
        QCOMPARE(cellText(book, 1, 2), QString::number(m_antonov));
        QCOMPARE(cellText(book, 6, 2), QStringLiteral("11.2026"));
    }

    // The window: a month not closed is exported after the question only; the form's warnings
    // are asked about before the preview.
    void windowPapers()
    {
        TForm27 window(*m_dm);
        window.applyRole(Role::Full);
        window.setMode(TForm27::Overall);
        window.selectMonth(11, 2026);
        MessageRecorder recorder;
        recorder.answers.enqueue(false);
        QString path;
        QVERIFY(!window.Papers->exportPayroll(true, &path));
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.texts().first().startsWith(QStringLiteral("Месяц Ноябрь 2026 не закрыт")));
        recorder.clear();
        recorder.answers.clear();
        recorder.answers.enqueue(true);
        recorder.answers.enqueue(true);
        QVERIFY(window.Papers->exportPayroll(true, &path));
        QVERIFY(QFile::exists(path));
        QCOMPARE(recorder.shown.size(), 2); // not closed; without a personnel number
        // Closed, only the worker without a number is asked about.
        closedmonths::close(*m_dm, 11, 2026);
        const auto reopen = qScopeGuard([this] { closedmonths::open(*m_dm, 11, 2026); });
        recorder.clear();
        recorder.answers.clear();
        recorder.answers.enqueue(true);
        QVERIFY(window.Papers->exportPayroll(true, &path));
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.texts().first().contains(QStringLiteral("Борисов Б.Б.")));

        PreviewCapture capture(m_dir.path());
        recorder.clear();
        recorder.answers.clear();
        recorder.answers.enqueue(false);
        QVERIFY(!window.Papers->printT13());
        QVERIFY(capture.files.isEmpty());
        QVERIFY(recorder.texts().first().contains(QStringLiteral("Антонов А.А.: 6")));
        recorder.answers.clear();
        recorder.answers.enqueue(true);
        QVERIFY(window.Papers->printT13());
        QCOMPARE(capture.files.size(), 1);
        QCOMPARE(capture.titles.first(), QStringLiteral("Табель Т-13 Ноябрь 2026"));

        // Only full access exports for payroll.
        window.applyRole(Role::Planning);
        QVERIFY(!window.Papers->PayrollButton->isEnabled());
        recorder.clear();
        QVERIFY(!window.Papers->exportPayroll(false));
        QVERIFY(recorder.shown.isEmpty());
    }

    // The form's details and the indicators' codes are edited by full access in one dialog; an
    // empty code or a list of shifts that are no shift numbers is refused and nothing is stored.
    void settingsDialog()
    {
        const auto restore = qScopeGuard([this] {
            TestDatabase::exec(
                *m_dm, QStringLiteral("update accounts_dep.site_setting set value='ООО «Пластик»' "
                                      "where name='organisation'; update accounts_dep.site_setting "
                                      "set value='3' where name='night_shifts'; update "
                                      "accounts_dep.payroll_indicator set code='СД' where "
                                      "indicator='piece'"));
        });
        TForm27 window(*m_dm);
        window.applyRole(Role::Full);
        const auto indicatorRow = [](MonthEndSettings &dialog, const QString &key) {
            for (int row = 0; row < dialog.Indicators->rowCount(); ++row)
                if (dialog.Indicators->item(row, 0)->text() == key)
                    return row;
            return -1;
        };
        {
            ModalScript script([&](QDialog &dialog) {
                auto &settings = static_cast<MonthEndSettings &>(dialog);
                QCOMPARE(settings.Organisation->text(), QStringLiteral("ООО «Пластик»"));
                QCOMPARE(settings.NightShifts->text(), QStringLiteral("3"));
                QVERIFY(settings.NightHourPaid->isChecked());
                settings.Organisation->setText(QStringLiteral("АО «Завод»"));
                settings.NightShifts->setText(QStringLiteral("3, 2"));
                const int row = indicatorRow(settings, QStringLiteral("piece"));
                QVERIFY(row >= 0);
                QCOMPARE(settings.Indicators->item(row, 2)->text(),
                         QStringLiteral("Сдельная оплата"));
                settings.Indicators->item(row, 1)->setText(QStringLiteral("P77"));
                settings.SaveButton->click();
            });
            QVERIFY(window.Papers->editSettings());
        }
        const t13::Settings stored = t13::readSettings(m_dm->ADO_DB);
        QCOMPARE(stored.organisation, QStringLiteral("АО «Завод»"));
        QCOMPARE(stored.nightShifts, (QSet<int>{2, 3}));
        QCOMPARE(payroll::read(m_dm->ADO_DB, 11, 2026).rows.first().code, QStringLiteral("P77"));

        MonthEndSettings settings(*m_dm);
        settings.load();
        MessageRecorder recorder;
        settings.Indicators->item(indicatorRow(settings, QStringLiteral("household")), 1)
            ->setText(QStringLiteral(" "));
        settings.Organisation->setText(QStringLiteral("Другая"));
        QVERIFY(!settings.save());
        settings.Indicators->item(indicatorRow(settings, QStringLiteral("household")), 1)
            ->setText(QStringLiteral("ХР"));
        settings.NightShifts->setText(QStringLiteral("3,,"));
        QVERIFY(!settings.save());
        QCOMPARE(recorder.shown.size(), 2);
        QCOMPARE(t13::readSettings(m_dm->ADO_DB).organisation, QStringLiteral("АО «Завод»"));

        window.applyRole(Role::Planning);
        QVERIFY(!window.Papers->editSettings());
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

        // The export of the timesheet shown carries the codes too.
        OpenerRecorder opener;
        window.Button2Click();
        QCOMPARE(opener.opened.size(), 1);
        const QJsonObject book = readBack(opener.opened.first());
        const int line = row + 3;
        QCOMPARE(cellText(book, 1, line), QStringLiteral("Верина В.В."));
        QCOMPARE(cellText(book, 1 + 2, line), QStringLiteral("8"));
        QCOMPARE(cellText(book, 5 + 2, line), QStringLiteral("ДО"));
        QCOMPARE(cellText(book, 6 + 2, line), QString());
        QCOMPARE(cellText(book, 8 + 2, line), QStringLiteral("Б"));
    }

    // A worker the grid does not list (no hours in the month: a month of leave) is chosen in the
    // dialog and marked all the same.
    void windowMarksWorkerWithoutHours()
    {
        TForm27 window(*m_dm);
        window.applyRole(Role::Full);
        window.setMode(TForm27::Overall);
        window.selectMonth(10, 2026);
        QVERIFY(
            !window.currentQuery().locate(QStringLiteral("fio"), QStringLiteral("Борисов Б.Б.")));
        QVERIFY(window.currentQuery().locate(QStringLiteral("fio"), QStringLiteral("Верина В.В.")));
        const auto cleanup = qScopeGuard([this] {
            absences::clear(m_dm->ADO_DB, m_borisov, October, October.addMonths(1).addDays(-1));
        });
        window.DBGrid->setCurrentIndex(window.DBGrid->model()->index(
            window.currentQuery().recNo() - 1, TForm27::FirstDayColumn + 19));
        ModalScript script([](QDialog &dialog) {
            auto &marking = static_cast<AbsenceDialog &>(dialog);
            QCOMPARE(marking.Worker->currentText(), QStringLiteral("Верина В.В."));
            marking.Worker->setCurrentIndex(
                marking.Worker->findText(QStringLiteral("Борисов Б.Б.")));
            marking.Code->setCurrentIndex(marking.Code->findData(QStringLiteral("Б")));
            marking.ToDay->setValue(21);
            marking.MarkButton->click();
        });
        QTest::keyClick(window.DBGrid, Qt::Key_F4);
        QCOMPARE(marked(*m_dm, m_borisov, October), (QStringList{"20 Б", "21 Б"}));
        QVERIFY(marked(*m_dm, m_verina, October).isEmpty());
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

    // Two copies at once: one saves hours for a day and has not committed yet, the other marks the
    // same day absent. The mark waits for the hours and is then refused; neither is lost unseen.
    void hoursAndAbsenceAtOnce()
    {
        const QDate day(2026, 10, 14);
        const auto cleanup = qScopeGuard([&] {
            TestDatabase::exec(*m_dm, QStringLiteral("delete from accounts_dep.smena where w_id=%1 "
                                                     "and data='2026-10-14'")
                                          .arg(m_verina));
            absences::clear(m_dm->ADO_DB, m_verina, day, day);
        });
        m_dm->ADO_DB.begin();
        m_dm->ADO_DB.run(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, cena, "
                                        "kol_vo, brak, data, smena, color, time, ok) values (%1, "
                                        "%2, %3, 1, 1, 0, '2026-10-14', 1, 0, 4, 'no')")
                             .arg(m_verina)
                             .arg(m_product)
                             .arg(m_op));
        QString state = QStringLiteral("not run");
        std::thread other([&] {
            const std::unique_ptr<TDataModule6> dm = m_db->connect();
            try {
                absences::mark(dm->ADO_DB, m_verina, day, day, QStringLiteral("Б"));
                state = QStringLiteral("written");
            } catch (const DbError &error) {
                state = error.sqlState();
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        m_dm->ADO_DB.commit();
        other.join();
        QCOMPARE(state, absences::RefusedState);
        QVERIFY(marked(*m_dm, m_verina, October).isEmpty());
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

    // tabel-report writes the form and the payroll export for a whole month only.
    void reportTool_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("file");
        QTest::newRow("t13 pdf") << QStringList{"--report",     "t13",
                                                "--from",       "01.11.2026",
                                                "--to",         "01.12.2026",
                                                "--department", "Участок окраски",
                                                "--pdf",        "FILE.pdf"}
                                 << 0 << "FILE.pdf";
        QTest::newRow("t13 xlsx") << QStringList{"--report", "t13",        "--from", "01.11.2026",
                                                 "--to",     "01.12.2026", "--xlsx", "FILE.xlsx"}
                                  << 0 << "FILE.xlsx";
        QTest::newRow("payroll csv")
            << QStringList{"--report", "payroll",    "--from", "01.11.2026",
                           "--to",     "01.12.2026", "--csv",  "FILE.csv"}
            << 0 << "FILE.csv";
        QTest::newRow("not a month")
            << QStringList{"--report", "t13",        "--from", "05.11.2026",
                           "--to",     "01.12.2026", "--pdf",  "FILE.pdf"}
            << 2 << "";
        QTest::newRow("payroll to pdf")
            << QStringList{"--report", "payroll", "--pdf", "FILE.pdf"} << 2 << "";
    }
    void reportTool()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, file);
        const QString base = m_dir.filePath(QStringLiteral("tool_%1")
                                                .arg(QTest::currentDataTag())
                                                .replace(QLatin1Char(' '), QLatin1Char('_')));
        for (QString &argument : arguments)
            argument.replace(QLatin1String("FILE"), base);
        QProcess process;
        process.start(QStringLiteral(TABEL_REPORT_PATH),
                      QStringList{m_db->name(), TestDatabase::server()} + arguments);
        QVERIFY(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == code, qPrintable(err));
        if (file.isEmpty())
            return;
        const QString path = QString(file).replace(QLatin1String("FILE"), base);
        QVERIFY(QFile::exists(path));
        if (path.endsWith(QLatin1String(".pdf"))) {
            const QString text = pdf::lines(path).join(QLatin1Char('\n'));
            QVERIFY(text.contains(QStringLiteral("Участок окраски")));
            QVERIFY(text.contains(QStringLiteral("Итого по табелю: 8 60")));
            QVERIFY(err.contains(QStringLiteral("Антонов А.А.: 6")));
        } else if (path.endsWith(QLatin1String(".csv"))) {
            QFile csv(path);
            QVERIFY(csv.open(QIODevice::ReadOnly));
            QVERIFY(csv.readAll().contains(
                QStringLiteral(";Антонов А.А.;СД;Сдельная оплата;778,05;11.2026\r\n").toUtf8()));
            QVERIFY(err.contains(QStringLiteral("не закрыт")));
        } else {
            QCOMPARE(cellText(readBack(path), 2, 13), QStringLiteral("Антонов А.А."));
        }
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
