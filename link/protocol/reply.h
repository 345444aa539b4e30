#pragma once
// The reply of the last transaction, read-only for everyone but the link that fills it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

inline constexpr int kReplyBufferSize = 1024;

class Reply {
public:
    // The ring the bytes of the last transaction went into; zero where nothing arrived.
    const std::array<std::uint8_t, kReplyBufferSize>& buffer() const { return buffer_; }
    // Bytes stored by the last transaction (the ring's write position): after a completed reply
    // its length, LF and CR included.
    int length() const { return length_; }
    // The last completed reply, from its LF up to the first zero byte. A time-out leaves it as
    // it was; a reply with a bad checksum replaces it.
    const std::string& text() const { return text_; }

    // The field at 1-based `position` (1 is the LF) of `length` characters, or nullopt when any
    // of it lies outside the payload (2 .. length()-3) or at/after a zero byte.
    std::optional<std::string_view> field(int position, int length) const;
    // length() equals `length` and text() really holds that many characters.
    bool isExactly(int length) const;

private:
    friend class Link;
    std::array<std::uint8_t, kReplyBufferSize> buffer_{};
    int length_ = 0;
    std::string text_;
};

} // namespace qv::link
