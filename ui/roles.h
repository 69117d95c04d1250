#pragma once

#include <QString>
#include <QStringList>

// Access roles granted by the access code typed at login.
enum class Role { None, Full, Planning, Foremen, Warehouse };

// The typed text with leading and trailing blanks and control characters removed.
QString trimmedCode(const QString &typed);
// The role of an access code (compared exactly, case-sensitive, after trimming); None when unknown.
// Codes are kept as digests only.
Role roleForCode(const QString &typed);
// The role's name as the change history shows it ("полный доступ", ...); empty for None.
QString roleName(Role role);

// The database group that holds exactly the role's rights ("tabel_full", …); empty for None.
QString roleGroup(Role role);
// The role of the strongest of the given groups; None when none is the program's.
Role roleForGroups(const QStringList &groups);
