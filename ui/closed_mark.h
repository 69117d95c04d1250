#pragma once

class QLabel;
class QWidget;

// The red line a day's list shows while its month is closed for changes; hidden until then. It
// names the list below it (its buddy), so a screen reader reads it with the list.
QLabel *closedMonthMark(QWidget &list, QWidget *parent);
