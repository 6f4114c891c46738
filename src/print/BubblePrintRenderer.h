#pragma once

#include "SMSInfo.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class PrintedText;
class QPagedPaintDevice;
class QPainter;

// Paints messages as chat bubbles, page after page, on a printer or into a PDF: a date
// line whenever more than a minute has passed, the contact's name above each message,
// sent messages on the right and received ones on the left, and the page number at the
// foot of every page. Each bubble is the nine-piece frame of the bubble folder drawn on
// the page, with the message's text inside as text, or its picture.
class BubblePrintRenderer
{
public:
    // A4 portrait with 20 points of margin on each side; the painter's origin is the
    // corner of the margins.
    static void setUpPage(QPagedPaintDevice &device);
    // "SMS & MMS — " and who the messages are with, or the account when they are with
    // more than a few people.
    static QString documentTitle(const QList<SMSInfo> &messages, const QString &accountName);
    // The program and its version, as a PDF's creator.
    static QString creator();

    // Told after each message painted, with the number painted and the number to paint.
    using Progress = std::function<void(int painted, int total)>;

    // The title printToPdf gives the PDF.
    void setTitle(const QString &title) { m_title = title; }
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Paints the messages on a device whose pages are set up; returns how many were painted.
    // Once the flag is set it stops before the next message with JobCancelled.
    int paint(QPagedPaintDevice &device, const QList<SMSInfo> &messages, const std::atomic_bool *cancelled = nullptr);
    // Writes the messages to a PDF at 96 dots per inch and returns how many were painted.
    // Throws std::runtime_error naming the file and the cause when it cannot be written
    // whole (a full disk too), and JobCancelled once the flag is set; either way no partial
    // file stays, and an earlier file of that name is kept.
    int printToPdf(const QList<SMSInfo> &messages, const QString &path, const std::atomic_bool *cancelled = nullptr);

    // The text a message's bubble shows: its subject, if any, on a line of its own.
    static QString bubbleText(const SMSInfo &sms);
    // The message's text laid out for the device inside a bubble at most maxWidth wide,
    // in the direction of its body.
    static std::unique_ptr<PrintedText> layOutText(const SMSInfo &sms, QPaintDevice *device, int maxWidth);
    // A frame around the text or the picture, at least 90 x 52.
    static QSize textBubbleSize(const PrintedText &text);
    static QSize attachmentBubbleSize(const QSize &picture);
    // A thumbnail for pictures, a symbol for sound and video; null for anything else.
    static QImage attachmentPicture(const AttachmentInfo &attachment);
    // Where a bubble's text or picture starts, away from the frame's tail.
    static QPoint contentOffset(bool sent);

    // Frame borders of the sent and the received set.
    static QMargins frameBorders(bool sent);
    // Where the nine frame pieces go, row by row from the top-left corner.
    static QList<QRect> ninePieceRects(const QRect &area, const QMargins &borders);
    static void drawNinePiece(QPainter &painter, const QRect &area, bool sent);

    // The bubble text font, with the colour emoji and CJK fonts to fall back on.
    static QFont font();

private:
    static QRect contentRect(const QPagedPaintDevice &device);
    void startPage();
    void newPage();
    int spaceLeft() const;
    int emptyPageSpace() const;
    bool atPageTop() const;
    void paintMessage(const SMSInfo &sms);
    void paintDateLine(const QDateTime &date);
    void paintNameLine(const SMSInfo &sms);
    void paintTextBubble(const PrintedText &text, bool sent);
    void drawTextBubble(const PrintedText &text, int first, int last, bool sent);
    void paintAttachments(const SMSInfo &sms);
    QImage fittedPicture(const QImage &picture) const;
    void drawLine(const QString &text, const QRect &area, Qt::Alignment alignment);
    int bubbleLeft(int bubbleWidth, bool sent) const;

    QString m_title;
    Progress m_progress;
    QPagedPaintDevice *m_device = nullptr;
    QPainter *m_painter = nullptr;
    QFont m_font;
    QRect m_content;
    int m_y = 0;
    int m_page = 0;
    qint64 m_lastHeaderTime = 0;
};
