#include "HtmlBubbleBackupSMS.h"

#include "Catalogue.h"
#include "DeviceOutput.h"
#include "ExportFiles.h"
#include "InstallPaths.h"
#include "Xhtml.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A new date line once this long has passed since the last one.
constexpr qint64 kDateLineGapMs = 60000;

QLatin1String bubbleFrame()
{
    return QLatin1String("<div class=\"bb_bg top_left\"></div><div class=\"bb_bg top_middle\"></div>"
                         "<div class=\"bb_bg top_right\"></div><div class=\"bb_bg middle_left\"></div>"
                         "<div class=\"bb_bg middle_middle\"></div><div class=\"bb_bg middle_right\"></div>"
                         "<div class=\"bb_bg bottom_left\"></div><div class=\"bb_bg bottom_middle\"></div>"
                         "<div class=\"bb_bg bottom_right\"></div>");
}

} // namespace

HtmlBubbleBackupSMS::HtmlBubbleBackupSMS(const QString &exportFilePath, const QString &earlierFolder)
    : m_rootDir(QFileInfo(exportFilePath).absolutePath())
    , m_filesDir(QDir(m_rootDir).filePath(QStringLiteral("files")))
    , m_earlierFilesDir(earlierFolder.isEmpty() ? QString() : QDir(earlierFolder).filePath(QStringLiteral("files")))
{
    // A folder that cannot be made shows up as a failed copy once a file needs it.
    m_created.makePath(m_filesDir);
}

void HtmlBubbleBackupSMS::writeHeader(QIODevice &device)
{
    copyBubbleFiles();
    DeviceOutput::write(device,
        Xhtml::docType() + QLatin1Char('\n') + Xhtml::rootElement() + QLatin1Char('\n') + QLatin1String("<head>\n")
            + QLatin1String("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n")
            + QLatin1String("<title>") + Xhtml::escapeText(Catalogue::productTitle()) + QLatin1String("</title>\n")
            + QLatin1String("<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/>\n")
            + QLatin1String("</head><body>\n"));
}

void HtmlBubbleBackupSMS::writeSMS(QIODevice &device, const SMSInfo &sms)
{
    QString html = dateLine(sms) + nameLine(sms);
    if (!sms.body.isEmpty() || sms.attachments.isEmpty())
        html += textBubble(sms);
    for (const AttachmentInfo &attachment : sms.attachments)
        html += attachmentBubble(sms, attachment);
    DeviceOutput::write(device, html);
}

void HtmlBubbleBackupSMS::writeFooter(QIODevice &device)
{
    DeviceOutput::write(device, QStringLiteral("</body></html>"));
}

void HtmlBubbleBackupSMS::discard()
{
    m_created.removeAll();
}

void HtmlBubbleBackupSMS::copyBubbleFiles()
{
    // A missing folder lists nothing: the page then shows without its frames.
    const QFileInfoList entries = InstallPaths::bubbleFolder().entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        // An earlier export's style sheet may have been edited by hand: it stays.
        if (QFileInfo::exists(QDir(m_filesDir).filePath(entry.fileName()))
            || (!m_earlierFilesDir.isEmpty() && QFileInfo::exists(QDir(m_earlierFilesDir).filePath(entry.fileName()))))
            continue;
        ExportFiles::copyInto(entry.absoluteFilePath(), m_filesDir, entry.fileName(), m_created);
    }
}

QString HtmlBubbleBackupSMS::dateLine(const SMSInfo &sms)
{
    const qint64 time = sms.date.toMSecsSinceEpoch();
    if (time - m_lastHeaderTime <= kDateLineGapMs)
        return QString();
    m_lastHeaderTime = time;
    return QStringLiteral("<div class=\"dt\">%1</div>")
        .arg(sms.date.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm")));
}

QString HtmlBubbleBackupSMS::nameLine(const SMSInfo &sms)
{
    return QStringLiteral("<div class=\"%1\">").arg(sms.isSend ? QLatin1String("ct_right") : QLatin1String("ct_left"))
        + Xhtml::escapeText(Sms::displayName(sms)) + QLatin1String("</div><div class=\"clear\"></div>");
}

QString HtmlBubbleBackupSMS::textBubble(const SMSInfo &sms)
{
    return openBubble(sms) + Xhtml::escapeLines(sms.body) + closeBubble();
}

QString HtmlBubbleBackupSMS::attachmentBubble(const SMSInfo &sms, const AttachmentInfo &attachment)
{
    QString thumbCopy;
    if (!attachment.thumbPath.isEmpty()) {
        thumbCopy = ExportFiles::copyInto(
            attachment.thumbPath, m_filesDir, QFileInfo(attachment.thumbPath).fileName(), m_created, m_earlierFilesDir);
    }
    QString dataCopy;
    if (!attachment.filePath.isEmpty())
        dataCopy
            = ExportFiles::copyInto(attachment.filePath, m_filesDir, attachment.fileName, m_created, m_earlierFilesDir);
    return openBubble(sms) + bubbleContent(attachment, dataCopy, thumbCopy) + closeBubble();
}

QString HtmlBubbleBackupSMS::bubbleContent(
    const AttachmentInfo &attachment, const QString &dataCopy, const QString &thumbCopy)
{
    QString picture;
    if (attachment.mimeType.startsWith(QLatin1String("image/")))
        picture = QLatin1String("files/") + Xhtml::escapeAttribute(thumbCopy);
    else if (attachment.mimeType.startsWith(QLatin1String("audio/")))
        picture = QStringLiteral("files/bb-audio.png");
    else if (attachment.mimeType.startsWith(QLatin1String("video/")))
        picture = QStringLiteral("files/bb-video.png");
    else
        return QString();
    return QStringLiteral("<a href=\"files/%1\"><img src=\"%2\"/></a>").arg(Xhtml::escapeAttribute(dataCopy), picture);
}

QString HtmlBubbleBackupSMS::openBubble(const SMSInfo &sms)
{
    // Each message in its own direction, as in the conversation view.
    return QStringLiteral("<div class=\"%1\" dir=\"auto\">")
               .arg(sms.isSend ? QLatin1String("bb2") : QLatin1String("bb1"))
        + bubbleFrame();
}

QString HtmlBubbleBackupSMS::closeBubble()
{
    return QStringLiteral("</div><div class=\"clear\"><br/></div>");
}
