#include "ui/termination.h"

#include <QCoreApplication>
#include <QThread>

namespace termination {

namespace {
bool s_requested = false;
int s_exitCode = 0;
std::function<void(int)> s_handler;
} // namespace

void request(int exitCode)
{
    if (!s_requested)
        s_exitCode = exitCode;
    s_requested = true;
    if (s_handler) {
        s_handler(exitCode);
        return;
    }
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(s_exitCode);
}

bool requested()
{
    return s_requested;
}

int exitCode()
{
    return s_exitCode;
}

void setHandler(std::function<void(int)> handler)
{
    s_handler = std::move(handler);
}

void reset()
{
    s_requested = false;
    s_exitCode = 0;
}

} // namespace termination
