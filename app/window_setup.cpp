#include "app/window_setup.h"

#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

void applyFixedFrame(QDialog &window)
{
    window.setWindowIcon(QIcon(QStringLiteral(":/Icon_1")));
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.adjustSize();
    window.setFixedSize(window.sizeHint());
    centreOnScreen(window);
}

void centreOnScreen(QDialog &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}
