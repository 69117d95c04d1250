#pragma once

#include <QString>

// Where a file the user saves (a report printed to PDF, a chart) is proposed to go: the folder
// the last one went to while it is there, else the documents folder that exports write to.
namespace savefolder {

QString proposed();
// Remembers the folder of a file just saved, for the next proposal, also in later runs.
void remember(const QString &filePath);

} // namespace savefolder
