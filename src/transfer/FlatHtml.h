#pragma once

#include "SMSInfo.h"

#include <QString>

// The message block the flat page and the word-processor page share: a coloured head
// with the time and the contact, then the text.
namespace FlatHtml {

QString messageBlock(const SMSInfo &sms);

// Style rules giving the body its fonts: the Latin font first, so Latin text, digits and '#'
// keep its look, then the colour emoji font, then a CJK font for the letters the others lack.
QString bodyFonts();
// The same for a page read in a browser, which draws the emoji DejaVu Sans has in black and
// white unless a face limited to the emoji comes first (as in bubble/style.css).
QString browserBodyFonts();

} // namespace FlatHtml
