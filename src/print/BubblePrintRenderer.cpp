#include "BubblePrintRenderer.h"

#include "Catalogue.h"
#include "CheckedSaveFile.h"
#include "InstallPaths.h"
#include "JobCancelled.h"
#include "PrintedText.h"
#include "ProductInfo.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
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
// How far each frame piece reaches over its neighbours.
constexpr qreal kPieceOverlap = 0.25;
// A picture is drawn this much taller than it is, as the frame's lower border is deeper.
constexpr int kPictureStretch = 10;

// Conversations a document title names before it names the account instead.
constexpr int kTitleNames = 3;

using FramePieces = std::array<QImage, 9>;

// A piece with its shadow already on the page's white: pieces drawn side by side then
// show no seam where a viewer smooths their edges.
QImage onWhite(const QImage &piece)
{
    if (piece.isNull())
        return piece;
    QImage flat(piece.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, piece);
    return flat;
}

FramePieces loadFramePieces(const QString &set)
{
    const QDir folder = InstallPaths::bubbleFolder();
    FramePieces pieces;
    for (int i = 0; i < 9; ++i)
        pieces[i] = onWhite(QImage(folder.filePath(QStringLiteral("%1_0%2.png").arg(set).arg(i + 1))));
    return pieces;
}

// Read once per process: every bubble of every page uses them, and a PDF holds each
// piece once.
const FramePieces &framePieces(bool sent)
{
    static const FramePieces received = loadFramePieces(QStringLiteral("bb1"));
    static const FramePieces sentSet = loadFramePieces(QStringLiteral("bb2"));
    return sent ? sentSet : received;
}

QImage loadPicture(const QString &path)
{
    QImage picture(path);
    if (picture.isNull())
        picture.load(path, "PNG");
    return picture;
}

QSize framedSize(const QSize &content, int roomY)
{
    return QSize(
        std::max(content.width() + kFrameRoomX, kMinBubbleWidth), std::max(content.height() + roomY, kMinBubbleHeight));
}

} // namespace

void BubblePrintRenderer::setUpPage(QPagedPaintDevice &device)
{
    const QMarginsF margins(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints);
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins, QPageLayout::Point));
}

QString BubblePrintRenderer::documentTitle(const QList<SMSInfo> &messages, const QString &accountName)
{
    QStringList names;
    for (const SMSInfo &sms : messages) {
        const QString name = Sms::displayName(sms);
        if (!names.contains(name))
            names.append(name);
        if (names.size() > kTitleNames)
            break;
    }
    const bool named = !names.isEmpty() && (names.size() <= kTitleNames || accountName.isEmpty());
    const QString who = named ? names.mid(0, kTitleNames).join(QLatin1String(", ")) : accountName;
    return QCoreApplication::translate("BubblePrintRenderer", "IDS_PRINT_TITLE_%1").arg(who);
}

QString BubblePrintRenderer::creator()
{
    return Catalogue::productTitle() + QLatin1Char(' ') + ProductInfo::version();
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
        writer.setTitle(m_title);
        writer.setCreator(creator());
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
    m_font = font();
    m_content = contentRect(device);
    m_lastHeaderTime = 0;
    m_page = 1;
    painter.setPen(Qt::black);
    startPage();

    int count = 0;
    for (const SMSInfo &sms : messages) {
        if (cancelled && cancelled->load())
            break;
        ++count;
        paintMessage(sms);
        if (m_progress)
            m_progress(count, int(messages.size()));
    }
    painter.end();
    m_painter = nullptr;
    m_device = nullptr;
    if (count < messages.size())
        throw JobCancelled();
    return count;
}

// Inside the margins, 20 pixels in from them (the margins read back in points, taken as
// pixels), as the page layout has always been.
QRect BubblePrintRenderer::contentRect(const QPagedPaintDevice &device)
{
    const QMarginsF margins = device.pageLayout().margins(QPageLayout::Point);
    const int left = int(margins.left());
    const int top = int(margins.top());
    return QRect(left, top, int(device.width() - margins.left() - margins.right()),
        int(device.height() - margins.top() - margins.bottom()));
}

// A white page with its number below the content, filled from the top.
void BubblePrintRenderer::startPage()
{
    m_painter->fillRect(m_content, Qt::white);
    m_y = m_content.top();
    drawLine(QString::number(m_page),
        QRect(m_content.left(), m_content.bottom() + kNumberGap, m_content.width(), kNumberHeight), Qt::AlignRight);
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

int BubblePrintRenderer::emptyPageSpace() const
{
    return m_content.height() - m_content.top();
}

bool BubblePrintRenderer::atPageTop() const
{
    return m_y == m_content.top();
}

void BubblePrintRenderer::paintMessage(const SMSInfo &sms)
{
    const std::unique_ptr<PrintedText> text = layOutText(sms, m_device, int(m_content.width() * kBubbleWidthShare));
    const int bubbleHeight = textBubbleSize(*text).height();
    // A bubble no page can hold starts wherever its first lines fit.
    const int neededHeight = bubbleHeight + kTextBubbleRoom < emptyPageSpace() ? bubbleHeight : kMinBubbleHeight;
    const qint64 time = sms.date.toMSecsSinceEpoch();
    const bool dated = time - m_lastHeaderTime > kDateInterval;
    const int dateHeight = dated ? kDateHeight : 0;

    // A message whose first bubble does not fit goes to the next page, its date line
    // with it.
    const bool dateFits = !dated || spaceLeft() > kDateRoom;
    if (!atPageTop() && (!dateFits || neededHeight + kTextBubbleRoom >= spaceLeft() - dateHeight))
        newPage();
    if (dated) {
        paintDateLine(sms.date);
        m_lastHeaderTime = time;
    }
    paintNameLine(sms);
    // A picture message without text shows its pictures only.
    if (!bubbleText(sms).isEmpty() || sms.attachments.isEmpty())
        paintTextBubble(*text, sms.isSend);
    paintAttachments(sms);
}

void BubblePrintRenderer::paintDateLine(const QDateTime &date)
{
    drawLine(date.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm")),
        QRect(m_content.left(), m_y, m_content.width(), kDateHeight), Qt::AlignHCenter);
    m_y += kDateHeight;
}

void BubblePrintRenderer::paintNameLine(const SMSInfo &sms)
{
    const QRect area(m_content.left() + kNameIndent, m_y, m_content.width() - 2 * kNameIndent, kNameHeight);
    // A name too long for the line ends in an ellipsis rather than past the paper.
    const QString name = QFontMetrics(m_font, m_device).elidedText(Sms::displayName(sms), Qt::ElideRight, area.width());
    drawLine(name, area, sms.isSend ? Qt::AlignRight : Qt::AlignLeft);
    m_y += kNameHeight;
}

// Whole when the page let it through, otherwise as many lines as each page holds, in
// a frame of their own.
void BubblePrintRenderer::paintTextBubble(const PrintedText &text, bool sent)
{
    if (textBubbleSize(text).height() + kTextBubbleRoom - kNameHeight < spaceLeft()) {
        drawTextBubble(text, 0, text.lineCount(), sent);
    } else {
        for (int first = 0; first < text.lineCount();) {
            if (first > 0)
                newPage();
            const int last = first + text.linesFitting(first, spaceLeft() - kTextRoomY);
            drawTextBubble(text, first, last, sent);
            first = last;
        }
    }
    m_y += kGapBelowText;
}

void BubblePrintRenderer::drawTextBubble(const PrintedText &text, int first, int last, bool sent)
{
    const QSize size = framedSize(QSize(text.width(), text.height(first, last)), kTextRoomY);
    const QRect bubble(bubbleLeft(size.width(), sent), m_y, size.width(), size.height());
    drawNinePiece(*m_painter, bubble, sent);
    text.draw(*m_painter, bubble.topLeft() + contentOffset(sent), first, last);
    m_y += size.height();
}

void BubblePrintRenderer::paintAttachments(const SMSInfo &sms)
{
    for (const AttachmentInfo &attachment : sms.attachments) {
        const QImage picture = fittedPicture(attachmentPicture(attachment));
        if (picture.isNull())
            continue;
        const QSize size = attachmentBubbleSize(picture.size());
        if (size.height() - 1 >= spaceLeft())
            newPage();
        const QRect bubble(bubbleLeft(size.width(), sms.isSend), m_y, size.width(), size.height());
        drawNinePiece(*m_painter, bubble, sms.isSend);
        m_painter->drawImage(
            QRect(bubble.topLeft() + contentOffset(sms.isSend), picture.size() + QSize(0, kPictureStretch)), picture);
        m_y += size.height() + kGapBelowAttachment;
    }
}

// A picture too big for an empty page is made smaller, whole, rather than cut.
QImage BubblePrintRenderer::fittedPicture(const QImage &picture) const
{
    const QSize room(
        m_content.width() - kFrameRoomX, m_content.height() - m_content.top() - kPictureRoomY - kPictureStretch - 1);
    if (picture.isNull() || (picture.width() <= room.width() && picture.height() <= room.height()))
        return picture;
    return picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// One line of text in an area, centred from top to bottom.
void BubblePrintRenderer::drawLine(const QString &text, const QRect &area, Qt::Alignment alignment)
{
    const PrintedText line(text, m_font, m_device);
    int x = area.left();
    if (alignment & Qt::AlignRight)
        x = area.left() + area.width() - line.width();
    else if (alignment & Qt::AlignHCenter)
        x = area.left() + (area.width() - line.width()) / 2;
    line.draw(*m_painter, QPoint(x, area.top() + (area.height() - line.height()) / 2));
}

int BubblePrintRenderer::bubbleLeft(int bubbleWidth, bool sent) const
{
    return sent ? m_content.right() - bubbleWidth : m_content.left();
}

QString BubblePrintRenderer::bubbleText(const SMSInfo &sms)
{
    QString text;
    if (!sms.subject.isEmpty())
        text = QStringLiteral("<Subject:") + sms.subject + QStringLiteral(">\n");
    return text + sms.body;
}

std::unique_ptr<PrintedText> BubblePrintRenderer::layOutText(const SMSInfo &sms, QPaintDevice *device, int maxWidth)
{
    // The body's direction, not the subject line's.
    const QString &leading = sms.body.isEmpty() ? sms.subject : sms.body;
    return std::make_unique<PrintedText>(bubbleText(sms), font(), device, maxWidth - kFrameRoomX,
        leading.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
}

QSize BubblePrintRenderer::textBubbleSize(const PrintedText &text)
{
    return framedSize(QSize(text.width(), text.height()), kTextRoomY);
}

QSize BubblePrintRenderer::attachmentBubbleSize(const QSize &picture)
{
    return framedSize(picture, kPictureRoomY);
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

// The frame's tail lies on the outer side, so the content keeps off that side.
QPoint BubblePrintRenderer::contentOffset(bool sent)
{
    return QPoint(sent ? 20 : 30, kFrameTop);
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
        // Overlapping their neighbours by a hair, as the pieces match where they meet.
        if (!pieces[i].isNull())
            painter.drawImage(
                QRectF(targets[i]).adjusted(-kPieceOverlap, -kPieceOverlap, kPieceOverlap, kPieceOverlap), pieces[i]);
    }
}

QFont BubblePrintRenderer::font()
{
    QFont textFont = QGuiApplication::font();
    textFont.setPixelSize(kFontPixels);
    // The default family is often an alias ("Sans Serif"), which a list of families does
    // not look up: the family it stands for goes first.
    textFont.setFamilies(
        {QFontInfo(textFont).family(), PrintedText::emojiFamily(), QStringLiteral("Noto Sans CJK JP")});
    return textFont;
}
