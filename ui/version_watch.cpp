#include "ui/version_watch.h"

#include "db/messages.h"
#include "db/version_check.h"
#include "ui/termination.h"

#include <QTimer>

bool VersionWatch::check()
{
    if (termination::requested())
        return false;
    if (CheckVersion(m_dm, m_build) == VersionState::Current)
        return true;
    if (m_terminationTimer)
        m_terminationTimer->start();
    messages::error(
        QStringLiteral("Ошибка"),
        QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
    termination::request(1);
    return false;
}
