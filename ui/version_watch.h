#pragma once

#include "db/build_stamp.h"
#include "db/version_check.h"

#include <optional>

class QTimer;
class TDataModule6;

// Runs the version check for the login dialog's activation and the main window's timer: when the
// database carries a newer build, it starts the termination timer, says so and ends the program.
class VersionWatch
{
public:
    VersionWatch(TDataModule6 &dm, const BuildStamp &build)
        : m_dm(dm)
        , m_build(build)
    {}

    // The timer that ends the program even when nobody answers the message.
    void setTerminationTimer(QTimer *timer) { m_terminationTimer = timer; }
    const BuildStamp &build() const { return m_build; }

    // Returns false when the program is ending.
    bool check();
    // What start-up already read with its other queries: the next check takes it instead of
    // asking the database (a build that must raise the stamp is not primed).
    void prime(VersionState state) { m_primed = state; }

private:
    TDataModule6 &m_dm;
    BuildStamp m_build;
    QTimer *m_terminationTimer = nullptr;
    std::optional<VersionState> m_primed;
};
