#include "ui/busy.h"

#include <QApplication>
#include <QGuiApplication>

namespace {
int s_depth = 0;
}

BusyScope::BusyScope()
{
    ++s_depth;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyScope::~BusyScope()
{
    --s_depth;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

bool BusyScope::active()
{
    return s_depth > 0;
}
