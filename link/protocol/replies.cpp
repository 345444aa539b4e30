#include "link/protocol/replies.h"

#include <algorithm>
#include <cstdio>

namespace qv::link {

namespace {

// The tag transform counts lower-case digits (and anything else) as 0, unlike the field parser.
int TagNibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

std::optional<int> HexField(const Reply& reply, int position, int length) {
    const auto text = reply.field(position, length);
    return text ? ParseHex(*text) : std::nullopt;
}

} // namespace

std::optional<Identity> DecodeIdentity(const Reply& reply) {
    if (!reply.isExactly(16))
        return std::nullopt;
    const auto id = reply.field(3, 2);
    const auto serial = reply.field(6, 8);
    if (!id || !serial || !ParseDecimal(*id))
        return std::nullopt;
    return Identity{std::string(*id), std::string(*serial)};
}

std::string DecodeVersion(const Reply& reply) {
    // The text up to the checksum, from position 6. The text never holds more than the reply,
    // but a zero byte can make it shorter; take what both agree on.
    const int known = std::min(static_cast<int>(reply.text().size()), reply.length());
    if (known <= 8)
        return {};
    const auto text = reply.field(6, known - 8);
    return text ? std::string(*text) : std::string();
}

std::optional<Poll> DecodePoll(const Reply& reply) {
    const auto mark = reply.field(5, 1);
    const auto input = reply.field(6, 1);
    if (!mark || *mark != "I" || !input)
        return std::nullopt;
    Poll poll;
    poll.input = (*input)[0];
    if (reply.isExactly(26)) {
        if (const auto tag = reply.field(8, 16))
            poll.tag = std::string(*tag);
    }
    return poll;
}

std::string DecodeTagId(std::string_view tag) {
    std::string out;
    out.reserve(16);
    for (std::size_t i = 0; i < 8; ++i) {
        const char high = 2 * i < tag.size() ? tag[2 * i] : '0';
        const char low = 2 * i + 1 < tag.size() ? tag[2 * i + 1] : '0';
        const int byte = (TagNibble(high) * 16 + TagNibble(low)) ^ TagIdKey[7 - i];
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(byte));
        out += digits;
    }
    return out;
}

std::optional<int> DecodeSameCard(const Reply& reply) {
    const auto text = reply.field(6, 4);
    return text ? ParseDecimal(*text) : std::nullopt;
}

std::optional<char> DecodeNoNc(const Reply& reply) {
    const auto text = reply.field(6, 1);
    if (!text)
        return std::nullopt;
    return (*text)[0];
}

std::optional<Mode> DecodeMode(const Reply& reply) {
    const auto rs485 = reply.field(6, 1);
    const auto wiegand = reply.field(7, 1);
    if (!rs485 || !wiegand)
        return std::nullopt;
    const char r = (*rs485)[0];
    const char w = (*wiegand)[0];
    if (r < '0' || r > '3')
        return std::nullopt;
    Mode mode{r - '0', 0};
    if (w == 'N')
        mode.wiegandIndex = 0;
    else if (w >= '0' && w <= '3')
        mode.wiegandIndex = w - '0' + 1;
    else
        return std::nullopt;
    return mode;
}

std::optional<int> DecodeId2(const Reply& reply) {
    return HexField(reply, 6, 2);
}
std::optional<int> DecodeRssi(const Reply& reply) {
    return HexField(reply, 6, 2);
}

std::optional<ExciterIds> DecodeExciterIds(const Reply& reply) {
    const auto id1 = HexField(reply, 6, 4);
    const auto id2 = HexField(reply, 10, 4);
    if (!id1 || !id2)
        return std::nullopt;
    return ExciterIds{*id1, *id2};
}

std::optional<Relays> DecodeRelays(const Reply& reply) {
    const auto flags1 = HexField(reply, 6, 2);
    const auto time1 = HexField(reply, 8, 2);
    const auto flags2 = HexField(reply, 10, 2);
    const auto time2 = HexField(reply, 12, 2);
    if (!flags1 || !time1 || !flags2 || !time2)
        return std::nullopt;
    return Relays{*flags1, *time1, *flags2, *time2};
}

} // namespace qv::link
