#pragma once

#include "SMSInfo.h"

// The messages a view lists, read row by row: a view asks only for the rows it shows.
class MessageSource
{
public:
    virtual ~MessageSource() = default;

    virtual int count() const = 0;
    // The message at a row from 0 to count() - 1. The reference lasts until the next call.
    virtual const SMSInfo &at(int row) const = 0;
};
