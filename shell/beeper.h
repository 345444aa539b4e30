#pragma once
// A tone of a given frequency and length that returns after it has sounded.

#include <memory>

namespace qv {

class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep(int frequencyHz, int durationMs) = 0;
};

// ALSA's default device; silent and quick where there is no sound device.
std::unique_ptr<Beeper> MakeAlsaBeeper();

} // namespace qv
