// Arbitrary bytes as the reader's reply: through the transaction, the field accessor and every
// reply decoder. Any out-of-bounds read, overflow or undefined behaviour is a finding.
//
// Input layout: 4 bytes clock start (exercises the wrap), 1 byte pacing (how many received
// bytes share one millisecond), then the bytes the line delivers.

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/protocol/replies.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using namespace qv::link;

class FuzzTime : public Clock, public Sleeper {
public:
    explicit FuzzTime(std::uint32_t startMs) : ms_(startMs) {}
    std::uint32_t nowMs() override { return ms_; }
    void sleepMs(std::uint32_t ms) override { ms_ += ms; }
    void tick() { ++ms_; }

private:
    std::uint32_t ms_;
};

// Delivers the input bytes one per read, then nothing; an empty read costs a millisecond.
class ScriptedLine : public SerialDevice {
public:
    ScriptedLine(FuzzTime& time, const std::uint8_t* data, std::size_t size, unsigned perMs)
        : time_(time), data_(data), size_(size), perMs_(perMs == 0 ? 1 : perMs) {}
    bool open(const std::string&, const LineSettings&) override { return true; }
    void close() override {}
    void write(const std::uint8_t*, std::size_t) override {}
    std::optional<std::uint8_t> readByte() override {
        if (next_ < size_) {
            if (++sinceTick_ >= perMs_) {
                sinceTick_ = 0;
                time_.tick();
            }
            return data_[next_++];
        }
        time_.tick();
        return std::nullopt;
    }
    void purge() override {}

private:
    FuzzTime& time_;
    const std::uint8_t* data_;
    std::size_t size_;
    unsigned perMs_;
    std::size_t next_ = 0;
    unsigned sinceTick_ = 0;
};

// Keeps the optimiser from dropping results.
volatile std::size_t gSink = 0;

void DecodeEverything(const Reply& link) {
    if (const auto identity = DecodeIdentity(link))
        gSink = gSink + identity->id.size() + identity->serial.size();
    gSink = gSink + DecodeVersion(link).size();
    if (const auto poll = DecodePoll(link)) {
        gSink = gSink + static_cast<unsigned char>(poll->input);
        if (poll->tag)
            gSink = gSink + DecodeTagId(*poll->tag).size();
    }
    gSink = gSink + DecodeSameCard(link).value_or(0) + DecodeId2(link).value_or(0) +
            DecodeRssi(link).value_or(0);
    gSink = gSink + static_cast<unsigned char>(DecodeNoNc(link).value_or(0));
    if (const auto mode = DecodeMode(link))
        gSink = gSink + static_cast<std::size_t>(mode->rs485Index + mode->wiegandIndex);
    if (const auto ids = DecodeExciterIds(link))
        gSink = gSink + static_cast<std::size_t>(ids->id1 + ids->id2);
    if (const auto relays = DecodeRelays(link))
        gSink = gSink + static_cast<std::size_t>(relays->flags1 + relays->time2);
    for (int position = -1; position <= link.length() + 1; position += 3)
        for (int length : {1, 2, 8, 16, 1 << 30})
            if (const auto f = link.field(position, length))
                gSink = gSink + static_cast<unsigned char>(f->back());
    gSink = gSink + link.isExactly(16) + link.isExactly(26);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5)
        return 0;
    std::uint32_t startMs = 0;
    std::memcpy(&startMs, data, sizeof startMs);
    const unsigned perMs = data[4];
    data += 5;
    size -= 5;

    FuzzTime time(startMs);
    ScriptedLine line(time, data, size, perMs);
    Link link(line, time, time);
    if (!link.CommOpen(1, "19200,e,8,1"))
        return 0;
    // Two transactions on one stream: the second meets what the first left unread, and the
    // reply state that the first left behind.
    for (const auto& command : {cmd::Identity(), cmd::Poll()}) {
        link.ReaderTransact(command);
        DecodeEverything(link.reply());
    }
    link.CommClose();
    // The tag transform on raw bytes of any length.
    gSink = gSink + DecodeTagId(std::string_view(reinterpret_cast<const char*>(data), size)).size();
    return 0;
}
