#include "FlatHtml.h"

#include "Xhtml.h"

namespace FlatHtml {

QString messageBlock(const SMSInfo &sms)
{
    const QLatin1String colour = sms.isSend ? QLatin1String("#008040") : QLatin1String("#0000FF");
    const QLatin1String direction = sms.isSend ? QLatin1String("To") : QLatin1String("From");
    return QStringLiteral("<div style=\"color:%1\">").arg(colour)
        + QStringLiteral("<div>Time:%1</div>")
              .arg(sms.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        + QStringLiteral("<div>%1:%2</div>").arg(direction, Xhtml::escapeText(Sms::displayName(sms)))
        + QLatin1String("</div>") + QStringLiteral("<div>%1</div><br/>").arg(Xhtml::escapeText(sms.body));
}

} // namespace FlatHtml
