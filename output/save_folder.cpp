#include "output/save_folder.h"

#include "output/xlsx_export.h"
#include "ui/user_settings.h"

#include <QDir>
#include <QFileInfo>

namespace savefolder {

namespace {
const QString Key = QStringLiteral("files/lastFolder");
} // namespace

QString proposed()
{
    const QString last = userSettings()->value(Key).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    return XlsxExport::defaultFolder();
}

void remember(const QString &filePath)
{
    if (filePath.isEmpty())
        return;
    userSettings()->setValue(Key, QFileInfo(filePath).absolutePath());
}

} // namespace savefolder
