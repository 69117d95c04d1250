#pragma once

class QDialog;
class QIcon;
class QSize;
class QWidget;

// The program's icon, for every window and the application.
QIcon programIcon();

// The shared frame of the hour-paid editor, the group editor and other windows without a grid:
// the program's icon, a single fixed frame without minimize and maximize buttons, centred on the
// screen, its place remembered (rememberGeometry()).
void applyFixedFrame(QDialog &window);
// The frame of a window with a grid: the program's icon, its described size as its first size,
// centred on the screen; the user may resize it (its layout gives the room to the grid and keeps
// the buttons at their edges, and sets how small it may get), and its size and place are
// remembered.
void applyGridFrame(QDialog &window, const QSize &described);
// The size a window has when its layout gives the widget that size: for windows whose described
// size is that of their grid, so that the grid can still shrink below it afterwards.
QSize sizeAround(QDialog &window, QWidget &widget, const QSize &widgetSize);
// Centres a window on the screen it will show on.
void centreOnScreen(QWidget &window);

// Keeps the window's size and place between runs, per user, in the platform's settings store
// (QSettings under the program's name), under the window's objectName: restored each time it is
// shown, saved each time it hides. A fixed-size window keeps only its place. A remembered place
// where no screen shows enough of the title bar to take it by is ignored: the window stays where
// the program puts it, and is centred when that is off the screens as well or was chosen for
// another size.
void rememberGeometry(QWidget &window);
