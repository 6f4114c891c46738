#include "LocalBackupThread.h"

#include "CheckedSaveFile.h"
#include "ExportFormat.h"
#include "IBackupSMS.h"

#include <QDir>

#include <stdexcept>

LocalBackupThread::LocalBackupThread(const QList<SMSInfo> &messages, const QString &path, const QString &folderPath,
    int formatCode, ProgressReceiver *progressReceiver)
    : ProgressThread(progressReceiver)
    , outputPath(path)
    , exportFolder(folderPath)
    , format(formatCode)
    , smsList(messages)
{
}

void LocalBackupThread::work()
{
    int done = 0;
    if (exportFolder.isEmpty()) {
        done = writeFile(outputPath, QString());
    } else {
        folder.emplace(exportFolder);
        folder->prepare();
        const QString inside = QDir(exportFolder).relativeFilePath(outputPath);
        done = writeFile(QDir(folder->path()).filePath(inside), folder->earlierFolder());
        folder->commit(inside);
    }
    emit succeed(tr("IDS_EXPORT_SMS_SUC_%1").arg(done));
}

void LocalBackupThread::onFailed(Failure)
{
    if (writer)
        writer->discard();
    if (folder)
        folder->abandon();
}

QString LocalBackupThread::errorText(const std::exception &e) const
{
    const QString error = ProgressThread::errorText(e);
    return folder ? folder->withFinalPath(error) : error;
}

int LocalBackupThread::writeFile(const QString &path, const QString &earlierFolder)
{
    // Written beside the final name and renamed over it at the end, so an earlier
    // export of the same name survives a failure, a full disk or a cancel whole.
    CheckedSaveFile file(path);
    file.openForWriting();
    writer = makeWriter(format, path, earlierFolder);
    if (!writer)
        throw std::runtime_error(tr("IDS_UNKNOWN_BACKUP_FORMAT").toUtf8().toStdString());
    const int done = writeAll(file, *writer);
    file.commitChecked();
    return done;
}

int LocalBackupThread::writeAll(QIODevice &file, IBackupSMS &output)
{
    output.writeHeader(file);
    const int total = int(smsList.size());
    int done = 0;
    checkCancelled();
    for (const SMSInfo &sms : std::as_const(smsList)) {
        output.writeSMS(file, sms);
        ++done;
        if (countReportDue(done, total))
            emit updateProgress(percent(done, total), tr("SMS %1:%2").arg(done).arg(total));
        checkCancelled();
    }
    output.writeFooter(file);
    return done;
}
