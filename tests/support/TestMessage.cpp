#include "TestMessage.h"

QDateTime utc(int year, int month, int day, int hour)
{
    return QDateTime(QDate(year, month, day), QTime(hour, 0), Qt::UTC);
}

TestMessage::TestMessage(const QString &address)
{
    m_sms.address = address;
}

TestMessage TestMessage::fromPersonOf(const QString &address)
{
    return TestMessage(address).from(QStringLiteral("Person of ") + address);
}

TestMessage TestMessage::sayingBodyOf(const QString &address)
{
    return TestMessage(address).saying(QStringLiteral("body of ") + address);
}

TestMessage &TestMessage::from(const QString &person)
{
    m_sms.person = person;
    return *this;
}

TestMessage &TestMessage::saying(const QString &body)
{
    m_sms.body = body;
    return *this;
}

TestMessage &TestMessage::sent(bool isSend)
{
    m_sms.isSend = isSend;
    return *this;
}

TestMessage &TestMessage::at(const QDateTime &date)
{
    m_sms.date = date;
    return *this;
}

TestMessage &TestMessage::atMSecs(qint64 msecsSinceEpoch)
{
    return at(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::UTC));
}

TestMessage &TestMessage::atMinute(int minute)
{
    return atMSecs(Q_INT64_C(1'700'000'000'000) + qint64(minute) * 60'000);
}
