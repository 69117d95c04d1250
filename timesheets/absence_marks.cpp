#include "timesheets/absence_marks.h"

#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/messages.h"
#include "db/month_days.h"
#include "timesheets/absence_dialog.h"
#include "timesheets/monthly_timesheet.h"
#include "ui/busy.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/modal.h"

#include <QKeyEvent>
#include <QMenu>

namespace {

const QString Caption = QStringLiteral("Отсутствие");

QString dayList(const QVector<QDate> &days)
{
    QStringList texts;
    for (const QDate &day : days)
        texts << day.toString(QStringLiteral("dd.MM"));
    return texts.join(QStringLiteral(", "));
}

} // namespace

AbsenceMarks::AbsenceMarks(TDataModule6 &dm, TForm27 &window)
    : QObject(&window)
    , m_dm(dm)
    , m_window(window)
{
    setObjectName(QStringLiteral("AbsenceMarks"));
    window.DBGrid->installEventFilter(this);
    window.DBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window.DBGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { guard::run([&] { showContextMenu(position); }); });
}

const QVector<absences::Kind> &AbsenceMarks::kinds()
{
    if (m_kinds.isEmpty())
        m_kinds = absences::kinds(m_dm.ADO_DB);
    return m_kinds;
}

void AbsenceMarks::load(int month, int year)
{
    m_marks = absences::ofMonth(m_dm.ADO_DB, month, year);
}

void AbsenceMarks::load(Dataset &month)
{
    m_marks = absences::monthFrom(month);
}

qint64 AbsenceMarks::workerAt(int row) const
{
    const Dataset &rows = m_window.currentQuery();
    if (!rows.isOpen() || row < 0 || row >= rows.recordCount())
        return 0;
    return rows.valueAt(row, rows.columnOf(QStringLiteral("id"))).toLongLong();
}

QString AbsenceMarks::nameAt(int row) const
{
    const Dataset &rows = m_window.currentQuery();
    if (!rows.isOpen() || row < 0 || row >= rows.recordCount())
        return {};
    return rows.textAt(row, rows.columnOf(QStringLiteral("fio")));
}

QString AbsenceMarks::codeAt(int row, int day) const
{
    return m_marks.value({workerAt(row), day});
}

bool AbsenceMarks::currentCell(int &row, int &day) const
{
    const QModelIndex current = m_window.DBGrid->currentIndex();
    if (!current.isValid())
        return false;
    row = current.row();
    day = current.column() - TForm27::FirstDayColumn + 1;
    return day >= 1 && day <= QDate(m_window.year(), m_window.month(), 1).daysInMonth();
}

bool AbsenceMarks::refusedAsClosed() const
{
    if (!closedmonths::isClosed(m_dm, m_window.month(), m_window.year()))
        return false;
    messages::error(Caption, closedmonths::refusal(m_window.month(), m_window.year()));
    return true;
}

bool AbsenceMarks::mark(int row, int fromDay, int toDay, const QString &code)
{
    return markWorker(workerAt(row), nameAt(row), fromDay, toDay, code);
}

bool AbsenceMarks::clear(int row, int fromDay, int toDay)
{
    return clearWorker(workerAt(row), fromDay, toDay);
}

bool AbsenceMarks::markWorker(qint64 worker, const QString &name, int fromDay, int toDay,
                              const QString &code)
{
    if (!m_allowed || worker == 0 || code.isEmpty() || refusedAsClosed())
        return false;
    const QDate from(m_window.year(), m_window.month(), fromDay);
    const QDate to(m_window.year(), m_window.month(), toDay);
    const QVector<QDate> worked = absences::daysWithHours(m_dm.ADO_DB, worker, from, to);
    if (!worked.isEmpty()) {
        messages::error(Caption,
                        QStringLiteral("%1: в дни %2 есть часы работы, а в одном дне табеля не "
                                       "бывает и часов, и отсутствия «%3». Ничего не отмечено.")
                            .arg(name, dayList(worked), code));
        return false;
    }
    {
        BusyScope busy;
        absences::mark(m_dm.ADO_DB, worker, from, to, code);
        load(m_window.month(), m_window.year());
    }
    if (m_window.DBGrid->gridModel())
        m_window.DBGrid->gridModel()->restyle();
    return true;
}

bool AbsenceMarks::clearWorker(qint64 worker, int fromDay, int toDay)
{
    if (!m_allowed || worker == 0 || refusedAsClosed())
        return false;
    {
        BusyScope busy;
        absences::clear(m_dm.ADO_DB, worker, QDate(m_window.year(), m_window.month(), fromDay),
                        QDate(m_window.year(), m_window.month(), toDay));
        load(m_window.month(), m_window.year());
    }
    if (m_window.DBGrid->gridModel())
        m_window.DBGrid->gridModel()->restyle();
    return true;
}

void AbsenceMarks::openDialog(int row, int day)
{
    if (!m_allowed)
        return;
    const QString period = MonthDays::monthNames().value(m_window.month() - 1) + QLatin1Char(' ') +
                           QString::number(m_window.year());
    AbsenceDialog dialog(absences::workers(m_dm.ADO_DB), period,
                         QDate(m_window.year(), m_window.month(), 1).daysInMonth(), kinds(),
                         &m_window);
    dialog.preset(workerAt(row), day, day, codeAt(row, day));
    runModal(dialog, &m_window);
    if (dialog.choice() == AbsenceDialog::Mark)
        markWorker(dialog.worker(), dialog.workerName(), dialog.fromDay(), dialog.toDay(),
                   dialog.code());
    else if (dialog.choice() == AbsenceDialog::Clear)
        clearWorker(dialog.worker(), dialog.fromDay(), dialog.toDay());
}

void AbsenceMarks::fillMenu(QMenu &menu, int row, int day)
{
    const QString marked = codeAt(row, day);
    QAction *dialog = menu.addAction(QStringLiteral("Отсутствие (день или дни)…"));
    dialog->setObjectName(QStringLiteral("AbsenceDialogAction"));
    dialog->setShortcut(QKeySequence(Qt::Key_F4));
    connect(dialog, &QAction::triggered, this,
            [this, row, day] { guard::run([&] { openDialog(row, day); }); });
    QMenu *codes = menu.addMenu(QStringLiteral("Отметить %1 число").arg(day));
    codes->setObjectName(QStringLiteral("AbsenceCodes"));
    for (const absences::Kind &kind : kinds()) {
        QAction *action = codes->addAction(QStringLiteral("%1 — %2").arg(kind.code, kind.caption));
        action->setData(kind.code);
        action->setCheckable(true);
        action->setChecked(kind.code == marked);
        const QString code = kind.code;
        connect(action, &QAction::triggered, this,
                [this, row, day, code] { guard::run([&] { mark(row, day, day, code); }); });
    }
    QAction *remove = menu.addAction(QStringLiteral("Снять отметку"));
    remove->setObjectName(QStringLiteral("AbsenceClearAction"));
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    remove->setEnabled(!marked.isEmpty());
    connect(remove, &QAction::triggered, this,
            [this, row, day] { guard::run([&] { clear(row, day, day); }); });
}

void AbsenceMarks::showContextMenu(const QPoint &position)
{
    const QModelIndex index = m_window.DBGrid->indexAt(position);
    const int day = index.column() - TForm27::FirstDayColumn + 1;
    if (!m_allowed || !index.isValid() || day < 1 ||
        day > QDate(m_window.year(), m_window.month(), 1).daysInMonth())
        return;
    m_window.DBGrid->setCurrentIndex(index);
    QMenu menu(m_window.DBGrid);
    fillMenu(menu, index.row(), day);
    menu.exec(m_window.DBGrid->viewport()->mapToGlobal(position));
}

bool AbsenceMarks::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.DBGrid && event->type() == QEvent::KeyPress && m_allowed) {
        const auto *key = static_cast<QKeyEvent *>(event);
        int row = 0;
        int day = 0;
        // F4 on a grid without rows still marks: the dialog offers every worker.
        if (key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier &&
            m_window.currentQuery().isOpen() && m_window.currentQuery().isEmpty()) {
            guard::run([&] { openDialog(-1, 1); });
            return true;
        }
        if ((key->key() == Qt::Key_F4 || key->key() == Qt::Key_Delete) &&
            key->modifiers() == Qt::NoModifier && currentCell(row, day)) {
            if (key->key() == Qt::Key_F4)
                guard::run([&] { openDialog(row, day); });
            else if (!codeAt(row, day).isEmpty())
                guard::run([&] { clear(row, day, day); });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
