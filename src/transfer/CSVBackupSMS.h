#pragma once

#include "CreatedPaths.h"
#include "IBackupSMS.h"

#include <QString>

// Comma-separated records that the import reads back: one line per message, the
// attachments copied into "data" beside the export file and listed by type, original
// name and copy name.
class CSVBackupSMS : public IBackupSMS
{
public:
    explicit CSVBackupSMS(const QString &exportFilePath);

    void writeHeader(QIODevice &device) override;
    void writeSMS(QIODevice &device, const SMSInfo &sms) override;
    void writeFooter(QIODevice &) override { }
    void discard() override;

private:
    // The three attachment fields, each a list of items ending in ';'.
    struct AttachmentFields
    {
        QString mimeTypes;
        QString names;
        QString copies;
    };

    AttachmentFields copyAttachments(const SMSInfo &sms);
    QString copyAttachment(const AttachmentInfo &attachment);
    static QString escapeField(const QString &text);

    QString m_rootDir;
    QString m_dataDir;
    CreatedPaths m_created;
};
