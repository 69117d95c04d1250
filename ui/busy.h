#pragma once

// Marks a long action (export, rebuild) in progress: a busy cursor is shown and the timers leave
// the database alone until it ends.
class BusyScope
{
public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

    static bool active();
};
