#pragma once

#include <QString>

// Every message box of the program goes through here, so tests can record what was shown and
// answer questions.
namespace messages {

enum class Kind { Error, Question, Information };

struct Message
{
    Kind kind;
    QString caption;
    QString text;
    QString detail;
};

class Handler
{
public:
    virtual ~Handler() = default;
    // Shows the message; for a question returns true for "Да".
    virtual bool show(const Message &message) = 0;
};

// Installs a handler (tests, the report tool); nullptr restores the default one.
void setHandler(Handler *handler);
// The handler used when none is installed: the message boxes of a program with windows; in test
// programs one that fails the test. Without one a message goes to the warning log and a question
// is answered "Нет".
void setDefaultHandler(Handler *handler);

// Error icon, OK button. The detail, when given (the server's own text), is shown on request.
void error(const QString &caption, const QString &text, const QString &detail = {});
// Question icon, "Да" and "Нет"; true for "Да".
bool question(const QString &text, const QString &caption = QStringLiteral("Удаление"));
void information(const QString &caption, const QString &text);

} // namespace messages
