#pragma once
// Decoders of the reply fields that the operations use. Each reads only through
// Reply::field, so a short or truncated reply gives nullopt instead of reading out of bounds.
// Hex fields accept 0-9, A-F, a-f; decimal fields 0-9 only.

#include "link/protocol/frame.h"
#include "link/protocol/reply.h"

#include <array>

#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

struct Identity {
    std::string id;     // positions 3-4, as received
    std::string serial; // positions 6-13
};
// A verified identity reply: exactly 16 bytes, all of them in ReplyText.
std::optional<Identity> DecodeIdentity(const Reply& reply);

// Positions 6 .. length-3; empty when the reply is 8 bytes or shorter.
std::string DecodeVersion(const Reply& reply);

struct Poll {
    char input = 0;                 // position 6
    std::optional<std::string> tag; // positions 8-23, only in a complete 26-byte reply
};
// nullopt when position 5 is not "I" or position 6 is absent.
std::optional<Poll> DecodePoll(const Reply& reply);

// 16 tag characters -> 16 upper-case hex digits of the decoded identifier.
inline constexpr std::array<unsigned char, 8> TagIdKey = {0x6B, 0xD2, 0x19, 0xA7,
                                                          0x44, 0xE0, 0x3C, 0x95};
std::string DecodeTagId(std::string_view tag);

std::optional<int> DecodeSameCard(const Reply& reply); // 6-9 decimal
std::optional<char> DecodeNoNc(const Reply& reply);    // 6
struct Mode {
    int rs485Index;   // 0..3
    int wiegandIndex; // 0..4
};
std::optional<Mode> DecodeMode(const Reply& reply); // 6 digit 0-3, 7 "N" or digit 0-3
std::optional<int> DecodeId2(const Reply& reply);   // 6-7 hex
std::optional<int> DecodeRssi(const Reply& reply);  // 6-7 hex
struct ExciterIds {
    int id1;
    int id2;
};
std::optional<ExciterIds> DecodeExciterIds(const Reply& reply); // 6-9, 10-13 hex
struct Relays {
    int flags1, time1, flags2, time2;
};
std::optional<Relays> DecodeRelays(const Reply& reply); // 6-7, 8-9, 10-11, 12-13 hex

} // namespace qv::link
