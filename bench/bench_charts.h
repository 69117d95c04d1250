#pragma once

namespace bench {
class Run;
}

// The period charts over a year of the shop: each chart's statement, its drawing and a paint.
void chartsBench(bench::Run &run);
