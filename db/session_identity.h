#pragma once

#include <QString>

// How a copy of the program names itself to the server: the operating-system user and the
// workstation it runs on, and the role granted at login. The server's triggers write them into
// the change history and the closed-months table.
namespace session {

struct Identity
{
    QString osUser;
    QString workstation;
    QString programRole; // empty until login
};

// The user and workstation of this process (the role left empty).
Identity local();

// One statement setting the session's names (application_name and the tabel.* settings), every
// value quoted.
QString identityStatement(const Identity &identity);

} // namespace session
