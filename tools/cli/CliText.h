#pragma once

#include <QString>

#include <cstdio>

// Human-readable output of parlowick-cli. Texts from the phone may hold anything, so
// control characters are shown escaped (\t, \n, \r, \x1b, ...) and can neither drive
// the terminal nor break a line or its columns. Machine output (--json) is not for it.
namespace CliText {

// TerminalText::printable with tabs escaped, as they separate the columns.
QString printable(const QString &text);
// Writes the text, made printable, and a line feed.
void printLine(std::FILE *out, const QString &text);

// Whether output to a terminal may carry colour and bold: not when NO_COLOR is set to
// anything but the empty text (the NO_COLOR convention), nor when the output is not a terminal.
bool colourWanted(bool terminal, const char *noColor);

} // namespace CliText
