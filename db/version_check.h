#pragma once

#include "db/build_stamp.h"

class TDataModule6;

// Keeps running copies in step with the database: a newer build raises the stamp in
// accounts_dep.ver; an older one learns that it must end.
enum class VersionState { Current, DatabaseNewer };

// Loads DecimalDelimiter from the version row, raises the stamp when this build is newer (never
// lowers it; inserts the row when the table is empty) and tells whether the database is newer.
// A read-only check writes nothing.
VersionState CheckVersion(TDataModule6 &dm, const BuildStamp &build, bool readOnly = false);
