#include "db/schema_check.h"

#include "db/connection.h"
#include "db/dataset.h"

#include <QFile>

#include <stdexcept>

// The resource is compiled into the data library, where nothing else refers to it: without this
// reference the linker leaves it out of the executables.
static void registerResources()
{
    Q_INIT_RESOURCE(db);
}

namespace schema_check {

QStringList missing(Connection &connection)
{
    Dataset query(connection);
    askMissing(query);
    query.open();
    return missingFrom(query);
}

void askMissing(Dataset &query)
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    // The same text that the upgrade script runs, built into the program; its closing semicolon
    // goes, so that it can also be part of a larger statement.
    QFile file(QStringLiteral(":/schema_ready.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::logic_error("the database check is missing from the build (schema_ready.sql)");
    QString text = QString::fromUtf8(file.readAll()).trimmed();
    if (text.endsWith(QLatin1Char(';')))
        text.chop(1);
    query.setSql(text);
}

QStringList missingFrom(Dataset &query)
{
    QStringList lines;
    for (int row = 0; row < query.recordCount(); ++row)
        lines << query.textAt(row, 0);
    return lines;
}

QString message()
{
    return QStringLiteral("База данных не подготовлена для работы программы: в ней нет того, без "
                          "чего данные табеля могут быть потеряны или испорчены. Администратору "
                          "базы данных нужно выполнить скрипт обновления db/upgrade.sql (см. "
                          "README, раздел «Installing on an existing database»).");
}

} // namespace schema_check
