#include "BubblePrintRenderer.h"

#include "CheckedSaveFile.h"
#include "InstallPaths.h"
#include "JobCancelled.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <array>
#include <stdexcept>

namespace {

constexpr int kFontPixels = 16;
constexpr qreal kMarginPoints = 20;
// QPrinter::ScreenResolution without a screen to ask.
constexpr int kPdfResolution = 96;

constexpr int kNumberGap = 2;
constexpr int kNumberHeight = 22;
constexpr int kDateHeight = 26;
// A date line starts a new page when no more than this is left.
constexpr int kDateRoom = 23;
constexpr qint64 kDateInterval = 60000;
constexpr int kNameIndent = 25;
constexpr int kNameHeight = 22;
// Added to a text bubble's height when asking whether it still fits.
constexpr int kTextBubbleRoom = 17;
constexpr int kGapBelowText = 22;
constexpr int kGapBelowAttachment = 20;
constexpr qreal kBubbleWidthShare = 0.8;

// Room the frame takes around the text or the picture, and the smallest frame.
constexpr int kFrameRoomX = 50;
constexpr int kTextRoomY = 20;
constexpr int kPictureRoomY = 30;
constexpr int kFrameTop = 10;
constexpr int kMinBubbleWidth = 90;
constexpr int kMinBubbleHeight = 52;
// Tall enough for any text to be measured in.
constexpr int kUnboundedHeight = 1 << 24;

using FramePieces = std::array<QImage, 9>;

FramePieces loadFramePieces(const QString &set)
{
    const QDir folder = InstallPaths::bubbleFolder();
    FramePieces pieces;
    for (int i = 0; i < 9; ++i)
        pieces[i] = QImage(folder.filePath(QStringLiteral("%1_0%2.png").arg(set).arg(i + 1)));
    return pieces;
}

// Read once per process: every bubble of every page uses them.
const FramePieces &framePieces(bool sent)
{
    static const FramePieces received = loadFramePieces(QStringLiteral("bb1"));
    static const FramePieces sentSet = loadFramePieces(QStringLiteral("bb2"));
    return sent ? sentSet : received;
}

// The frame's tail lies on the outer side, so the content keeps off that side.
int contentInset(bool sent)
{
    return sent ? 20 : 30;
}

QImage whiteCanvas(const QSize &size)
{
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

QImage loadPicture(const QString &path)
{
    QImage picture(path);
    if (picture.isNull())
        picture.load(path, "PNG");
    return picture;
}

int pointsToPixels(qreal points, int dpi)
{
    return int(points * dpi / 72.0);
}

} // namespace

void BubblePrintRenderer::setUpPage(QPagedPaintDevice &device)
{
    const QMarginsF margins(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints);
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins, QPageLayout::Point);
    layout.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(layout);
}

int BubblePrintRenderer::printToPdf(
    const QList<SMSInfo> &messages, const QString &path, const std::atomic_bool *cancelled)
{
    // QPdfWriter ignores failed writes: the checked save file notes them (a full disk
    // among them) and keeps the PDF away from the path until it is complete.
    CheckedSaveFile file(path);
    file.openForWriting();
    int painted = 0;
    {
        QPdfWriter writer(&file);
        writer.setResolution(kPdfResolution);
        setUpPage(writer);
        painted = paint(writer, messages, cancelled);
    }
    file.commitChecked();
    return painted;
}

int BubblePrintRenderer::paint(
    QPagedPaintDevice &device, const QList<SMSInfo> &messages, const std::atomic_bool *cancelled)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    m_device = &device;
    m_painter = &painter;
    m_content = contentRect(device);
    m_lastHeaderTime = 0;
    m_page = 1;
    painter.setFont(font());
    painter.setPen(Qt::black);
    startPage();

    int count = 0;
    for (const SMSInfo &sms : messages) {
        if (cancelled && cancelled->load())
            break;
        ++count;
        paintMessage(sms);
    }
    painter.end();
    m_painter = nullptr;
    m_device = nullptr;
    if (count < messages.size())
        throw JobCancelled();
    return count;
}

QRect BubblePrintRenderer::contentRect(const QPagedPaintDevice &device)
{
    const QMarginsF margins = device.pageLayout().margins(QPageLayout::Point);
    const int dpiX = device.logicalDpiX();
    const int dpiY = device.logicalDpiY();
    const int left = pointsToPixels(margins.left(), dpiX);
    const int top = pointsToPixels(margins.top(), dpiY);
    const int width = int(device.width() - left - margins.right() * dpiX / 72.0);
    const int height = int(device.height() - top - margins.bottom() * dpiY / 72.0);
    return QRect(left, top, width, height);
}

// A white page with its number in the bottom margin, filled from the top.
void BubblePrintRenderer::startPage()
{
    m_painter->fillRect(m_content, Qt::white);
    m_y = m_content.top();
    const QRect numberArea(m_content.left(), m_content.bottom() + kNumberGap, m_content.width(), kNumberHeight);
    m_painter->drawText(numberArea, Qt::AlignRight | Qt::AlignVCenter, QString::number(m_page));
}

void BubblePrintRenderer::newPage()
{
    m_device->newPage();
    ++m_page;
    startPage();
}

// Measured from the content's height rather than its bottom edge, which keeps the
// top margin's worth of room free at the foot of every page.
int BubblePrintRenderer::spaceLeft() const
{
    return m_content.height() - m_y;
}

void BubblePrintRenderer::paintMessage(const SMSInfo &sms)
{
    const qint64 time = sms.date.toMSecsSinceEpoch();
    if (time - m_lastHeaderTime > kDateInterval) {
        paintDateLine(sms.date);
        m_lastHeaderTime = time;
    }

    const QString text = bubbleText(sms);
    const QImage bubble = textBubble(text, int(m_content.width() * kBubbleWidthShare), sms.isSend);
    if (bubble.height() + kTextBubbleRoom >= spaceLeft())
        newPage();
    paintNameLine(sms);
    // A picture message without text shows its pictures only.
    if (!text.isEmpty() || sms.attachments.isEmpty())
        placeBubble(bubble, sms.isSend, kGapBelowText);
    paintAttachments(sms);
}

void BubblePrintRenderer::paintDateLine(const QDateTime &date)
{
    if (spaceLeft() <= kDateRoom)
        newPage();
    m_painter->drawText(QRect(m_content.left(), m_y, m_content.width(), kDateHeight), Qt::AlignCenter,
        date.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm")));
    m_y += kDateHeight;
}

void BubblePrintRenderer::paintNameLine(const SMSInfo &sms)
{
    const QRect area(m_content.left() + kNameIndent, m_y, m_content.width() - 2 * kNameIndent, kNameHeight);
    const Qt::Alignment side = sms.isSend ? Qt::AlignRight : Qt::AlignLeft;
    m_painter->drawText(area, side | Qt::AlignVCenter, Sms::displayName(sms));
    m_y += kNameHeight;
}

void BubblePrintRenderer::paintAttachments(const SMSInfo &sms)
{
    for (const AttachmentInfo &attachment : sms.attachments) {
        const QImage picture = attachmentPicture(attachment);
        if (picture.isNull())
            continue;
        const QImage bubble = attachmentBubble(picture, sms.isSend);
        if (bubble.height() - 1 >= spaceLeft())
            newPage();
        placeBubble(bubble, sms.isSend, kGapBelowAttachment);
    }
}

void BubblePrintRenderer::placeBubble(const QImage &bubble, bool sent, int gapBelow)
{
    const int x = sent ? m_content.right() - bubble.width() : m_content.left();
    m_painter->drawImage(QPoint(x, m_y), bubble);
    m_y += bubble.height() + gapBelow;
}

QString BubblePrintRenderer::bubbleText(const SMSInfo &sms)
{
    QString text;
    if (!sms.subject.isEmpty())
        text = QStringLiteral("<Subject:") + sms.subject + QStringLiteral(">\n");
    return text + sms.body;
}

QImage BubblePrintRenderer::textBubble(const QString &text, int maxWidth, bool sent)
{
    const QFont textFont = font();
    const QRect measured = QFontMetrics(textFont).boundingRect(
        QRect(0, 0, maxWidth - kFrameRoomX, kUnboundedHeight), Qt::TextWordWrap, text);
    QImage bubble = whiteCanvas(QSize(std::max(measured.width() + kFrameRoomX, kMinBubbleWidth),
        std::max(measured.height() + kTextRoomY, kMinBubbleHeight)));
    QPainter painter(&bubble);
    drawNinePiece(painter, bubble.rect(), sent);
    painter.setFont(textFont);
    painter.setPen(Qt::black);
    painter.drawText(QRect(contentInset(sent), kFrameTop, measured.width(), measured.height()), Qt::TextWordWrap, text);
    return bubble;
}

QImage BubblePrintRenderer::attachmentBubble(const QImage &picture, bool sent)
{
    const int w = picture.width();
    const int h = picture.height();
    QImage bubble
        = whiteCanvas(QSize(std::max(w + kFrameRoomX, kMinBubbleWidth), std::max(h + kPictureRoomY, kMinBubbleHeight)));
    QPainter painter(&bubble);
    drawNinePiece(painter, bubble.rect(), sent);
    // Stretched 10 pixels taller than it is, as the frame's lower border is deeper.
    painter.drawImage(QRect(contentInset(sent), kFrameTop, w, h + 10), picture);
    return bubble;
}

QImage BubblePrintRenderer::attachmentPicture(const AttachmentInfo &attachment)
{
    const QString &type = attachment.mimeType;
    if (type.startsWith(QLatin1String("image/"), Qt::CaseInsensitive))
        return loadPicture(attachment.thumbPath);
    if (type.startsWith(QLatin1String("audio/"), Qt::CaseInsensitive))
        return loadPicture(InstallPaths::bubbleFolder().filePath(QStringLiteral("bb-audio.png")));
    if (type.startsWith(QLatin1String("video/"), Qt::CaseInsensitive))
        return loadPicture(InstallPaths::bubbleFolder().filePath(QStringLiteral("bb-video.png")));
    return {};
}

QMargins BubblePrintRenderer::frameBorders(bool sent)
{
    // left, top, right, bottom: the sizes of the corner pieces drawn by the artwork tool.
    return sent ? QMargins(40, 22, 48, 28) : QMargins(44, 23, 44, 27);
}

QList<QRect> BubblePrintRenderer::ninePieceRects(const QRect &area, const QMargins &borders)
{
    const int x1 = area.left();
    const int y1 = area.top();
    const int x2 = area.right();
    const int y2 = area.bottom();
    const int l = borders.left();
    const int t = borders.top();
    const int r = borders.right();
    const int b = borders.bottom();
    const int middleWidth = x2 - x1 - l - r + 1;
    const int middleHeight = y2 - y1 - t - b + 1;
    return {
        QRect(x1, y1, l, t),
        QRect(x1 + l, y1, middleWidth, t),
        QRect(x2 - r, y1, r, t),
        QRect(x1, y1 + t, l, middleHeight),
        QRect(x1 + l, y1 + t, middleWidth, middleHeight),
        QRect(x2 - r, y1 + t, r, middleHeight),
        QRect(x1, y2 - b, l, b),
        QRect(x1 + l, y2 - b, middleWidth, b),
        QRect(x2 - r, y2 - b, r, b),
    };
}

void BubblePrintRenderer::drawNinePiece(QPainter &painter, const QRect &area, bool sent)
{
    const FramePieces &pieces = framePieces(sent);
    const QList<QRect> targets = ninePieceRects(area, frameBorders(sent));
    for (int i = 0; i < 9; ++i) {
        if (!pieces[i].isNull())
            painter.drawImage(targets[i], pieces[i]);
    }
}

QFont BubblePrintRenderer::font()
{
    QFont textFont = QGuiApplication::font();
    textFont.setPixelSize(kFontPixels);
    return textFont;
}
