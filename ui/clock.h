#pragma once

#include <QDate>
#include <QDateTime>

// The one place that says what day and time it is; tests fix it.
class Clock
{
public:
    static QDateTime now();
    static QDate today() { return now().date(); }
    // Fixes the time (tests); an invalid value goes back to the system clock.
    static void set(const QDateTime &moment);
};
