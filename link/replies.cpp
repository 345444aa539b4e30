#include "link/replies.h"

#include <algorithm>
#include <cstdio>

namespace qv::link {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The tag transform counts lower-case digits (and anything else) as 0, unlike the field parser.
int TagNibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

std::optional<int> HexField(const Link& link, int position, int length) {
    const auto text = link.field(position, length);
    return text ? ParseHex(*text) : std::nullopt;
}

} // namespace

std::optional<int> ParseDecimal(std::string_view digits) {
    // Nine digits always fit an int; reply fields are at most four.
    if (digits.empty() || digits.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 7)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        const int nibble = HexValue(c);
        if (nibble < 0)
            return std::nullopt;
        value = value * 16 + nibble;
    }
    return value;
}

std::optional<Identity> DecodeIdentity(const Link& link) {
    if (!link.replyIsExactly(16))
        return std::nullopt;
    const auto id = link.field(3, 2);
    const auto serial = link.field(6, 8);
    if (!id || !serial || !ParseDecimal(*id))
        return std::nullopt;
    return Identity{std::string(*id), std::string(*serial)};
}

std::string DecodeVersion(const Link& link) {
    // The text up to the checksum, from position 6. ReplyText never holds more than the reply,
    // but a zero byte can make it shorter; take what both agree on.
    const int known = std::min(static_cast<int>(link.ReplyText.size()), link.ReplyLength);
    if (known <= 8)
        return {};
    const auto text = link.field(6, known - 8);
    return text ? std::string(*text) : std::string();
}

std::optional<Poll> DecodePoll(const Link& link) {
    const auto mark = link.field(5, 1);
    const auto input = link.field(6, 1);
    if (!mark || *mark != "I" || !input)
        return std::nullopt;
    Poll poll;
    poll.input = (*input)[0];
    if (link.replyIsExactly(26)) {
        if (const auto tag = link.field(8, 16))
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

std::optional<int> DecodeSameCard(const Link& link) {
    const auto text = link.field(6, 4);
    return text ? ParseDecimal(*text) : std::nullopt;
}

std::optional<char> DecodeNoNc(const Link& link) {
    const auto text = link.field(6, 1);
    if (!text)
        return std::nullopt;
    return (*text)[0];
}

std::optional<Mode> DecodeMode(const Link& link) {
    const auto rs485 = link.field(6, 1);
    const auto wiegand = link.field(7, 1);
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

std::optional<int> DecodeId2(const Link& link) {
    return HexField(link, 6, 2);
}
std::optional<int> DecodeRssi(const Link& link) {
    return HexField(link, 6, 2);
}

std::optional<ExciterIds> DecodeExciterIds(const Link& link) {
    const auto id1 = HexField(link, 6, 4);
    const auto id2 = HexField(link, 10, 4);
    if (!id1 || !id2)
        return std::nullopt;
    return ExciterIds{*id1, *id2};
}

std::optional<Relays> DecodeRelays(const Link& link) {
    const auto flags1 = HexField(link, 6, 2);
    const auto time1 = HexField(link, 8, 2);
    const auto flags2 = HexField(link, 10, 2);
    const auto time2 = HexField(link, 12, 2);
    if (!flags1 || !time1 || !flags2 || !time2)
        return std::nullopt;
    return Relays{*flags1, *time1, *flags2, *time2};
}

} // namespace qv::link
