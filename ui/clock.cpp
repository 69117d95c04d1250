#include "ui/clock.h"

namespace {
QDateTime s_fixed;
}

QDateTime Clock::now()
{
    return s_fixed.isValid() ? s_fixed : QDateTime::currentDateTime();
}

void Clock::set(const QDateTime &moment)
{
    s_fixed = moment;
}
