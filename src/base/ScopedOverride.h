#pragma once

#include <utility>

// Replaces a process-wide value (the handler behind a dialog seam) for as long as it
// lives and brings the previous one back at the end, so overrides nest and a test
// cannot leak one into the next.
template <typename Value> class ScopedOverride
{
public:
    ScopedOverride(Value &slot, Value replacement)
        : m_slot(slot)
        , m_previous(std::exchange(slot, std::move(replacement)))
    {
    }
    ~ScopedOverride() { m_slot = std::move(m_previous); }
    ScopedOverride(const ScopedOverride &) = delete;
    ScopedOverride &operator=(const ScopedOverride &) = delete;

private:
    Value &m_slot;
    Value m_previous;
};
