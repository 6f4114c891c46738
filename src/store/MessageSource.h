#pragma once

#include "SMSInfo.h"

#include <functional>

// The messages a view lists, read row by row: a view asks only for the rows it shows.
class MessageSource
{
public:
    virtual ~MessageSource() = default;

    virtual int count() const = 0;
    // The message at a row from 0 to count() - 1. The reference lasts until the next call.
    virtual const SMSInfo &at(int row) const = 0;
    // For the keyword finder: a test of whether a row's text contains the text, case
    // counting. It lasts as long as the source.
    virtual std::function<bool(int)> rowsContaining(const QString &text) const
    {
        return [this, text](int row) { return at(row).body.contains(text, Qt::CaseSensitive); };
    }
    // The row of the message with that id; -1 when it is not listed.
    virtual int rowOf(qint64 rowid) const
    {
        for (int row = 0; row < count(); ++row) {
            if (at(row).rowid == rowid)
                return row;
        }
        return -1;
    }
};
