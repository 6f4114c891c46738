#include "HtmlBackupSMS.h"

#include "Catalogue.h"
#include "DeviceOutput.h"
#include "ExportFiles.h"
#include "FlatHtml.h"
#include "Xhtml.h"

#include <QDir>
#include <QFileInfo>

HtmlBackupSMS::HtmlBackupSMS(const QString &exportFilePath, const QString &earlierFolder)
    : m_rootDir(QFileInfo(exportFilePath).absolutePath())
    , m_filesDir(QDir(m_rootDir).filePath(QStringLiteral("files")))
    , m_earlierFilesDir(earlierFolder.isEmpty() ? QString() : QDir(earlierFolder).filePath(QStringLiteral("files")))
{
    // A folder that cannot be made shows up as a failed copy once a message needs it.
    m_created.makePath(m_filesDir);
}

void HtmlBackupSMS::writeHeader(QIODevice &device)
{
    DeviceOutput::write(device,
        Xhtml::docType() + QLatin1Char('\n') + Xhtml::rootElement() + QLatin1Char('\n')
            + QLatin1String("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n")
            + QLatin1String("<title>") + Xhtml::escapeText(Catalogue::productTitle()) + QLatin1String("</title>\n")
            + QLatin1String("<style type=\"text/css\">img{border:none;}") + FlatHtml::browserBodyFonts()
            + QLatin1String("</style></head><body>\n"));
}

void HtmlBackupSMS::writeSMS(QIODevice &device, const SMSInfo &sms)
{
    QString html = FlatHtml::messageBlock(sms);
    for (const AttachmentInfo &attachment : sms.attachments)
        html += attachmentBlock(attachment);
    html += QLatin1String("<br/>");
    DeviceOutput::write(device, html);
}

void HtmlBackupSMS::writeFooter(QIODevice &device)
{
    DeviceOutput::write(device, QStringLiteral("</body></html>"));
}

void HtmlBackupSMS::discard()
{
    m_created.removeAll();
}

QString HtmlBackupSMS::attachmentBlock(const AttachmentInfo &attachment)
{
    if (attachment.filePath.isEmpty())
        return QString();
    // Every file is copied, also those the page has no way to show.
    return linkTo(attachment.mimeType,
        ExportFiles::copyInto(attachment.filePath, m_filesDir, attachment.fileName, m_created, m_earlierFilesDir));
}

QString HtmlBackupSMS::linkTo(const QString &mimeType, const QString &copyName)
{
    const QString target = Xhtml::escapeAttribute(copyName);
    if (mimeType.startsWith(QLatin1String("image/"))) {
        return QStringLiteral("<div><a href=\"files/%1\" target=\"_blank\"><img src=\"files/%2\" width=\"120px\"/></a>"
                              "</div><br/>")
            .arg(target, target);
    }
    if (mimeType.startsWith(QLatin1String("audio/")) || mimeType.startsWith(QLatin1String("video/"))) {
        return QStringLiteral("<div><a href=\"files/%1\" target=\"_blank\">[%2]</a></div><br/>")
            .arg(target, Xhtml::escapeText(copyName));
    }
    return QString();
}
