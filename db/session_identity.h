#pragma once

#include <QList>
#include <QString>

#include <utility>

// How a copy of the program names itself to the server: the operating-system user and the
// workstation it runs on, and the role granted at login. The server's triggers write them into
// the change history and the closed-months table.
namespace session {

struct Identity
{
    QString osUser;
    QString workstation;
    QString programRole; // empty until login
    // The database group the session acts as after an access code (SET ROLE), so that the
    // program can never exceed the role; empty before login and for personal logins.
    QString group;
};

// The user and workstation of this process (the role left empty).
Identity local();

// One statement setting the session's names (application_name and the tabel.* settings) and its
// group, every value quoted. A session left read-only by a setting of its login is put back to
// writing: the program's own login cannot shut the office out with it.
// Settings given first (name, value) are set by the same statement, before the names.
QString identityStatement(const Identity &identity,
                          const QList<std::pair<QString, QString>> &first = {});

} // namespace session
