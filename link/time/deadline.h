#pragma once
// A time limit over the link's wrapping millisecond clock. Elapsed time is the unsigned 32-bit
// difference from the start, so a wrap of the clock from 0xFFFFFFFF to 0 costs nothing.

#include "link/time/clock.h"

#include <cstdint>

namespace qv::link {

class Deadline {
public:
    // Starts now. The limit is passed once more than `limitMs` have elapsed.
    Deadline(Clock& clock, std::uint32_t limitMs)
        : clock_(clock), start_(clock.nowMs()), limitMs_(limitMs) {}

    std::uint32_t elapsed() const { return clock_.nowMs() - start_; }
    bool passed() const { return elapsed() > limitMs_; }

private:
    Clock& clock_;
    std::uint32_t start_;
    std::uint32_t limitMs_;
};

} // namespace qv::link
