#include "TestPhone.h"

#include "FreeLoopback.h"
#include "SyncClient.h"
#include "SyncTiming.h"
#include "SyncTimingForTests.h"

TestPhone::TestPhone()
    : m_dataPortPauseMs(SyncTiming::dataPortPauseMs())
    , m_closingPauseMs(SyncTiming::closingPauseMs())
{
    SyncTiming::setPausesForTests(0, 0);
}

TestPhone::~TestPhone()
{
    SyncClient::setCurrent(nullptr);
    SyncTiming::setPausesForTests(m_dataPortPauseMs, m_closingPauseMs);
}

bool TestPhone::start(QString *error)
{
    return startOnFreeLoopback(static_cast<PhoneSimulator &>(*this), error);
}

void TestPhone::makeCurrent()
{
    const QString host = address().toString();
    SyncClient::setCurrent(std::make_shared<SyncClient>(host, host, false));
}
