#pragma once

#include "PhoneSimulator.h"

// The simulated phone for one test, on a free loopback address found when it starts. The
// program's pauses for a real phone's service are cut while it lives, and whatever
// connection the program holds is dropped before it stops, so no test inherits either.
class TestPhone : public PhoneSimulator
{
public:
    TestPhone();
    ~TestPhone() override;

    // Binds the four ports on a random loopback address whose ports are free, so tests
    // (and two runs of the suite) never share one; address() names it afterwards.
    bool start(QString *error = nullptr);

    // Makes this (started) phone the program's current connection, greeting it.
    void makeCurrent();

private:
    int m_dataPortPauseMs;
    int m_closingPauseMs;
};
