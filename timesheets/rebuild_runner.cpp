#include "timesheets/rebuild_runner.h"

#include "db/closed_months.h"
#include "db/db_error.h"
#include "db/messages.h"
#include "ui/busy.h"
#include "ui/error_guard.h"

#include <QAbstractButton>
#include <QProgressBar>
#include <QScopeGuard>

namespace rebuild {

bool runFromButton(QProgressBar &bar, QAbstractButton &button, int days,
                   const std::function<void(const Progress &)> &work,
                   const std::function<void()> &reopen)
{
    bar.setMaximum(days);
    bar.setVisible(true);
    bar.setValue(1);
    button.setEnabled(false);
    bool failed = false;
    QString failure;
    std::exception_ptr unknown;
    {
        const auto restore = qScopeGuard([&] {
            bar.setVisible(false);
            button.setEnabled(true);
        });
        try {
            BusyScope busy;
            // No events are let in while the transaction runs: the bar is repainted directly.
            work([&bar](int day) {
                bar.setValue(day);
                bar.repaint();
            });
        } catch (const DbError &error) {
            failed = true;
            failure = error.message();
            if (error.isLostAtCommit())
                unknown = std::current_exception();
        }
    }
    if (reopen)
        reopen();
    // The month may have been rebuilt before the answer was lost: said as every action says it.
    if (unknown)
        guard::report(unknown);
    else if (failed)
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Табель не перестроен: строки месяца остались прежними."),
                        failure);
    return !failed;
}

bool refusedAsClosed(TDataModule6 &dm, int month, int year)
{
    if (!closedmonths::isClosed(dm, month, year))
        return false;
    messages::error(QStringLiteral("Ошибка"), closedmonths::refusal(month, year));
    return true;
}

} // namespace rebuild
