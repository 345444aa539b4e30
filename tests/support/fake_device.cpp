#include "tests/support/fake_device.h"

#include <algorithm>

namespace qv::test {

void VirtualTime::sleepMs(std::uint32_t ms) {
    sleeps.push_back(ms);
    us_ += std::uint64_t(ms) * 1000;
    if (onSleep)
        onSleep();
}

void FakeDevice::inject(const std::string& bytes, std::uint32_t afterMs) {
    std::uint64_t at = time_.us() + std::uint64_t(afterMs) * 1000;
    for (char c : bytes) {
        incoming_.push_back({static_cast<std::uint8_t>(c), at});
        at += byteUs;
    }
}

bool FakeDevice::open(const std::string& path, const link::LineSettings& settings) {
    bool ok = !isOpen_;
    if (ok && canOpen)
        ok = canOpen(path, settings);
    else if (ok && !openable.empty())
        ok = openable.count(path) > 0;
    opens.push_back({path, settings, ok, time_.us()});
    error_ = ok ? link::SerialError::None : isOpen_ ? link::SerialError::AlreadyOpen : failWith;
    if (ok) {
        isOpen_ = true;
        path_ = path;
        settings_ = settings;
        incoming_.clear();
        outgoing_.clear();
    }
    return ok;
}

void FakeDevice::close() {
    ++closeCount;
    isOpen_ = false;
    vanished = false;
    incoming_.clear();
}

void FakeDevice::write(const std::uint8_t* data, std::size_t count) {
    writes.emplace_back(data, data + count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = data[i];
        if (b == 0x09)
            outgoing_.clear();
        outgoing_.push_back(b);
        if (b != 0x0D || outgoing_.front() != 0x09)
            continue;
        // TAB text hi lo CR
        std::string text;
        bool ok = false;
        if (outgoing_.size() >= 4) {
            text.assign(outgoing_.begin() + 1, outgoing_.end() - 3);
            std::uint8_t sum = 0x09;
            for (char c : text)
                sum ^= static_cast<std::uint8_t>(c);
            const char* digits = "0123456789ABCDEF";
            ok = outgoing_[outgoing_.size() - 3] == digits[sum >> 4] &&
                 outgoing_[outgoing_.size() - 2] == digits[sum & 15];
        }
        sent.push_back({text, time_.us(), ok});
        outgoing_.clear();
        if (responder && isOpen_) {
            std::string reply = responder(text);
            if (!reply.empty())
                inject(reply, replyDelayMs);
        }
    }
}

std::optional<std::uint8_t> FakeDevice::readByte() {
    const std::uint64_t now = time_.us();
    if (!incoming_.empty() && incoming_.front().atUs <= now + 1000) {
        Pending p = incoming_.front();
        incoming_.pop_front();
        time_.advanceUs(std::max<std::uint64_t>(p.atUs, now) - now + 1);
        return p.byte;
    }
    if (incoming_.empty() && stream) {
        if (auto b = stream()) {
            time_.advanceUs(byteUs);
            return b;
        }
    }
    time_.advanceUs(1000);
    return std::nullopt;
}

void FakeDevice::purge() {
    ++purgeCount;
    // Only bytes already arrived are dropped; a reply still on its way is not.
    const std::uint64_t now = time_.us();
    while (!incoming_.empty() && incoming_.front().atUs <= now)
        incoming_.pop_front();
}

std::vector<std::string> FakeDevice::commands() const {
    std::vector<std::string> out;
    for (const auto& c : sent)
        out.push_back(c.text);
    return out;
}

std::string ReplyFrame(const std::string& payload) {
    std::uint8_t sum = 0x0A;
    for (char c : payload)
        sum ^= static_cast<std::uint8_t>(c);
    const char* digits = "0123456789ABCDEF";
    std::string out = "\n" + payload;
    out += digits[sum >> 4];
    out += digits[sum & 15];
    out += '\r';
    return out;
}

} // namespace qv::test
