#pragma once
// The real clock and sleeper under the link.

#include "link/seams.h"

namespace qv::link {

// CLOCK_MONOTONIC in milliseconds, truncated to 32 bits: it wraps like a host tick counter, and
// the link measures time as unsigned differences, so the wrap costs nothing.
class SteadyClock : public Clock {
public:
    std::uint32_t nowMs() override;
};

// Sleeps the calling thread; an interrupting signal does not cut the pause short.
class ThreadSleeper : public Sleeper {
public:
    void sleepMs(std::uint32_t ms) override;
};

} // namespace qv::link
