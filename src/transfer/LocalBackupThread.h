#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"

#include <QList>
#include <QString>

class CreatedPaths;
class IBackupSMS;
class QIODevice;

// Writes one export file (every format but PDF) under the progress contract: the
// writer's header, each message in turn, its footer. The file replaces an earlier one of
// the same name only once it is complete, every write and the last flush checked; a failed
// or cancelled export takes back what it made and leaves whatever was there before. Errors
// name the file or folder and the cause.
class LocalBackupThread : public ProgressThread
{
    Q_OBJECT

public:
    // exportFolder: the folder to make first (empty for none), see ExportPaths::target.
    LocalBackupThread(const QList<SMSInfo> &messages, const QString &outputPath, const QString &exportFolder,
        int format, ProgressReceiver *progressReceiver);

protected:
    void run() override;

private:
    // Returns the number of messages written.
    int writeAll(QIODevice &file, IBackupSMS &writer);

    QString outputPath;
    QString exportFolder;
    int format;
    QList<SMSInfo> smsList;
};
