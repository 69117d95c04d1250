#pragma once

#include <QString>
#include <QStringList>

class Connection;
class Dataset;

// What the database says about the session the program has just opened: how people log in, and
// whether the login may do more than any role of the program should.
namespace loginmode {

struct SessionFacts
{
    // The site turned personal logins on (alter database … set tabel.login = 'personal'):
    // people log in with their own PostgreSQL login and password instead of an access code.
    bool personal = false;
    bool superuser = false;   // the login is a superuser
    bool tablesOwner = false; // the login owns the program's tables (or may act as their owner)
};

// One query: the login mode and what the login is.
SessionFacts read(Connection &connection);
// The same read with other queries (db/batch.h): the query to open, then the facts.
void askFacts(Dataset &query);
SessionFacts factsFrom(Dataset &query);

// The program's groups the session's login is a member of, strongest first ("tabel_full",
// "tabel_planning", "tabel_foremen", "tabel_warehouse").
QStringList memberGroups(Connection &connection);

// The warning shown once at start-up when the login may change what no role may.
QString powerWarning(const SessionFacts &facts);

} // namespace loginmode
