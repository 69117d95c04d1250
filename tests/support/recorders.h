#pragma once

#include "db/messages.h"
#include "ui/modal.h"

#include <QList>
#include <QQueue>

#include <functional>

// Keeps every message the program shows instead of showing it; answers questions from a queue
// (default "Да"). Installed for its lifetime; then a message fails the test again.
class MessageRecorder : public messages::Handler
{
public:
    MessageRecorder();
    ~MessageRecorder() override;

    bool show(const messages::Message &message) override;

    QList<messages::Message> shown;
    QQueue<bool> answers;

    // The texts shown, in order.
    QStringList texts() const;
    // "question Удаление: text" / "error Ошибка: text" for every message shown, in order.
    QStringList described() const;
    void clear() { shown.clear(); }
};

// Stands in for exec() of modal windows: the script gets the dialog (and may check it with
// QCOMPARE, click its buttons, fill its boxes); the dialog's result is what exec() returns.
// Installed for its lifetime; then a modal window fails the test again.
class ModalScript
{
public:
    explicit ModalScript(std::function<void(QDialog &)> script);
    ~ModalScript();
    QList<QString> opened; // objectName of every dialog shown
};

// Records termination requests instead of quitting; forgets them when it goes.
class TerminationRecorder
{
public:
    TerminationRecorder();
    ~TerminationRecorder();
    QList<int> requests;
};

class QWidget;
// Types any text (Cyrillic included) into a widget key by key, as a user would; "\b" presses
// Backspace.
void typeText(QWidget *widget, const QString &text);
