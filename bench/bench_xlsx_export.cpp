// A large timesheet export through the exporter's cell-by-cell path: 20,000 rows of 36 cells, half
// of them with text format, every cell auto-fitted, then the file finished. Each run is a child
// process of its own so that its peak memory is its own; the median time of the runs is reported.

#include "app/locale_setup.h"
#include "reports/xlsx_export.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 20000;
constexpr int kColumns = 36;
constexpr int kTextColumns = kColumns / 2;
constexpr int kRuns = 5;

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One export; prints "seconds peak-kB baseline-kB file-bytes".
int runOnce()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    XlsxExport::setFolder(dir.path());
    XlsxExport::setOpener([](const QString &) { return true; });

    const QStringList surnames = {"Иванов", "Петров",    "Сидоренко", "Кузнецов", "Щербаков",
                                  "Ли",     "Жуковский", "Ёлкин",     "Смирнов",  "Фёдоров"};
    const QStringList hours = {"8", "7,5", "12", "4", "0", "10,25", "11", "8"};
    const long baseline = peakKilobytes();

    QElapsedTimer timer;
    timer.start();
    XlsxExport xlsx;
    if (xlsx.open(QStringLiteral("Табель Март 2024")) != 1)
        return 1;
    for (int row = 1; row <= kRows; ++row) {
        const QString name =
            QStringLiteral("%1 %2 И.О.").arg(surnames[row % surnames.size()]).arg(row);
        for (int column = 1; column <= kColumns; ++column) {
            const bool text = column <= kTextColumns;
            const QString value = column == 1          ? name
                                  : column == kColumns ? QString::number(row * 7 % 2000)
                                  : column == kColumns - 1
                                      ? QStringLiteral("%1,%2").arg(row % 9000).arg(row % 100)
                                      : hours[(row + column) % hours.size()];
            xlsx.writeCell(1, column, row, value, text, true, false);
        }
    }
    xlsx.show(true);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%.3f %ld %ld %lld\n", seconds, peakKilobytes(), baseline,
                static_cast<long long>(QFileInfo(xlsx.fileName()).size()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setupRussianLocale(app);
    if (app.arguments().contains(QStringLiteral("--once")))
        return runOnce();

    std::vector<double> times;
    long peak = 0;
    long baseline = 0;
    long long bytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once")});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed: %s\n", run + 1,
                         child.readAllStandardError().constData());
            return 1;
        }
        const QStringList fields =
            QString::fromLatin1(child.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
        if (fields.size() != 4)
            return 1;
        times.push_back(fields[0].toDouble());
        peak = std::max(peak, fields[1].toLong());
        baseline = std::max(baseline, fields[2].toLong());
        bytes = fields[3].toLongLong();
        std::printf("run %d: %s s, peak %ld MB\n", run + 1, qPrintable(fields[0]),
                    fields[1].toLong() / 1024);
    }
    std::sort(times.begin(), times.end());
    std::printf("xlsx export, %d rows x %d cells (%d with text format), auto-fit, file %.1f MB\n",
                kRows, kColumns, kTextColumns, bytes / 1048576.0);
    std::printf("median time %.3f s over %d runs (min %.3f, max %.3f)\n", times[times.size() / 2],
                kRuns, times.front(), times.back());
    std::printf("peak memory %.1f MB (process before the export: %.1f MB)\n", peak / 1024.0,
                baseline / 1024.0);
    return 0;
}
