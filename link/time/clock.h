#pragma once
// What the link's waits run on: a wrapping millisecond clock, a sleeper and an event pump. The
// program installs the real ones (system_time.h); tests install a virtual clock in which sleeping
// advances time.

#include <cstdint>
#include <functional>

namespace qv::link {

// A 32-bit millisecond counter that wraps from 0xFFFFFFFF to 0, like a host tick counter.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t nowMs() = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// Dispatches pending window messages without blocking. Empty means "nothing to dispatch".
using EventPump = std::function<void()>;

} // namespace qv::link
