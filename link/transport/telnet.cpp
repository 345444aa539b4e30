#include "link/transport/telnet.h"

namespace qv::link::telnet {

namespace {

bool Accepted(std::uint8_t code) {
    return code == kBinary || code == kSuppressGoAhead || code == kComPort;
}

std::string Command(std::uint8_t verb, std::uint8_t code) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(code)};
}

} // namespace

std::string Escape(const std::uint8_t* data, std::size_t count) {
    std::string out;
    out.reserve(count + 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += static_cast<char>(data[i]);
        if (data[i] == kIac)
            out += static_cast<char>(kIac);
    }
    return out;
}

std::string OpeningOffer() {
    return Command(kWill, kBinary) + Command(kDo, kBinary) + Command(kWill, kComPort);
}

std::string ComPortRequest(std::uint8_t command, const std::string& value) {
    std::string out = {static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                       static_cast<char>(command)};
    out += Escape(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSe);
    return out;
}

std::array<SettingRequest, 4> LineSettingRequests(const LineSettings& s) {
    const std::string baud = {static_cast<char>(s.baud >> 24), static_cast<char>(s.baud >> 16),
                              static_cast<char>(s.baud >> 8), static_cast<char>(s.baud)};
    const char parity = s.parity == 'o' ? 2 : s.parity == 'e' ? 3 : 1;
    return {{{kSetBaudRate, baud},
             {kSetDataSize, std::string(1, static_cast<char>(s.dataBits))},
             {kSetParity, std::string(1, parity)},
             {kSetStopSize, std::string(1, static_cast<char>(s.stopBits))}}};
}

Receiver::Receiver() {
    // As offered by OpeningOffer: the server's agreement then needs no answer.
    local_[kBinary] = remote_[kBinary] = local_[kComPort] = true;
}

void Receiver::feed(const std::uint8_t* bytes, std::size_t count, std::string& data) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
        case State::Data:
            if (b == kIac)
                state_ = State::Command;
            else
                data += static_cast<char>(b);
            break;
        case State::Command:
            if (b == kIac) {
                data += static_cast<char>(kIac);
                state_ = State::Data;
            } else if (b >= kWill && b <= kDont) {
                verb_ = b;
                state_ = State::Option;
            } else if (b == kSb) {
                sub_.clear();
                subOverflow_ = false;
                state_ = State::Sub;
            } else {
                state_ = State::Data; // NOP, GA, a stray SE ...: nothing to do
            }
            break;
        case State::Option:
            option(verb_, b);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == kIac) {
                state_ = State::SubCommand;
            } else if (sub_.size() < kMaxSub) {
                sub_ += static_cast<char>(b);
            } else {
                subOverflow_ = true;
            }
            break;
        case State::SubCommand:
            if (b == kIac) { // a doubled 0xFF inside the sub-negotiation
                if (sub_.size() < kMaxSub)
                    sub_ += static_cast<char>(kIac);
                else
                    subOverflow_ = true;
                state_ = State::Sub;
            } else if (b == kSe) {
                if (!subOverflow_)
                    subnegotiation();
                state_ = State::Data;
            } else {
                // A command inside an unfinished sub-negotiation ends it unread; the command is
                // taken as if the IAC had come in the data.
                state_ = State::Command;
                feed(&b, 1, data);
            }
            break;
        }
    }
}

void Receiver::option(std::uint8_t verb, std::uint8_t code) {
    switch (verb) {
    case kDo:
        if (Accepted(code) && !local_[code]) {
            local_[code] = true;
            answers_ += Command(kWill, code);
        } else if (!Accepted(code)) {
            answers_ += Command(kWont, code);
        }
        break;
    case kDont:
        if (code == kComPort)
            comPortRefused_ = true;
        if (local_[code]) {
            local_[code] = false;
            answers_ += Command(kWont, code);
        }
        break;
    case kWill:
        if (Accepted(code) && !remote_[code]) {
            remote_[code] = true;
            answers_ += Command(kDo, code);
        } else if (!Accepted(code)) {
            answers_ += Command(kDont, code);
        }
        break;
    case kWont:
        if (remote_[code]) {
            remote_[code] = false;
            answers_ += Command(kDont, code);
        }
        break;
    default:
        break;
    }
}

void Receiver::subnegotiation() {
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != kComPort)
        return;
    const auto command = static_cast<std::uint8_t>(sub_[1]);
    if (command < kServerOffset || std::size_t{command} - kServerOffset >= kReplies)
        return;
    replies_[command - kServerOffset] = sub_.substr(2);
}

std::string Receiver::takeAnswers() {
    std::string out;
    out.swap(answers_);
    return out;
}

std::optional<std::string> Receiver::takeReply(std::uint8_t command) {
    if (command >= kReplies)
        return std::nullopt;
    auto reply = std::move(replies_[command]);
    replies_[command].reset();
    return reply;
}

} // namespace qv::link::telnet
