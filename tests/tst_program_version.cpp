#include "db/program_version.h"
#include "support/test_main.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// `--version` of both programs: the project's version and the build stamp the login dialog shows,
// answered without a display or a database, so that an administrator can tell the builds of the
// office's workstations apart.
class TestProgramVersion : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<int>("date");
        QTest::addColumn<int>("time");
        QTest::addColumn<QString>("expected");
        QTest::newRow("afternoon")
            << 20240305 << 45296
            << "tabel 1.2 (build: 20240305.45296, собрана 05.03.2024 12:34:56)\n";
        QTest::newRow("midnight") << 20231231 << 0
                                  << "tabel 1.2 (build: 20231231.0, собрана 31.12.2023 00:00:00)\n";
        QTest::newRow("last second of the day")
            << 20240229 << 86399
            << "tabel 1.2 (build: 20240229.86399, собрана 29.02.2024 23:59:59)\n";
    }
    void text()
    {
        QFETCH(int, date);
        QFETCH(int, time);
        QFETCH(QString, expected);
        QCOMPARE(versionText(QStringLiteral("tabel"), QStringLiteral("1.2"), {date, time}),
                 expected);
    }

    // Each program as installed: no display, no platform, no database; any other argument with
    // --version is not acted on.
    void programs_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("tabel") << TABEL_PATH << "tabel" << QStringList{"--version"};
        QTest::newRow("tabel with a database and a server")
            << TABEL_PATH << "tabel" << QStringList{"nodb", "/nonexistent", "--version"};
        QTest::newRow("tabel-report")
            << TABEL_REPORT_PATH << "tabel-report" << QStringList{"--version"};
        QTest::newRow("tabel-report with a report")
            << TABEL_REPORT_PATH << "tabel-report"
            << QStringList{"--report", "workers", "--version", "--pdf", "/nonexistent/x.pdf"};
    }
    void programs()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QStringList, arguments);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "PGHOST"})
            environment.remove(QLatin1String(variable));
        process.setProcessEnvironment(environment);
        process.start(path, arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(process.exitCode(), 0);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QRegularExpression pattern(
            QStringLiteral("^%1 %2 \\(build: (\\d{8})\\.(\\d+), собрана "
                           "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\)\\n$")
                .arg(QRegularExpression::escape(name),
                     QRegularExpression::escape(QStringLiteral(TABEL_VERSION))));
        const QRegularExpressionMatch match = pattern.match(out);
        QVERIFY2(match.hasMatch(), qPrintable(out));
        // The stamp is the one the program checks the database with: read back, it prints the same.
        const BuildStamp stamp{match.captured(1).toInt(), match.captured(2).toInt()};
        QCOMPARE(out, versionText(name, QStringLiteral(TABEL_VERSION), stamp));
        QVERIFY(stamp.time >= 0 && stamp.time < 86400);
    }
};

TABEL_TEST_GUILESS_MAIN(TestProgramVersion)
#include "tst_program_version.moc"
