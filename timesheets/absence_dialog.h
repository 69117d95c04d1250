#pragma once

#include "db/absences.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// Marks a worker's days with an absence code, or takes the marks off: a worker (any worker, also
// one without hours in the month), a code and a range of days of the month shown.
class AbsenceDialog : public QDialog
{
    Q_OBJECT
public:
    enum Choice { Cancelled = 0, Mark, Clear };

    AbsenceDialog(const QVector<absences::Person> &workers, const QString &period, int daysInMonth,
                  const QVector<absences::Kind> &kinds, QWidget *parent = nullptr);

    QLabel *Period;
    QComboBox *Worker;
    QComboBox *Code;
    QSpinBox *FromDay;
    QSpinBox *ToDay;
    QPushButton *MarkButton;
    QPushButton *ClearButton;
    QPushButton *CancelButton;

    // The worker, the days the dialog opens on and the code preselected (empty: the first).
    void preset(qint64 worker, int fromDay, int toDay, const QString &code);
    Choice choice() const { return m_choice; }
    // The worker chosen (0: none) and his name.
    qint64 worker() const;
    QString workerName() const;
    QString code() const;
    int fromDay() const;
    int toDay() const;

private:
    Choice m_choice = Cancelled;
};
