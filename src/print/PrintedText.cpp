#include "PrintedText.h"

#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QRawFont>
#include <QTextCharFormat>
#include <QTextLine>

#include <algorithm>
#include <cmath>

namespace {

// Colour glyphs are drawn this many times finer than the page's pixels: sharp on paper.
constexpr int kGlyphPictureScale = 4;
// Wide enough for any line that is not wrapped.
constexpr int kUnwrappedWidth = 1 << 20;

// Lines break where they broke on the phone, whatever the line end.
QString withLineBreaks(QString text)
{
    const QString separator(QChar::LineSeparator);
    text.replace(QLatin1String("\r\n"), separator);
    text.replace(QLatin1Char('\r'), separator);
    text.replace(QLatin1Char('\n'), separator);
    return text;
}

// Symbols shown as emoji even without a variation selector asking for it.
bool isEmojiByDefault(char32_t c)
{
    static const std::pair<char32_t, char32_t> kRanges[]
        = {{0x231A, 0x231B}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0}, {0x23F3, 0x23F3}, {0x25FD, 0x25FE}, {0x2614, 0x2615},
            {0x2648, 0x2653}, {0x267F, 0x267F}, {0x2693, 0x2693}, {0x26A1, 0x26A1}, {0x26AA, 0x26AB}, {0x26BD, 0x26BE},
            {0x26C4, 0x26C5}, {0x26CE, 0x26CE}, {0x26D4, 0x26D4}, {0x26EA, 0x26EA}, {0x26F2, 0x26F3}, {0x26F5, 0x26F5},
            {0x26FA, 0x26FA}, {0x26FD, 0x26FD}, {0x2705, 0x2705}, {0x270A, 0x270B}, {0x2728, 0x2728}, {0x274C, 0x274C},
            {0x274E, 0x274E}, {0x2753, 0x2755}, {0x2757, 0x2757}, {0x2795, 0x2797}, {0x27B0, 0x27B0}, {0x27BF, 0x27BF},
            {0x2B1B, 0x2B1C}, {0x2B50, 0x2B50}, {0x2B55, 0x2B55}, {0x1F000, 0x1FAFF}};
    return std::any_of(std::begin(kRanges), std::end(kRanges),
        [c](const std::pair<char32_t, char32_t> &range) { return c >= range.first && c <= range.second; });
}

// Characters that belong to the emoji before them: the emoji variation selector, the
// joiner of a family or a profession, the keycap, tags of a flag.
bool continuesEmoji(char32_t c)
{
    return c == 0xFE0F || c == 0x200D || c == 0x20E3 || (c >= 0xE0020 && c <= 0xE007F);
}

// The spans of the text to draw with the colour emoji font. Without it, a Latin font
// that has a few emoji in black and white (a smiley, a heart) would take them first.
QList<QTextLayout::FormatRange> emojiSpans(const QString &text)
{
    QTextCharFormat emoji;
    emoji.setFontFamilies(QStringList {PrintedText::emojiFamily()});
    QList<QTextLayout::FormatRange> spans;
    const QList<uint> codes = text.toUcs4();
    int position = 0;
    bool inEmoji = false;
    for (int i = 0; i < codes.size(); ++i) {
        const char32_t c = codes.at(i);
        const bool selected = i + 1 < codes.size() && codes.at(i + 1) == 0xFE0F;
        const bool part = isEmojiByDefault(c) || selected || (inEmoji && continuesEmoji(c));
        const int length = QChar::requiresSurrogates(c) ? 2 : 1;
        if (part && inEmoji)
            spans.last().length += length;
        else if (part)
            spans.append({position, length, emoji});
        inEmoji = part;
        position += length;
    }
    return spans;
}

QString fontKey(const QRawFont &font)
{
    return font.familyName() + QLatin1Char('/') + font.styleName();
}

// Fonts whose glyphs are pictures or layers of colour rather than one outline.
bool isColourFont(const QRawFont &font)
{
    static QMutex mutex;
    static QHash<QString, bool> known;
    const QMutexLocker lock(&mutex);
    const QString key = fontKey(font);
    const auto found = known.constFind(key);
    if (found != known.constEnd())
        return *found;
    bool colour = false;
    for (const char *table : {"CBDT", "sbix", "COLR", "SVG "})
        colour = colour || !font.fontTable(table).isEmpty();
    known.insert(key, colour);
    return colour;
}

qreal advanceOf(const QRawFont &font, quint32 glyph)
{
    const QList<QPointF> advances = font.advancesForGlyphIndexes(QList<quint32> {glyph});
    return advances.isEmpty() ? 0 : advances.first().x();
}

QImage paintColourGlyph(const QRawFont &font, quint32 glyph)
{
    QRawFont large(font);
    large.setPixelSize(font.pixelSize() * kGlyphPictureScale);
    const QSize size(int(std::ceil(advanceOf(large, glyph))), int(std::ceil(large.ascent() + large.descent())));
    QImage picture(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QGlyphRun run;
    run.setRawFont(large);
    run.setGlyphIndexes({glyph});
    run.setPositions({QPointF(0, large.ascent())});
    QPainter painter(&picture);
    painter.drawGlyphRun(QPointF(), run);
    return picture;
}

// One picture per glyph and size, kept for the process: a PDF then holds each emoji once.
QImage colourGlyph(const QRawFont &font, quint32 glyph)
{
    static QMutex mutex;
    static QHash<QString, QImage> pictures;
    const QString key = fontKey(font) + QStringLiteral("/%1/%2").arg(font.pixelSize()).arg(glyph);
    const QMutexLocker lock(&mutex);
    auto found = pictures.find(key);
    if (found == pictures.end())
        found = pictures.insert(key, paintColourGlyph(font, glyph));
    return *found;
}

void drawColourGlyphs(QPainter &painter, const QPointF &origin, const QGlyphRun &run)
{
    const QRawFont font = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (int i = 0; i < glyphs.size(); ++i) {
        // Selectors and joiners take no room and show nothing.
        const qreal advance = advanceOf(font, glyphs.at(i));
        if (advance <= 0)
            continue;
        const QPointF baseline = origin + positions.at(i);
        const QRectF box(baseline.x(), baseline.y() - font.ascent(), advance, font.ascent() + font.descent());
        painter.drawImage(box, colourGlyph(font, glyphs.at(i)));
    }
}

// Right-to-left runs come in visual order; written in reading order, the PDF's text
// reads back as words rather than as letters in reverse.
QGlyphRun inReadingOrder(QGlyphRun run)
{
    if (!run.isRightToLeft())
        return run;
    QList<quint32> glyphs = run.glyphIndexes();
    QList<QPointF> positions = run.positions();
    std::reverse(glyphs.begin(), glyphs.end());
    std::reverse(positions.begin(), positions.end());
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

void drawRun(QPainter &painter, const QPointF &origin, const QGlyphRun &run)
{
    if (isColourFont(run.rawFont()))
        drawColourGlyphs(painter, origin, run);
    else
        painter.drawGlyphRun(origin, inReadingOrder(run));
}

} // namespace

PrintedText::PrintedText(
    const QString &text, const QFont &font, QPaintDevice *device, int wrapWidth, Qt::LayoutDirection direction)
    : m_layout(withLineBreaks(text), font, device)
    , m_rightToLeft(direction == Qt::LayoutDirectionAuto ? text.isRightToLeft() : direction == Qt::RightToLeft)
{
    QTextOption option;
    option.setTextDirection(m_rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    // Lines start at 0 in either direction; draw() puts right-to-left ones to the right.
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(wrapWidth > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    m_layout.setTextOption(option);
    m_layout.setFormats(emojiSpans(m_layout.text()));
    m_layout.setCacheEnabled(true);

    qreal y = 0;
    qreal widest = 0;
    m_layout.beginLayout();
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(wrapWidth > 0 ? wrapWidth : kUnwrappedWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    m_layout.endLayout();
    m_width = int(std::ceil(widest));
}

QString PrintedText::emojiFamily()
{
    return QStringLiteral("Noto Color Emoji");
}

int PrintedText::lineCount() const
{
    return m_layout.lineCount();
}

int PrintedText::width() const
{
    return m_width;
}

int PrintedText::lineEnd(int last) const
{
    return last < 0 ? lineCount() : std::min(last, lineCount());
}

int PrintedText::height(int first, int last) const
{
    last = lineEnd(last);
    if (first >= last)
        return 0;
    const QTextLine bottom = m_layout.lineAt(last - 1);
    return int(std::ceil(bottom.y() + bottom.height() - m_layout.lineAt(first).y()));
}

int PrintedText::linesFitting(int first, int height) const
{
    int last = first + 1;
    while (last < lineCount() && this->height(first, last + 1) <= height)
        ++last;
    return last - first;
}

void PrintedText::draw(QPainter &painter, const QPoint &topLeft, int first, int last) const
{
    last = lineEnd(last);
    if (first >= last)
        return;
    const qreal top = m_layout.lineAt(first).y();
    for (int i = first; i < last; ++i) {
        const QTextLine line = m_layout.lineAt(i);
        const qreal shift = m_rightToLeft ? m_width - line.naturalTextWidth() : 0;
        const QPointF origin(topLeft.x() + shift, topLeft.y() - top);
        for (const QGlyphRun &run : line.glyphRuns())
            drawRun(painter, origin, run);
    }
}
