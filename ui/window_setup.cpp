#include "ui/window_setup.h"

#include "ui/user_settings.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <algorithm>
#include <memory>

// The icon is compiled into this library, where nothing else refers to it: without this reference
// the linker leaves it out of the executables.
static void registerResources()
{
    Q_INIT_RESOURCE(tabel);
}

QIcon programIcon()
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/Icon_1"));
}

void applyFixedFrame(QDialog &window)
{
    window.setWindowIcon(programIcon());
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.adjustSize();
    window.setFixedSize(window.sizeHint());
    centreOnScreen(window);
    rememberGeometry(window);
}

void applyGridFrame(QDialog &window, const QSize &described)
{
    window.setWindowIcon(programIcon());
    window.resize(described);
    centreOnScreen(window);
    rememberGeometry(window);
}

QSize sizeAround(QDialog &window, QWidget &widget, const QSize &widgetSize)
{
    const QSize minimum = widget.minimumSize();
    widget.setMinimumSize(widgetSize);
    const QSize size = window.sizeHint();
    widget.setMinimumSize(minimum);
    return size;
}

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

namespace {

// How much of a window's top edge a screen must show for the user to take it by its title bar:
// the height of a title bar and enough of its width to grip (all of it when the window is
// narrower).
constexpr int TitleHeight = 20;
constexpr int GripWidth = 100;

bool isFixed(const QWidget &window)
{
    return window.minimumSize() == window.maximumSize();
}

// The screen that shows enough of the title bar of a frame whose top left corner is at topLeft.
const QScreen *screenShowingTitle(const QPoint &topLeft, int frameWidth)
{
    const QRect title(topLeft, QSize(std::max(frameWidth, 1), TitleHeight));
    const int grip = std::min(title.width(), GripWidth);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect shown = title & screen->availableGeometry();
        if (shown.height() == TitleHeight && shown.width() >= grip)
            return screen;
    }
    return nullptr;
}

// Restores a window's size and place as it is shown and keeps them as it hides. The events the
// program sends count, not those of the window system (a minimized window hides, too).
class GeometryKeeper : public QObject
{
public:
    explicit GeometryKeeper(QWidget &window)
        : QObject(&window)
        , m_window(window)
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_window && !event->spontaneous()) {
            if (event->type() == QEvent::Show)
                restore();
            else if (event->type() == QEvent::Hide)
                save();
        }
        return false;
    }

private:
    QString key(const char *what) const
    {
        return QStringLiteral("windows/%1/%2").arg(m_window.objectName(), QLatin1String(what));
    }

    // The place kept is the top left corner of the window's inside, not of its frame: a window
    // manager draws the frame around the inside where the program puts it, and its frame is
    // unknown until the window is first shown, so a frame's place read back then lands the inside
    // where the frame was, a title bar higher each run.
    void restore()
    {
        const std::unique_ptr<QSettings> settings = userSettings();
        const QVariant place = settings->value(key("place"));
        const QSize size = settings->value(key("size")).toSize();
        // The frame's margins; none before the window was first shown.
        const QSize margins = m_window.frameGeometry().size() - m_window.size();
        const QPoint frameOffset =
            m_window.geometry().topLeft() - m_window.frameGeometry().topLeft();
        const QPoint frameAt = place.toPoint() - frameOffset;
        const QSize before = m_window.size();
        if (size.isValid() && !isFixed(m_window)) {
            const QScreen *screen =
                place.isValid() ? screenShowingTitle(frameAt, size.width() + margins.width())
                                : nullptr;
            if (!screen)
                screen = m_window.screen();
            // A screen smaller than the one the size was chosen on gets the window whole.
            m_window.resize(screen ? size.boundedTo(screen->availableGeometry().size() - margins)
                                   : size);
        }
        if (!place.isValid())
            return;
        const int width = m_window.frameGeometry().width();
        if (screenShowingTitle(frameAt, width))
            m_window.setGeometry(QRect(place.toPoint(), m_window.size()));
        else if (m_window.size() != before || !screenShowingTitle(m_window.pos(), width))
            centreOnScreen(m_window);
    }

    void save()
    {
        // A maximized window keeps the place it had before.
        if (m_window.windowState() &
            (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            return;
        const std::unique_ptr<QSettings> settings = userSettings();
        settings->setValue(key("place"), m_window.geometry().topLeft());
        if (isFixed(m_window))
            settings->remove(key("size"));
        else
            settings->setValue(key("size"), m_window.size());
    }

    QWidget &m_window;
};

} // namespace

void rememberGeometry(QWidget &window)
{
    new GeometryKeeper(window);
}
