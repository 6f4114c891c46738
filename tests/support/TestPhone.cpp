#include "TestPhone.h"

#include "SyncClient.h"
#include "SyncTiming.h"
#include "SyncTimingForTests.h"

TestPhone::TestPhone(const QHostAddress &address)
    : m_dataPortPauseMs(SyncTiming::dataPortPauseMs())
    , m_closingPauseMs(SyncTiming::closingPauseMs())
{
    setAddress(address);
    SyncTiming::setPausesForTests(0, 0);
}

TestPhone::~TestPhone()
{
    SyncClient::setCurrent(nullptr);
    SyncTiming::setPausesForTests(m_dataPortPauseMs, m_closingPauseMs);
}

void TestPhone::makeCurrent()
{
    const QString host = address().toString();
    SyncClient::setCurrent(std::make_shared<SyncClient>(host, host, false));
}
