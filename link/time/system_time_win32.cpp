// The clock and sleeper under the link on Windows, and the system timer's resolution.
#include "link/time/system_time_win32.h"
#include "link/time/system_time.h"
#include "link/transport/read_wait.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <mmsystem.h> // after windows.h, which it needs

namespace qv::link {

// timeGetTime: the millisecond tick counter, 32 bits, wrapping after 49.7 days; with the fine
// timer on it moves in single milliseconds.
std::uint32_t SteadyClock::nowMs() {
    return static_cast<std::uint32_t>(timeGetTime());
}

// Windows has no per-thread slack; the wake-up grain is the system timer's period, made 1 ms
// while a port is open (BeginFineTimer).
void LowerTimerSlack() {}

ThreadSleeper::ThreadSleeper() {
    LowerTimerSlack();
}

void ThreadSleeper::sleepMs(std::uint32_t ms) {
    Sleep(ms);
}

namespace {

class Win32MicroTimer : public MicroTimer {
public:
    std::int64_t nowUs() override {
        LARGE_INTEGER count, frequency;
        QueryPerformanceCounter(&count);
        QueryPerformanceFrequency(&frequency);
        return count.QuadPart / frequency.QuadPart * 1000000 +
               count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
    }
    // Sleep counts whole milliseconds: any rest of a read's millisecond is one.
    void sleepUs(std::int64_t us) override { Sleep(static_cast<DWORD>((us + 999) / 1000)); }
};

} // namespace

MicroTimer& SystemMicroTimer() {
    static Win32MicroTimer timer;
    return timer;
}

void BeginFineTimer() {
    timeBeginPeriod(1);
}

void EndFineTimer() {
    timeEndPeriod(1);
}

} // namespace qv::link
