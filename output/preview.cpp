#include "output/preview.h"

#include "output/prepared_report.h"
#include "ui/modal.h"
#include "ui/window_setup.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include <memory>

namespace report {

namespace {

PreviewHandler s_handler;

bool samePaper(const QPageLayout &a, const QPageLayout &b)
{
    return a.orientation() == b.orientation() && a.pageSize().isEquivalentTo(b.pageSize());
}

} // namespace

void setPreviewHandler(PreviewHandler handler)
{
    s_handler = std::move(handler);
}

QPrinter &sessionPrinter()
{
    static const std::unique_ptr<QPrinter> printer =
        std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

PreparedReport pagesFor(QPrinter &printer, const PreparedReport &report, const Reprepare &again)
{
    const QPageLayout wanted = printer.pageLayout();
    if (samePaper(wanted, report.pageLayout()))
        return report;
    if (again) {
        PreparedReport pages = again(wanted);
        pages.title = report.title;
        pages.setUp(printer);
        return pages;
    }
    report.setUp(printer);
    return report;
}

void preview(const PreparedReport &report, QWidget *parent, Reprepare again)
{
    if (s_handler) {
        s_handler(report);
        return;
    }
    QPrinter &printer = sessionPrinter();
    // The output of a PDF saved from an earlier preview is not the printer's next output.
    printer.setOutputFileName(QString());
    printer.setPrintRange(QPrinter::AllPages);
    report.setUp(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    if (!report.title.trimmed().isEmpty())
        dialog.setWindowTitle(report.title.trimmed());
    QObject::connect(
        &dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [&report, &again](QPrinter *target) { pagesFor(*target, report, again).paint(*target); });
    dialog.resize(1000, 760);
    rememberGeometry(dialog);
    runModal(dialog);
}

} // namespace report
