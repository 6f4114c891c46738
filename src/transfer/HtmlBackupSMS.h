#pragma once

#include "CreatedPaths.h"
#include "IBackupSMS.h"

#include <QString>

// A flat page: one coloured block per message, pictures shown small and linked, sound
// and video linked, the attachments copied into "files" beside the page.
class HtmlBackupSMS : public IBackupSMS
{
public:
    // earlierFolder: the folder of an earlier export the new files will join (empty for
    // none); the copies take no name its files have.
    explicit HtmlBackupSMS(const QString &exportFilePath, const QString &earlierFolder = QString());

    void writeHeader(QIODevice &device) override;
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &device) override;
    void discard() override;

private:
    QString attachmentBlock(const AttachmentInfo &attachment);
    static QString linkTo(const QString &mimeType, const QString &copyName);

    QString m_rootDir;
    QString m_filesDir;
    QString m_earlierFilesDir; // empty without an earlier export
    CreatedPaths m_created;
};
