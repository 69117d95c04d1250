#pragma once

#include <QApplication>
#include <QTest>

// The main of every test program: TABEL_TEST_MAIN(TestClass) where Qt Test has QTEST_MAIN, and
// TABEL_TEST_GUILESS_MAIN for QTEST_GUILESS_MAIN. A macro rather than a static object in the
// support library: the warning check must sit on top of the message handler that Qt Test
// installs in QTest::qInit(), so run() installs it between QTest::qInit() and QTest::qRun(),
// which QTest::qExec() would do in one go; and a static library's object is linked only when
// something else uses it.
namespace tabeltest {

// Runs the test object as QTest::qExec() does, with these defaults for the whole run:
// - a message box or a modal window that no MessageRecorder or ModalScript is there to answer
//   fails the running test, naming its caption and text (the window's objectName and title),
//   and is answered "Нет" (rejected), where it would otherwise wait for a click until CTest's
//   timeout;
// - a warning fails the test function it arrives in, unless the test expects it
//   (QTest::ignoreMessage()).
int run(QObject &test, int argc, char **argv);

} // namespace tabeltest

#define TABEL_TEST_MAIN_WITH(TestObject, Application)                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        Application app(argc, argv);                                                               \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return tabeltest::run(test, argc, argv);                                                   \
    }

#define TABEL_TEST_MAIN(TestObject) TABEL_TEST_MAIN_WITH(TestObject, QApplication)
#define TABEL_TEST_GUILESS_MAIN(TestObject) TABEL_TEST_MAIN_WITH(TestObject, QCoreApplication)
