#pragma once

// The posting lives in the data layer, where the catalogues' deletes reach it too; the shift log's
// files keep including it by this name.
#include "db/hours_posting.h"
