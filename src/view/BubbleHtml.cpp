#include "BubbleHtml.h"

#include <QFileInfo>
#include <QUrl>

namespace BubbleHtml {

namespace {

const char kHead[] = "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                     "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"
                     "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
                     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
                     "<title>Bubble</title>"
                     "<link href=\"bubble/style.css\" type=\"text/css\" rel=\"stylesheet\"/>"
                     "</head><body>";

const char kFrame[] = "<div class=\"bb_bg top_left\"></div><div class=\"bb_bg top_middle\"></div>"
                      "<div class=\"bb_bg top_right\"></div><div class=\"bb_bg middle_left\"></div>"
                      "<div class=\"bb_bg middle_middle\"></div><div class=\"bb_bg middle_right\"></div>"
                      "<div class=\"bb_bg bottom_left\"></div><div class=\"bb_bg bottom_middle\"></div>"
                      "<div class=\"bb_bg bottom_right\"></div>";

constexpr qint64 kDateLineGapMs = 60000;

// A local file as a URL fit for an attribute value.
QString fileUrlAttribute(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toHtmlEscaped();
}

// dir="auto": each message lays out in the direction of its own first letters (Hebrew and
// Arabic right to left); the bubble's side and frame stay by sender.
void openBubble(QString &html, const SMSInfo &sms)
{
    html += QStringLiteral("<div class=\"%1\" dir=\"auto\">")
                .arg(sms.isSend ? QLatin1String("bb2") : QLatin1String("bb1"));
    html += QLatin1String(kFrame);
}

void closeBubble(QString &html)
{
    html += QLatin1String("</div><div class=\"clear\"><br/></div>");
}

void appendTextBubble(QString &html, const SMSInfo &sms, const BubbleHtml::Marker &marker)
{
    openBubble(html, sms);
    // The subject comes from whoever sent the message: escaped like the body.
    if (!sms.subject.isEmpty())
        html += QStringLiteral("&lt;Subject:%1&gt; <br/>").arg(BubbleHtml::escapeHtml(sms.subject));
    html += marker ? BubbleHtml::markedHtml(sms.body, marker(sms.body)) : BubbleHtml::escapeHtml(sms.body);
    closeBubble(html);
}

QString attachmentImageSource(const AttachmentInfo &attachment)
{
    const QString mime = attachment.mimeType;
    if (mime.startsWith(QLatin1String("image/"), Qt::CaseInsensitive)) {
        // A thumbnail that could not be made leaves the picture without a source.
        return QFileInfo(attachment.thumbPath).isFile() ? fileUrlAttribute(attachment.thumbPath) : QString();
    }
    if (mime.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive))
        return QStringLiteral("bubble/bb-audio.png");
    if (mime.startsWith(QLatin1String("video/"), Qt::CaseInsensitive))
        return QStringLiteral("bubble/bb-video.png");
    return QString();
}

bool isLinkedType(const QString &mime)
{
    for (const char *prefix : {"image/", "audio/", "video/"}) {
        if (mime.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void appendAttachmentBubbles(QString &html, const SMSInfo &sms)
{
    for (const AttachmentInfo &attachment : sms.attachments) {
        if (!QFileInfo(attachment.filePath).isFile())
            continue;
        openBubble(html, sms);
        if (isLinkedType(attachment.mimeType)) {
            html += QStringLiteral("<a href=\"%1\"><img src=\"%2\"/></a>")
                        .arg(fileUrlAttribute(attachment.filePath), attachmentImageSource(attachment));
        }
        closeBubble(html);
    }
}

} // namespace

QString escapeHtml(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return escaped;
}

QString markedHtml(const QString &text, const QList<std::pair<int, int>> &marks)
{
    QString html;
    qsizetype at = 0;
    for (const auto &[start, size] : marks) {
        if (start < at || start + size > text.size())
            continue;
        html += BubbleHtml::escapeHtml(text.mid(at, start - at)) + QLatin1String("<span class=\"found\">")
            + BubbleHtml::escapeHtml(text.mid(start, size)) + QLatin1String("</span>");
        at = start + size;
    }
    return html + BubbleHtml::escapeHtml(text.mid(at));
}

int pageCount(int messageCount)
{
    return (messageCount + BubbleHtml::kPageSize - 1) / BubbleHtml::kPageSize;
}

QString pageBody(const MessageSource &messages, int page, bool multiContact, const Marker &marker)
{
    const int pages = BubbleHtml::pageCount(messages.count());
    if (page < 1 || page > pages)
        return QString();

    QString html = QStringLiteral("<a name=\"start\"></a>");
    if (page != 1)
        html += QLatin1String("<p><a href=\"/pre_page\">&lt;&lt;Previous Page</a></p>");

    qint64 lastDateLine = 0;
    const int first = BubbleHtml::kPageSize * (page - 1);
    const int last = qMin(first + BubbleHtml::kPageSize, messages.count());
    for (int i = first; i < last; ++i) {
        const SMSInfo &sms = messages.at(i);
        html += QStringLiteral("<a name=\"sms_%1\"></a>").arg(sms.rowid);
        const qint64 time = sms.date.toMSecsSinceEpoch();
        if (time - lastDateLine > kDateLineGapMs) {
            html += QStringLiteral("<div class=\"dt\">%1</div>")
                        .arg(sms.date.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm")));
            lastDateLine = time;
        }
        if (multiContact) {
            html += QStringLiteral("<div class=\"%1\">%2</div><div class=\"clear\"></div>")
                        .arg(sms.isSend ? QLatin1String("ct_right") : QLatin1String("ct_left"),
                            BubbleHtml::escapeHtml(Sms::displayName(sms)));
        }
        if (!sms.body.isEmpty() || sms.attachments.isEmpty())
            appendTextBubble(html, sms, marker);
        appendAttachmentBubbles(html, sms);
    }

    if (page != pages)
        html += QLatin1String("<p><a href=\"/next_page\">&gt;&gt;Next Page</a></p>");
    html += QLatin1String("<a name=\"end\"></a>");
    return html;
}

QString pageHtml(const MessageSource &messages, int page, bool multiContact, const Marker &marker)
{
    const QString body = pageBody(messages, page, multiContact, marker);
    return body.isEmpty() ? body : QLatin1String(kHead) + body + QLatin1String("</body></html>");
}

} // namespace BubbleHtml
