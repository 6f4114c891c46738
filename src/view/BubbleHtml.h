#pragma once

#include "MessageSource.h"

#include <QString>

// The pages of chat bubbles the conversation views show.
namespace BubbleHtml {

// Messages per page.
constexpr int kPageSize = 50;

// "&", "<", ">" to entities and each line feed to "<br/>".
QString escapeHtml(const QString &text);

// Number of pages for a list of that many messages (0 when empty).
int pageCount(int messageCount);

// The XHTML of page p (from 1) of the messages: date lines, bubbles, attachment bubbles,
// anchors "start", "sms_<rowid>" and "end", and the links "/pre_page" and "/next_page".
// It references "bubble/style.css", so it is loaded with the program's folder as base.
// Only the page's own messages are read.
QString pageHtml(const MessageSource &messages, int page, bool multiContact);
// What pageHtml puts inside the body element, for a page that replaces another's body.
QString pageBody(const MessageSource &messages, int page, bool multiContact);

} // namespace BubbleHtml
