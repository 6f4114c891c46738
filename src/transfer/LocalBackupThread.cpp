#include "LocalBackupThread.h"

#include "CheckedSaveFile.h"
#include "CreatedPaths.h"
#include "ExportFormat.h"
#include "IBackupSMS.h"

#include <stdexcept>

LocalBackupThread::LocalBackupThread(const QList<SMSInfo> &messages, const QString &outputPath,
    const QString &exportFolder, int format, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , outputPath(outputPath)
    , exportFolder(exportFolder)
    , format(format)
    , smsList(messages)
{
}

void LocalBackupThread::run()
{
    CreatedPaths folders;
    std::shared_ptr<IBackupSMS> writer;
    try {
        if (!exportFolder.isEmpty() && !folders.makePath(exportFolder))
            throw std::runtime_error(folders.failure().toUtf8().toStdString());
        // Written beside the final name and renamed over it at the end, so an earlier
        // export of the same name survives a failure, a full disk or a cancel whole.
        CheckedSaveFile file(outputPath);
        file.openForWriting();
        writer = makeWriter(format, outputPath);
        if (!writer)
            throw std::runtime_error(tr("IDS_UNKNOWN_BACKUP_FORMAT").toUtf8().toStdString());
        const int done = writeAll(file, *writer);
        file.commitChecked();
        emit succeed(tr("IDS_EXPORT_SMS_SUC_%1").arg(done));
        return;
    } catch (const JobCancelled &) {
        qDebug("LocalBackupThread: User canceled.");
    } catch (const std::exception &e) {
        emit errorOccurred(QString::fromUtf8(e.what()));
    }
    if (writer)
        writer->discard();
    folders.removeAll();
}

int LocalBackupThread::writeAll(QIODevice &file, IBackupSMS &writer)
{
    writer.writeHeader(file);
    const int total = int(smsList.size());
    int done = 0;
    checkCancelled();
    for (const SMSInfo &sms : std::as_const(smsList)) {
        writer.writeSMS(file, sms);
        ++done;
        if (countReportDue(done, total))
            emit updateProgress(percent(done, total), tr("SMS %1:%2").arg(done).arg(total));
        checkCancelled();
    }
    writer.writeFooter(file);
    return done;
}
