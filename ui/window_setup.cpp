#include "ui/window_setup.h"

#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

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
}

void applyGridFrame(QDialog &window, const QSize &described)
{
    window.setWindowIcon(programIcon());
    window.resize(described);
    centreOnScreen(window);
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
