#pragma once

class QDialog;
class QIcon;
class QSize;
class QWidget;

// The program's icon, for every window and the application.
QIcon programIcon();

// The shared frame of the hour-paid editor, the group editor and other windows without a grid:
// the program's icon, a single fixed frame without minimize and maximize buttons, centred on the
// screen.
void applyFixedFrame(QDialog &window);
// The frame of a window with a grid: the program's icon, its described size as its first size,
// centred on the screen; the user may resize it (its layout gives the room to the grid and keeps
// the buttons at their edges, and sets how small it may get).
void applyGridFrame(QDialog &window, const QSize &described);
// The size a window has when its layout gives the widget that size: for windows whose described
// size is that of their grid, so that the grid can still shrink below it afterwards.
QSize sizeAround(QDialog &window, QWidget &widget, const QSize &widgetSize);
// Centres a window on the screen it will show on.
void centreOnScreen(QWidget &window);
