#pragma once

#include "MessageSource.h"

#include <QList>

// Messages already in memory: a preview, a chat, a test.
class MessageListSource : public MessageSource
{
public:
    explicit MessageListSource(QList<SMSInfo> messages);

    int count() const override { return int(m_messages.size()); }
    const SMSInfo &at(int row) const override { return m_messages.at(row); }

private:
    QList<SMSInfo> m_messages;
};
