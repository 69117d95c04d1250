#include "ui/message_boxes.h"

#include "db/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace messages {

namespace {

class BoxHandler final : public Handler
{
public:
    bool show(const Message &message) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(message.caption);
        box.setText(message.text);
        if (!message.detail.isEmpty())
            box.setInformativeText(message.detail);
        switch (message.kind) {
        case Kind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Kind::Information:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Kind::Question:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        }
        return box.exec() == QMessageBox::Yes;
    }
};

} // namespace

void useMessageBoxes()
{
    static BoxHandler boxes;
    setDefaultHandler(&boxes);
}

} // namespace messages
