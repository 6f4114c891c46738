#pragma once

#include "MessageBoxRecorder.h"
#include "TestAccount.h"

// What window tests start from: a test account, and the program's message boxes
// recorded instead of shown.
class WindowTestAccount : public TestAccount
{
public:
    using TestAccount::TestAccount;

    MessageBoxRecorder &boxes() { return m_boxes; }

private:
    MessageBoxRecorder m_boxes;
};
