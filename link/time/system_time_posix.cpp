#include "link/time/system_time.h"

#include "link/transport/read_wait.h"

#include <cerrno>
#include <time.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace qv::link {

// Linux lets every timed wait of a thread (nanosleep, poll) end up to its "timer slack" late, 50 µs
// by default, to batch wake-ups. The link's waits are 1 ms long and come in dozens per tag poll,
// so that slack would add up to a noticeably slower poll rate. One nanosecond asks for none.
void LowerTimerSlack() {
#if defined(__linux__)
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

std::uint32_t SteadyClock::nowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

namespace {

class PosixMicroTimer : public MicroTimer {
public:
    std::int64_t nowUs() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    }
    void sleepUs(std::int64_t us) override {
        timespec pause{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
};

} // namespace

MicroTimer& SystemMicroTimer() {
    static PosixMicroTimer timer;
    return timer;
}

ThreadSleeper::ThreadSleeper() {
    LowerTimerSlack();
}

void ThreadSleeper::sleepMs(std::uint32_t ms) {
    // Until an absolute time: a signal that interrupts the pause neither cuts it short nor, by
    // restarting a relative pause, makes it longer.
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += static_cast<time_t>(ms / 1000);
    until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_nsec -= 1000000000L;
        ++until.tv_sec;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

} // namespace qv::link
