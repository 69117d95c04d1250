#pragma once

class QDialog;
class QIcon;

// The program's icon, for every window and the application.
QIcon programIcon();

// The shared frame of the hour-paid, group and monthly timesheet windows: the program's icon, a
// single fixed frame without minimize and maximize buttons, centred on the screen.
void applyFixedFrame(QDialog &window);
// Centres a window on the screen it will show on.
void centreOnScreen(QDialog &window);
