#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"
#include "StagedExportFolder.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class IBackupSMS;
class QIODevice;

// Writes one export file (every format but PDF) under the progress contract: the
// writer's header, each message in turn, its footer. The file replaces an earlier one of
// the same name only once it is complete, every write and the last flush checked; a failed
// or cancelled export takes back what it made and leaves whatever was there before. An
// export with a folder of its own (CSV, web pages) is written in an unfinished folder
// beside it and put in place at the end (StagedExportFolder), so a killed run leaves no
// copies that look like a finished export. Errors name the file or folder and the cause.
class LocalBackupThread : public ProgressThread
{
    Q_OBJECT

public:
    // exportFolder: the folder of the export (empty for none), holding outputPath; see
    // ExportPaths::target.
    LocalBackupThread(const QList<SMSInfo> &messages, const QString &outputPath, const QString &exportFolder,
        int format, ProgressReceiver *progressReceiver);

protected:
    void work() override;
    // Takes back the writer's copies and the unfinished folder.
    void onFailed(Failure failure) override;
    // Names the folder as it would have been when the export has one.
    QString errorText(const std::exception &e) const override;

private:
    // Writes the file at path with a new writer, its copies joining those of
    // earlierFolder; returns the number of messages written.
    int writeFile(const QString &path, const QString &earlierFolder);
    // Returns the number of messages written.
    int writeAll(QIODevice &file, IBackupSMS &output);

    QString outputPath;
    QString exportFolder;
    int format;
    QList<SMSInfo> smsList;
    std::optional<StagedExportFolder> folder;
    std::shared_ptr<IBackupSMS> writer;
};
