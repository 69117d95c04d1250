#include "support/recorders.h"

#include "app/termination.h"

#include <QDialog>
#include <QStringList>

MessageRecorder::MessageRecorder()
{
    messages::setHandler(this);
}

MessageRecorder::~MessageRecorder()
{
    messages::setHandler(nullptr);
}

bool MessageRecorder::show(const messages::Message &message)
{
    shown.append(message);
    if (message.kind != messages::Kind::Question)
        return false;
    return answers.isEmpty() ? true : answers.dequeue();
}

QStringList MessageRecorder::texts() const
{
    QStringList result;
    for (const messages::Message &message : shown)
        result.append(message.text);
    return result;
}

ModalScript::ModalScript(std::function<int(QDialog &)> script)
{
    setModalHandler([this, script = std::move(script)](QDialog &dialog) {
        opened.append(dialog.objectName());
        return script(dialog);
    });
}

ModalScript::~ModalScript()
{
    setModalHandler({});
}

TerminationRecorder::TerminationRecorder()
{
    termination::reset();
    termination::setHandler([this](int code) { requests.append(code); });
}

TerminationRecorder::~TerminationRecorder()
{
    termination::setHandler({});
    termination::reset();
}
