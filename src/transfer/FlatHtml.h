#pragma once

#include "SMSInfo.h"

#include <QString>

// The message block the flat page and the word-processor page share: a coloured head
// with the time and the contact, then the text.
namespace FlatHtml {

QString messageBlock(const SMSInfo &sms);

} // namespace FlatHtml
