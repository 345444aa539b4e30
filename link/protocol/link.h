#pragma once
// The reader link: the one open serial port, the command transaction and the reply state.
// One instance per program; every operation opens the port, transacts and closes it again.

#include "link/ports/com_ports.h"
#include "link/protocol/reply.h"
#include "link/time/clock.h"
#include "link/transport/serial_device.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

// How the last transaction ended.
enum class Outcome {
    Verified,    // a reply frame arrived in time and its checksum holds
    BadChecksum, // a reply frame arrived in time; its checksum does not hold
    NoReply,     // no complete reply within the limit
    Ceiling,     // bytes kept coming until the ceiling ended the wait
    OtherReply,  // no reply within the limit, but one that answers another command (a late one)
};
const char* DescribeOutcome(Outcome outcome);

// One thing the link did, for a traffic log. Views are valid during the callback only.
struct TraceEvent {
    // AnotherReader is no event of the link's own: a tag run adds it when the port, reopened,
    // answers with another reader's identity (bytes: its serial number, detail: the one before).
    enum class Kind { Opened, OpenFailed, Closed, Sent, Received, Finished, AnotherReader };
    Kind kind = Kind::Sent;
    std::uint32_t ms = 0;               // the link's clock
    std::string_view bytes = {};        // Sent: the command frame; Received: the bytes of the wait
    Outcome outcome = Outcome::NoReply; // Finished
    SerialError error = SerialError::None; // OpenFailed
    std::string_view port = {};            // Opened, OpenFailed: "COM3 /dev/ttyS2"
    std::string_view detail = {};          // OpenFailed: the device's lastErrorDetail()
};
using TraceSink = std::function<void(const TraceEvent&)>;

class Link {
public:
    Link(SerialDevice& device, Clock& clock, Sleeper& sleeper);

    void setPortMap(PortMap overrides) { ports_ = std::move(overrides); }
    // Where the overrides come from when they may change while the program runs (a simulator
    // started or restarted later): asked once per CommOpen, replacing the fixed map.
    void setPortMapSource(std::function<PortMap()> source) { portSource_ = std::move(source); }
    // `pump` runs wherever the link waits. A window's pump keeps its events flowing and wants
    // every millisecond of a pause; one that only notes that the thread lives (a service's
    // watchdog) is content with once per pause, which spares the thread its wake-ups.
    void setEventPump(EventPump pump, bool everyMillisecond = true) {
        pump_ = std::move(pump);
        pumpEveryMs_ = everyMillisecond;
    }

    // Opens "COM<port>" with `settings`. True: the port is open with 1 ms reads, and whatever was
    // waiting on the line is dropped.
    // False when the settings text does not parse, the port has no device, the device cannot be
    // opened exclusively, or a port is already open (which then stays exactly as it was).
    bool CommOpen(int port, const std::string& settings);
    // Restores the saved timeouts and closes. Does nothing when no port is open.
    void CommClose();
    bool isOpen() const { return open_; }
    // Why the last CommOpen failed (None after one that succeeded), and what the device added.
    SerialError lastOpenError() const { return openError_; }
    const std::string& lastOpenErrorDetail() const { return openDetail_; }
    // True while the open port's device has gone away (SerialDevice::gone): only CommClose and a
    // new CommOpen help.
    bool lineGone() const { return open_ && device_.gone(); }
    // Whether the open port runs at the settings it was opened with; false behind raw TCP, where
    // the server's own settings hold and are not known here.
    bool lineSettingsApplied() const { return !open_ || device_.appliesLineSettings(); }

    // One byte, then a 1 ms pause. / `count` bytes in one write, then a 5 ms pause.
    void CommWriteByte(std::uint8_t value);
    void CommWriteBytes(const std::uint8_t* data, int count);

    // Sends `command` framed and waits for a reply frame: true when one arrived within the limit
    // (121 ms after sending, judged at each empty read; never past 1000 ms) and its checksum
    // holds. reply() then holds it. A verified frame that carries another command's letter
    // (commands.h, AnswersCommand) answers that command, not this one: it is dropped and the
    // wait goes on. False on a time-out (reply().text() keeps the previous
    // reply, length() counts what arrived) or a bad checksum (text() holds the rejected reply);
    // lastOutcome() tells which. Precondition: the port is open.
    bool ReaderTransact(std::string_view command);
    const Reply& reply() const { return reply_; }
    Outcome lastOutcome() const { return outcome_; }

    // Reads whatever arrives for `ms` without sending anything, and drops it: how many bytes
    // came (something that answers too late still shows here). The trace sees them.
    int CommListen(std::uint32_t ms);

    // Checks the reply's buffer and length as they stand.
    bool VerifyReplyChecksum() const;

    // Every open, close, frame and outcome goes here too. The sink must be quick: it runs inside
    // the transaction.
    void setTrace(TraceSink sink) { trace_ = std::move(sink); }

    // The seams, for callers that pause or let the window breathe between transactions.
    void sleepMs(std::uint32_t ms) { sleeper_.sleepMs(ms); }
    void pumpEvents() {
        if (pump_)
            pump_();
    }
    // True when a pause should be slept a millisecond at a time, pumping between.
    bool pumpsEveryMillisecond() const { return pump_ && pumpEveryMs_; }
    std::uint32_t nowMs() { return clock_.nowMs(); }

private:
    bool finish(Outcome outcome);
    void trace(const TraceEvent& event) {
        if (trace_)
            trace_(event);
    }

    Reply reply_;
    Outcome outcome_ = Outcome::NoReply;
    TraceSink trace_;
    std::string received_; // the bytes of the current wait, kept only while tracing
    SerialDevice& device_;
    Clock& clock_;
    Sleeper& sleeper_;
    EventPump pump_;
    bool pumpEveryMs_ = true;
    PortMap ports_;
    std::function<PortMap()> portSource_;
    bool open_ = false;
    SerialError openError_ = SerialError::None;
    std::string openDetail_;
};

} // namespace qv::link
