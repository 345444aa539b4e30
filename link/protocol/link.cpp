#include "link/protocol/link.h"

#include "link/protocol/commands.h"
#include "link/protocol/frame.h"
#include "link/time/deadline.h"

#include <cstring>

namespace qv::link {

namespace {

// The wait goes on while at most 120 ms have elapsed since sending, judged after each empty read.
constexpr std::uint32_t kReplyLimitMs = 120;
// A line that never stops talking must not hold the window forever: once 1000 ms have passed
// the wait ends even while bytes keep coming.
constexpr std::uint32_t kReplyCeilingMs = 999;

} // namespace

const char* DescribeOutcome(Outcome outcome) {
    switch (outcome) {
    case Outcome::Verified:
        return "answered, checksum verified";
    case Outcome::BadChecksum:
        return "answered with a bad checksum";
    case Outcome::NoReply:
        return "no reply within the limit";
    case Outcome::Ceiling:
        return "stopped at the ceiling: the line kept talking";
    case Outcome::OtherReply:
        return "no reply within the limit, only one to another command";
    }
    return "";
}

Link::Link(SerialDevice& device, Clock& clock, Sleeper& sleeper)
    : device_(device), clock_(clock), sleeper_(sleeper) {}

bool Link::CommOpen(int port, const std::string& settings) {
    openDetail_.clear();
    if (open_) {
        openError_ = SerialError::AlreadyOpen;
        return false; // the open port, its handle and saved timeouts stay as they are
    }
    const auto line = ParseLineSettings(settings);
    if (!line) {
        openError_ = SerialError::BadSettings;
        return false;
    }
    if (portSource_)
        ports_ = portSource_();
    const std::string path = ResolveComPort(port, ports_);
    if (path.empty()) {
        openError_ = SerialError::NoDevice;
    } else {
        open_ = device_.open(path, *line);
        openError_ = open_ ? SerialError::None : device_.lastError();
        if (open_)
            device_.purge(); // an earlier program's late reply is no answer to this one's
        if (!open_)
            openDetail_ = device_.lastErrorDetail();
    }
    if (trace_) {
        const std::string where = "COM" + std::to_string(port) + (path.empty() ? "" : " " + path);
        const std::string note = open_ ? device_.settingsNote() : std::string();
        const std::string shown = note.empty() ? settings : settings + " (" + note + ")";
        trace({.kind = open_ ? TraceEvent::Kind::Opened : TraceEvent::Kind::OpenFailed,
               .ms = clock_.nowMs(),
               .bytes = shown,
               .error = openError_,
               .port = where,
               .detail = openDetail_});
    }
    return open_;
}

void Link::CommClose() {
    if (!open_)
        return;
    device_.close();
    open_ = false;
    trace({.kind = TraceEvent::Kind::Closed, .ms = clock_.nowMs()});
}

void Link::CommWriteByte(std::uint8_t value) {
    device_.write(&value, 1);
    sleeper_.sleepMs(1);
}

void Link::CommWriteBytes(const std::uint8_t* data, int count) {
    device_.write(data, static_cast<std::size_t>(count));
    sleeper_.sleepMs(5);
}

bool Link::ReaderTransact(std::string_view command) {
    reply_.buffer_.fill(0);
    reply_.length_ = 0;
    received_.clear();
    const auto frame = BuildCommandFrame(command);
    const int n = static_cast<int>(frame.size()) - 4;

    device_.purge();
    CommWriteByte(kTab);
    CommWriteBytes(frame.data() + 1, n);
    CommWriteByte(frame[static_cast<std::size_t>(n) + 1]);
    CommWriteByte(frame[static_cast<std::size_t>(n) + 2]);
    CommWriteByte(kCr);
    if (trace_)
        trace({.kind = TraceEvent::Kind::Sent,
               .ms = clock_.nowMs(),
               .bytes = {reinterpret_cast<const char*>(frame.data()), frame.size()}});

    const Deadline limit(clock_, kReplyLimitMs);
    const Deadline ceiling(clock_, kReplyCeilingMs);
    auto& buffer = reply_.buffer_;
    int& length = reply_.length_;
    bool passed = false;
    bool otherReply = false;
    while (!passed) {
        if (const auto byte = device_.readByte()) {
            buffer[static_cast<std::size_t>(length)] = *byte;
            if (++length == kReplyBufferSize)
                length = 0;
            if (trace_)
                received_ += static_cast<char>(*byte);
            // Past the ceiling even a completing CR is not taken: the state is that of a time-out.
            if (ceiling.passed())
                return finish(Outcome::Ceiling);
            if (*byte == kCr && buffer[0] == kLf) {
                const bool verified = VerifyReplyChecksum();
                // Position 5 holds a letter only where the payload reaches it (LF, 4 characters,
                // two checksum digits, CR).
                if (verified && length >= kLetterPosition + 3 &&
                    !AnswersCommand(static_cast<char>(buffer[kLetterPosition - 1]), command)) {
                    otherReply = true; // a late reply to an earlier command: wait on for ours
                    buffer.fill(0);
                    length = 0;
                    continue;
                }
                buffer[static_cast<std::size_t>(length)] = 0;
                const auto* begin = reinterpret_cast<const char*>(buffer.data());
                reply_.text_.assign(begin, strnlen(begin, kReplyBufferSize));
                return finish(verified ? Outcome::Verified : Outcome::BadChecksum);
            }
            continue; // the limit is judged only after a read that delivered nothing
        }
        pumpEvents();
        passed = limit.passed();
    }
    return finish(otherReply ? Outcome::OtherReply : Outcome::NoReply);
}

int Link::CommListen(std::uint32_t ms) {
    std::string heard;
    const Deadline until(clock_, ms);
    int count = 0;
    while (!until.passed()) {
        if (const auto byte = device_.readByte()) {
            ++count;
            if (trace_ && heard.size() < kReplyBufferSize)
                heard += static_cast<char>(*byte);
        } else {
            pumpEvents();
        }
    }
    if (!heard.empty())
        trace({.kind = TraceEvent::Kind::Received, .ms = clock_.nowMs(), .bytes = heard});
    return count;
}

bool Link::finish(Outcome outcome) {
    outcome_ = outcome;
    if (trace_) {
        const std::uint32_t now = clock_.nowMs();
        if (!received_.empty())
            trace({.kind = TraceEvent::Kind::Received, .ms = now, .bytes = received_});
        trace({.kind = TraceEvent::Kind::Finished, .ms = now, .outcome = outcome});
    }
    return outcome == Outcome::Verified;
}

bool Link::VerifyReplyChecksum() const {
    return qv::link::VerifyReplyChecksum(reply_.buffer_.data(), reply_.length_);
}

} // namespace qv::link
