#pragma once

#include "timesheets/month_rebuild.h"

#include <functional>

class QAbstractButton;
class QProgressBar;
class TDataModule6;

namespace rebuild {

// A month rebuild started by a timesheet window's button. While it runs the bar counts the days
// done (from 1 of days), the button takes no click and the program is busy; afterwards the bar is
// hidden and the button enabled again, however the rebuild ended. Then reopen reads the window's
// lists again, and a database failure is shown: the month's rows stayed as they were, with the
// server's text below; a connection lost during the commit is shown as the error guard shows it
// (the rebuild may have landed). False after such a failure.
bool runFromButton(QProgressBar &bar, QAbstractButton &button, int days,
                   const std::function<void(const Progress &)> &work,
                   const std::function<void()> &reopen);

// Before a rebuild starts: a closed month is not rebuilt, and the user is told so. True when the
// month is closed.
bool refusedAsClosed(TDataModule6 &dm, int month, int year);

} // namespace rebuild
