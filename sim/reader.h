#pragma once
// The simulated reader: its parameters and a byte-level protocol engine. Bytes from the line go
// in, reply frames come out with the delay after which they should be sent. No I/O and no clock of
// its own: the caller passes the time in milliseconds, so tests drive it without sleeping.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sim {

// Misbehaviours that can be switched on; several may be combined.
struct Faults {
    bool silent = false;            // never answers
    std::set<char> silentFor;       // never answers these command letters (e.g. 'V')
    std::set<char> forgets;         // confirms a change by these letters but keeps the old value
    bool badChecksum = false;       // reply checksum digits are wrong
    bool lowercaseChecksum = false; // reply checksum digits in lower case
    int identityLength = 16;        // total length of the reply to B: 15, 16 or 17
    bool noise = false;             // one byte 0x20 goes out before each reply
    std::uint32_t lateMs = 0;       // replies leave this long after the command (0: as usual)
    bool stream = false;            // the line chatters without end (see streamBytes)
                                    // instead of answering
    bool zeroByte = false;          // the first data byte of a reply is 0x00
    int hangupAfter = -1;           // hangs up after answering this many commands (-1: never)
};

struct RelayRecord {
    std::uint8_t flags1 = 0x01, time1 = 10, flags2 = 0x03, time2 = 10;
    bool operator==(const RelayRecord&) const = default;
};

// Everything the reader keeps. Defaults are the factory state.
struct ReaderState {
    std::string id = "01";           // two decimal digits
    std::string serial = "QV000001"; // eight characters
    std::string version = "02.31-07";
    int settingsIndex = 5;    // into link::SettingsList: "19200,e,8,1"
    int sameCard = 10;        // seconds, 0 to 9999
    bool normallyOpen = true; // DI5 sense
    char rs485 = '1';         // '0'..'3'
    char wiegand = '0';       // 'N' or '0'..'3'
    std::uint8_t id2 = 0;
    std::uint8_t rssi = 0x50;
    bool beep = true;
    std::uint16_t exciter1 = 0, exciter2 = 0;
    std::array<std::uint8_t, 256> registers{}; // written by W: 06 address, 0F frequency,
                                               // 0B channel, 1C gain byte
    RelayRecord relays;
    char input = '0';              // digital input state, sent as is
    bool do1 = false, do2 = false; // the digital outputs
    std::deque<std::string> tags;  // decoded identifiers (16 hex digits) waiting to be read
    int resets = 0;                // count of HR received

    ReaderState();
    // Back to factory values; the serial number, version and input stay.
    void factoryDefault();
};

// A tag source: the identifiers in turn, one every `intervalMs` from the start, forever.
struct TagStream {
    std::vector<std::string> ids; // decoded identifiers, 16 hex digits each
    std::uint32_t intervalMs = 1000;
};

struct Reply {
    std::string bytes;         // what goes out on the line
    std::uint32_t delayMs = 0; // how long after the command's CR it goes out
};

// The 16-character tag data of a decoded identifier, as the reader sends it.
std::string EncodeTagId(std::string_view decoded);
// True when `text` is 16 hexadecimal digits (either case).
bool IsTagId(std::string_view text);

class Reader {
public:
    explicit Reader(ReaderState state = {}) : state_(std::move(state)) {}

    ReaderState& state() { return state_; }
    const ReaderState& state() const { return state_; }
    Faults& faults() { return faults_; }
    void setTagStream(TagStream stream, std::uint32_t startMs);
    void setReplyDelayMs(std::uint32_t ms) { replyDelayMs_ = ms; }

    // Bytes received from the line at `nowMs`; the replies they ask for, in order.
    std::vector<Reply> receive(const std::uint8_t* data, std::size_t count, std::uint32_t nowMs);
    std::vector<Reply> receive(std::string_view bytes, std::uint32_t nowMs);

    // The answer to one command text whose frame checked out; nullopt when the reader keeps quiet.
    std::optional<Reply> answer(std::string_view command, std::uint32_t nowMs);

    // The endless chatter of the stream fault: `count` bytes that never form a reply frame.
    std::string streamBytes(std::size_t count) const;

    bool hungUp() const { return hungUp_; }
    int answered() const { return answered_; }
    int badFrames() const { return badFrames_; }
    // Texts of the commands whose frames checked out, oldest first.
    const std::vector<std::string>& log() const { return log_; }

private:
    std::optional<std::string> data(char letter, std::string_view args);
    void admitStreamTags(std::uint32_t nowMs);
    Reply shape(char letter, std::string data) const;

    ReaderState state_;
    Faults faults_;
    std::uint32_t replyDelayMs_ = 2;
    std::string frame_;
    bool inFrame_ = false;
    bool hungUp_ = false;
    int answered_ = 0;
    int badFrames_ = 0;
    std::vector<std::string> log_;
    TagStream stream_;
    std::uint32_t streamStartMs_ = 0;
    std::uint64_t streamNext_ = 0; // index of the next stream tag to admit
};

} // namespace qv::sim
