#include "output/preview.h"

#include "output/prepared_report.h"
#include "output/save_folder.h"
#include "ui/modal.h"
#include "ui/window_setup.h"

#include <QChildEvent>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrintDialog>
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

// The print dialog that the preview opens proposes a PDF in the home folder; a report goes where
// the user's saved files go (the folder of the last one, else the documents folder), under the
// document's name.
class PdfFolderProposal : public QObject
{
public:
    PdfFolderProposal(QDialog &preview, const QPrinter &printer)
        : QObject(&preview)
        , m_printer(printer)
    {
        preview.installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Polished when it first shows, once it is whole: then its showing can be watched.
        if (event->type() == QEvent::ChildPolished) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            if (qobject_cast<QPrintDialog *>(child))
                child->installEventFilter(this);
        } else if (event->type() == QEvent::Show && qobject_cast<QPrintDialog *>(watched)) {
            propose(*static_cast<QWidget *>(watched));
        }
        return false;
    }

private:
    void propose(QWidget &dialog) const
    {
        // A file chosen in this preview stays as it was chosen.
        auto *file = dialog.findChild<QLineEdit *>(QStringLiteral("filename"));
        if (!file || !m_printer.outputFileName().isEmpty())
            return;
        QString name = m_printer.docName().trimmed();
        if (name.isEmpty())
            name = QStringLiteral("print.pdf");
        else if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            name += QStringLiteral(".pdf");
        file->setText(QDir::toNativeSeparators(QDir(savefolder::proposed()).filePath(name)));
    }

    const QPrinter &m_printer;
};

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
    new PdfFolderProposal(dialog, printer);
    runModal(dialog);
    if (printer.outputFormat() == QPrinter::PdfFormat)
        savefolder::remember(printer.outputFileName());
}

} // namespace report
