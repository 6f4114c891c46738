#include "FlatHtml.h"

#include "Xhtml.h"

namespace FlatHtml {

namespace {

const char kFamilies[]
    = "\"DejaVu Sans\",\"Noto Sans\",\"Liberation Sans\",Arial,\"Noto Color Emoji\",\"Noto Sans CJK JP\",sans-serif";

// The characters shown as emoji by default, and the heart, mostly sent to be one.
const char kEmojiFace[] = "@font-face{font-family:\"Parlowick Emoji\";src:local(\"Noto Color Emoji\");"
                          "unicode-range:U+231A-231B,U+23E9-23EC,U+23F0,U+23F3,U+25FD-25FE,U+2614-2615,U+2648-2653,"
                          "U+267F,U+2693,U+26A1,U+26AA-26AB,U+26BD-26BE,U+26C4-26C5,U+26CE,U+26D4,U+26EA,"
                          "U+26F2-26F3,U+26F5,U+26FA,U+26FD,U+2705,U+270A-270B,U+2728,U+274C,U+274E,U+2753-2755,"
                          "U+2757,U+2764,U+2795-2797,U+27B0,U+27BF,U+2B1B-2B1C,U+2B50,U+2B55,U+1F000-1FAFF;}";

} // namespace

QString messageBlock(const SMSInfo &sms)
{
    const QLatin1String colour = sms.isSend ? QLatin1String("#008040") : QLatin1String("#0000FF");
    const QLatin1String direction = sms.isSend ? QLatin1String("To") : QLatin1String("From");
    return QStringLiteral("<div style=\"color:%1\">").arg(colour)
        + QStringLiteral("<div>Time:%1</div>")
              .arg(sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        + QStringLiteral("<div>%1:%2</div>").arg(direction, Xhtml::escapeText(Sms::displayName(sms)))
        + QLatin1String("</div>")
        // Each message in the direction of its own first letters: Hebrew and Arabic right to left.
        + QStringLiteral("<div dir=\"auto\">%1</div><br/>").arg(Xhtml::escapeText(sms.body));
}

QString bodyFonts()
{
    return QLatin1String("body{font-family:") + QLatin1String(kFamilies) + QLatin1String(";}");
}

QString browserBodyFonts()
{
    return QLatin1String(kEmojiFace) + QLatin1String("body{font-family:\"Parlowick Emoji\",") + QLatin1String(kFamilies)
        + QLatin1String(";}");
}

} // namespace FlatHtml
