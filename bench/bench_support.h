#pragma once
// What the benchmarks share: the thread's CPU time, a median, a virtual clock, and a serial
// device in memory whose replies come back on that clock at the line's pace.

#include "link/protocol/link.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

namespace qv::bench {

inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Virtual time: sleeping and empty reads advance it.
class VirtualClock : public link::Clock, public link::Sleeper {
public:
    std::uint32_t nowMs() override { return static_cast<std::uint32_t>(us / 1000); }
    void sleepMs(std::uint32_t ms) override { us += std::uint64_t{ms} * 1000; }
    std::uint64_t us = 0;
};

// A serial device in memory: what a subclass queues in write() comes back `delayMs` later, one
// byte per 0.5 ms (19200 baud); a read with nothing due takes its millisecond of virtual time.
class MemoryDevice : public link::SerialDevice {
public:
    explicit MemoryDevice(VirtualClock& clock) : clock_(clock) {}
    bool open(const std::string&, const link::LineSettings&) override { return true; }
    void close() override {}
    std::optional<std::uint8_t> readByte() override {
        if (!pending_.empty() && pending_.front().atUs <= clock_.us + 1000) {
            const auto byte = pending_.front().byte;
            clock_.us = std::max(clock_.us, pending_.front().atUs);
            pending_.pop_front();
            return byte;
        }
        clock_.us += 1000;
        return std::nullopt;
    }
    void purge() override { pending_.clear(); }
    link::SerialError lastError() const override { return link::SerialError::None; }

protected:
    void queueReply(std::string_view bytes, std::uint32_t delayMs) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            pending_.push_back({static_cast<std::uint8_t>(bytes[i]),
                                clock_.us + std::uint64_t{delayMs} * 1000 + i * 500});
    }
    VirtualClock& clock_;

private:
    struct Pending {
        std::uint8_t byte;
        std::uint64_t atUs;
    };
    std::deque<Pending> pending_;
};

} // namespace qv::bench
