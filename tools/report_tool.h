#pragma once

#include "db/build_stamp.h"

#include <QStringList>

class QTextStream;

// The reports of the command line (tabel-report), for scheduled jobs: any printed report to a PDF
// file and the product summary to a workbook, through the same queries, layouts and export as the
// windows. Nothing is shown; messages go to the error stream.
namespace report_tool {

enum ExitCode {
    Done = 0,
    Failed = 1, // the database or a file failed
    BadArguments = 2,
    DatabaseNewer = 3 // the database belongs to a newer build; nothing was read
};

// Runs the command line (without the program's name); the application object exists.
int run(const QStringList &arguments, const BuildStamp &build, QTextStream &out, QTextStream &err);

QString helpText();

} // namespace report_tool
