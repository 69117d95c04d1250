#include "app/startup.h"

#include "app/error_guard.h"
#include "app/login_dialog.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/termination.h"
#include "app/version_watch.h"
#include "db/connection_string.h"
#include "db/data_module.h"

#include <QTimer>

Program::Program(const BuildStamp &build, const QStringList &arguments, StartupOptions options)
    : m_build(build)
    , m_arguments(arguments)
    , m_options(options)
{}

Program::~Program()
{
    // Windows go before the data module they use.
    m_form23.reset();
    m_form1.reset();
    m_versionWatch.reset();
    m_dm.reset();
}

bool Program::start()
{
    m_dm = std::make_unique<TDataModule6>();
    m_versionWatch = std::make_unique<VersionWatch>(*m_dm, m_build);
    m_form1 = std::make_unique<TForm1>(*m_dm, *m_versionWatch, m_forms);
    m_forms.Form1 = m_form1.get();
    m_form1->Timer1->setInterval(m_options.versionCheckInterval);

    try {
        m_dm->ADO_DB.close();
        m_dm->ADO_DB.setConnectionString(connection::fromArguments(m_arguments));
        m_dm->ADO_DB.open();
    } catch (...) {
        m_form1->Timer1->stop();
        messages::error(QStringLiteral("Ошибка!"),
                        QStringLiteral("Подключение к БД отсутсвует!!!"));
        termination::request(1);
        return false;
    }

    const bool created = guard::run([this] {
        m_form23 = std::make_unique<TForm23>(*m_dm, *m_versionWatch, m_forms);
        m_forms.Form23 = m_form23.get();
        m_form23->Timer1->setInterval(m_options.terminationDelay);
        m_form23->show();
        m_form23->FormActivate();
        // The remaining windows are created here, each once and hidden, in their fixed order.
        m_form1->connectWindows();
    });
    if (!created && !termination::requested())
        termination::request(1);
    return !termination::requested();
}
