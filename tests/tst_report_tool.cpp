#include "db/data_module.h"
#include "designs/report_functions.h"
#include "reports/hours_table_layout.h"
#include "reports/period_layouts.h"
#include "reports/summary_reports.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QDateEdit>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// Runs tabel-report as a scheduled job would: no display, no platform chosen.
Run tool(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TABEL_REPORT_PATH), arguments);
    Run run;
    if (!process.waitForFinished(120000))
        return run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList rows(const QString &workbook)
{
    const QJsonObject book = readBack(workbook);
    QStringList result;
    for (int row = 1; !cellText(book, 1, row).isEmpty(); ++row) {
        QStringList cells;
        for (int column = 1; column <= 5; ++column)
            cells << cellText(book, column, row) + QLatin1Char(':') +
                         cellAt(book, column, row).value(QStringLiteral("type")).toString();
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

} // namespace

// tabel-report: the reports of the windows written from the command line, with the same text, and
// clear refusals of bad arguments, a missing database and a database of a newer build.
class TestReportTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        QVERIFY(QFileInfo(QStringLiteral(TABEL_REPORT_PATH)).isExecutable());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("report_tool"));
        m_dm = m_db->connect();
        TDataModule6 &dm = *m_dm;
        const seed::SmallShop s = seed::smallShop(dm);
        // ЯЩ-2 filed under no group, as a product the office has not filed yet: the tool and the
        // window must agree on it too.
        seed::setGroup(dm, s.box, 0);
        seed::entry(dm, {s.antonov, s.lid, s.castLid, QDate(2024, 2, 1), 1, 8, 100, 4, 1.5,
                         QStringLiteral("ok"), 0});
        seed::entry(dm, {s.antonov, s.lid, s.paintLid, QDate(2024, 2, 10), 1, 4, 50, 0, 2,
                         QStringLiteral("ok"), 3});
        seed::entry(dm, {s.borisov, s.box, s.castBox, QDate(2024, 2, 12), 2, 6, 30, 1, 3,
                         QStringLiteral("ok"), 0});
        seed::entry(dm, {s.borisov, s.lid, s.paintLid, QDate(2024, 2, 29), 3, 8, 20, 0, 2.4,
                         QStringLiteral("ok"), 1});
        seed::hourPaid(dm, s.antonov, s.lids, 7777, QDate(2024, 2, 5), 8, 150, false);
        seed::hourPaid(dm, s.borisov, s.lids, 7778, QDate(2024, 2, 6), 4, 200, true);
        // The monthly rows are the fixture's own, not those posted from the entries above.
        TestDatabase::exec(dm, QStringLiteral("delete from accounts_dep.h_tabel"));
        seed::monthRow(dm, s.antonov, 2, 2024, 1, {{1, 8}, {10, 4}});
        seed::monthRow(dm, s.borisov, 2, 2024, 2, {{10, 6}});
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    // The same report from the summary window (through its preview) and from the command line
    // reads the same.
    void samePdfAsWindow_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("kind");
        QTest::newRow("workers, finished") << "workers"
                                           << "Button4"
                                           << "finished";
        QTest::newRow("products") << "products"
                                  << "Button2"
                                  << "all";
        QTest::newRow("workers detailed, blanks") << "workers-detailed"
                                                  << "Button1"
                                                  << "blanks";
        QTest::newRow("products detailed") << "products-detailed"
                                           << "Button3"
                                           << "all";
    }
    void samePdfAsWindow()
    {
        QFETCH(QString, report);
        QFETCH(QString, button);
        QFETCH(QString, kind);
        const QString path = m_dir.filePath(report + QStringLiteral(".pdf"));
        const Run run = tool({m_db->name(), TestDatabase::server(), QStringLiteral("--report"),
                              report, QStringLiteral("--from"), QStringLiteral("01.02.2024"),
                              QStringLiteral("--to"), QStringLiteral("01.03.2024"),
                              QStringLiteral("--kind"), kind, QStringLiteral("--pdf"), path});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        // A scheduled job mails whatever it writes on stderr: nothing on success.
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));

        TForm16 form16(*m_dm);
        TForm17 form17(*m_dm);
        TForm20 form20(*m_dm);
        TForm21 form21(*m_dm);
        TForm18 window(*m_dm, form16, form17, form20, form21);
        window.DTPicker1->setDate(QDate(2024, 2, 1));
        window.DTPicker2->setDate(QDate(2024, 3, 1));
        window.RadioGroup1->setItemIndex(QStringList{"all", "finished", "blanks"}.indexOf(kind));
        PreviewCapture capture(m_dir.path());
        window.findChild<QPushButton *>(button)->click();
        QCOMPARE(capture.files.size(), 1);
        const QStringList fromWindow = pdf::lines(capture.files.first());
        QVERIFY(fromWindow.size() > 4);
        QCOMPARE(pdf::lines(path), fromWindow);
    }

    // The hours table of a month, as the timesheet window prints it.
    void hoursTable()
    {
        const QString path = m_dir.filePath(QStringLiteral("hours.pdf"));
        const Run run =
            tool({m_db->name(), TestDatabase::server(), QStringLiteral("--report"),
                  QStringLiteral("hours"), QStringLiteral("--month"), QStringLiteral("2"),
                  QStringLiteral("--year"), QStringLiteral("2024"), QStringLiteral("--pdf"), path});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        // A scheduled job mails whatever it writes on stderr: nothing on success.
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        TForm15 form15(*m_dm);
        PreviewCapture capture(m_dir.path());
        form15.print(2, 2024, reporting::monthTitle(2, 2024), nullptr);
        QCOMPARE(capture.files.size(), 1);
        const QStringList lines = pdf::lines(path);
        QCOMPARE(lines, pdf::lines(capture.files.first()));
        QVERIFY(lines.first().startsWith(QStringLiteral("Февраль 2024 г. 1 2 3")));
        QVERIFY(lines.contains(QStringLiteral("Антонов А.А. 8 4 12")));
        QVERIFY(lines.contains(QStringLiteral("Борисов Б.Б. 6 6")));
    }

    // The product summary workbook holds what the window's export writes.
    void productSummary()
    {
        const QString path = m_dir.filePath(QStringLiteral("summary.xlsx"));
        const Run run = tool({m_db->name(), TestDatabase::server(), QStringLiteral("--report"),
                              QStringLiteral("product-summary"), QStringLiteral("--from"),
                              QStringLiteral("01.02.2024"), QStringLiteral("--to"),
                              QStringLiteral("01.03.2024"), QStringLiteral("--xlsx"), path});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        // A scheduled job mails whatever it writes on stderr: nothing on success.
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY(QFileInfo(path).isFile());

        TForm16 form16(*m_dm);
        TForm17 form17(*m_dm);
        TForm20 form20(*m_dm);
        TForm21 form21(*m_dm);
        TForm18 window(*m_dm, form16, form17, form20, form21);
        window.DTPicker1->setDate(QDate(2024, 2, 1));
        window.DTPicker2->setDate(QDate(2024, 3, 1));
        XlsxExport::setFolder(m_dir.path());
        OpenerRecorder opener;
        window.Button6->click();
        XlsxExport::setFolder({});
        QCOMPARE(opener.opened.size(), 1);
        const QStringList fromWindow = rows(opener.opened.first());
        QCOMPARE(fromWindow.size(), 4);
        QVERIFY(fromWindow.contains(
            QStringLiteral("Крышки:s|Покраска (цвет: 3):s|Готовая продукция:s|25:n|50:n")));
        QCOMPARE(rows(path), fromWindow);
        // Only the asked-for file is left behind.
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("Продукция*")}),
                 QStringList{QFileInfo(opener.opened.first()).fileName()});
    }

    // A workbook that cannot be written: the message names the file, not a spreadsheet program.
    void unwritableWorkbook()
    {
        const QString path = m_dir.filePath(QStringLiteral("taken.xlsx"));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("taken.xlsx/inside")));
        const Run run = tool({m_db->name(), TestDatabase::server(), QStringLiteral("--report"),
                              QStringLiteral("product-summary"), QStringLiteral("--from"),
                              QStringLiteral("01.02.2024"), QStringLiteral("--to"),
                              QStringLiteral("01.03.2024"), QStringLiteral("--xlsx"), path});
        QVERIFY(run.code != 0);
        QVERIFY2(run.err.contains(QDir::toNativeSeparators(path)), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QLatin1String("Excel")), qPrintable(run.err));
    }

    // Arguments that make no sense are refused with a message naming the problem, exit code 2,
    // before the database is reached, and no file is written.
    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no report") << QStringList{"--pdf", "x.pdf"} << "--report";
        QTest::newRow("unknown report")
            << QStringList{"--report", "salaries", "--pdf", "x.pdf"} << "salaries";
        QTest::newRow("unknown option")
            << QStringList{"--report", "workers", "--colour", "1"} << "colour";
        QTest::newRow("bad date") << QStringList{"--report",   "workers", "--from",
                                                 "2024-02-01", "--pdf",   "x.pdf"}
                                  << "ДД.ММ.ГГГГ";
        QTest::newRow("date out of range")
            << QStringList{"--report", "workers", "--from", "01.01.2001", "--pdf", "x.pdf"}
            << "--from";
        QTest::newRow("bad kind") << QStringList{"--report", "workers", "--kind",
                                                 "paint",    "--pdf",   "x.pdf"}
                                  << "paint";
        QTest::newRow("month 13") << QStringList{"--report", "hours", "--month",
                                                 "13",       "--pdf", "x.pdf"}
                                  << "--month";
        QTest::newRow("period for hours")
            << QStringList{"--report", "hours", "--from", "01.02.2024", "--pdf", "x.pdf"}
            << "--from";
        QTest::newRow("month for workers")
            << QStringList{"--report", "workers", "--month", "2", "--pdf", "x.pdf"} << "--month";
        QTest::newRow("no output") << QStringList{"--report", "products"} << "--pdf";
        QTest::newRow("workbook as PDF")
            << QStringList{"--report", "product-summary", "--pdf", "x.pdf"} << "--xlsx";
        QTest::newRow("missing folder")
            << QStringList{"--report", "workers", "--pdf", "/no/such/folder/x.pdf"}
            << "/no/such/folder";
        QTest::newRow("three positionals")
            << QStringList{"a", "b", "c", "--report", "workers", "--pdf", "x.pdf"} << "c";
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = tool(arguments);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(QStringLiteral("x.pdf")));
    }

    // "--help" lists every report and option.
    void help()
    {
        const Run run = tool({QStringLiteral("--help")});
        QCOMPARE(run.code, 0);
        for (const char *word : {"workers", "products", "workers-detailed", "products-detailed",
                                 "hours", "product-summary", "--from", "--to", "--kind", "finished",
                                 "blanks", "--month", "--year", "--pdf", "--xlsx", "server"})
            QVERIFY2(run.out.contains(QLatin1String(word)), word);
    }

    // No database, or a database of a newer build: a clear message, a non-zero exit, no file, and
    // the newer stamp left as it is.
    void databaseRefusals()
    {
        const QString path = m_dir.filePath(QStringLiteral("refused.pdf"));
        Run run = tool({QStringLiteral("no_such_database"), TestDatabase::server(),
                        QStringLiteral("--report"), QStringLiteral("workers"),
                        QStringLiteral("--pdf"), path});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Подключение к БД")) &&
                     run.err.contains(QLatin1String("no_such_database")),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path));

        const auto admin = m_db->admin();
        TestDatabase::exec(*admin, QStringLiteral("update accounts_dep.ver set d=99991231, t=1"));
        run = tool({m_db->name(), TestDatabase::server(), QStringLiteral("--report"),
                    QStringLiteral("workers"), QStringLiteral("--pdf"), path});
        const qint64 stamp =
            TestDatabase::scalar(*m_dm, QStringLiteral("select d as cnt from accounts_dep.ver"));
        TestDatabase::exec(*admin, QStringLiteral("update accounts_dep.ver set d=20000101, t=0"));
        QCOMPARE(run.code, 3);
        QVERIFY2(run.err.contains(QStringLiteral("более новой версии")), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(stamp, 99991231);

        // A failing statement is a database error with the server's words.
        TestDatabase::exec(
            *m_dm, QStringLiteral("alter table accounts_dep.fatigue rename to fatigue_away"));
        run = tool({m_db->name(), TestDatabase::server(), QStringLiteral("--report"),
                    QStringLiteral("workers"), QStringLiteral("--pdf"), path});
        TestDatabase::exec(
            *m_dm, QStringLiteral("alter table accounts_dep.fatigue_away rename to fatigue"));
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QLatin1String("fatigue")), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
};

TABEL_TEST_MAIN(TestReportTool)
#include "tst_report_tool.moc"
