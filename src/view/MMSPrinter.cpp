#include "MMSPrinter.h"

#include "Accounts.h"
#include "BubblePrintRenderer.h"
#include "MessageScope.h"
#include "MmsDB.h"

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

QString MMSPrinter::documentTitle(const QList<SMSInfo> &messages)
{
    const std::shared_ptr<MmsDB> store = Accounts::currentStore();
    return BubblePrintRenderer::documentTitle(messages, store ? store->folder().dirName() : QString());
}

MMSPrinter::MMSPrinter(QObject *parent)
    : QObject(parent)
{
}

void MMSPrinter::print(const QList<SMSInfo> &messages, const QString &scope)
{
    m_messages = messages;
    m_scope = scope;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::NativeFormat);
    // Without a printer the preview still works, and can save a PDF.
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat);
    BubblePrintRenderer::setUpPage(printer);
    printer.setDocName(documentTitle(messages));
    printer.setCreator(BubblePrintRenderer::creator());
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
    dialog.setWindowTitle(MessageScope::titled(tr("IDS_PRINT_MMS"), m_scope));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &MMSPrinter::onPaintRequested);
    dialog.exec();
}

int MMSPrinter::printToPdf(const QList<SMSInfo> &messages, const QString &path)
{
    m_count = 0;
    BubblePrintRenderer renderer;
    renderer.setTitle(documentTitle(messages));
    m_count = renderer.printToPdf(messages, path);
    return m_count;
}

void MMSPrinter::onPaintRequested(QPrinter *printer)
{
    m_count = BubblePrintRenderer().paint(*printer, m_messages);
}
