#include "db/messages.h"

#include <QDebug>

namespace messages {

namespace {

Handler *s_default = nullptr;
Handler *s_handler = nullptr;

bool show(const Message &message)
{
    if (Handler *handler = s_handler ? s_handler : s_default)
        return handler->show(message);
    qWarning().noquote() << message.caption << ":" << message.text << message.detail;
    return false;
}

} // namespace

void setHandler(Handler *handler)
{
    s_handler = handler;
}

void setDefaultHandler(Handler *handler)
{
    s_default = handler;
}

void error(const QString &caption, const QString &text, const QString &detail)
{
    show({Kind::Error, caption, text, detail});
}

bool question(const QString &text, const QString &caption)
{
    return show({Kind::Question, caption, text, {}});
}

void information(const QString &caption, const QString &text)
{
    show({Kind::Information, caption, text, {}});
}

} // namespace messages
