#pragma once

#include <QFont>
#include <QPoint>
#include <QString>
#include <QTextLayout>

class QPaintDevice;
class QPainter;

// A text laid out for one paint device, so that what is measured is what gets drawn:
// wrapped at word boundaries (inside a word when one is wider than the line), in the
// direction of its first strong character, line feeds kept. Drawn as text, so the PDF
// can be searched and copied, except for colour glyphs (emoji), which a PDF font cannot
// hold: those are drawn as pictures in their place.
class PrintedText
{
public:
    // A wrap width of 0 or less keeps each paragraph on one line. An automatic direction
    // is the text's own.
    PrintedText(const QString &text, const QFont &font, QPaintDevice *device, int wrapWidth = 0,
        Qt::LayoutDirection direction = Qt::LayoutDirectionAuto);
    PrintedText(const PrintedText &) = delete;
    PrintedText &operator=(const PrintedText &) = delete;

    // The colour emoji font, which the program's package depends on.
    static QString emojiFamily();

    int lineCount() const;
    // The widest line, rounded up.
    int width() const;
    // The height of lines first to last - 1; last -1 means to the end.
    int height(int first = 0, int last = -1) const;
    // How many lines from first fit in the height, at least one so that a page always
    // takes some.
    int linesFitting(int first, int height) const;
    bool isRightToLeft() const { return m_rightToLeft; }

    // Draws lines first to last - 1 with the first line's top at topLeft. Right-to-left
    // lines end at the right of the text's width, the others start at its left.
    void draw(QPainter &painter, const QPoint &topLeft, int first = 0, int last = -1) const;

private:
    int lineEnd(int last) const;

    QTextLayout m_layout;
    bool m_rightToLeft = false;
    int m_width = 0;
};
