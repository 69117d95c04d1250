#include "app/messages.h"

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

BoxHandler s_boxes;
Handler *s_handler = &s_boxes;

} // namespace

void setHandler(Handler *handler)
{
    s_handler = handler ? handler : &s_boxes;
}

void error(const QString &caption, const QString &text, const QString &detail)
{
    s_handler->show({Kind::Error, caption, text, detail});
}

bool question(const QString &text, const QString &caption)
{
    return s_handler->show({Kind::Question, caption, text, {}});
}

void information(const QString &caption, const QString &text)
{
    s_handler->show({Kind::Information, caption, text, {}});
}

} // namespace messages
