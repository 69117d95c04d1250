#include "support/recorders.h"

#include "ui/termination.h"

#include <QDialog>
#include <QStringList>
#include <QTest>

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

QStringList MessageRecorder::described() const
{
    QStringList result;
    for (const messages::Message &message : shown) {
        const char *kind = message.kind == messages::Kind::Question ? "question"
                           : message.kind == messages::Kind::Error  ? "error"
                                                                    : "information";
        result
            << QStringLiteral("%1 %2: %3").arg(QLatin1String(kind), message.caption, message.text);
    }
    return result;
}

ModalScript::ModalScript(std::function<void(QDialog &)> script)
{
    setModalHandler([this, script = std::move(script)](QDialog &dialog) {
        opened.append(dialog.objectName());
        dialog.setResult(0);
        script(dialog);
        return dialog.result();
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

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\b')) {
            QTest::keyClick(widget, Qt::Key_Backspace);
            continue;
        }
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
