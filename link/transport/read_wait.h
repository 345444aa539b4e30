#pragma once
// The millisecond of a read that found nothing. Every serial device reads "one byte, or nothing
// after about 1 ms"; a read that ends early (a hung-up line, a closed connection, a driver that
// returns at once) sleeps out the rest, so that a vanished device never turns a reply wait into a
// busy loop.

#include <cstdint>

namespace qv::link {

// A monotonic microsecond count and a sleep, behind an interface so that a test can stand in.
class MicroTimer {
public:
    virtual ~MicroTimer() = default;
    virtual std::int64_t nowUs() = 0;
    // At least `us` microseconds, as little more as the platform allows (Windows: whole ms).
    virtual void sleepUs(std::int64_t us) = 0;
};

// The platform's own: system_time_posix.cpp or system_time_win32.cpp.
MicroTimer& SystemMicroTimer();

constexpr std::int64_t kReadWaitUs = 1000;

// Microseconds left of the read that began at `startUs`; 0 once its millisecond has passed.
inline std::int64_t ReadWaitLeftUs(MicroTimer& timer, std::int64_t startUs) {
    const std::int64_t left = kReadWaitUs - (timer.nowUs() - startUs);
    return left > 0 ? left : 0;
}

// Sleeps what is left of the millisecond of the read that began at `startUs`.
inline void WaitOutRead(MicroTimer& timer, std::int64_t startUs) {
    if (const std::int64_t left = ReadWaitLeftUs(timer, startUs); left > 0)
        timer.sleepUs(left);
}

} // namespace qv::link
