#pragma once

#include "SMSInfo.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <atomic>

class QPagedPaintDevice;
class QPainter;

// Paints messages as chat bubbles, page after page, on a printer or into a PDF: a date
// line whenever more than a minute has passed, the contact's name above each message,
// sent messages on the right and received ones on the left, and the page number at the
// foot of every page. Bubbles are pictures on a white ground, framed with the nine
// pieces of the bubble folder.
class BubblePrintRenderer
{
public:
    // The pages the layout expects: A4 portrait, 20 points of margin on each side, and
    // coordinates from the paper's corner so the page number can sit in the margin.
    static void setUpPage(QPagedPaintDevice &device);

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
    // Word-wrapped text in a frame no wider than maxWidth, at least 90 x 52.
    static QImage textBubble(const QString &text, int maxWidth, bool sent);
    static QImage attachmentBubble(const QImage &picture, bool sent);
    // A thumbnail for pictures, a symbol for sound and video; null for anything else.
    static QImage attachmentPicture(const AttachmentInfo &attachment);

    // Frame borders of the sent and the received set.
    static QMargins frameBorders(bool sent);
    // Where the nine frame pieces go, row by row from the top-left corner.
    static QList<QRect> ninePieceRects(const QRect &area, const QMargins &borders);
    static void drawNinePiece(QPainter &painter, const QRect &area, bool sent);

    static QFont font();

private:
    static QRect contentRect(const QPagedPaintDevice &device);
    void startPage();
    void newPage();
    int spaceLeft() const;
    void paintMessage(const SMSInfo &sms);
    void paintDateLine(const QDateTime &date);
    void paintNameLine(const SMSInfo &sms);
    void paintAttachments(const SMSInfo &sms);
    void placeBubble(const QImage &bubble, bool sent, int gapBelow);

    QPagedPaintDevice *m_device = nullptr;
    QPainter *m_painter = nullptr;
    QRect m_content;
    int m_y = 0;
    int m_page = 0;
    qint64 m_lastHeaderTime = 0;
};
