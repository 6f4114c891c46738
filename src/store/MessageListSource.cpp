#include "MessageListSource.h"

#include <utility>

MessageListSource::MessageListSource(QList<SMSInfo> messages)
    : m_messages(std::move(messages))
{
}
