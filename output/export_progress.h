#pragma once

#include "ui/busy.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QWidget;

// The progress of a spreadsheet export in the caption of its button: "Excel (0 из N)" when the
// rows start, "Excel (k из N)" after k rows; the caption keeps its last text afterwards.
//
// While it lives the program is busy (BusyScope: wait cursor, timers keep off the database), the
// button's window takes no commands and refuses to close, and the caption is repainted as the rows
// go without letting user input in, so no click can start another action in the middle of the
// export.
class ExportProgress : public QObject
{
    Q_OBJECT
public:
    ExportProgress(QAbstractButton &button, int total);
    ~ExportProgress() override;

    // One more row written: the caption says so and the window is repainted.
    void rowWritten();

    int written() const { return m_written; }
    int total() const { return m_total; }

    // "Excel (k из N)"
    static QString caption(int written, int total);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void repaint();

    BusyScope m_busy;
    QPointer<QAbstractButton> m_button;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus;
    bool m_disabledWindow = false;
    int m_total = 0;
    int m_written = 0;
    QElapsedTimer m_sincePaint;
};
