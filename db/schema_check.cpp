#include "db/schema_check.h"

#include "db/connection.h"

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
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    // The same text that the upgrade script runs, built into the program.
    QFile file(QStringLiteral(":/schema_ready.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::logic_error("the database check is missing from the build (schema_ready.sql)");
    QSqlQuery query = connection.run(QString::fromUtf8(file.readAll()));
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
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
