#pragma once
// The reader link: the one open serial port, the command transaction and the reply state.
// One instance per program; every operation opens the port, transacts and closes it again.

#include "link/seams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

// COM number -> device path overrides, read by the shell from the settings store (Ports/COMn).
using PortMap = std::map<int, std::string>;

// The device path of COM `port`: the override if there is one (it must be an absolute path,
// else the port has no device), else the fixed table (COM1-4 /dev/ttyS0-3, COM5-12
// /dev/ttyUSB0-7, COM13-16 /dev/ttyACM0-3). Empty: no device.
std::string ResolveComPort(int port, const PortMap& overrides);

// Strict "baud,parity,data,stop" parsing ("19200,e,8,1"); nullopt for anything else.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

inline constexpr int kReplyBufferSize = 1024;

class Link {
public:
    Link(SerialDevice& device, Clock& clock, Sleeper& sleeper);

    void setPortMap(PortMap overrides) { ports_ = std::move(overrides); }
    // Where the overrides come from when they may change while the program runs (a simulator
    // started or restarted later): asked once per CommOpen, replacing the fixed map.
    void setPortMapSource(std::function<PortMap()> source) { portSource_ = std::move(source); }
    void setEventPump(EventPump pump) { pump_ = std::move(pump); }

    // Opens "COM<port>" with `settings`. True: the port is open with 1 ms reads.
    // False when the settings text does not parse, the port has no device, the device cannot be
    // opened exclusively, or a port is already open (which then stays exactly as it was).
    bool CommOpen(int port, const std::string& settings);
    // Restores the saved timeouts and closes. Does nothing when no port is open.
    void CommClose();
    bool isOpen() const { return open_; }
    // Why the last CommOpen failed (None after one that succeeded).
    SerialError lastOpenError() const { return openError_; }

    // One byte, then a 1 ms pause. / `count` bytes in one write, then a 5 ms pause.
    void CommWriteByte(std::uint8_t value);
    void CommWriteBytes(const std::uint8_t* data, int count);

    // Sends `command` framed and waits for a reply frame: true when one arrived within the limit
    // (121 ms after sending, judged at each empty read; never past 1000 ms) and its checksum
    // holds. The reply is then in ReplyBuffer/ReplyLength/ReplyText. False on a time-out (ReplyText
    // keeps the previous reply) or a bad checksum (ReplyText holds the rejected reply).
    // Precondition: the port is open.
    bool ReaderTransact(std::string_view command);

    // Checks ReplyBuffer/ReplyLength as they stand.
    bool VerifyReplyChecksum() const;

    // The reply field at 1-based `position` (1 is the LF) of `length` characters, or nullopt
    // when any of it lies outside the payload (2 .. ReplyLength-3) or at/after a zero byte.
    std::optional<std::string_view> field(int position, int length) const;
    // ReplyLength equals `length` and ReplyText really holds that many characters.
    bool replyIsExactly(int length) const;

    // The seams, for callers that pause or let the window breathe between transactions.
    void sleepMs(std::uint32_t ms) { sleeper_.sleepMs(ms); }
    void pumpEvents() {
        if (pump_)
            pump_();
    }
    std::uint32_t nowMs() { return clock_.nowMs(); }

    // Reply state of the last transaction.
    std::array<std::uint8_t, kReplyBufferSize> ReplyBuffer{};
    int ReplyLength = 0;
    std::string ReplyText;

private:
    SerialDevice& device_;
    Clock& clock_;
    Sleeper& sleeper_;
    EventPump pump_;
    PortMap ports_;
    std::function<PortMap()> portSource_;
    bool open_ = false;
    SerialError openError_ = SerialError::None;
};

} // namespace qv::link
