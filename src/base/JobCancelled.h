#pragma once

#include <exception>

// The user ended a job: closed its progress dialog, stopped the listener, or
// interrupted the command line. Never reported as a failure.
class JobCancelled : public std::exception
{
public:
    const char *what() const noexcept override { return "Cancelled."; }
};
