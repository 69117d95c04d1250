#include "ui/version_watch.h"

#include "db/messages.h"
#include "db/version_check.h"
#include "ui/termination.h"

#include <QTimer>

bool VersionWatch::check()
{
    if (termination::requested())
        return false;
    const VersionState state = m_primed ? *m_primed : CheckVersion(m_dm, m_build);
    m_primed.reset();
    if (state == VersionState::Current)
        return true;
    if (m_terminationTimer)
        m_terminationTimer->start();
    messages::error(
        QStringLiteral("Ошибка"),
        QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
    termination::request(1);
    return false;
}
