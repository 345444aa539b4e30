#pragma once
// The real clock and sleeper under the link: system_time_posix.cpp on Linux, system_time_win32.cpp
// on Windows (which also define SystemMicroTimer, read_wait.h).

#include "link/time/clock.h"

namespace qv::link {

// A monotonic millisecond count in 32 bits (CLOCK_MONOTONIC truncated on Linux, timeGetTime on
// Windows): it wraps like a host tick counter, and the link measures time as unsigned
// differences, so the wrap costs nothing.
class SteadyClock : public Clock {
public:
    std::uint32_t nowMs() override;
};

// Asks the platform to end the calling thread's timed waits (sleeps, polls) as close to their time
// as it can, instead of batching wake-ups (Linux delays them up to 50 µs by default).
void LowerTimerSlack();

// Sleeps the calling thread for at least the time asked, and as little more as the platform
// allows; an interrupting signal does not cut the pause short. Construct it on the thread that
// sleeps: it calls LowerTimerSlack, which also makes that thread's other timed waits (the 1 ms
// reads) precise.
class ThreadSleeper : public Sleeper {
public:
    ThreadSleeper();
    void sleepMs(std::uint32_t ms) override;
};

} // namespace qv::link
