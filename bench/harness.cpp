#include "bench/harness.h"

#include "db/db_error.h"
#include "db/messages.h"
#include "ui/locale_setup.h"
#include "ui/modal.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

qint64 monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void emitLine(const QStringList &fields)
{
    std::printf("%s\n", qPrintable(fields.join(QLatin1Char('\t'))));
    std::fflush(stdout);
}

// Messages of a child go to its error stream: nothing waits for a click.
class MessagesToStderr : public messages::Handler
{
public:
    bool show(const messages::Message &message) override
    {
        std::fprintf(stderr, "message: %s: %s %s\n", qPrintable(message.caption),
                     qPrintable(message.text), qPrintable(message.detail));
        return false;
    }
};

// One row of the table: every figure reported under one series.
struct Series
{
    QString name;
    QString unit = QStringLiteral("s");
    std::vector<double> values;
    std::optional<Target> target;
    double peakMegabytes = 0;
    bool failed = false;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds as the table shows them: milliseconds below ten seconds.
QString formatFigure(double value, const QString &unit)
{
    if (unit == QLatin1String("s"))
        return value < 10 ? QStringLiteral("%1 ms").arg(value * 1000, 0, 'f', value < 0.1 ? 2 : 1)
                          : QStringLiteral("%1 s").arg(value, 0, 'f', 2);
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(unit);
}

bool meets(const Series &series)
{
    if (!series.target || series.values.empty())
        return true;
    const double figure = median(series.values);
    return series.target->atLeast ? figure >= series.target->limit : figure < series.target->limit;
}

QString readFirstMatch(const QString &path, const QString &pattern)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = expression.match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

QStringList machineDescription()
{
    const QString memory =
        readFirstMatch(QStringLiteral("/proc/meminfo"), QStringLiteral("^MemTotal:\\s*(\\d+)"));
    return {
        QStringLiteral("processor: %1, %2 cores")
            .arg(readFirstMatch(QStringLiteral("/proc/cpuinfo"),
                                QStringLiteral("^model name\\s*:\\s*(.*)$")))
            .arg(QThread::idealThreadCount()),
        QStringLiteral("memory: %1 GiB").arg(memory.toDouble() / 1024 / 1024, 0, 'f', 1),
        QStringLiteral("system: %1, kernel %2")
            .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion()),
        QStringLiteral("Qt %1, build type %2")
            .arg(QString::fromLatin1(qVersion()), TABEL_BUILD_TYPE),
    };
}

struct Options
{
    int runs = 5;
    QStringList only;
    QString out;
    QString caseName;
    QString database;
    QString larger;
    QString focusDatabase;
    QString scattered;
    QString server;
    qint64 startedAt = 0;
};

Options parse(const QStringList &arguments)
{
    Options options;
    options.database = qEnvironmentVariable("PGDATABASE");
    options.server = qEnvironmentVariable("PGHOST", QStringLiteral("127.0.0.1"));
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const QString next = arguments.value(i + 1);
        if (argument == QLatin1String("--runs"))
            options.runs = std::max(1, next.toInt()), ++i;
        else if (argument == QLatin1String("--only"))
            options.only = next.split(QLatin1Char(','), Qt::SkipEmptyParts), ++i;
        else if (argument == QLatin1String("--out"))
            options.out = next, ++i;
        else if (argument == QLatin1String("--case"))
            options.caseName = next, ++i;
        else if (argument == QLatin1String("--database"))
            options.database = next, ++i;
        else if (argument == QLatin1String("--larger"))
            options.larger = next, ++i;
        else if (argument == QLatin1String("--focus-database"))
            options.focusDatabase = next, ++i;
        else if (argument == QLatin1String("--scattered"))
            options.scattered = next, ++i;
        else if (argument == QLatin1String("--server"))
            options.server = next, ++i;
        else if (argument == QLatin1String("--started-at"))
            options.startedAt = next.toLongLong(), ++i;
    }
    return options;
}

int runChild(const Options &options, const std::vector<Case> &cases)
{
    const auto found = std::find_if(cases.begin(), cases.end(),
                                    [&](const Case &c) { return c.name == options.caseName; });
    if (found == cases.end()) {
        std::fprintf(stderr, "no case %s\n", qPrintable(options.caseName));
        return 2;
    }
    MessagesToStderr messages;
    messages::setHandler(&messages);
    // A window shown modally returns at once unless the case installs its own handler.
    setModalHandler([](QDialog &) { return 0; });
    Run run(options.database, options.server, options.runs,
            options.startedAt ? options.startedAt : monotonicNanoseconds(), options.focusDatabase);
    run.setScatteredShops(options.scattered.split(QLatin1Char(','), Qt::SkipEmptyParts));
    try {
        found->body(run);
    } catch (const DbError &error) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(error.message()));
        return 1;
    }
    emitLine({QStringLiteral("peak"), QString::number(peakMegabytes(), 'f', 1)});
    messages::setHandler(nullptr);
    return 0;
}

// Every figure measured on one shop.
struct Figures
{
    QMap<QString, Series> series;
    QStringList order;
    QStringList notes;
};

// Starts one child for the case on the database and adds what it reports to the figures; false
// when it failed.
bool collect(const Options &options, const QString &database, const Case &c, int runs,
             Figures &figures)
{
    QMap<QString, Series> &series = figures.series;
    QStringList &order = figures.order;
    QStringList &notes = figures.notes;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList arguments = {
        QStringLiteral("--case"),           c.name,
        QStringLiteral("--runs"),           QString::number(runs),
        QStringLiteral("--database"),       database,
        QStringLiteral("--focus-database"), options.database,
        QStringLiteral("--server"),         options.server,
        QStringLiteral("--started-at"),     QString::number(monotonicNanoseconds()),
        QStringLiteral("--scattered"),      options.scattered};
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "%s: failed (exit code %d)\n", qPrintable(c.name), child.exitCode());
        return false;
    }
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n');
    double peak = 0;
    QStringList reported;
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.value(0) == QLatin1String("peak")) {
            peak = f.value(1).toDouble();
        } else if (f.value(0) == QLatin1String("note")) {
            notes << f.mid(1).join(QLatin1Char('\t'));
        } else if (f.size() >= 3) {
            const QString &name = f[1];
            if (!series.contains(name)) {
                order << name;
                series[name].name = name;
            }
            Series &s = series[name];
            if (f[0] == QLatin1String("time")) {
                s.values.push_back(f[2].toDouble());
            } else if (f[0] == QLatin1String("value")) {
                s.values.push_back(f[2].toDouble());
                s.unit = f.value(3);
            } else if (f[0] == QLatin1String("target")) {
                s.target = Target{f[2].toDouble(), f.value(3) == QLatin1String("at-least"),
                                  f.value(4).toDouble()};
            }
            if (!reported.contains(name))
                reported << name;
        }
    }
    for (const QString &name : reported)
        series[name].peakMegabytes = std::max(series[name].peakMegabytes, peak);
    return true;
}

QString table(const QStringList &order, const QMap<QString, Series> &series)
{
    QString text;
    QTextStream out(&text);
    out << "| benchmark | median | spread (min – max) | runs | peak memory | target | |\n";
    out << "|---|---:|---:|---:|---:|---:|---|\n";
    for (const QString &name : order) {
        const Series &s = series[name];
        if (s.values.empty())
            continue;
        const auto [low, high] = std::minmax_element(s.values.begin(), s.values.end());
        QString target;
        if (s.target)
            target = (s.target->atLeast ? QStringLiteral("≥ ") : QStringLiteral("< ")) +
                     formatFigure(s.target->limit, s.unit);
        out << "| " << s.name << " | " << formatFigure(median(s.values), s.unit) << " | "
            << formatFigure(*low, s.unit) << " – " << formatFigure(*high, s.unit) << " | "
            << s.values.size() << " | " << QString::number(s.peakMegabytes, 'f', 0) << " MB | "
            << target << " | " << (s.target ? (meets(s) ? "ok" : "**missed**") : "") << " |\n";
    }
    return text;
}

// A series' name without the count of rows it showed, which may differ between the two shops.
QString seriesKey(const QString &name)
{
    static const QRegularExpression rows(QStringLiteral(" \\(\\d+ rows\\)"));
    return QString(name).remove(rows);
}

// Each time figure at both sizes and how much it grew; the window queries (the figures with a
// growth limit) are judged against it.
QString growthTable(const Figures &base, const Figures &larger)
{
    QMap<QString, const Series *> grown;
    for (const Series &s : larger.series)
        grown.insert(seriesKey(s.name), &s);
    QString text;
    QTextStream out(&text);
    out << "| benchmark | large shop | 4× shop | 4× / 1× | limit | |\n";
    out << "|---|---:|---:|---:|---:|---|\n";
    for (const QString &name : base.order) {
        const Series &s = base.series[name];
        const Series *other = grown.value(seriesKey(name));
        if (s.values.empty() || !other || other->values.empty())
            continue;
        const double one = median(s.values);
        const double four = median(other->values);
        const bool isTime = s.unit == QLatin1String("s");
        const double growth = s.target ? s.target->growth : 0;
        QString ratio;
        QString verdict;
        if (isTime && one > 0) {
            ratio = QStringLiteral("%1×").arg(four / one, 0, 'f', 2);
            if (growth > 0)
                verdict =
                    four / one <= growth ? QStringLiteral("ok") : QStringLiteral("**missed**");
        }
        out << "| " << seriesKey(name) << " | " << formatFigure(one, s.unit) << " | "
            << formatFigure(four, other->unit) << " | " << ratio << " | "
            << (growth > 0 ? QStringLiteral("≤ %1×").arg(growth, 0, 'f', 1) : QString()) << " | "
            << verdict << " |\n";
    }
    return text;
}

int runParent(const Options &options, const std::vector<Case> &cases)
{
    if (options.database.isEmpty()) {
        std::fprintf(stderr, "no database: set PGDATABASE or pass --database (scripts/bench)\n");
        return 2;
    }
    Figures figures;
    Figures larger;
    QStringList failed;
    for (const Case &c : cases) {
        if (!options.only.isEmpty() &&
            std::none_of(options.only.begin(), options.only.end(),
                         [&](const QString &part) { return c.name.contains(part); }))
            continue;
        std::fprintf(stderr, "bench: %s\n", qPrintable(c.title));
        bool ok = true;
        const auto measure = [&](const QString &database, Figures &into) {
            if (c.processPerRun) {
                for (int run = 0; run < options.runs && ok; ++run)
                    ok = collect(options, database, c, 1, into);
            } else {
                ok = ok && collect(options, database, c, options.runs, into);
            }
        };
        measure(options.database, figures);
        if (!options.larger.isEmpty()) {
            std::fprintf(stderr, "bench: %s, on the 4× shop\n", qPrintable(c.title));
            measure(options.larger, larger);
        }
        if (!ok)
            failed << c.name;
    }

    QString report;
    QTextStream out(&report);
    out << "# Benchmark results\n\n";
    out << "Measured " << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"))
        << " on database `" << options.database << "`, " << options.runs
        << " runs of each (median, and the lowest and highest run). Peak memory is the resident "
           "peak of the process that ran the benchmark, program windows included where it opens "
           "them.\n\n";
    out << "## Machine\n\n";
    for (const QString &line : machineDescription())
        out << "- " << line << "\n";
    out << "\n## Figures\n\n" << table(figures.order, figures.series);
    if (!options.larger.isEmpty()) {
        out << "\n## The shop four times as large\n\n"
            << "Database `" << options.larger
            << "` (bench/grow_shop.sql): three more workers for each worker of `"
            << options.database
            << "` with the same entries, so every table is about four times as large, except on "
               "the busiest day and in the busiest month, which show the same rows at both sizes "
               "(the new workers keep to one shift each, so their months have fewer monthly rows "
               "per worker). The rebuilds there take the month before the busiest one, where the "
               "new workers work. A window query may take at most 1.5 times as long on it.\n\n"
            << growthTable(figures, larger) << "\n### Its own figures\n\n"
            << table(larger.order, larger.series);
    }
    const auto printNotes = [&](const QString &title, const QStringList &notes) {
        if (notes.isEmpty())
            return;
        out << "\n## " << title << "\n\n";
        for (const QString &line : notes)
            out << "- " << line << "\n";
    };
    printNotes(QStringLiteral("Notes"), figures.notes);
    printNotes(QStringLiteral("Notes on the 4× shop"), larger.notes);
    if (!failed.isEmpty())
        out << "\n**Failed:** " << failed.join(QStringLiteral(", ")) << "\n";
    out.flush();
    std::printf("%s", report.toUtf8().constData());
    if (!options.out.isEmpty()) {
        QFile file(options.out);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(options.out));
            return 1;
        }
        file.write(report.toUtf8());
    }
    return failed.isEmpty() ? 0 : 1;
}

} // namespace

Run::Run(QString database, QString server, int runs, qint64 startedAt, QString focusDatabase)
    : m_database(std::move(database))
    , m_focusDatabase(focusDatabase.isEmpty() ? m_database : std::move(focusDatabase))
    , m_server(std::move(server))
    , m_runs(runs)
    , m_startedAt(startedAt)
{}

double Run::time(const QString &series, const std::function<void()> &action,
                 std::optional<Target> target)
{
    QElapsedTimer timer;
    timer.start();
    action();
    const double elapsed = timer.nsecsElapsed() / 1e9;
    seconds(series, elapsed, target);
    return elapsed;
}

void Run::seconds(const QString &series, double value, std::optional<Target> target)
{
    emitTarget(series, target);
    emitLine({QStringLiteral("time"), series, QString::number(value, 'g', 9)});
}

void Run::value(const QString &series, double value, const QString &unit,
                std::optional<Target> target)
{
    emitTarget(series, target);
    emitLine({QStringLiteral("value"), series, QString::number(value, 'g', 9), unit});
}

void Run::note(const QString &text)
{
    emitLine({QStringLiteral("note"), text});
}

void Run::emitTarget(const QString &series, const std::optional<Target> &target)
{
    if (target)
        emitLine({QStringLiteral("target"), series, QString::number(target->limit, 'g', 9),
                  target->atLeast ? QStringLiteral("at-least") : QStringLiteral("under"),
                  QString::number(target->growth, 'g', 9)});
}

double residentMegabytes()
{
    return readFirstMatch(QStringLiteral("/proc/self/status"), QStringLiteral("^VmRSS:\\s*(\\d+)"))
               .toDouble() /
           1024;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

int main(int argc, char **argv, const std::vector<Case> &cases)
{
    // The windows need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setupRussianLocale(application);
    const Options options = parse(QCoreApplication::arguments());
    return options.caseName.isEmpty() ? runParent(options, cases) : runChild(options, cases);
}

} // namespace bench
