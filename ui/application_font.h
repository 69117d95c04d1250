#pragma once

// The user-interface font of every window: 8-point Liberation Sans, the sans serif (the metric twin
// of the reports' Arial) the described window and column widths were laid out for. Set once the
// application exists and before any window is made.
void setupApplicationFont();
