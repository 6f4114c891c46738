// parlowick-artwork: draws every picture of Parlowick with QPainter and
// writes them into the folder given on the command line.
//
//   parlowick-artwork OUTDIR            the application's icons and banners
//   parlowick-artwork --bubble OUTDIR   the conversation view's bubble frames
//                                       and attachment pictures
//
// All pictures are built from vector shapes, so the output only depends on
// this file (and, for the banner lettering, on the installed sans-serif font).

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Palette
// ---------------------------------------------------------------------------

const QColor kNavy(0x01, 0x02, 0x30);
const QColor kDeepBlue(0x0B, 0x3A, 0x8C);
const QColor kAccent(0x2D, 0x8C, 0xF0);
const QColor kGreen(0x3C, 0xB3, 0x71);
const QColor kOrange(0xF3, 0x9C, 0x12);
const QColor kRed(0xE7, 0x4C, 0x3C);
const QColor kBody(0xF4, 0xF6, 0xF8);
const QColor kBodyShade(0xC9, 0xD3, 0xDE);
const QColor kOutline(0x1B, 0x2A, 0x41);
const QColor kSlate(0x5D, 0x6D, 0x7E);

constexpr int kJpegQuality = 92;

// ---------------------------------------------------------------------------
// Canvas and painting helpers
// ---------------------------------------------------------------------------

QImage transparentCanvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QImage opaqueCanvas(int w, int h, const QColor &background)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(background);
    return img;
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

QPen outlinePen(qreal width, const QColor &color = kOutline)
{
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// Vertical gradient from a lighter to a slightly darker tone of `c`.
QLinearGradient shaded(const QRectF &r, const QColor &c, int light = 135, int dark = 112)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, c.lighter(light));
    g.setColorAt(1.0, c.darker(dark));
    return g;
}

// The light material used for bodies of objects (paper, phones, envelopes).
QLinearGradient lightBody(const QRectF &r)
{
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0.0, Qt::white);
    g.setColorAt(0.55, kBody);
    g.setColorAt(1.0, kBodyShade);
    return g;
}

void fillOutlined(QPainter &p, const QPainterPath &path, const QBrush &brush, qreal outline)
{
    p.setBrush(brush);
    if (outline > 0)
        p.setPen(outlinePen(outline));
    else
        p.setPen(Qt::NoPen);
    p.drawPath(path);
}

QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath rectPath(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

QPainterPath ellipsePath(const QRectF &r)
{
    QPainterPath path;
    path.addEllipse(r);
    return path;
}

// A filled arrow following `spine`: a shaft of width `shaft` ending in a
// triangular head of the given length and width at the end of the spine.
QPainterPath arrowAlong(const QPainterPath &spine, qreal shaft, qreal headLength, qreal headWidth)
{
    const qreal total = spine.length();
    const QPointF tip = spine.pointAtPercent(1.0);
    const qreal angle = qDegreesToRadians(spine.angleAtPercent(1.0));
    const QPointF dir(std::cos(angle), -std::sin(angle));
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = tip - dir * headLength;

    // Shaft: the spine up to a little inside the head, sampled as a polyline.
    const qreal shaftEnd = spine.percentAtLength(std::max<qreal>(0.0, total - headLength * 0.6));
    QPainterPath centre;
    constexpr int kSteps = 64;
    centre.moveTo(spine.pointAtPercent(0.0));
    for (int i = 1; i <= kSteps; ++i)
        centre.lineTo(spine.pointAtPercent(shaftEnd * i / kSteps));

    QPainterPathStroker stroker;
    stroker.setWidth(shaft);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath body = stroker.createStroke(centre);

    QPainterPath head;
    head.addPolygon(QPolygonF({base + normal * (headWidth / 2), tip, base - normal * (headWidth / 2)}));
    head.closeSubpath();

    return body.united(head).simplified();
}

QPainterPath straightArrow(const QPointF &from, const QPointF &to, qreal shaft, qreal headLength, qreal headWidth)
{
    QPainterPath spine(from);
    spine.lineTo(to);
    return arrowAlong(spine, shaft, headLength, headWidth);
}

void drawArrow(QPainter &p, const QPainterPath &arrow, const QColor &color, qreal outline)
{
    fillOutlined(p, arrow, shaded(arrow.boundingRect(), color, 130, 110), outline);
}

// Phone: rounded body, screen, speaker slot and home button. Returns the
// screen rectangle so callers can draw on it.
QRectF drawPhone(QPainter &p, const QRectF &r, const QBrush &body, const QColor &screen, qreal outline,
    const QColor &detail = kOutline)
{
    const qreal radius = r.width() * 0.2;
    fillOutlined(p, roundedRect(r, radius), body, outline);

    const qreal sideMargin = r.width() * 0.13;
    const QRectF scr(r.left() + sideMargin, r.top() + r.height() * 0.14, r.width() - 2 * sideMargin, r.height() * 0.68);
    QLinearGradient g(scr.topLeft(), scr.bottomRight());
    g.setColorAt(0.0, screen.lighter(150));
    g.setColorAt(0.6, screen);
    g.setColorAt(1.0, screen.darker(125));
    p.setBrush(g);
    p.setPen(outline > 0 ? outlinePen(outline * 0.6, detail) : QPen(Qt::NoPen));
    p.drawRoundedRect(scr, radius * 0.25, radius * 0.25);

    // speaker slot
    const qreal slotH = std::max<qreal>(1.0, r.height() * 0.025);
    p.setPen(Qt::NoPen);
    p.setBrush(detail);
    p.drawRoundedRect(QRectF(r.center().x() - r.width() * 0.15, r.top() + r.height() * 0.065, r.width() * 0.3, slotH),
        slotH / 2, slotH / 2);
    // home button
    const qreal b = r.width() * 0.09;
    p.drawEllipse(QPointF(r.center().x(), r.bottom() - r.height() * 0.09), b, b);
    return scr;
}

// Envelope seen from the back: body with the two flap edges.
void drawEnvelope(QPainter &p, const QRectF &r, qreal outline)
{
    const qreal radius = r.height() * 0.1;
    fillOutlined(p, roundedRect(r, radius), lightBody(r), outline);

    QPainterPath flap;
    flap.moveTo(r.left() + radius * 0.6, r.top() + radius * 0.6);
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.58);
    flap.lineTo(r.right() - radius * 0.6, r.top() + radius * 0.6);
    p.setBrush(Qt::NoBrush);
    p.setPen(outlinePen(outline * 0.85));
    p.drawPath(flap);
}

// Speech bubble: rounded rectangle with a tail at the bottom, on the left
// (tailLeft) or on the right.
QPainterPath bubblePath(const QRectF &r, bool tailLeft)
{
    const qreal radius = r.height() * 0.32;
    QPainterPath body = roundedRect(r, radius);
    QPainterPath tail;
    const qreal y = r.bottom() - radius * 0.5;
    if (tailLeft) {
        const qreal x = r.left() + r.width() * 0.2;
        tail.moveTo(x, y);
        tail.lineTo(x + r.width() * 0.18, y);
        tail.lineTo(r.left() + r.width() * 0.06, r.bottom() + r.height() * 0.28);
    } else {
        const qreal x = r.right() - r.width() * 0.2;
        tail.moveTo(x, y);
        tail.lineTo(x - r.width() * 0.18, y);
        tail.lineTo(r.right() - r.width() * 0.06, r.bottom() + r.height() * 0.28);
    }
    tail.closeSubpath();
    return body.united(tail).simplified();
}

// Sheet of paper with a folded top-right corner; optional text lines.
void drawDocument(QPainter &p, const QRectF &r, qreal outline, int lines)
{
    const qreal fold = r.width() * 0.3;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    fillOutlined(p, sheet, lightBody(r), outline);

    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    fillOutlined(p, corner, kBodyShade, outline);

    p.setPen(outlinePen(outline * 0.9, kSlate));
    const qreal left = r.left() + r.width() * 0.2;
    const qreal step = (r.height() * 0.62) / std::max(1, lines);
    for (int i = 0; i < lines; ++i) {
        const qreal y = r.top() + r.height() * 0.38 + step * i;
        const qreal right = r.right() - r.width() * (i % 2 ? 0.32 : 0.2);
        p.drawLine(QPointF(left, y), QPointF(right, y));
    }
}

// Database cylinder with two bands.
void drawCylinder(QPainter &p, const QRectF &r, const QColor &color, qreal outline)
{
    const qreal eh = r.height() * 0.26; // ellipse height
    const QRectF top(r.left(), r.top(), r.width(), eh);
    const QRectF bottom(r.left(), r.bottom() - eh, r.width(), eh);

    QPainterPath body;
    body.moveTo(r.left(), r.top() + eh / 2);
    body.lineTo(r.left(), r.bottom() - eh / 2);
    body.arcTo(bottom, 180, 180);
    body.lineTo(r.right(), r.top() + eh / 2);
    body.arcTo(top, 0, 180);
    body.closeSubpath();

    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0.0, color.darker(115));
    g.setColorAt(0.35, color.lighter(135));
    g.setColorAt(1.0, color.darker(135));
    fillOutlined(p, body, g, outline);

    // bands
    p.setBrush(Qt::NoBrush);
    p.setPen(outlinePen(outline * 0.8));
    const qreal usable = r.height() - eh;
    for (int i = 1; i <= 2; ++i) {
        const QRectF band(r.left(), r.top() + usable * i / 3.0, r.width(), eh);
        QPainterPath arc;
        arc.arcMoveTo(band, 180);
        arc.arcTo(band, 180, 180);
        p.drawPath(arc);
    }

    // lid
    QLinearGradient lid(top.topLeft(), top.bottomRight());
    lid.setColorAt(0.0, color.lighter(175));
    lid.setColorAt(1.0, color.lighter(120));
    fillOutlined(p, ellipsePath(top), lid, outline);
}

// Head and shoulders silhouette filling `r`.
void drawPerson(QPainter &p, const QRectF &r, const QColor &color, qreal outline)
{
    const qreal w = r.width();
    const qreal d = w * 0.52; // head diameter
    const QRectF head(r.center().x() - d / 2, r.top(), d, d);

    // shoulders: a dome on top of a short block with slightly rounded feet
    const qreal top = head.bottom() + r.height() * 0.05;
    const qreal dome = (r.bottom() - top) * 0.62;
    const qreal foot = w * 0.08;
    QPainterPath torso;
    torso.moveTo(r.left(), r.bottom() - foot);
    torso.lineTo(r.left(), top + dome);
    torso.arcTo(QRectF(r.left(), top, w, 2 * dome), 180, -180);
    torso.lineTo(r.right(), r.bottom() - foot);
    torso.quadTo(r.right(), r.bottom(), r.right() - foot, r.bottom());
    torso.lineTo(r.left() + foot, r.bottom());
    torso.quadTo(r.left(), r.bottom(), r.left(), r.bottom() - foot);
    torso.closeSubpath();
    fillOutlined(p, torso, shaded(torso.boundingRect(), color), outline);

    QRadialGradient hg(head.center() - QPointF(d * 0.15, d * 0.15), d * 0.7);
    hg.setColorAt(0.0, color.lighter(150));
    hg.setColorAt(1.0, color);
    fillOutlined(p, ellipsePath(head), hg, outline);
}

// ---------------------------------------------------------------------------
// Wide pictures
// ---------------------------------------------------------------------------

QImage drawBanner()
{
    const int w = 400;
    const int h = 110;
    QImage img = opaqueCanvas(w, h, kNavy);
    QPainter p(&img);
    prepare(p);

    QLinearGradient bg(0, 0, w, h);
    bg.setColorAt(0.0, kNavy);
    bg.setColorAt(0.55, QColor(0x05, 0x17, 0x63));
    bg.setColorAt(1.0, kDeepBlue);
    p.fillRect(img.rect(), bg);

    // soft glow behind the phone
    QRadialGradient glow(QPointF(70, 58), 120);
    glow.setColorAt(0.0, QColor(0x2D, 0x8C, 0xF0, 110));
    glow.setColorAt(0.5, QColor(0x2D, 0x8C, 0xF0, 30));
    glow.setColorAt(1.0, QColor(0x2D, 0x8C, 0xF0, 0));
    p.fillRect(img.rect(), glow);

    // faint concentric rings on the right
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 16 - i * 2), 1.2));
        const qreal radius = 40.0 + i * 22.0;
        p.drawEllipse(QPointF(w + 10, h + 20), radius, radius);
    }
    // scattered dots
    const QPointF dots[] = {{128, 18}, {352, 22}, {300, 92}, {140, 94}, {380, 60}, {250, 16}};
    p.setPen(Qt::NoPen);
    for (const QPointF &d : dots) {
        p.setBrush(QColor(255, 255, 255, 40));
        p.drawEllipse(d, 1.6, 1.6);
    }

    // phone, slightly tilted
    p.save();
    p.translate(58, 57);
    p.rotate(-8);
    const QRectF phone(-24, -44, 48, 88);
    QLinearGradient pb(phone.topLeft(), phone.bottomRight());
    pb.setColorAt(0.0, QColor(0xE9, 0xEE, 0xF4));
    pb.setColorAt(1.0, QColor(0xA9, 0xB6, 0xC6));
    const QRectF scr = drawPhone(p, phone, pb, kAccent, 1.6, QColor(0x1B, 0x2A, 0x41));
    // message lines on the screen
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    for (int i = 0; i < 4; ++i) {
        const qreal y = scr.top() + 7 + i * 12;
        const bool mine = i % 2;
        const qreal lw = scr.width() * (mine ? 0.5 : 0.62);
        const qreal x = mine ? scr.right() - 4 - lw : scr.left() + 4;
        p.drawRoundedRect(QRectF(x, y, lw, 7), 3.5, 3.5);
    }
    p.restore();

    // chat bubbles flying out of the phone
    const QPainterPath b1 = bubblePath(QRectF(84, 16, 44, 24), true);
    QLinearGradient g1(b1.boundingRect().topLeft(), b1.boundingRect().bottomLeft());
    g1.setColorAt(0.0, kGreen.lighter(125));
    g1.setColorAt(1.0, kGreen.darker(110));
    fillOutlined(p, b1, g1, 0);
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(96 + i * 10, 28), 2.6, 2.6);

    const QPainterPath b2 = bubblePath(QRectF(92, 54, 36, 20), true);
    QLinearGradient g2(b2.boundingRect().topLeft(), b2.boundingRect().bottomLeft());
    g2.setColorAt(0.0, Qt::white);
    g2.setColorAt(1.0, QColor(0xD6, 0xE4, 0xF5));
    fillOutlined(p, b2, g2, 0);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(99, 60, 22, 3), 1.5, 1.5);
    p.drawRoundedRect(QRectF(99, 66, 14, 3), 1.5, 1.5);

    // product name
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(40);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    QPainterPath name;
    name.addText(QPointF(150, 66), font, QStringLiteral("Parlowick"));
    // subtle shadow, then the white lettering
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawPath(name.translated(1.5, 2));
    QLinearGradient tg(0, 30, 0, 68);
    tg.setColorAt(0.0, Qt::white);
    tg.setColorAt(1.0, QColor(0xDD, 0xE8, 0xF7));
    p.setBrush(tg);
    p.drawPath(name);

    // accent line under the name
    const qreal lineRight = std::min<qreal>(w - 16, name.boundingRect().right());
    QLinearGradient lg(150, 0, lineRight, 0);
    lg.setColorAt(0.0, kAccent.lighter(120));
    lg.setColorAt(0.6, kGreen);
    lg.setColorAt(1.0, QColor(0x3C, 0xB3, 0x71, 0));
    p.setBrush(lg);
    p.drawRoundedRect(QRectF(152, 78, lineRight - 152, 3), 1.5, 1.5);
    return img;
}

QImage drawToolbar()
{
    const int w = 1920;
    const int h = 64;
    QImage img = opaqueCanvas(w, h, kNavy);
    QPainter p(&img);
    prepare(p);

    // Wide glow anchored on the left edge; it has fully faded to the plain
    // navy well before the right edge, so the strip works at any width.
    p.save();
    p.scale(1.0, 0.12);
    QRadialGradient glow(QPointF(60, 0.5 * h / 0.12), 900);
    glow.setColorAt(0.0, QColor(0x2D, 0x8C, 0xF0, 95));
    glow.setColorAt(0.35, QColor(0x1A, 0x4F, 0xB8, 45));
    glow.setColorAt(0.75, QColor(0x0B, 0x2A, 0x7A, 12));
    glow.setColorAt(1.0, QColor(0x01, 0x02, 0x30, 0));
    p.fillRect(QRectF(0, 0, w, h / 0.12), glow);
    p.restore();

    // faint highlight along the top edge, fading out to the right
    QLinearGradient top(0, 0, 700, 0);
    top.setColorAt(0.0, QColor(255, 255, 255, 40));
    top.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, 700, 1), top);
    return img;
}

// ---------------------------------------------------------------------------
// Application icon
// ---------------------------------------------------------------------------

// The program's icon, drawn on a 128-pixel grid and scaled to the size asked for, so every
// size of the desktop's icon theme is drawn rather than resampled.
QImage drawMainIconAt(int size)
{
    QImage img = transparentCanvas(size, size);
    QPainter p(&img);
    prepare(p);
    p.scale(size / 128.0, size / 128.0);

    // phone
    const QRectF phone(10, 6, 62, 114);
    QLinearGradient pb(phone.topLeft(), phone.bottomRight());
    pb.setColorAt(0.0, QColor(0x3A, 0x56, 0x7D));
    pb.setColorAt(1.0, kOutline);
    const QRectF scr = drawPhone(p, phone, pb, kAccent, 3.0, QColor(0x0C, 0x15, 0x24));
    // chat lines on the screen
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const bool mine = i % 2;
        const qreal lw = scr.width() * (mine ? 0.52 : 0.64);
        const qreal x = mine ? scr.right() - 5 - lw : scr.left() + 5;
        p.setBrush(mine ? QColor(0xCF, 0xF5, 0xDF) : QColor(255, 255, 255, 235));
        p.drawRoundedRect(QRectF(x, scr.top() + 8 + i * 17, lw, 10), 5, 5);
    }

    // speech bubble
    const QPainterPath bubble = bubblePath(QRectF(56, 10, 66, 44), true);
    QLinearGradient bg(QPointF(0, 10), QPointF(0, 60));
    bg.setColorAt(0.0, kGreen.lighter(130));
    bg.setColorAt(1.0, kGreen.darker(115));
    fillOutlined(p, bubble, bg, 3.0);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(74 + i * 15, 32), 5, 5);

    // archive box
    const QRectF box(62, 80, 58, 40);
    fillOutlined(p, roundedRect(box, 4), shaded(box, kOrange, 115, 118), 3.0);
    const QRectF lid(58, 70, 66, 16);
    fillOutlined(p, roundedRect(lid, 4), shaded(lid, kOrange, 140, 105), 3.0);
    const QRectF handle(80, 92, 22, 8);
    fillOutlined(p, roundedRect(handle, 4), QColor(0x7A, 0x4A, 0x06), 2.0);
    return img;
}

QImage drawMainIcon()
{
    return drawMainIconAt(128);
}

// ---------------------------------------------------------------------------
// Small list icons
// ---------------------------------------------------------------------------

QImage drawDb()
{
    QImage img = transparentCanvas(32, 32);
    QPainter p(&img);
    prepare(p);
    drawCylinder(p, QRectF(5, 2.5, 22, 27), kAccent, 1.4);
    return img;
}

QImage drawAccount()
{
    QImage img = transparentCanvas(32, 32);
    QPainter p(&img);
    prepare(p);
    drawPerson(p, QRectF(1.5, 2, 20, 27), kAccent, 1.4);
    drawPhone(p, QRectF(17, 9, 13, 21.5), lightBody(QRectF(17, 9, 13, 21.5)), kGreen, 1.3);
    return img;
}

QImage drawContact()
{
    QImage img = transparentCanvas(32, 32);
    QPainter p(&img);
    prepare(p);
    drawPerson(p, QRectF(4, 2, 24, 28), kGreen, 1.4);
    return img;
}

QImage drawInbox()
{
    QImage img = transparentCanvas(36, 36);
    QPainter p(&img);
    prepare(p);
    drawEnvelope(p, QRectF(1.5, 12, 30, 22), 2.0);
    drawArrow(p, straightArrow(QPointF(33.5, 1.5), QPointF(18, 18), 7.5, 11, 17), kGreen, 1.8);
    return img;
}

QImage drawSent()
{
    QImage img = transparentCanvas(36, 36);
    QPainter p(&img);
    prepare(p);
    drawEnvelope(p, QRectF(1.5, 12, 30, 22), 2.0);
    drawArrow(p, straightArrow(QPointF(17, 19), QPointF(34.5, 1.5), 7.5, 11, 17), kAccent, 1.8);
    return img;
}

// Light rounded square used behind the small search-bar buttons.
void drawButtonFace(QPainter &p, const QRectF &r)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, Qt::white);
    g.setColorAt(1.0, QColor(0xDD, 0xE3, 0xEA));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x9A, 0xA8, 0xB8), 1.0));
    p.drawRoundedRect(r, 4, 4);
}

QImage drawClose()
{
    QImage img = transparentCanvas(20, 20);
    QPainter p(&img);
    prepare(p);
    drawButtonFace(p, QRectF(0.5, 0.5, 19, 19));
    p.setPen(outlinePen(2.2, kOutline));
    p.drawLine(QPointF(6, 6), QPointF(14, 14));
    p.drawLine(QPointF(14, 6), QPointF(6, 14));
    return img;
}

QImage drawNext()
{
    QImage img = transparentCanvas(20, 20);
    QPainter p(&img);
    prepare(p);
    drawButtonFace(p, QRectF(0.5, 0.5, 19, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(kOutline);
    p.drawPath(straightArrow(QPointF(10, 4), QPointF(10, 16), 2.6, 6.5, 10));
    return img;
}

// ---------------------------------------------------------------------------
// Tool-bar and menu icons (64 x 64)
// ---------------------------------------------------------------------------

constexpr qreal kLine = 2.6; // outline width of the 64 px icons

QImage icon64()
{
    return transparentCanvas(64, 64);
}

QImage drawImport()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    // back of the tray
    const QRectF tray(4, 38, 56, 22);
    fillOutlined(p, roundedRect(QRectF(8, 36, 48, 8), 2), QColor(0x1A, 0x4F, 0x9A), kLine);
    // document sinking into the tray
    drawDocument(p, QRectF(17, 3, 30, 40), kLine, 0);
    drawArrow(p, straightArrow(QPointF(32, 9), QPointF(32, 40), 8, 13, 20), kGreen, kLine);

    // front of the tray
    QPainterPath front;
    front.moveTo(tray.left(), tray.top() + 4);
    front.lineTo(tray.left() + 12, tray.top() + 4);
    front.lineTo(tray.left() + 16, tray.top() + 11);
    front.lineTo(tray.right() - 16, tray.top() + 11);
    front.lineTo(tray.right() - 12, tray.top() + 4);
    front.lineTo(tray.right(), tray.top() + 4);
    front.lineTo(tray.right(), tray.bottom() - 4);
    front.quadTo(tray.right(), tray.bottom(), tray.right() - 4, tray.bottom());
    front.lineTo(tray.left() + 4, tray.bottom());
    front.quadTo(tray.left(), tray.bottom(), tray.left(), tray.bottom() - 4);
    front.closeSubpath();
    fillOutlined(p, front, shaded(tray, kAccent, 130, 115), kLine);
    return img;
}

QImage drawExport()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    drawDocument(p, QRectF(5, 4, 38, 54), kLine, 4);
    drawArrow(p, straightArrow(QPointF(24, 38), QPointF(61, 38), 9, 15, 22), kOrange, kLine);
    return img;
}

QImage drawPrint()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    // paper going in at the back
    drawDocument(p, QRectF(16, 3, 32, 28), kLine, 0);
    // printer body
    const QRectF body(3, 22, 58, 28);
    fillOutlined(p, roundedRect(body, 6), shaded(body, QColor(0x6B, 0x7F, 0x99), 150, 110), kLine);
    // output slot
    fillOutlined(p, roundedRect(QRectF(11, 40, 42, 6), 2), kOutline, 0);
    // status light
    p.setPen(outlinePen(1.2));
    p.setBrush(kGreen.lighter(115));
    p.drawEllipse(QPointF(51, 30), 3, 3);
    // printed page coming out
    const QRectF page(14, 42, 36, 19);
    fillOutlined(p, roundedRect(page, 1.5), lightBody(page), kLine);
    p.setPen(outlinePen(2.2, kAccent));
    p.drawLine(QPointF(20, 49), QPointF(44, 49));
    p.setPen(outlinePen(2.2, kSlate));
    p.drawLine(QPointF(20, 55), QPointF(38, 55));
    return img;
}

QPainterPath arcArrow(const QPointF &c, qreal radius, qreal startDeg, qreal sweepDeg)
{
    const QRectF r(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    QPainterPath spine;
    spine.arcMoveTo(r, startDeg);
    spine.arcTo(r, startDeg, sweepDeg);
    return arrowAlong(spine, 8.5, 14, 21);
}

QImage drawSync()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    const QPointF c(32, 32);
    drawArrow(p, arcArrow(c, 20, 200, -150), kAccent, kLine);
    drawArrow(p, arcArrow(c, 20, 20, -150), kGreen, kLine);
    return img;
}

QImage drawBackup()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    drawCylinder(p, QRectF(28, 34, 32, 27), QColor(0x6B, 0x7F, 0x99), kLine);
    drawPhone(p, QRectF(4, 3, 25, 44), lightBody(QRectF(4, 3, 25, 44)), kAccent, kLine);
    QPainterPath spine(QPointF(20, 19));
    spine.lineTo(QPointF(34, 19));
    spine.quadTo(QPointF(44, 19), QPointF(44, 29));
    spine.lineTo(QPointF(44, 42));
    drawArrow(p, arrowAlong(spine, 8, 13, 20), kGreen, kLine);
    return img;
}

QImage drawRestore()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    drawCylinder(p, QRectF(4, 34, 32, 27), QColor(0x6B, 0x7F, 0x99), kLine);
    drawPhone(p, QRectF(35, 3, 25, 44), lightBody(QRectF(35, 3, 25, 44)), kAccent, kLine);
    QPainterPath spine(QPointF(20, 44));
    spine.lineTo(QPointF(20, 29));
    spine.quadTo(QPointF(20, 19), QPointF(30, 19));
    spine.lineTo(QPointF(46, 19));
    drawArrow(p, arrowAlong(spine, 8, 13, 20), kOrange, kLine);
    return img;
}

QImage drawFromOther()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    drawPhone(p, QRectF(2, 10, 24, 44), lightBody(QRectF(2, 10, 24, 44)), QColor(0x8A, 0x99, 0xAB), kLine);
    drawPhone(p, QRectF(38, 10, 24, 44), lightBody(QRectF(38, 10, 24, 44)), kAccent, kLine);
    drawArrow(p, straightArrow(QPointF(10, 32), QPointF(55, 32), 8.5, 14, 21), kGreen, kLine);
    return img;
}

// Magnifying glass filling a 64 x 64 icon.
void paintMagnifier(QPainter &p)
{
    // handle
    QPainterPath handle(QPointF(38, 38));
    handle.lineTo(QPointF(56, 56));
    QPainterPathStroker st;
    st.setWidth(11);
    st.setCapStyle(Qt::RoundCap);
    const QPainterPath handleShape = st.createStroke(handle);
    QLinearGradient hg(QPointF(40, 54), QPointF(54, 40));
    hg.setColorAt(0.0, kOrange.darker(125));
    hg.setColorAt(1.0, kOrange.lighter(120));
    fillOutlined(p, handleShape, hg, kLine);

    // rim and glass
    const QPointF c(26, 26);
    fillOutlined(p, ellipsePath(QRectF(c.x() - 22, c.y() - 22, 44, 44)), lightBody(QRectF(4, 4, 44, 44)), kLine);
    QRadialGradient glass(c - QPointF(6, 6), 20);
    glass.setColorAt(0.0, QColor(0xD6, 0xEB, 0xFF));
    glass.setColorAt(0.6, kAccent.lighter(130));
    glass.setColorAt(1.0, kAccent);
    fillOutlined(p, ellipsePath(QRectF(c.x() - 15, c.y() - 15, 30, 30)), glass, kLine * 0.8);
    // reflection
    p.setPen(outlinePen(3.0, QColor(255, 255, 255, 210)));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 10, c.y() - 10, 20, 20), 100 * 16, 70 * 16);
}

QImage drawSearch()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    paintMagnifier(p);
    return img;
}

// The search icon over a stack of pages: searching every conversation at once.
QImage drawSearchAll()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);
    drawDocument(p, QRectF(26, 2, 30, 38), kLine, 3);
    drawDocument(p, QRectF(32, 9, 30, 38), kLine, 3);
    p.translate(0, 14);
    p.scale(0.78, 0.78);
    paintMagnifier(p);
    return img;
}

QImage drawCompose()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    const QPainterPath bubble = bubblePath(QRectF(3, 6, 48, 36), true);
    fillOutlined(p, bubble, lightBody(bubble.boundingRect()), kLine);
    p.setPen(outlinePen(2.6, kSlate));
    p.drawLine(QPointF(12, 18), QPointF(36, 18));
    p.drawLine(QPointF(12, 27), QPointF(28, 27));

    // pencil, drawn along its own axis then rotated into place
    p.save();
    p.translate(40, 36);
    p.rotate(-45);
    const qreal half = 6.5;
    // eraser + ferrule
    const QRectF eraser(20, -half, 8, 2 * half);
    fillOutlined(p, roundedRect(eraser, 2.5), QColor(0xF2, 0x8B, 0xA8), kLine);
    const QRectF ferrule(16, -half, 5, 2 * half);
    fillOutlined(p, rectPath(ferrule), QColor(0xB8, 0xC2, 0xCC), kLine);
    // wooden body
    const QRectF wood(-14, -half, 30, 2 * half);
    QLinearGradient wg(QPointF(0, -half), QPointF(0, half));
    wg.setColorAt(0.0, kOrange.lighter(130));
    wg.setColorAt(1.0, kOrange.darker(115));
    fillOutlined(p, rectPath(wood), wg, kLine);
    // sharpened tip
    QPainterPath tip;
    tip.moveTo(-14, -half);
    tip.lineTo(-28, 0);
    tip.lineTo(-14, half);
    tip.closeSubpath();
    fillOutlined(p, tip, QColor(0xF5, 0xDE, 0xB3), kLine);
    QPainterPath lead;
    lead.moveTo(-23.5, -2.2);
    lead.lineTo(-28, 0);
    lead.lineTo(-23.5, 2.2);
    lead.closeSubpath();
    fillOutlined(p, lead, kOutline, kLine * 0.6);
    p.restore();
    return img;
}

QImage drawHelp()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    const QRectF disc(3, 3, 58, 58);
    QRadialGradient g(QPointF(24, 20), 44);
    g.setColorAt(0.0, kAccent.lighter(140));
    g.setColorAt(1.0, kAccent.darker(120));
    fillOutlined(p, ellipsePath(disc), g, kLine);
    // light inner ring
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 200), 2.4));
    p.drawEllipse(disc.adjusted(4, 4, -4, -4));

    // question mark
    QPainterPath hook;
    const QRectF arc(22, 13, 20, 20);
    hook.arcMoveTo(arc, 160);
    hook.arcTo(arc, 160, -220);
    hook.quadTo(QPointF(32, 34), QPointF(32, 39));
    QPainterPathStroker st;
    st.setWidth(7);
    st.setCapStyle(Qt::RoundCap);
    st.setJoinStyle(Qt::RoundJoin);
    const QPainterPath mark = st.createStroke(hook).united(ellipsePath(QRectF(28, 44, 8, 8))).simplified();
    fillOutlined(p, mark, Qt::white, 1.6);
    return img;
}

QImage drawExit()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    // frame and dark doorway
    const QRectF frame(6, 4, 32, 56);
    fillOutlined(p, roundedRect(frame, 2), QColor(0x2B, 0x3A, 0x52), kLine);
    // open door leaf, hinged on the left
    QPainterPath leaf;
    leaf.moveTo(6, 4);
    leaf.lineTo(26, 10);
    leaf.lineTo(26, 58);
    leaf.lineTo(6, 60);
    leaf.closeSubpath();
    QLinearGradient lg(QPointF(6, 0), QPointF(26, 0));
    lg.setColorAt(0.0, QColor(0xD9, 0x8C, 0x3F));
    lg.setColorAt(1.0, QColor(0xA8, 0x62, 0x22));
    fillOutlined(p, leaf, lg, kLine);
    p.setPen(outlinePen(1.2));
    p.setBrush(kBody);
    p.drawEllipse(QPointF(21, 35), 2.4, 2.4);

    drawArrow(p, straightArrow(QPointF(28, 33), QPointF(62, 33), 9, 15, 22), kRed, kLine);
    return img;
}

QImage drawDelete()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    // body
    QPainterPath can;
    can.moveTo(12, 18);
    can.lineTo(52, 18);
    can.lineTo(48, 57);
    can.quadTo(47.6, 61, 44, 61);
    can.lineTo(20, 61);
    can.quadTo(16.4, 61, 16, 57);
    can.closeSubpath();
    fillOutlined(p, can, lightBody(can.boundingRect()), kLine);
    // ribs
    p.setPen(outlinePen(3.2, kRed));
    p.drawLine(QPointF(23, 25), QPointF(24.5, 54));
    p.drawLine(QPointF(32, 25), QPointF(32, 54));
    p.drawLine(QPointF(41, 25), QPointF(39.5, 54));
    // handle and lid
    fillOutlined(p, roundedRect(QRectF(24, 3, 16, 8), 3), kRed.darker(110), kLine);
    const QRectF lid(7, 8, 50, 10);
    fillOutlined(p, roundedRect(lid, 3), shaded(lid, kRed, 125, 110), kLine);
    return img;
}

// ---------------------------------------------------------------------------
// Conversation bubbles
//
// A bubble is drawn whole, then cut into a 3 x 3 grid of pieces. The four
// corner pieces keep their size; the middle pieces are narrow strips that the
// page (and the print renderer) stretch, so everything inside them must be
// uniform along the stretched direction: flat colours only, straight edges,
// the rounded corners and the tail kept inside the corner pieces.
// ---------------------------------------------------------------------------

// Width (or height) of the stretchable middle strips.
constexpr int kStrip = 8;
// The whole bubble is drawn with this much room between the corner pieces, and
// the strips are cut from the centre of that room, far from any corner detail.
constexpr int kStretchRoom = 32;
// Where a bubble's text lies, from the edges of the whole frame: 10 from the top and the
// bottom, and further from the tail's side than from the other. Printed pages put the
// text there; the conversation view's style sheet does the same.
constexpr int kTextTop = 10;
constexpr int kTextBottom = 10;
constexpr int kTextOnTailSide = 30;
constexpr int kTextOffTailSide = 20;
// Distance from the text to the outline.
constexpr int kPadSide = 10;
constexpr int kPadTop = 6;
constexpr int kPadBottom = 5;
constexpr qreal kBubbleRadius = 12;
constexpr qreal kTailLength = 15;
constexpr qreal kTailRise = 17;
constexpr int kShadowBlur = 3; // pixels the shadow spreads on each side
constexpr qreal kShadowDrop = 1.5; // shadow offset downwards

struct BubbleLook
{
    QString prefix; // file name prefix: bb1 or bb2
    int top, right, bottom, left; // sizes of the frame borders
    bool tailLeft;
    QColor fill;
    QColor outline;
};

// Received messages sit on the left with the tail on the left; sent messages
// sit on the right. The border sizes are fixed: the print renderer uses them.
BubbleLook receivedBubble()
{
    return {QStringLiteral("bb1"), 23, 44, 27, 44, true, QColor(0xFF, 0xFF, 0xFF), QColor(0xB4, 0xBB, 0xC2)};
}

BubbleLook sentBubble()
{
    return {QStringLiteral("bb2"), 22, 48, 28, 40, false, QColor(0xDC, 0xEE, 0xFB), QColor(0x86, 0xA2, 0xBA)};
}

// Outline of body and tail. `body` is the rounded body rectangle; the tail
// replaces the body's lower corner on the outer side and ends in a point level
// with the bottom edge.
QPainterPath bubbleOutline(const QRectF &body, bool tailLeft)
{
    const qreal r = kBubbleRadius;
    // Drawn for a tail on the left, mirrored for the right.
    const qreal x0 = body.left();
    const qreal x1 = body.right();
    const qreal y0 = body.top();
    const qreal y1 = body.bottom();
    QPainterPath path;
    path.moveTo(x0 + r, y0);
    path.lineTo(x1 - r, y0);
    path.arcTo(QRectF(x1 - 2 * r, y0, 2 * r, 2 * r), 90, -90);
    path.lineTo(x1, y1 - r);
    path.arcTo(QRectF(x1 - 2 * r, y1 - 2 * r, 2 * r, 2 * r), 0, -90);
    path.lineTo(x0 + r * 0.8, y1);
    // lower edge of the tail sweeps out to the point ...
    const QPointF tip(x0 - kTailLength, y1 - 1);
    path.cubicTo(QPointF(x0 - 3, y1 + 0.5), QPointF(x0 - kTailLength * 0.7, y1 + 0.5), tip);
    // ... and its upper edge curves back into the side of the body
    path.cubicTo(
        QPointF(x0 - kTailLength * 0.7, y1 - 4), QPointF(x0 - 1, y1 - kTailRise * 0.5), QPointF(x0, y1 - kTailRise));
    path.lineTo(x0, y0 + r);
    path.arcTo(QRectF(x0, y0, 2 * r, 2 * r), 180, -90);
    path.closeSubpath();

    if (tailLeft)
        return path;
    QTransform mirror;
    mirror.translate(x0 + x1, 0);
    mirror.scale(-1, 1);
    return mirror.map(path);
}

// Separable blur of a shadow mask with a small binomial kernel; every pixel
// spreads at most kShadowBlur pixels.
QImage blurred(const QImage &source)
{
    static_assert(kShadowBlur == 3, "kernel below has 7 taps");
    const int kernel[] = {1, 6, 15, 20, 15, 6, 1};
    const int sum = 64;
    const int w = source.width();
    const int h = source.height();
    QImage img = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    auto pass = [&](bool horizontal) {
        QImage out = transparentCanvas(w, h);
        for (int y = 0; y < h; ++y) {
            auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (int x = 0; x < w; ++x) {
                int acc[4] = {0, 0, 0, 0};
                for (int k = -kShadowBlur; k <= kShadowBlur; ++k) {
                    const int sx = horizontal ? x + k : x;
                    const int sy = horizontal ? y : y + k;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                        continue;
                    const QRgb px = reinterpret_cast<const QRgb *>(img.constScanLine(sy))[sx];
                    const int f = kernel[k + kShadowBlur];
                    acc[0] += qRed(px) * f;
                    acc[1] += qGreen(px) * f;
                    acc[2] += qBlue(px) * f;
                    acc[3] += qAlpha(px) * f;
                }
                dst[x] = qRgba((acc[0] + sum / 2) / sum, (acc[1] + sum / 2) / sum, (acc[2] + sum / 2) / sum,
                    (acc[3] + sum / 2) / sum);
            }
        }
        img = out;
    };
    pass(true);
    pass(false);
    return img;
}

// The whole bubble, with kStretchRoom pixels between the corner pieces.
QImage drawBubble(const BubbleLook &look)
{
    const int w = look.left + kStretchRoom + look.right;
    const int h = look.top + kStretchRoom + look.bottom;

    // Outline on half pixels so the 1 px lines are crisp.
    const int textLeft = look.tailLeft ? kTextOnTailSide : kTextOffTailSide;
    const int textRight = look.tailLeft ? kTextOffTailSide : kTextOnTailSide;
    const QRectF body(QPointF(textLeft - kPadSide + 0.5, kTextTop - kPadTop + 0.5),
        QPointF(w - textRight + kPadSide - 0.5, h - kTextBottom + kPadBottom - 0.5));
    const QPainterPath shape = bubbleOutline(body, look.tailLeft);

    QImage shadowMask = transparentCanvas(w, h);
    {
        QPainter p(&shadowMask);
        prepare(p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1B, 0x2A, 0x41, 70));
        p.drawPath(shape.translated(0, kShadowDrop));
    }

    QImage img = blurred(shadowMask);
    QPainter p(&img);
    prepare(p);
    // Lighter along the top and a touch darker along the bottom; the tone only
    // changes inside the top and bottom rows of pieces, so the stretched
    // middle row stays flat.
    QLinearGradient fill(QPointF(0, body.top()), QPointF(0, body.bottom()));
    const qreal span = body.height();
    fill.setColorAt(0.0, look.fill.lighter(103));
    fill.setColorAt((look.top - body.top()) / span, look.fill);
    fill.setColorAt((h - look.bottom - body.top()) / span, look.fill);
    fill.setColorAt(1.0, look.fill.darker(103));
    p.setBrush(fill);
    p.setPen(QPen(look.outline, 1.0));
    p.drawPath(shape);
    return img;
}

// Cuts `bubble` into the nine pieces, row by row from the top left.
std::vector<QImage> bubblePieces(const QImage &bubble, const BubbleLook &look)
{
    const int w = bubble.width();
    const int h = bubble.height();
    const int stripX = look.left + (kStretchRoom - kStrip) / 2;
    const int stripY = look.top + (kStretchRoom - kStrip) / 2;
    const QRect columns[] = {{0, 0, look.left, 0}, {stripX, 0, kStrip, 0}, {w - look.right, 0, look.right, 0}};
    const QRect rows[] = {{0, 0, 0, look.top}, {0, stripY, 0, kStrip}, {0, h - look.bottom, 0, look.bottom}};
    std::vector<QImage> pieces;
    for (const QRect &row : rows)
        for (const QRect &column : columns)
            pieces.push_back(bubble.copy(column.x(), row.y(), column.width(), row.height()));
    return pieces;
}

// Attachment shown in a bubble for a sound recording: a pair of beamed notes.
QImage drawBubbleAudio()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    // soft disc behind the notes
    QRadialGradient disc(QPointF(26, 22), 40);
    disc.setColorAt(0.0, Qt::white);
    disc.setColorAt(1.0, QColor(0xD6, 0xE4, 0xF5));
    fillOutlined(p, ellipsePath(QRectF(3, 3, 58, 58)), disc, kLine);

    // two note heads, tilted, with stems and a slanted double beam
    auto head = [](const QPointF &c) {
        QPainterPath path;
        path.addEllipse(QPointF(0, 0), 7.2, 5.2);
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(-22);
        return t.map(path);
    };
    const QPointF h1(20, 44);
    const QPointF h2(42, 39);
    const qreal stem = 3.6;
    QPainterPath notes = head(h1).united(head(h2));
    notes.addRect(QRectF(h1.x() + 3.4, 16, stem, h1.y() - 17));
    notes.addRect(QRectF(h2.x() + 3.4, 11, stem, h2.y() - 12));
    QPainterPath beam;
    beam.addPolygon(QPolygonF({QPointF(h1.x() + 3.4, 14), QPointF(h2.x() + 3.4 + stem, 9),
        QPointF(h2.x() + 3.4 + stem, 17), QPointF(h1.x() + 3.4, 22)}));
    beam.closeSubpath();
    notes = notes.united(beam).simplified();
    fillOutlined(p, notes, shaded(notes.boundingRect(), kAccent, 130, 120), kLine * 0.8);
    return img;
}

// Attachment shown in a bubble for a video clip: a film frame with a play button.
QImage drawBubbleVideo()
{
    QImage img = icon64();
    QPainter p(&img);
    prepare(p);

    const QRectF strip(3, 8, 58, 48);
    fillOutlined(p, roundedRect(strip, 5), shaded(strip, QColor(0x2B, 0x3A, 0x52), 130, 110), kLine);
    // sprocket holes along the top and bottom
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE9, 0xEE, 0xF4));
    for (int i = 0; i < 6; ++i) {
        const qreal x = 8.5 + i * 8.8;
        p.drawRoundedRect(QRectF(x, 11.5, 4.6, 4), 1, 1);
        p.drawRoundedRect(QRectF(x, 48.5, 4.6, 4), 1, 1);
    }
    // the picture area
    const QRectF frame(8, 19, 48, 26);
    QLinearGradient sky(frame.topLeft(), frame.bottomRight());
    sky.setColorAt(0.0, kAccent.lighter(150));
    sky.setColorAt(1.0, kAccent.darker(110));
    p.setBrush(sky);
    p.setPen(outlinePen(1.4));
    p.drawRoundedRect(frame, 2, 2);
    // play button
    QPainterPath play;
    play.addPolygon(QPolygonF({QPointF(27, 23), QPointF(41, 32), QPointF(27, 41)}));
    play.closeSubpath();
    fillOutlined(p, play, Qt::white, 1.8);
    return img;
}

struct NamedImage
{
    QString fileName;
    QImage image;
};

std::vector<NamedImage> bubblePictures()
{
    std::vector<NamedImage> out;
    for (const BubbleLook &look : {receivedBubble(), sentBubble()}) {
        const std::vector<QImage> pieces = bubblePieces(drawBubble(look), look);
        for (size_t i = 0; i < pieces.size(); ++i)
            out.push_back(
                {QStringLiteral("%1_%2.png").arg(look.prefix).arg(i + 1, 2, 10, QLatin1Char('0')), pieces[i]});
    }
    out.push_back({QStringLiteral("bb-audio.png"), drawBubbleAudio()});
    out.push_back({QStringLiteral("bb-video.png"), drawBubbleVideo()});
    return out;
}

// ---------------------------------------------------------------------------

struct Picture
{
    QString fileName;
    QImage (*draw)();
};

std::vector<Picture> pictures()
{
    return {
        {QStringLiteral("banner.jpg"), drawBanner},
        {QStringLiteral("toolbar.jpg"), drawToolbar},
        {QStringLiteral("main_icon.png"), drawMainIcon},
        {QStringLiteral("db.png"), drawDb},
        {QStringLiteral("account.png"), drawAccount},
        {QStringLiteral("contact.png"), drawContact},
        {QStringLiteral("inbox.png"), drawInbox},
        {QStringLiteral("sent.png"), drawSent},
        {QStringLiteral("close.png"), drawClose},
        {QStringLiteral("next.png"), drawNext},
        {QStringLiteral("import.png"), drawImport},
        {QStringLiteral("export.png"), drawExport},
        {QStringLiteral("print.png"), drawPrint},
        {QStringLiteral("sync.png"), drawSync},
        {QStringLiteral("backup.png"), drawBackup},
        {QStringLiteral("restore.png"), drawRestore},
        {QStringLiteral("fromother.png"), drawFromOther},
        {QStringLiteral("search.png"), drawSearch},
        {QStringLiteral("searchall.png"), drawSearchAll},
        {QStringLiteral("compose.png"), drawCompose},
        {QStringLiteral("help.png"), drawHelp},
        {QStringLiteral("exit.png"), drawExit},
        {QStringLiteral("delete.png"), drawDelete},
    };
}

bool save(const QImage &image, const QString &path)
{
    if (path.endsWith(QStringLiteral(".jpg")))
        return image.convertToFormat(QImage::Format_RGB32).save(path, "JPEG", kJpegQuality);
    return image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);

    const QStringList args = QGuiApplication::arguments();
    const bool bubbles = args.size() == 3 && args.at(1) == QStringLiteral("--bubble");
    const bool appIcons = args.size() == 3 && args.at(1) == QStringLiteral("--app-icons");
    const bool icons = args.size() == 2 && !args.at(1).startsWith(QStringLiteral("--"));
    if (!bubbles && !appIcons && !icons) {
        err << "usage: parlowick-artwork [--bubble | --app-icons] OUTDIR\n";
        return 2;
    }

    const QString &outDir = args.last();
    if (!QDir().mkpath(outDir)) {
        err << "parlowick-artwork: cannot create directory " << outDir << '\n';
        return 1;
    }

    std::vector<NamedImage> images;
    if (bubbles) {
        images = bubblePictures();
    } else if (appIcons) {
        // The desktop's icon theme: OUTDIR/<size>x<size>/apps/parlowick.png.
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
            images.push_back({QStringLiteral("%1x%1/apps/parlowick.png").arg(size), drawMainIconAt(size)});
    } else {
        for (const Picture &picture : pictures())
            images.push_back({picture.fileName, picture.draw()});
    }

    int failures = 0;
    const QDir dir(outDir);
    for (const NamedImage &named : images) {
        const QString path = dir.filePath(named.fileName);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (named.image.isNull() || !save(named.image, path)) {
            err << "parlowick-artwork: failed to write " << QFileInfo(path).absoluteFilePath() << '\n';
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
