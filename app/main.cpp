#include "app/build_stamp.h"
#include "app/locale_setup.h"
#include "app/startup.h"
#include "app/termination.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabel"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Icon_1")));
    setupRussianLocale(application);

    Program program(buildStamp(), QApplication::arguments().mid(1));
    if (!program.start())
        return termination::exitCode();
    const int code = QApplication::exec();
    return termination::requested() ? termination::exitCode() : code;
}
