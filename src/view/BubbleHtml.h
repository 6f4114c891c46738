#pragma once

#include "MessageSource.h"

#include <QString>

#include <functional>
#include <utility>

// The pages of chat bubbles the conversation views show.
namespace BubbleHtml {

// Messages per page.
constexpr int kPageSize = 50;

// "&", "<", ">" to entities and each line feed to "<br/>".
QString escapeHtml(const QString &text);

// Where a text holds the words a search found, as sorted (start, length) pairs that do
// not overlap; they are marked in the text bubbles.
using Marker = std::function<QList<std::pair<int, int>>(const QString &text)>;

// The text as HTML (escaped as by escapeHtml), the marked pieces in spans of class "found".
QString markedHtml(const QString &text, const QList<std::pair<int, int>> &marks);

// Number of pages for a list of that many messages (0 when empty).
int pageCount(int messageCount);

// The XHTML of page p (from 1) of the messages: date lines, bubbles, attachment bubbles,
// anchors "start", "sms_<rowid>" and "end", and the links "/pre_page" and "/next_page".
// It references "bubble/style.css", so it is loaded with the program's folder as base.
// Only the page's own messages are read. The marker's pieces are marked in the text bubbles.
QString pageHtml(const MessageSource &messages, int page, bool multiContact, const Marker &marker = {});
// What pageHtml puts inside the body element, for a page that replaces another's body.
QString pageBody(const MessageSource &messages, int page, bool multiContact, const Marker &marker = {});

} // namespace BubbleHtml
