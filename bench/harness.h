#pragma once

// A small benchmark runner. Every case runs in a child process of its own (so its peak memory is
// its own and one case's caches do not flatter the next), repeats its timed action a number of
// times and reports each time on its standard output; the parent gathers them into one table of
// medians and spreads, compares them with their targets and writes the table as Markdown.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace bench {

// A limit a figure must stay under (or, for ratios, reach).
struct Target
{
    double limit = 0;
    bool atLeast = false;
    // How much longer the figure may take on the larger shop (0: no limit), for figures whose own
    // rows are the same at both sizes.
    double growth = 0;
};

// What a case gets inside its child process, and where it reports.
class Run
{
public:
    Run(QString database, QString server, int runs, qint64 startedAt, QString focusDatabase = {});

    const QString &database() const { return m_database; }
    // The shop whose busiest day and month every case measures: the database itself, or for the
    // larger shop the shop it was grown from (see bench/grow_shop.sql).
    const QString &focusDatabase() const { return m_focusDatabase; }
    bool onLargerShop() const { return m_focusDatabase != m_database; }
    // The server argument of the program (host or socket directory).
    const QString &server() const { return m_server; }
    int runs() const { return m_runs; }
    // CLOCK_MONOTONIC in nanoseconds when the parent started this process.
    qint64 startedAt() const { return m_startedAt; }
    // The two shops whose entries are stored worker by worker, the second with four times the
    // workers (--scattered A,B; see bench/scatter_shop.sql); empty when not given.
    const QStringList &scatteredShops() const { return m_scattered; }
    void setScatteredShops(const QStringList &shops) { m_scattered = shops; }

    // Times one call of the action and reports it under the series; returns the seconds.
    double time(const QString &series, const std::function<void()> &action,
                std::optional<Target> target = {});
    // Reports a time measured by the case itself.
    void seconds(const QString &series, double value, std::optional<Target> target = {});
    // Reports another figure (memory in MB, a ratio ...).
    void value(const QString &series, double value, const QString &unit,
               std::optional<Target> target = {});
    // A line of text for the notes under the table.
    void note(const QString &text);

private:
    void emitTarget(const QString &series, const std::optional<Target> &target);

    QString m_database;
    QString m_focusDatabase;
    QString m_server;
    int m_runs;
    qint64 m_startedAt;
    QStringList m_scattered;
};

struct Case
{
    QString name;
    QString title;
    std::function<void(Run &)> body;
    // Start-up is measured from process start: each run is a process of its own.
    bool processPerRun = false;
};

// Parses the command line. As the parent (no --case): runs the cases matching --only (all by
// default) --runs times each, prints the table and writes it to --out with the machine's
// description; with --larger DATABASE every case runs on that shop too, and a second table sets
// each figure at both sizes side by side with their ratio. As a child (--case NAME): runs that
// case and reports.
int main(int argc, char **argv, const std::vector<Case> &cases);

// Resident and peak resident memory of this process, in MB.
double residentMegabytes();
double peakMegabytes();

} // namespace bench
