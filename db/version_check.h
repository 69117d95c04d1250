#pragma once

#include "db/build_stamp.h"

#include <optional>

class Dataset;
class TDataModule6;

// Keeps running copies in step with the database: a newer build raises the stamp in
// accounts_dep.ver; an older one learns that it must end.
enum class VersionState { Current, DatabaseNewer };

// Loads DecimalDelimiter from the version row, raises the stamp when this build is newer (never
// lowers it; inserts the row when the table is empty) and tells whether the database is newer.
// A read-only check writes nothing.
VersionState CheckVersion(TDataModule6 &dm, const BuildStamp &build, bool readOnly = false);

// The version row read with other queries (db/batch.h): the query to open, then what it tells
// without a write: the state (with DecimalDelimiter loaded) when the database already carries
// this build or a newer one; nothing when this build must raise the stamp (or there is no row).
void askVersion(Dataset &query);
std::optional<VersionState> versionFrom(TDataModule6 &dm, Dataset &query, const BuildStamp &build);
