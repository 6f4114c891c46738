#pragma once

#include <QString>

// Text bound for a terminal. Texts from the phone may hold anything, so control
// characters are shown escaped (\n, \r, \x1b, ...) and can neither drive the terminal
// (retitle it, change its colours) nor break a line. The command line's own output and
// every diagnostic of the programs go through it.
namespace TerminalText {

// A tab is harmless on a terminal, but splits columns of tab-separated output.
enum class Tabs { Escaped, Kept };

QString printable(const QString &text, Tabs tabs = Tabs::Escaped);

// Makes every later diagnostic (qDebug, qWarning, ...) printable, tabs kept, before the
// handler that was installed (Qt's own, at first) writes it. Installing twice changes nothing.
void installMessageHandler();

} // namespace TerminalText
