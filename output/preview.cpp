#include "output/preview.h"

#include "output/prepared_report.h"
#include "ui/modal.h"
#include "ui/window_setup.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

namespace report {

namespace {
PreviewHandler s_handler;
}

void setPreviewHandler(PreviewHandler handler)
{
    s_handler = std::move(handler);
}

void preview(const PreparedReport &report, QWidget *parent)
{
    if (s_handler) {
        s_handler(report);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    report.setUp(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    if (!report.title.trimmed().isEmpty())
        dialog.setWindowTitle(report.title.trimmed());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&report](QPrinter *target) { report.paint(*target); });
    dialog.resize(1000, 760);
    rememberGeometry(dialog);
    runModal(dialog);
}

} // namespace report
