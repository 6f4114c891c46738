#pragma once

#include "SMSInfo.h"

#include <QList>
#include <QString>

// Messages per bubble page.
constexpr int kBubblePageSize = 50;

// "&", "<", ">" to entities and each line feed to "<br/>".
QString escapeHtml(const QString &text);

// Number of pages for a list of that many messages (0 when empty).
int bubblePageCount(int messageCount);

// The XHTML of page p (from 1) of the list: date lines, bubbles, attachment bubbles,
// anchors "start", "sms_<rowid>" and "end", and the links "/pre_page" and "/next_page".
// It references "bubble/style.css", so it is loaded with the program's folder as base.
QString bubblePageHtml(const QList<SMSInfo> &messages, int page, bool multiContact);
