#include "db/program_version.h"

#include <QDateTime>

#include <cstdio>

QString versionText(const QString &program, const QString &version, const BuildStamp &stamp)
{
    const QDate date(stamp.date / 10000, stamp.date / 100 % 100, stamp.date % 100);
    const QTime time = QTime(0, 0).addSecs(stamp.time);
    return QStringLiteral("%1 %2 (build: %3.%4, собрана %5 %6)\n")
        .arg(program, version)
        .arg(stamp.date)
        .arg(stamp.time)
        .arg(date.toString(QStringLiteral("dd.MM.yyyy")),
             time.toString(QStringLiteral("HH:mm:ss")));
}

bool printVersion(int argc, char *argv[], const QString &program, const QString &version,
                  const BuildStamp &stamp)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--version") == 0) {
            std::fputs(versionText(program, version, stamp).toUtf8().constData(), stdout);
            return true;
        }
    }
    return false;
}
