#include "db/build_stamp.h"
#include "db/program_version.h"
#include "tools/report_tool.h"
#include "ui/application_font.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (printVersion(argc, argv, QStringLiteral("tabel-report"), programVersion(), buildStamp()))
        return 0;
    // A scheduled job has no display: the offscreen platform unless one is asked for.
    bool platformGiven = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i)
        platformGiven = platformGiven || qstrcmp(argv[i], "-platform") == 0;
    if (!platformGiven)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // Qt warns on stderr when the session has no runtime folder, and a scheduled job mails what
    // it writes there: a private one for this run instead.
    std::unique_ptr<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/tabel-report-XXXXXX"));
        if (runtime->isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabel-report"));
    setupRussianLocale(application);
    setupApplicationFont();

    QTextStream out(stdout);
    QTextStream err(stderr);
    const int code = report_tool::run(QApplication::arguments().mid(1), buildStamp(), out, err);
    out.flush();
    err.flush();
    return code;
}
