#include "app/startup.h"
#include "db/build_stamp.h"
#include "db/program_version.h"
#include "ui/application_font.h"
#include "ui/locale_setup.h"
#include "ui/message_boxes.h"
#include "ui/termination.h"
#include "ui/window_setup.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    if (printVersion(argc, argv, QStringLiteral("tabel"), programVersion(), buildStamp()))
        return 0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabel"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(programIcon());
    setupRussianLocale(application);
    setupApplicationFont();
    messages::useMessageBoxes();

    Program program(buildStamp(), QApplication::arguments().mid(1));
    if (!program.start())
        return termination::exitCode();
    const int code = QApplication::exec();
    return termination::requested() ? termination::exitCode() : code;
}
