#pragma once

#include "PhoneSimulator.h"

// The simulated phone for one test, on a loopback address of the test's own. The
// program's pauses for a real phone's service are cut while it lives, and whatever
// connection the program holds is dropped before it stops, so no test inherits either.
class TestPhone : public PhoneSimulator
{
public:
    explicit TestPhone(const QHostAddress &address);
    ~TestPhone() override;

    // Makes this (started) phone the program's current connection, greeting it.
    void makeCurrent();

private:
    int m_dataPortPauseMs;
    int m_closingPauseMs;
};
