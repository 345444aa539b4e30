#pragma once
// A tone of a given frequency and length that returns after it has sounded.

#include <memory>

namespace qv {

class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

// The platform's beeper: ALSA's default device on Linux (silent and quick where there is no sound
// device), the host's Beep on Windows.
std::unique_ptr<Beeper> MakePlatformBeeper();

} // namespace qv
