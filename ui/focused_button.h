#pragma once

class QWidget;

// Enter on a focused push button presses that button, as in any desktop dialog; elsewhere in the
// window Enter stays with the default button. Without this, Enter on a focused "Отмена" pressed
// "Записать". Applies to the buttons the window holds when it is called.
void enterPressesFocusedButton(QWidget &window);
