#include "app/login_dialog.h"
#include "app/startup.h"
#include "db/data_module.h"
#include "db/site_settings.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/termination.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The program's start: connection from the command line, login dialog first, ending on failures.
class TestStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(QStringLiteral("startup")); }
    void cleanupTestCase() { m_db.reset(); }
    // Each case starts from a database no build has stamped yet.
    void init()
    {
        auto admin = m_db->admin();
        TestDatabase::exec(*admin, QStringLiteral("update accounts_dep.ver set d=0, t=0"));
    }

    // A database that cannot be reached: one message, and the program ends with no window.
    // A service file with the password that others may read is not used: the message says which
    // file and how to close it.
    void connectionFailure_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("openServiceFile");
        QTest::newRow("no such database")
            << QStringList{"nosuchdb", TestDatabase::server()} << false;
        QTest::newRow("no such server") << QStringList{"x", "/nonexistent-socket-dir"} << false;
        QTest::newRow("a service file others may read")
            << QStringList{m_db->name(), "office"} << true;
    }
    void connectionFailure()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, openServiceFile);
        QTemporaryDir dir;
        const QString services = dir.filePath(QStringLiteral("services"));
        const QByteArray saved = qgetenv("PGSERVICEFILE");
        const auto restore = qScopeGuard([&] {
            if (saved.isNull())
                qunsetenv("PGSERVICEFILE");
            else
                qputenv("PGSERVICEFILE", saved);
        });
        QString expected = QStringLiteral("Подключение к БД отсутсвует!!!");
        if (openServiceFile) {
            QFile file(services);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("[office]\nhost=%1\npassword=%2\n")
                           .arg(TestDatabase::server(), qEnvironmentVariable("PGPASSWORD"))
                           .toUtf8());
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther));
            qputenv("PGSERVICEFILE", QFile::encodeName(services));
            expected += QLatin1Char('\n') + connection::exposedServiceFile(services, false);
        }
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, arguments);
        QVERIFY(!program.start());
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка!"));
        QCOMPARE(recorder.shown.first().text, expected);
        QCOMPARE(terminations.requests, QList<int>{1});
        // One list: begin and end of two separate copies would walk from one into the other.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(),
                             [](QWidget *w) { return w->isVisible(); }));
    }

    // A reachable database: the login dialog is shown with the build in its caption.
    void startsWithLoginDialog()
    {
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 4242}, {m_db->name(), TestDatabase::server()});
        QVERIFY(program.start());
        QVERIFY(program.loginDialog().isVisible());
        QVERIFY(!program.mainWindow().isVisible());
        QCOMPARE(program.loginDialog().windowTitle(),
                 QStringLiteral("Авторизация (build: 20240305.4242)"));
        QVERIFY(program.mainWindow().Timer1->isActive());
        QCOMPARE(program.mainWindow().Timer1->interval(), 30000);
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(terminations.requests.isEmpty());
        QCOMPARE(program.dataModule().DecimalDelimiter, QStringLiteral("."));
    }

    // A database stamped by a newer build: the message, and the program ends before its loop.
    void newerDatabaseEndsAtStart()
    {
        MessageRecorder recorder;
        TerminationRecorder terminations;
        {
            Program newer({20240306, 0}, {m_db->name(), TestDatabase::server()});
            QVERIFY(newer.start());
        }
        Program program({20240305, 0}, {m_db->name(), TestDatabase::server()});
        QVERIFY(!program.start());
        QCOMPARE(recorder.texts(),
                 QStringList{QStringLiteral(
                     "Версия программы не соответсвует БД! Запустите программу через 5 мин.")});
        QCOMPARE(terminations.requests, QList<int>{1});
        QVERIFY(program.loginDialog().Timer1->isActive());
    }

    // The access codes: exact after trimming, case matters, no prefixes.
    void loginCodes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("full with blanks") << "  9073 \t" << true;
        QTest::newRow("full, other code") << "61730428" << true;
        QTest::newRow("planning") << "vadrik" << true;
        QTest::newRow("planning in capitals") << "VADRIK" << false;
        QTest::newRow("one character more") << "90734" << false;
        QTest::newRow("one character less") << "6173042" << false;
        QTest::newRow("empty") << "" << false;
    }
    void loginCodes()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        MessageRecorder recorder;
        TerminationRecorder terminations;
        ModalScript modal([](QDialog &dialog) { dialog.close(); });
        Program program({20240305, 0}, {m_db->name(), TestDatabase::server()});
        QVERIFY(program.start());
        TForm23 &login = program.loginDialog();
        login.Edit1->setText(typed);
        login.Button1->click();
        QCOMPARE(program.mainWindow().LoginText, typed.trimmed());
        QCOMPARE(program.mainWindow().ShiftNo, 1);
        if (accepted) {
            QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm1")});
            QVERIFY(recorder.shown.isEmpty());
            QVERIFY(!login.isVisible());
            QCOMPARE(terminations.requests, QList<int>{0}); // closing the main window ends it all
        } else {
            QVERIFY(modal.opened.isEmpty());
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
            QVERIFY(login.isVisible());
            QCOMPARE(login.Edit1->text(), typed);
            QVERIFY(terminations.requests.isEmpty());
        }
    }

    // Every window of the program exists after start-up, and the catalogue items of the menu open
    // their lists as catalogues.
    void menuOpensCatalogues_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::newRow("workers") << "N1"
                                 << "TForm5";
        QTest::newRow("products") << "N3"
                                  << "TForm3";
        QTest::newRow("operation kinds") << "N6"
                                         << "TForm8";
        QTest::newRow("nomenclature groups") << "N8"
                                             << "TForm26";
    }
    void menuOpensCatalogues()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, {m_db->name(), TestDatabase::server()});
        QVERIFY(program.start());
        QAction *action = program.mainWindow().findChild<QAction *>(item);
        QVERIFY(action);
        QVERIFY(action->isEnabled());
        QStringList captions;
        ModalScript modal([&](QDialog &dialog) {
            for (const QPushButton *button : dialog.findChildren<QPushButton *>())
                if (!button->isHidden())
                    captions << button->text();
        });
        action->trigger();
        QCOMPARE(modal.opened, QList<QString>{window});
        captions.sort();
        QCOMPARE(captions, (QStringList{"Выход", "Добавить", "Изменить", "Удалить"}));
        QVERIFY(recorder.shown.isEmpty());
    }

    // The timesheet and report items open their windows in the right mode, on the current month.
    void menuOpensTimesheetsAndReports_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("caption");
        QTest::newRow("piece-work") << "N9"
                                    << "TForm27"
                                    << "Табель сделка (27)";
        QTest::newRow("household works") << "N14"
                                         << "TForm27"
                                         << "Табель хоз. работы (27)";
        QTest::newRow("average piece rate") << "N15"
                                            << "TForm27"
                                            << "Табель ср. сдельная (27)";
        QTest::newRow("overall") << "N17"
                                 << "TForm27"
                                 << "Общий табель (27)";
        QTest::newRow("by shifts") << "N13"
                                   << "TForm19"
                                   << "Табель по времени";
        QTest::newRow("summary reports") << "N10"
                                         << "TForm18"
                                         << "Отчеты (8)";
    }
    void menuOpensTimesheetsAndReports()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(QString, caption);
        MessageRecorder recorder;
        TerminationRecorder terminations;
        Program program({20240305, 0}, {m_db->name(), TestDatabase::server()});
        QVERIFY(program.start());
        program.mainWindow().FormActivate();
        QString shownCaption;
        ModalScript modal([&](QDialog &dialog) { shownCaption = dialog.windowTitle(); });
        QAction *action = program.mainWindow().findChild<QAction *>(item);
        QVERIFY(action && action->isEnabled());
        action->trigger();
        QCOMPARE(modal.opened, QList<QString>{window});
        QCOMPARE(shownCaption, caption);
        QVERIFY(recorder.shown.isEmpty());
    }

private:
    std::unique_ptr<TestDatabase> m_db;
};

TABEL_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
