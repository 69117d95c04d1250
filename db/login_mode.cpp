#include "db/login_mode.h"

#include "db/connection.h"
#include "db/dataset.h"

namespace loginmode {

SessionFacts read(Connection &connection)
{
    Dataset query(connection);
    askFacts(query);
    query.open();
    return factsFrom(query);
}

void askFacts(Dataset &query)
{
    query.setSql(QStringLiteral(
        "select coalesce(current_setting('tabel.login', true), '') = 'personal' as personal, "
        "r.rolsuper as superuser, coalesce(pg_has_role(session_user, (select c.relowner from "
        "pg_class c where c.oid = to_regclass('accounts_dep.smena')), 'USAGE'), false) as owner "
        "from pg_roles r where r.rolname = session_user"));
}

SessionFacts factsFrom(Dataset &query)
{
    SessionFacts facts;
    query.first();
    if (!query.isEmpty()) {
        facts.personal = query.value(QStringLiteral("personal")).toBool();
        facts.superuser = query.value(QStringLiteral("superuser")).toBool();
        facts.tablesOwner = query.value(QStringLiteral("owner")).toBool();
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
