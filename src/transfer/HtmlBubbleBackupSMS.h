#pragma once

#include "CreatedPaths.h"
#include "IBackupSMS.h"

#include <QString>

// A page of chat bubbles like the conversation view: date lines, contact names, text
// bubbles and one bubble per attachment. The bubble style sheet and pictures and the
// attachments are copied into "files" beside the page.
class HtmlBubbleBackupSMS : public IBackupSMS
{
public:
    // earlierFolder: the folder of an earlier export the new files will join (empty for
    // none); the copies take no name its files have.
    explicit HtmlBubbleBackupSMS(const QString &exportFilePath, const QString &earlierFolder = QString());

    void writeHeader(QIODevice &device) override;
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &device) override;
    void discard() override;

private:
    void copyBubbleFiles();
    QString dateLine(const SMSInfo &sms);
    static QString nameLine(const SMSInfo &sms);
    static QString textBubble(const SMSInfo &sms);
    QString attachmentBubble(const SMSInfo &sms, const AttachmentInfo &attachment);
    static QString bubbleContent(const AttachmentInfo &attachment, const QString &dataCopy, const QString &thumbCopy);
    static QString openBubble(const SMSInfo &sms);
    static QString closeBubble();

    QString m_rootDir;
    QString m_filesDir;
    QString m_earlierFilesDir; // empty without an earlier export
    CreatedPaths m_created;
    // Time of the last date line, in ms since the epoch.
    qint64 m_lastHeaderTime = 0;
};
