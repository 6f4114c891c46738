#pragma once

#include "SMSInfo.h"

// A moment of test data: the day at the hour, UTC.
QDateTime utc(int year, int month, int day, int hour = 8);

// Builds the message records tests file and compare, one field at a time; what is not
// set stays empty (a received message without person, text or date):
//   store.insertSMS(TestMessage(QStringLiteral("5550100")).from(QStringLiteral("Ann")).saying(QStringLiteral("hi")));
class TestMessage
{
public:
    explicit TestMessage(const QString &address);
    // Starts with a field that names the address, so that messages of different
    // conversations differ there without each test spelling it out.
    static TestMessage fromPersonOf(const QString &address); // person "Person of <address>"
    static TestMessage sayingBodyOf(const QString &address); // text "body of <address>"

    TestMessage &from(const QString &person);
    TestMessage &saying(const QString &body);
    TestMessage &sent(bool isSend = true);
    TestMessage &at(const QDateTime &date);
    TestMessage &atMSecs(qint64 msecsSinceEpoch);
    // Whole minutes after a fixed moment (2023-11-14 22:13:20 UTC), for tests that need an order only.
    TestMessage &atMinute(int minute);

    // Taken wherever a record is expected, so a call reads as the record it makes.
    operator SMSInfo() const { return m_sms; }

private:
    SMSInfo m_sms;
};
