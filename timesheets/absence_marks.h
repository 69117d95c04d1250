#pragma once

#include "db/absences.h"

#include <QHash>
#include <QObject>
#include <QPoint>

class QMenu;
class TDataModule6;
class TForm27;

// The absence marks of the monthly timesheet: the codes shown in the day cells without hours, and
// their marking by keyboard (F4 opens the marking of the current day, Delete takes the current
// day's mark off) and by the grid's context menu, for one day or a range of days. Full access
// only; a day with hours, and a closed month, are refused with a sentence before anything is
// written.
class AbsenceMarks : public QObject
{
    Q_OBJECT
public:
    AbsenceMarks(TDataModule6 &dm, TForm27 &window);

    // Reads the marks of the month shown.
    void load(int month, int year);
    // The marks from a query asked with absences::askMonth and opened with others.
    void load(Dataset &month);
    // The code marked on a day of the worker of a grid row (0-based), or empty.
    QString codeAt(int row, int day) const;
    // Whether the role may mark (full access).
    void setAllowed(bool allowed) { m_allowed = allowed; }
    bool isAllowed() const { return m_allowed; }
    const QVector<absences::Kind> &kinds();

    // Marks the days from..to of the month shown for the worker of a grid row (0-based); false
    // when refused (the user has been told why).
    bool mark(int row, int fromDay, int toDay, const QString &code);
    // Takes the marks of those days off; false when refused.
    bool clear(int row, int fromDay, int toDay);
    // The same for a worker by id (one the grid may not list: no hours in the month).
    bool markWorker(qint64 worker, const QString &name, int fromDay, int toDay,
                    const QString &code);
    bool clearWorker(qint64 worker, int fromDay, int toDay);
    // The dialog over a grid row and day, preset with its worker, the day and its code; a row
    // of -1 presets no worker (an empty grid).
    void openDialog(int row, int day);
    // The context menu of a grid row and day (built, not shown).
    void fillMenu(QMenu &menu, int row, int day);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The grid's current row and day; false when the current cell is no day of the month.
    bool currentCell(int &row, int &day) const;
    qint64 workerAt(int row) const;
    QString nameAt(int row) const;
    bool refusedAsClosed() const;
    void showContextMenu(const QPoint &position);

    TDataModule6 &m_dm;
    TForm27 &m_window;
    QHash<absences::WorkerDay, QString> m_marks;
    QVector<absences::Kind> m_kinds;
    bool m_allowed = false;
};
