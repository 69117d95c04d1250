#pragma once

#include <functional>

class QWidget;

namespace report {

class PreparedReport;

// Shows prepared pages to the user, who prints them or saves them as PDF from there.
using PreviewHandler = std::function<void(const PreparedReport &report)>;

// Replaces the preview window (tests write the pages to a file instead); an empty handler
// restores the window.
void setPreviewHandler(PreviewHandler handler);

// The preview window over the prepared pages, shown modally. Changing the paper or orientation in
// the window redraws the same pages: the layout's own page set-up stays.
void preview(const PreparedReport &report, QWidget *parent = nullptr);

} // namespace report
