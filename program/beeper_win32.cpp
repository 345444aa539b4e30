// The beeper on Windows: the system's Beep, which plays the tone and returns after it, the way
// the program's callers expect.
#include "program/beeper.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace qv {

namespace {

class Win32Beeper : public Beeper {
public:
    void beep(int frequencyHz, int durationMs) override {
        // Beep takes 37 to 32767 Hz; outside that it fails without a sound.
        if (frequencyHz < 37 || frequencyHz > 32767 || durationMs <= 0)
            return;
        Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
    }
};

} // namespace

std::unique_ptr<Beeper> MakePlatformBeeper() {
    return std::make_unique<Win32Beeper>();
}

} // namespace qv
