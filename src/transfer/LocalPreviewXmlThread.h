#pragma once

#include "ProgressThread.h"
#include "SMSInfo.h"
#include "SbrXmlReader.h"

#include <QList>
#include <QString>

#include <memory>

class QFile;
class QTemporaryDir;

// Reads a whole backup file of the app "SMS Backup & Restore" into messages under the
// progress contract, for the preview before an import or a restore to the phone. The
// file is read as a stream; attachments go to files of a temporary folder, which lives
// as long as someone holds attachmentFolder() (or this object) and is removed after. The
// folder's name holds the process id, so that the next start removes one a killed run
// left behind (removeAbandonedFolders).
class LocalPreviewXmlThread : public ProgressThread
{
    Q_OBJECT

public:
    LocalPreviewXmlThread(const QString &xmlPath, ProgressReceiver *progressReceiver);
    ~LocalPreviewXmlThread() override;

    // The messages read, in file order; complete only after success.
    const QList<SMSInfo> &messages() const { return smsList; }
    // The folder of the messages' attachment files: keep it until their import or restore
    // has ended. Null unless the preview succeeded.
    std::shared_ptr<QTemporaryDir> attachmentFolder() const { return m_folder; }
    // What the read left out, once it has succeeded.
    const SbrXmlReader::Skipped &skipped() const { return m_skipped; }
    // The entries left out: messages not sent (drafts, outbox) and other entries (call
    // records, messages without a date); a message's unusable parts do not count, the
    // message is kept.
    int leftOut() const { return m_skipped.notSent + m_skipped.otherEntries; }

    // Removes the temporary folders of previews whose process has ended: called at start,
    // by the window and by the command line's import.
    static void removeAbandonedFolders();

protected:
    void work() override;
    void onFailed(Failure failure) override;

private:
    // Returns the success text.
    QString readAll(QFile &file);
    // What was read and what was left out (control characters of the text included), in a
    // sentence each, and the encoding the text was read in when it is not UTF-8.
    static QString summary(
        qsizetype read, const SbrXmlReader::Skipped &skipped, qint64 droppedControls, const QString &encoding);
    // Forgets the messages and removes their attachment files.
    void discardRead();

    QList<SMSInfo> smsList;
    QString xmlPath;
    std::shared_ptr<QTemporaryDir> m_folder;
    SbrXmlReader::Skipped m_skipped;
};
