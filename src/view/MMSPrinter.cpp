#include "MMSPrinter.h"

#include "BubblePrintRenderer.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include <utility>

namespace {

MMSPrinter::PreviewHandler &previewHandler()
{
    static MMSPrinter::PreviewHandler instance;
    return instance;
}

} // namespace

MMSPrinter::ScopedPreviewHandler::ScopedPreviewHandler(PreviewHandler handler)
    : ScopedOverride(previewHandler(), std::move(handler))
{
}

MMSPrinter::MMSPrinter(QObject *parent)
    : QObject(parent)
{
}

void MMSPrinter::print(const QList<SMSInfo> &messages)
{
    m_messages = messages;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::NativeFormat);
    // Without a printer the preview still works, and can save a PDF.
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat);
    BubblePrintRenderer::setUpPage(printer);
    runPreview(printer);
}

void MMSPrinter::runPreview(QPrinter &printer)
{
    if (previewHandler()) {
        previewHandler()(printer, [this](QPrinter *target) { onPaintRequested(target); });
        return;
    }
    QPrintPreviewDialog dialog(&printer);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setWindowTitle(tr("IDS_PRINT_MMS"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &MMSPrinter::onPaintRequested);
    dialog.exec();
}

int MMSPrinter::printToPdf(const QList<SMSInfo> &messages, const QString &path)
{
    m_count = 0;
    m_count = BubblePrintRenderer().printToPdf(messages, path);
    return m_count;
}

void MMSPrinter::onPaintRequested(QPrinter *printer)
{
    m_count = BubblePrintRenderer().paint(*printer, m_messages);
}
