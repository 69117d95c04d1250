#pragma once

#include <QPageLayout>

#include <functional>

class QPrinter;
class QWidget;

namespace report {

class PreparedReport;

// Shows prepared pages to the user, who prints them or saves them as PDF from there.
using PreviewHandler = std::function<void(const PreparedReport &report)>;

// Prepares the same report again for another paper or orientation.
using Reprepare = std::function<PreparedReport(const QPageLayout &paper)>;

// Replaces the preview window (tests write the pages to a file instead); an empty handler
// restores the window.
void setPreviewHandler(PreviewHandler handler);

// The printer of the session: the printer chosen and its settings stay for the next preview.
QPrinter &sessionPrinter();

// The pages to print on a printer whose paper or orientation the user changed: prepared again
// for it when the report can be, else the printer is set back to the report's own paper so that
// no row falls off the page.
PreparedReport pagesFor(QPrinter &printer, const PreparedReport &report, const Reprepare &again);

// The preview window over the prepared pages, shown modally, on the layout's own paper and
// orientation. A change of paper or orientation in the window prepares the pages again for it.
void preview(const PreparedReport &report, QWidget *parent = nullptr, Reprepare again = {});

} // namespace report
