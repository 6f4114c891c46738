#include "TerminalText.h"

#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<QtMessageHandler> nextHandler {nullptr};

QString escaped(QChar c)
{
    if (c == QLatin1Char('\t'))
        return QStringLiteral("\\t");
    if (c == QLatin1Char('\n'))
        return QStringLiteral("\\n");
    if (c == QLatin1Char('\r'))
        return QStringLiteral("\\r");
    if (c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
        return QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
}

bool needsEscape(QChar c, TerminalText::Tabs tabs)
{
    if (c == QLatin1Char('\t'))
        return tabs == TerminalText::Tabs::Escaped;
    // Other_Control: C0, DEL and C1 (the 8-bit CSI among them).
    return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
        || c.category() == QChar::Separator_Paragraph;
}

void printableMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    nextHandler.load()(type, context, TerminalText::printable(message, TerminalText::Tabs::Kept));
}

} // namespace

namespace TerminalText {

QString printable(const QString &text, Tabs tabs)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (needsEscape(c, tabs))
            shown += escaped(c);
        else
            shown += c;
    }
    return shown;
}

void installMessageHandler()
{
    const QtMessageHandler previous = qInstallMessageHandler(printableMessage);
    if (previous != printableMessage)
        nextHandler = previous;
}

} // namespace TerminalText
