#pragma once

#include <QString>

// Pieces of the XHTML pages the exports write. Every text that comes from a message
// (bodies, contact labels, file names) goes through one of the escapes, so a message
// can never add markup of its own.
namespace Xhtml {

// The document type line, without a line end.
QLatin1String docType();
// The opening root element.
QLatin1String rootElement();

// "&", "<" and ">" to entities; line ends are kept as they are.
QString escapeText(const QString &text);
// As escapeText, and each line feed to "<br/>".
QString escapeLines(const QString &text);
// As escapeText, and '"' to an entity, for a value between double quotes.
QString escapeAttribute(const QString &text);

} // namespace Xhtml
