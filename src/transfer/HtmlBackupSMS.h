#pragma once

#include "CreatedPaths.h"
#include "IBackupSMS.h"

#include <QString>

// A flat page: one coloured block per message, pictures shown small and linked, sound
// and video linked, the attachments copied into "files" beside the page.
class HtmlBackupSMS : public IBackupSMS
{
public:
    explicit HtmlBackupSMS(const QString &exportFilePath);

    void writeHeader(QIODevice &device) override;
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &device) override;
    void discard() override;

private:
    QString attachmentBlock(const AttachmentInfo &attachment);
    static QString linkTo(const QString &mimeType, const QString &copyName);

    QString m_rootDir;
    QString m_filesDir;
    CreatedPaths m_created;
};
