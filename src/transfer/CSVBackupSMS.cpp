#include "CSVBackupSMS.h"

#include "DeviceOutput.h"
#include "ExportFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

CSVBackupSMS::CSVBackupSMS(const QString &exportFilePath, const QString &earlierFolder)
    : m_rootDir(QFileInfo(exportFilePath).absolutePath())
    , m_dataDir(QDir(m_rootDir).filePath(QStringLiteral("data")))
    , m_earlierDataDir(earlierFolder.isEmpty() ? QString() : QDir(earlierFolder).filePath(QStringLiteral("data")))
{
    // A folder that cannot be made shows up as a failed copy once a message needs it.
    m_created.makePath(m_dataDir);
}

void CSVBackupSMS::writeHeader(QIODevice &device)
{
    DeviceOutput::write(device, QStringLiteral("send,date,number,person,subject,content,mime,cl,atta\n"));
}

void CSVBackupSMS::writeSMS(QIODevice &device, const SMSInfo &sms)
{
    const AttachmentFields attachments = copyAttachments(sms);
    const QString record = (sms.isSend ? QLatin1String("1") : QLatin1String("0")) + QLatin1Char(',')
        + sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(',')
        + escapeField(sms.address) + QLatin1Char(',') + escapeField(sms.person) + QLatin1Char(',')
        + escapeField(sms.subject) + QLatin1Char(',') + escapeField(sms.body) + QLatin1Char(',')
        + escapeField(attachments.mimeTypes) + QLatin1Char(',') + escapeField(attachments.names) + QLatin1Char(',')
        + escapeField(attachments.copies) + QLatin1Char('\n');
    DeviceOutput::write(device, record);
}

void CSVBackupSMS::discard()
{
    m_created.removeAll();
}

CSVBackupSMS::AttachmentFields CSVBackupSMS::copyAttachments(const SMSInfo &sms)
{
    AttachmentFields fields;
    for (const AttachmentInfo &attachment : sms.attachments) {
        // Parts without a file of their own have nothing to copy and are left out.
        if (attachment.filePath.isEmpty())
            continue;
        const QString copyName = copyAttachment(attachment);
        fields.mimeTypes += mimeTypeEntry(attachment.mimeType) + QLatin1Char(';');
        fields.names += nameEntry(attachment.fileName, copyName) + QLatin1Char(';');
        fields.copies += copyName + QLatin1Char(';');
    }
    return fields;
}

QString CSVBackupSMS::copyAttachment(const AttachmentInfo &attachment)
{
    const QString copyName = ExportFiles::copyInto(
        attachment.filePath, m_dataDir, nameEntry(attachment.fileName, QString()), m_created, m_earlierDataDir);
    // The copies are the user's own messages: nobody else should read them.
    QFile::setPermissions(QDir(m_dataDir).filePath(copyName), QFile::ReadUser | QFile::WriteUser);
    return copyName;
}

QString CSVBackupSMS::mimeTypeEntry(const QString &mimeType)
{
    // Parameters ("; charset=utf-8") would read back as an entry of their own.
    const QString type = mimeType.section(QLatin1Char(';'), 0, 0).trimmed();
    return type.isEmpty() ? QStringLiteral("application/octet-stream") : type;
}

QString CSVBackupSMS::nameEntry(const QString &name, const QString &fallback)
{
    QString entry = name.trimmed();
    entry.replace(QLatin1Char(';'), QLatin1Char('_'));
    return entry.isEmpty() ? fallback : entry;
}

QString CSVBackupSMS::escapeField(const QString &text)
{
    QString field = text;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    // The reader drops a carriage return outside quotes.
    const bool quoted = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('\n'))
        || text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('"'));
    if (!quoted)
        return field;
    return QLatin1Char('"') + field + QLatin1Char('"');
}
