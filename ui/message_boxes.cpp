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
        // Names from the database and typed texts are part of messages: shown as written, never
        // read as markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(message.text);
        // The detail is the server's or the system's own text (English constraint names, file
        // errors): it waits behind "Показать подробности", the sentence above is for the clerk.
        if (!message.detail.isEmpty())
            box.setDetailedText(message.detail);
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

Handler &messageBoxes()
{
    static BoxHandler boxes;
    return boxes;
}

void useMessageBoxes()
{
    setDefaultHandler(&messageBoxes());
}

} // namespace messages
