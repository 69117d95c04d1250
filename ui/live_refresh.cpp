#include "ui/live_refresh.h"

#include "db/change_feed.h"
#include "ui/busy.h"
#include "ui/error_guard.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

LiveRefresh::LiveRefresh(ChangeFeed &feed, QWidget &window,
                         std::function<bool(const TableChange &)> touches,
                         std::function<void()> reread)
    : QObject(&window)
    , m_window(window)
    , m_touches(std::move(touches))
    , m_reread(std::move(reread))
    , m_mark(new QPushButton(QStringLiteral("данные изменились"), &window))
    , m_timer(new QTimer(this))
{
    m_mark->setObjectName(QStringLiteral("ChangedMark"));
    m_mark->setAccessibleName(QStringLiteral("Данные изменились: прочитать заново"));
    m_mark->setToolTip(QStringLiteral("Другой пользователь изменил данные. Нажмите, чтобы "
                                      "прочитать их заново."));
    m_mark->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_mark->setAutoDefault(false);
    m_mark->setFlat(true);
    m_mark->hide();
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &LiveRefresh::fire);
    guard::connect(m_mark, &QPushButton::clicked, this, [this] { this->reread(); });
    connect(&feed, &ChangeFeed::changed, this, [this](const TableChange &change) {
        if (m_touches(change))
            heard();
    });
    // After a reconnect anything may have been missed meanwhile: one re-read.
    connect(&feed, &ChangeFeed::reconnected, this, &LiveRefresh::heard);
}

LiveRefresh::~LiveRefresh() = default;

void LiveRefresh::fresh()
{
    m_pending = false;
    m_timer->stop();
    m_mark->hide();
}

bool LiveRefresh::stale() const
{
    return m_mark->isVisibleTo(&m_window);
}

void LiveRefresh::heard()
{
    m_pending = true;
    if (m_timer->isActive())
        return;
    // The first change of a burst at once (after the changes already queued), the rest at most
    // once a second.
    const qint64 since = m_sinceLast.isValid() ? m_sinceLast.elapsed() : MinimumInterval;
    m_timer->start(int(std::max<qint64>(0, MinimumInterval - since)));
}

void LiveRefresh::fire()
{
    if (!m_pending)
        return;
    // A window not shown reads its lists when it opens.
    if (!m_window.isVisible()) {
        m_pending = false;
        return;
    }
    if (disturbing()) {
        m_pending = false;
        m_mark->show();
        return;
    }
    // A long action runs (an export, a rebuild): later.
    if (BusyScope::active()) {
        m_timer->start(MinimumInterval);
        return;
    }
    guard::runFromTimer([this] { reread(); });
}

bool LiveRefresh::disturbing() const
{
    // Another window over this one: an editor, a question, a picker.
    const QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != m_window.window())
        return true;
    // A cell editor open in one of the window's grids.
    for (const QWidget *widget = QApplication::focusWidget(); widget;
         widget = widget->parentWidget()) {
        if (const auto *view = qobject_cast<const QAbstractItemView *>(widget))
            return view->window() == m_window.window() &&
                   QApplication::focusWidget()->parentWidget() == view->viewport();
    }
    return false;
}

void LiveRefresh::reread()
{
    fresh();
    m_sinceLast.start();
    ++m_rereads;
    m_reread();
}
