#include "ui/user_settings.h"

#include <QCoreApplication>

std::unique_ptr<QSettings> userSettings()
{
    // The program names only itself, not an organisation: its store is then the user's
    // "tabel.conf" (~/.config/tabel.conf on Linux).
    const QString application = QCoreApplication::applicationName();
    const QString organization = QCoreApplication::organizationName();
    if (organization.isEmpty())
        return std::make_unique<QSettings>(QSettings::UserScope, application);
    return std::make_unique<QSettings>(QSettings::UserScope, organization, application);
}
