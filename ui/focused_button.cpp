#include "ui/focused_button.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace {

class FocusedButtonEnter : public QObject
{
public:
    using QObject::QObject;

protected:
    // Installed on push buttons only: a key press reaches a button when it has the focus.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = static_cast<QPushButton *>(watched);
        if (!button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void enterPressesFocusedButton(QWidget &window)
{
    auto *filter = new FocusedButtonEnter(&window);
    for (QPushButton *button : window.findChildren<QPushButton *>())
        button->installEventFilter(filter);
}
