#pragma once
// The real clock and sleeper under the link: system_time.cpp on Linux, win32_time.cpp on Windows.

#include "link/seams.h"

namespace qv::link {

// A monotonic millisecond count in 32 bits (CLOCK_MONOTONIC truncated on Linux, timeGetTime on
// Windows): it wraps like a host tick counter, and the link measures time as unsigned
// differences, so the wrap costs nothing.
class SteadyClock : public Clock {
public:
    std::uint32_t nowMs() override;
};

// Sleeps the calling thread for at least the time asked, and as little more as the platform
// allows; an interrupting signal does not cut the pause short. Construct it on the thread that
// sleeps: it also makes that thread's other timed waits (the 1 ms reads) precise.
// Asks the platform to end the calling thread's timed waits (sleeps, polls) as close to their time
// as it can, instead of batching wake-ups (Linux delays them up to 50 µs by default).
void LowerTimerSlack();

class ThreadSleeper : public Sleeper {
public:
    ThreadSleeper();
    void sleepMs(std::uint32_t ms) override;
};

} // namespace qv::link
