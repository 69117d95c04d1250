#pragma once

#include "db/build_stamp.h"

#include <QString>

// The project's version number; defined with the build stamp in the source generated at build
// time, so only the executables carry it.
QString programVersion();

// What `--version` prints: the program, its version and its build stamp as the login dialog's
// title shows it ("build: date.seconds"), with the stamp's date and time readable.
QString versionText(const QString &program, const QString &version, const BuildStamp &stamp);

// Answers `--version` anywhere on the command line: prints the version text on the standard output
// and returns true, before any application object exists (the program's needs a display).
bool printVersion(int argc, char *argv[], const QString &program, const QString &version,
                  const BuildStamp &stamp);
