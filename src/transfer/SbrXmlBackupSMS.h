#pragma once

#include "IBackupSMS.h"

#include <QString>

// The XML backup file of the Android app "SMS Backup & Restore", which that app restores
// on any phone: an <sms> element per text message, an <mms> element with the pictures
// inline (Base64) per message with attachments. Attachments stream from their files, so
// a message with a large video is never whole in memory; the root's count, not known
// before the end, is written into room kept for it, so the device must be seekable.
class SbrXmlBackupSMS : public IBackupSMS
{
public:
    void writeHeader(QIODevice &device) override;
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &device) override;
    void discard() override { }

    // Text as an attribute value the app reads back: markup characters and line breaks
    // as references, a character beyond the basic plane as the references to its two
    // UTF-16 halves (as the app writes them), characters XML cannot carry left out.
    static QString escape(const QString &text);

private:
    static void writeMms(QIODevice &device, const SMSInfo &sms);
    static void writeData(QIODevice &device, const AttachmentInfo &attachment);

    qint64 m_countPosition = -1;
    qint64 m_count = 0;
};
