#include "output/export_progress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>

namespace {
// Rows come faster than anyone can read: the caption text follows every row, the screen at most
// this often (and always at the first and the last row).
constexpr qint64 kPaintIntervalMs = 40;
} // namespace

ExportProgress::ExportProgress(QAbstractButton &button, int total)
    : m_button(&button)
    , m_window(button.window())
    , m_focus(QApplication::focusWidget())
    , m_total(total)
{
    if (m_window) {
        m_window->installEventFilter(this);
        if (m_window->isEnabled()) {
            m_window->setEnabled(false);
            m_disabledWindow = true;
        }
    }
    m_button->setText(caption(0, m_total));
    repaint();
}

ExportProgress::~ExportProgress()
{
    if (m_window) {
        m_window->removeEventFilter(this);
        if (m_disabledWindow)
            m_window->setEnabled(true);
    }
    // Disabling the window took the keyboard focus away; give it back where it was.
    if (m_focus && m_window && (m_focus == m_window || m_window->isAncestorOf(m_focus)) &&
        m_focus->isEnabled() && m_focus->isVisible())
        m_focus->setFocus(Qt::OtherFocusReason);
}

QString ExportProgress::caption(int written, int total)
{
    return QStringLiteral("Excel (%1 из %2)").arg(written).arg(total);
}

void ExportProgress::rowWritten()
{
    ++m_written;
    if (!m_button)
        return;
    m_button->setText(caption(m_written, m_total));
    if (m_written >= m_total || m_sincePaint.hasExpired(kPaintIntervalMs))
        repaint();
}

void ExportProgress::repaint()
{
    m_sincePaint.start();
    if (m_button && m_button->isVisible())
        m_button->repaint();
    // Expose and paint requests of the window are served; clicks and keys wait until the export
    // is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool ExportProgress::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
