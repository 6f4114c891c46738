#pragma once

#include "CreatedPaths.h"
#include "IBackupSMS.h"

#include <QString>

// Comma-separated records that the import reads back: one line per message, the
// attachments copied into "data" beside the export file and listed by type, original
// name and copy name. The three lists are separated by ';' and line up entry for entry:
// no entry holds a ';' (a name's becomes '_', a type's parameters are left out) or is empty.
class CSVBackupSMS : public IBackupSMS
{
public:
    // earlierFolder: the folder of an earlier export the new files will join (empty for
    // none); the copies take no name its files have.
    explicit CSVBackupSMS(const QString &exportFilePath, const QString &earlierFolder = QString());

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
    // The type without parameters; "application/octet-stream" for none.
    static QString mimeTypeEntry(const QString &mimeType);
    // The name trimmed, '_' for each ';'; fallback when nothing is left.
    static QString nameEntry(const QString &name, const QString &fallback);
    static QString escapeField(const QString &text);

    QString m_rootDir;
    QString m_dataDir;
    QString m_earlierDataDir; // empty without an earlier export
    CreatedPaths m_created;
};
