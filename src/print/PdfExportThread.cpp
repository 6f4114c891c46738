#include "PdfExportThread.h"

#include "BubblePrintRenderer.h"

#include <QCoreApplication>

#include <stdexcept>

PdfExportThread::PdfExportThread(
    const QList<SMSInfo> &messages, const QString &path, const QString &title, ProgressReceiver *receiver)
    : ProgressThread(receiver)
    , m_messages(messages)
    , m_path(path)
    , m_title(title)
{
}

void PdfExportThread::work()
{
    BubblePrintRenderer renderer;
    renderer.setTitle(m_title);
    renderer.setProgress([this](int painted, int total) {
        if (countReportDue(painted, total)) {
            emit updateProgress(percent(painted, total),
                QCoreApplication::translate("LocalBackupThread", "SMS %1:%2").arg(painted).arg(total));
        }
    });
    const int painted = renderer.printToPdf(m_messages, m_path, &cancelled);
    emit succeed(QCoreApplication::translate("LocalBackupThread", "IDS_SUC_EXPORT_%1_MMS").arg(painted));
}
