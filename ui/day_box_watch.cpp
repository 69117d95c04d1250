#include "ui/day_box_watch.h"

#include "ui/busy.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

DayBoxWatch::DayBoxWatch(QDateEdit &box, QAbstractItemView &list, std::function<QDate()> shown,
                         QObject *parent)
    : QObject(parent)
    , m_box(box)
    , m_list(list)
    , m_shown(std::move(shown))
    , m_pause(new QTimer(this))
{
    m_pause->setObjectName(box.objectName() + QStringLiteral("Pause"));
    m_pause->setSingleShot(true);
    m_pause->setInterval(400);
    box.installEventFilter(this);
    list.viewport()->installEventFilter(this);
    // Typing and stepping change the date at every key: the list follows once the user stops.
    connect(&box, &QDateEdit::dateChanged, m_pause, qOverload<>(&QTimer::start));
    connect(m_pause, &QTimer::timeout, this, &DayBoxWatch::pauseEnded);
    // The popup sets the box's date before these reach us (it connected first).
    QCalendarWidget *calendar = box.calendarWidget();
    connect(calendar, &QCalendarWidget::clicked, this, [this] {
        m_pause->stop();
        Q_EMIT picked();
    });
    connect(calendar, &QCalendarWidget::activated, this, [this] {
        m_pause->stop();
        Q_EMIT picked();
    });
}

bool DayBoxWatch::differs() const
{
    return m_box.date() != m_shown();
}

void DayBoxWatch::pauseEnded()
{
    if (!differs())
        return;
    // Not under another window's question or form (the list's row may be what it works on), not
    // during a long action, and never between a press on the list and its click or double click.
    QWidget *modal = QApplication::activeModalWidget();
    const bool clicking =
        m_pressed ||
        (m_lastClick.isValid() && m_lastClick.elapsed() < QApplication::doubleClickInterval());
    if ((modal && modal != m_box.window()) || BusyScope::active() || clicking) {
        m_pause->start();
        return;
    }
    Q_EMIT settled();
}

bool DayBoxWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list.viewport())
        return listEvent(event);
    if (watched != &m_box)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_pause->stop();
            Q_EMIT picked();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && differs() &&
               !m_box.calendarWidget()->isVisible()) {
        // A press on the list took the focus: that press shows the day (and is ignored).
        QWidget *next = QApplication::focusWidget();
        const bool toList = static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason &&
                            next && (next == &m_list || m_list.isAncestorOf(next));
        if (!toList) {
            m_pause->stop();
            Q_EMIT settled();
        }
    }
    return QObject::eventFilter(watched, event);
}

bool DayBoxWatch::listEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        m_lastClick.start();
        m_pressed = true;
        if (differs()) {
            m_pause->stop();
            m_ignored.start();
            Q_EMIT settled();
            return true;
        }
        // The second click of a double click whose first press was ignored is ignored too.
        if (m_ignored.isValid() && (event->type() == QEvent::MouseButtonDblClick ||
                                    m_ignored.elapsed() < QApplication::doubleClickInterval()))
            return true;
        m_ignored.invalidate();
        return false;
    case QEvent::MouseButtonRelease:
        m_lastClick.start();
        m_pressed = false;
        return m_ignored.isValid();
    case QEvent::MouseMove:
        return m_ignored.isValid() && static_cast<QMouseEvent *>(event)->buttons() != Qt::NoButton;
    default:
        return false;
    }
}
