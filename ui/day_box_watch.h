#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QAbstractItemView;
class QDateEdit;
class QTimer;

// Keeps a list on the day its date box shows. A pick in the calendar (by mouse or keyboard) and
// Enter apply at once; a typed or stepped date after a short pause, or when the box is left. A
// mouse press on the list while the box shows another day shows that day instead of acting on
// the list: the click (and its double click) aimed at rows that are gone, so it is ignored.
class DayBoxWatch : public QObject
{
    Q_OBJECT
public:
    // shown: the day the list shows now. The pause timer is named after the box ("DateTPause").
    DayBoxWatch(QDateEdit &box, QAbstractItemView &list, std::function<QDate()> shown,
                QObject *parent);

    // The pause after the last typed or stepped change (tests may shorten or fire it).
    QTimer &pause() const { return *m_pause; }

Q_SIGNALS:
    // A day picked in the calendar, or Enter in the box.
    void picked();
    // The box shows another day than the list, and the list must follow where the user is now.
    void settled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool differs() const;
    void pauseEnded();
    bool listEvent(QEvent *event);

    QDateEdit &m_box;
    QAbstractItemView &m_list;
    std::function<QDate()> m_shown;
    QTimer *m_pause;
    // Since a press on the list was ignored; invalid when none is.
    QElapsedTimer m_ignored;
    // Since the last press or release on the list; a button held down on it.
    QElapsedTimer m_lastClick;
    bool m_pressed = false;
};
