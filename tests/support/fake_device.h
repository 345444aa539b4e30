#pragma once
// A serial device and a clock for tests: virtual time in microseconds in which sleeping and empty
// reads advance the clock, a device that records what was written and answers from a script.

#include "link/time/clock.h"
#include "link/transport/serial_device.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

class VirtualTime : public link::Clock, public link::Sleeper {
public:
    explicit VirtualTime(std::uint32_t startMs = 1000) : offsetMs_(startMs) {}
    std::uint32_t nowMs() override { return static_cast<std::uint32_t>(offsetMs_ + us_ / 1000); }
    void sleepMs(std::uint32_t ms) override;
    void advanceUs(std::uint64_t us) { us_ += us; }
    std::uint64_t us() const { return us_; } // microseconds since construction
    std::uint64_t ms() const { return us_ / 1000; }
    std::vector<std::uint32_t> sleeps; // every sleepMs request, in order
    std::function<void()> onSleep;     // runs after each sleep (a test's stand-in for a click)

private:
    std::uint64_t offsetMs_;
    std::uint64_t us_ = 0;
};

// A command as the fake received it, with the time its closing CR was written.
struct SentCommand {
    std::string text;
    std::uint64_t atUs;
    bool checksumOk;
};

class FakeDevice : public link::SerialDevice {
public:
    explicit FakeDevice(VirtualTime& time) : time_(time) {}

    // Which paths open. Empty set and no predicate: every path opens.
    std::set<std::string> openable;
    std::function<bool(const std::string& path, const link::LineSettings&)> canOpen;
    // Answers a complete command frame; the bytes returned arrive `replyDelayMs` after it.
    std::function<std::string(const std::string& command)> responder;
    std::uint32_t replyDelayMs = 2;
    std::uint64_t byteUs = 100; // time one received byte takes
    // An endless source of incoming bytes (a chatty line); consulted when nothing is queued.
    std::function<std::optional<std::uint8_t>()> stream;
    // The reason a refused open gives.
    link::SerialError failWith = link::SerialError::Other;
    // The open line's device went away (an adapter pulled out): gone() until the next close.
    bool vanished = false;

    // Queue bytes to arrive `afterMs` from now.
    void inject(const std::string& bytes, std::uint32_t afterMs = 0);

    bool open(const std::string& path, const link::LineSettings& settings) override;
    void close() override;
    void write(const std::uint8_t* data, std::size_t count) override;
    std::optional<std::uint8_t> readByte() override;
    void purge() override;
    link::SerialError lastError() const override { return error_; }
    bool gone() const override { return isOpen_ && vanished; }

    // What happened.
    struct OpenAttempt {
        std::string path;
        link::LineSettings settings;
        bool opened;
        std::uint64_t atUs;
    };
    std::vector<OpenAttempt> opens;
    int closeCount = 0;
    int purgeCount = 0;
    std::vector<SentCommand> sent;
    std::vector<std::vector<std::uint8_t>> writes; // one entry per write call
    std::vector<std::string> commands() const;     // texts of `sent`
    bool isOpen() const { return isOpen_; }
    const std::string& openPath() const { return path_; }
    const link::LineSettings& openSettings() const { return settings_; }

private:
    struct Pending {
        std::uint8_t byte;
        std::uint64_t atUs;
    };
    VirtualTime& time_;
    std::deque<Pending> incoming_;
    std::vector<std::uint8_t> outgoing_;
    bool isOpen_ = false;
    link::SerialError error_ = link::SerialError::None;
    std::string path_;
    link::LineSettings settings_;
};

// A well-formed reply frame around `payload`: LF, payload, checksum digits, CR.
std::string ReplyFrame(const std::string& payload);

} // namespace qv::test
