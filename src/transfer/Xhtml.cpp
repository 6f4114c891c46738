#include "Xhtml.h"

namespace Xhtml {

QLatin1String docType()
{
    return QLatin1String("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
}

QLatin1String rootElement()
{
    return QLatin1String("<html xmlns=\"http://www.w3.org/1999/xhtml\">");
}

QString escapeText(const QString &text)
{
    QString escaped = text;
    // "&" first, so the entities made after it stay as they are.
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return escaped;
}

QString escapeLines(const QString &text)
{
    return escapeText(text).replace(QLatin1Char('\n'), QLatin1String("<br/>"));
}

QString escapeAttribute(const QString &text)
{
    return escapeText(text).replace(QLatin1Char('"'), QLatin1String("&quot;"));
}

} // namespace Xhtml
