#include "db/login_mode.h"

#include "db/connection.h"

namespace loginmode {

SessionFacts read(Connection &connection)
{
    QSqlQuery query = connection.run(QStringLiteral(
        "select coalesce(current_setting('tabel.login', true), '') = 'personal', r.rolsuper, "
        "coalesce(pg_has_role(session_user, (select c.relowner from pg_class c where c.oid = "
        "to_regclass('accounts_dep.smena')), 'USAGE'), false) "
        "from pg_roles r where r.rolname = session_user"));
    SessionFacts facts;
    if (query.next()) {
        facts.personal = query.value(0).toBool();
        facts.superuser = query.value(1).toBool();
        facts.tablesOwner = query.value(2).toBool();
    }
    return facts;
}

QStringList memberGroups(Connection &connection)
{
    QSqlQuery query = connection.run(QStringLiteral(
        "select g from unnest(array['tabel_full', 'tabel_planning', 'tabel_foremen', "
        "'tabel_warehouse']) with ordinality as x(g, n) "
        "where to_regrole(g) is not null and pg_has_role(session_user, g, 'MEMBER') order by n"));
    QStringList groups;
    while (query.next())
        groups << query.value(0).toString();
    return groups;
}

QString powerWarning(const SessionFacts &facts)
{
    if (facts.superuser)
        return QStringLiteral("Программа подключена к базе как суперпользователь: база не "
                              "ограничивает ее права ролями. Для работы используйте вход "
                              "программы или личные входы сотрудников.");
    if (facts.tablesOwner)
        return QStringLiteral("Программа подключена к базе как владелец ее таблиц: такой вход "
                              "может отключить защиту закрытых месяцев и истории изменений. Для "
                              "работы используйте вход программы или личные входы сотрудников.");
    return {};
}

} // namespace loginmode
