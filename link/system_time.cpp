#include "link/system_time.h"

#include <cerrno>
#include <time.h>

namespace qv::link {

std::uint32_t SteadyClock::nowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void ThreadSleeper::sleepMs(std::uint32_t ms) {
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

} // namespace qv::link
