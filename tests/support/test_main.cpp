#include "support/test_main.h"

#include "db/messages.h"
#include "ui/application_font.h"
#include "ui/modal.h"

#include <QDialog>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

namespace tabeltest {

namespace {

void fail(const QString &text)
{
    // Outside a test function there is no test to fail; the text still reaches the log.
    if (!QTest::currentTestFunction()) {
        qCritical().noquote() << text;
        return;
    }
    QTest::qFail(text.toUtf8().constData(), __FILE__, __LINE__);
}

class FailingMessages final : public messages::Handler
{
public:
    bool show(const messages::Message &message) override
    {
        const char *kind = message.kind == messages::Kind::Question ? "question"
                           : message.kind == messages::Kind::Error  ? "error"
                                                                    : "information";
        QString text = QStringLiteral("A message box nobody expected: %1 \"%2\": %3")
                           .arg(QLatin1String(kind), message.caption, message.text);
        if (!message.detail.isEmpty())
            text += QLatin1Char('\n') + message.detail;
        fail(text);
        return false;
    }
};

int rejectUnexpected(QDialog &dialog)
{
    fail(QStringLiteral("A modal window nobody expected: %1 \"%2\"")
             .arg(dialog.objectName(), dialog.windowTitle()));
    // Not reject(): a window may act on it (the norm editor saves on Esc).
    dialog.setResult(QDialog::Rejected);
    return QDialog::Rejected;
}

QtMessageHandler s_qtTestHandler = nullptr;

void failOnWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Qt Test forgets the patterns of failOnWarning() after each test function and data row, so
    // the pattern is set again before every warning reaches it; Qt Test still lets a warning the
    // test ignores pass first. Only from the main thread: Qt Test keeps the patterns unguarded.
    // The offscreen platform's notes on what it cannot do (propagateSizeHints(), raise(),
    // grabbing the keyboard) say nothing about our code: a real display does all of it.
    if (type == QtWarningMsg && QTest::currentTestFunction() &&
        QThread::currentThread() == QCoreApplication::instance()->thread()) {
        static const QRegularExpression ours(QStringLiteral("^(?!This plugin does not support )"));
        QTest::failOnWarning(ours);
    }
    s_qtTestHandler(type, context, message);
}

} // namespace

int run(QObject &test, int argc, char **argv)
{
    // Windows keep their sizes and places in the user's settings: a test program keeps its own in
    // a folder that goes with it, never the real user's, and starts with none remembered.
    const QTemporaryDir settings;
    if (!settings.isValid())
        qFatal("No temporary folder for the settings: %s", qPrintable(settings.errorString()));
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settings.path());
    // Windows measure their texts with the font the program uses.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        setupApplicationFont();
    // Defaults: MessageRecorder and ModalScript stand in front of them for their lifetimes.
    static FailingMessages failing;
    messages::setDefaultHandler(&failing);
    setDefaultModalHandler(rejectUnexpected);
    const QtMessageHandler before = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(before);
    QTest::qInit(&test, argc, argv);
    s_qtTestHandler = qInstallMessageHandler(failOnWarnings);
    // Qt 6.4 installs its handler in qInit(); should a later Qt do it in qRun(), that handler
    // would go over ours and warnings would pass unseen.
    if (s_qtTestHandler == before)
        qFatal("Qt Test has not installed its message handler in QTest::qInit()");
    const int result = QTest::qRun();
    qInstallMessageHandler(s_qtTestHandler);
    QTest::qCleanup();
    return result;
}

} // namespace tabeltest
