#include "CliText.h"

#include "TerminalText.h"

namespace CliText {

QString printable(const QString &text)
{
    return TerminalText::printable(text, TerminalText::Tabs::Escaped);
}

void printLine(std::FILE *out, const QString &text)
{
    std::fprintf(out, "%s\n", printable(text).toLocal8Bit().constData());
}

bool colourWanted(bool terminal, const char *noColor)
{
    return terminal && (noColor == nullptr || *noColor == '\0');
}

} // namespace CliText
