#include "sim/reader.h"

#include "link/protocol/frame.h"
#include "link/protocol/replies.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace qv::sim {

namespace {

constexpr std::size_t kMaxFrame = 300; // longer than any command; a runaway frame is dropped
constexpr std::size_t kMaxQueuedTags = 8;
constexpr char kLineCodes[] = "0123456789AB"; // line setting index -> code after E

bool AllUpperHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), link::IsUpperHexDigit);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Upper-case hex digits of the bytes of `text` (2 digits per byte); `text` is known to be valid.
unsigned ParseHexField(std::string_view text) {
    return static_cast<unsigned>(link::ParseHex(text).value_or(0));
}

using link::Hex2;

std::string Hex4(unsigned value) {
    return Hex2(value >> 8) + Hex2(value & 0xFF);
}

} // namespace

ReaderState::ReaderState() {
    factoryDefault();
}

void ReaderState::factoryDefault() {
    id = "01";
    settingsIndex = 5;
    sameCard = 10;
    normallyOpen = true;
    rs485 = '1';
    wiegand = '0';
    id2 = 0;
    rssi = 0x50;
    beep = true;
    exciter1 = exciter2 = 0;
    registers.fill(0);
    registers[0x06] = 0x31; // address 49
    registers[0x0F] = 0x3B; // frequency 59
    registers[0x0B] = 0x00; // channel 0
    registers[0x1C] = 0x1F; // gain level 4
    relays = {};
    do1 = do2 = false;
}

bool IsTagId(std::string_view text) {
    return text.size() == 16 && std::all_of(text.begin(), text.end(),
                                            [](char c) { return link::HexDigitValue(c) >= 0; });
}

std::string EncodeTagId(std::string_view decoded) {
    std::string out;
    for (std::size_t i = 0; i < 8; ++i) {
        int high = i * 2 < decoded.size() ? link::HexDigitValue(decoded[i * 2]) : 0;
        int low = i * 2 + 1 < decoded.size() ? link::HexDigitValue(decoded[i * 2 + 1]) : 0;
        const unsigned byte = static_cast<unsigned>(std::max(high, 0) * 16 + std::max(low, 0));
        out += Hex2(byte ^ link::TagIdKey[7 - i]);
    }
    return out;
}

void Reader::setTagStream(TagStream stream, std::uint32_t startMs) {
    stream_ = std::move(stream);
    if (stream_.intervalMs == 0)
        stream_.intervalMs = 1;
    streamStartMs_ = startMs;
    streamNext_ = 0;
}

void Reader::admitStreamTags(std::uint32_t nowMs) {
    if (stream_.ids.empty())
        return;
    const std::uint64_t elapsed = static_cast<std::uint32_t>(nowMs - streamStartMs_);
    const std::uint64_t due = elapsed / stream_.intervalMs; // tags whose time has come
    // A reader that nobody polls keeps only the latest few.
    if (due > streamNext_ + kMaxQueuedTags)
        streamNext_ = due - kMaxQueuedTags;
    while (streamNext_ < due && state_.tags.size() < kMaxQueuedTags) {
        state_.tags.push_back(stream_.ids[streamNext_ % stream_.ids.size()]);
        ++streamNext_;
    }
}

std::vector<Reply> Reader::receive(std::string_view bytes, std::uint32_t nowMs) {
    return receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), nowMs);
}

std::vector<Reply> Reader::receive(const std::uint8_t* data, std::size_t count,
                                   std::uint32_t nowMs) {
    std::vector<Reply> replies;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = data[i];
        if (byte == link::kTab) {
            frame_.clear(); // a new frame abandons an unfinished one
            inFrame_ = true;
            continue;
        }
        if (!inFrame_)
            continue;
        if (byte != link::kCr) {
            frame_ += static_cast<char>(byte);
            if (frame_.size() > kMaxFrame) {
                inFrame_ = false;
                ++badFrames_;
            }
            continue;
        }
        inFrame_ = false;
        const auto text = link::CheckCommandFrame(frame_);
        if (!text) {
            ++badFrames_;
            continue;
        }
        log_.emplace_back(*text);
        if (auto reply = answer(*text, nowMs))
            replies.push_back(std::move(*reply));
    }
    return replies;
}

std::optional<Reply> Reader::answer(std::string_view command, std::uint32_t nowMs) {
    if (hungUp_)
        return std::nullopt;
    if (faults_.hangupAfter >= 0 && answered_ >= faults_.hangupAfter) {
        hungUp_ = true;
        return std::nullopt;
    }
    // "A", a two-character address ("00" for any reader, or our own ID), the letter, arguments.
    if (command.size() < 4 || command[0] != 'A')
        return std::nullopt;
    const auto address = command.substr(1, 2);
    if (address != "00" && address != state_.id)
        return std::nullopt;
    const char letter = command[3];
    // A babbling reader answers nothing; its chatter would only bury the reply.
    if (faults_.silent || faults_.stream || faults_.silentFor.count(letter))
        return std::nullopt;
    if (letter == 'I' && command.size() == 4)
        admitStreamTags(nowMs);
    const bool forget = command.size() > 4 && faults_.forgets.count(letter);
    const ReaderState before = forget ? state_ : ReaderState{};
    auto body = data(letter, command.substr(4));
    if (!body)
        return std::nullopt;
    if (forget)
        state_ = before; // the reply confirmed the new value; the reader keeps the old one
    ++answered_;
    if (faults_.hangupAfter >= 0 && answered_ >= faults_.hangupAfter)
        hungUp_ = true; // this reply still goes out, then the line drops
    return shape(letter, std::move(*body));
}

Reply Reader::shape(char letter, std::string body) const {
    std::string payload = "A" + state_.id + letter + body;
    if (faults_.zeroByte) {
        if (body.empty())
            payload += '\0';
        else
            payload[4] = '\0';
    }
    if (faults_.lowercaseChecksum) {
        // Two decimal digits have no lower case, and such a reply would still verify. The head
        // letter at position 2 is read by nobody: pick the first one from "A" on that puts a
        // letter into the checksum. Letters A to Z change the low nibble through every value,
        // so one always does.
        for (char head = 'A'; head <= 'Z'; ++head) {
            payload[0] = head;
            const std::string digits = link::BuildReplyFrame(payload).substr(payload.size() + 1, 2);
            if (!AllDigits(digits))
                break;
        }
    }
    std::string frame = link::BuildReplyFrame(payload);
    const std::size_t digits = frame.size() - 3;
    if (faults_.badChecksum)
        frame.replace(digits, 2, Hex2(ParseHexField(frame.substr(digits, 2)) ^ 0x01));
    if (faults_.lowercaseChecksum) {
        frame[digits] = static_cast<char>(std::tolower(static_cast<unsigned char>(frame[digits])));
        frame[digits + 1] =
            static_cast<char>(std::tolower(static_cast<unsigned char>(frame[digits + 1])));
    }
    if (faults_.noise)
        frame.insert(frame.begin(), ' ');
    return {std::move(frame), faults_.lateMs > 0 ? faults_.lateMs : replyDelayMs_};
}

// The data part of the reply to `letter` with `args`, or nullopt for a command the reader does
// not take (it then keeps quiet, as for a frame meant for someone else).
std::optional<std::string> Reader::data(char letter, std::string_view args) {
    ReaderState& s = state_;
    switch (letter) {
    case 'B': {
        if (!args.empty())
            return std::nullopt;
        std::string serial = s.serial;
        serial.resize(8, ' ');
        if (faults_.identityLength < 16)
            serial.resize(static_cast<std::size_t>(std::max(0, 8 - (16 - faults_.identityLength))));
        else if (faults_.identityLength > 16)
            serial.append(static_cast<std::size_t>(faults_.identityLength - 16), '0');
        return serial;
    }
    case 'V':
        if (!args.empty())
            return std::nullopt;
        return s.version;
    case 'I':
        if (args.empty()) {
            std::string out(1, s.input);
            if (!s.tags.empty()) {
                // Appended in two steps: "0" + std::string trips GCC 12's -Wrestrict at -O3.
                out += '0';
                out += EncodeTagId(s.tags.front());
            }
            return out;
        }
        if (args.size() != 1 || args[0] < '0' || args[0] > '3')
            return std::nullopt;
        s.do1 = (args[0] - '0') & 2; // the digit is 2 for DO1 plus 1 for DO2
        s.do2 = (args[0] - '0') & 1;
        return std::string(args);
    case 'J':
        if (!args.empty())
            return std::nullopt;
        if (!s.tags.empty())
            s.tags.pop_front();
        return "";
    case 'C':
        if (args.size() != 10 || args.substr(0, 8) != s.serial || !AllDigits(args.substr(8)))
            return std::nullopt;
        s.id = std::string(args.substr(8));
        return s.id;
    case 'E': {
        if (args.size() != 1)
            return std::nullopt;
        const char* code = std::char_traits<char>::find(kLineCodes, 12, args[0]);
        if (!code)
            return std::nullopt;
        s.settingsIndex = static_cast<int>(code - kLineCodes); // the reply still goes at the old
        return std::string(args);                              // speed: the host decides that
    }
    case 'X':
        if (args != "5A")
            return std::nullopt;
        s.factoryDefault();
        return "";
    case 'H':
        if (args == "R") {
            ++s.resets;
            s.tags.clear();
            s.do1 = s.do2 = false;
        } else if (args == "S1" || args == "S0") {
            s.beep = args[1] == '1';
        } else {
            return std::nullopt;
        }
        return std::string(args);
    case 'N':
        if (args.size() == 4 && AllDigits(args))
            s.sameCard = std::stoi(std::string(args));
        else if (!args.empty())
            return std::nullopt;
        {
            char text[8];
            std::snprintf(text, sizeof text, "%04d", s.sameCard);
            return std::string(text);
        }
    case 'M':
        if (args == "1" || args == "0")
            s.normallyOpen = args == "1";
        else if (!args.empty())
            return std::nullopt;
        return std::string(1, s.normallyOpen ? '1' : '0');
    case 'L':
        if (args.size() == 2 && args[0] >= '0' && args[0] <= '3' &&
            (args[1] == 'N' || (args[1] >= '0' && args[1] <= '3'))) {
            s.rs485 = args[0];
            s.wiegand = args[1];
        } else if (!args.empty()) {
            return std::nullopt;
        }
        return std::string{s.rs485, s.wiegand};
    case 'Q':
    case 'O': {
        std::uint8_t& value = letter == 'Q' ? s.id2 : s.rssi;
        if (args.size() == 2 && AllUpperHex(args))
            value = static_cast<std::uint8_t>(ParseHexField(args));
        else if (!args.empty())
            return std::nullopt;
        return Hex2(value);
    }
    case 'W': {
        // <register hh> "01" <value hh> writes; <register hh> alone reads back.
        if ((args.size() != 6 && args.size() != 2) || !AllUpperHex(args))
            return std::nullopt;
        const unsigned reg = ParseHexField(args.substr(0, 2));
        if (args.size() == 6) {
            if (args.substr(2, 2) != "01")
                return std::nullopt;
            s.registers[reg] = static_cast<std::uint8_t>(ParseHexField(args.substr(4)));
        }
        return Hex2(reg) + "01" + Hex2(s.registers[reg]);
    }
    case 'P':
        if (args.size() == 8 && AllUpperHex(args)) {
            s.exciter1 = static_cast<std::uint16_t>(ParseHexField(args.substr(0, 4)));
            s.exciter2 = static_cast<std::uint16_t>(ParseHexField(args.substr(4)));
        } else if (!args.empty()) {
            return std::nullopt;
        }
        return Hex4(s.exciter1) + Hex4(s.exciter2);
    case 'R':
        if (args.size() == 8 && AllUpperHex(args)) {
            s.relays = {static_cast<std::uint8_t>(ParseHexField(args.substr(0, 2))),
                        static_cast<std::uint8_t>(ParseHexField(args.substr(2, 2))),
                        static_cast<std::uint8_t>(ParseHexField(args.substr(4, 2))),
                        static_cast<std::uint8_t>(ParseHexField(args.substr(6, 2)))};
        } else if (!args.empty()) {
            return std::nullopt;
        }
        return Hex2(s.relays.flags1) + Hex2(s.relays.time1) + Hex2(s.relays.flags2) +
               Hex2(s.relays.time2);
    default:
        return std::nullopt;
    }
}

std::string Reader::streamBytes(std::size_t count) const {
    // Printable chatter without LF or CR, so that no reply frame ever forms in it.
    static constexpr char kChatter[] = "~*+-=#";
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out += kChatter[i % (sizeof kChatter - 1)];
    return out;
}

} // namespace qv::sim
