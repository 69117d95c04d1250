#pragma once

#include <QString>
#include <QStringList>

class Connection;
class Dataset;

// Whether an existing database holds what the program needs so that no data is lost or spoilt: the
// shop's tables, a primary key and id numbering in each table it writes, the defaults and the
// unique key of the monthly rows. The list is db/schema_ready.sql, which db/upgrade.sql prints at
// its end. Asked right after connecting, before anything is written.
namespace schema_check {

// What the database lacks, one line each; empty when it is ready.
QStringList missing(Connection &connection);
// The same read with other queries (db/batch.h): the query to open, then its lines.
void askMissing(Dataset &query);
QStringList missingFrom(Dataset &query);

// The refusal to work on such a database, naming the upgrade script.
QString message();

} // namespace schema_check
