#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>

class ChangeFeed;
class QPushButton;
class QTimer;
class QWidget;
struct TableChange;

// Keeps one window's lists in step with what other copies write. A change that touches what the
// window shows re-reads it, at most once a second however many changes arrive. While a re-read
// would disturb the user (another window or an editor open over it, a cell being edited) nothing
// is re-read: the window shows "данные изменились", a button that re-reads when pressed. The
// window's own re-reads (activation, "Обновить", a new day) take the mark away.
class LiveRefresh : public QObject
{
    Q_OBJECT
public:
    static constexpr int MinimumInterval = 1000; // ms between two re-reads of one window

    // mark: made here, owned by the window; the window puts it in its layout.
    LiveRefresh(ChangeFeed &feed, QWidget &window, std::function<bool(const TableChange &)> touches,
                std::function<void()> reread);
    ~LiveRefresh() override;

    QPushButton *mark() const { return m_mark; }
    // The window re-read by itself: nothing pending any more.
    void fresh();
    // How many times the window was re-read for other copies' changes.
    int rereads() const { return m_rereads; }
    bool stale() const;

private:
    void heard();
    void fire();
    bool disturbing() const;
    void reread();

    QWidget &m_window;
    std::function<bool(const TableChange &)> m_touches;
    std::function<void()> m_reread;
    QPushButton *m_mark;
    QTimer *m_timer;
    QElapsedTimer m_sinceLast;
    bool m_pending = false;
    int m_rereads = 0;
};
