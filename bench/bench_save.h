#pragma once

namespace bench {
class Run;
}

// Saving shift entries through the program's entry code, each with its hours posting, with and
// without the database's month-close and history triggers.
void saveEntries(bench::Run &run);
