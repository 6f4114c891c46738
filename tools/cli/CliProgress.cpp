#include "CliProgress.h"

#include "CliText.h"

#include <unistd.h>

CliProgress::CliProgress(std::FILE *out)
    : m_out(out)
    , m_terminal(isatty(fileno(out)) != 0)
{
}

void CliProgress::updateProgress(int curProgress, const QString &progressText)
{
    if (m_terminal) {
        const int filled = qBound(0, curProgress, 100) * 30 / 100;
        const QString bar = QString(filled, QLatin1Char('#')) + QString(30 - filled, QLatin1Char('-'));
        std::fprintf(m_out, "\r[%s] %3d%% %-50s", qPrintable(bar), curProgress,
            qPrintable(CliText::printable(progressText).left(50)));
        std::fflush(m_out);
        m_barShown = true;
        return;
    }
    // Logs get a line per change of text, not one per attachment chunk.
    const QString line = QStringLiteral("%1% %2").arg(curProgress).arg(progressText);
    if (line != m_lastLine)
        CliText::printLine(m_out, line);
    m_lastLine = line;
}

void CliProgress::endBar()
{
    if (m_barShown)
        std::fprintf(m_out, "\n");
    m_barShown = false;
}

void CliProgress::errorOccurred(const QString &text)
{
    endBar();
    m_outcome = Outcome::Failed;
    m_text = text;
}

void CliProgress::succeed(const QString &tipsStr)
{
    endBar();
    m_outcome = Outcome::Succeeded;
    m_text = tipsStr;
}
