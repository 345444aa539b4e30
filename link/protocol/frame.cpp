#include "link/protocol/frame.h"

#include <algorithm>

namespace qv::link {

std::uint8_t CommandChecksum(const std::uint8_t* bytes, int count) {
    std::uint8_t sum = kTab;
    for (int i = 0; i < count; ++i)
        sum ^= bytes[i];
    return sum;
}

std::array<char, 2> ByteToHex(std::uint8_t value) {
    auto digit = [](int nibble) {
        return static_cast<char>(nibble < 10 ? 0x30 + nibble : 0x37 + nibble);
    };
    return {digit(value >> 4), digit(value & 0x0F)};
}

std::vector<std::uint8_t> BuildCommandFrame(std::string_view command) {
    const std::size_t n = std::min<std::size_t>(command.size(), kMaxCommandLength);
    std::vector<std::uint8_t> frame;
    frame.reserve(n + 4);
    frame.push_back(kTab);
    frame.insert(frame.end(), command.begin(), command.begin() + static_cast<std::ptrdiff_t>(n));
    const auto digits = ByteToHex(CommandChecksum(frame.data() + 1, static_cast<int>(n)));
    frame.push_back(static_cast<std::uint8_t>(digits[0]));
    frame.push_back(static_cast<std::uint8_t>(digits[1]));
    frame.push_back(kCr);
    return frame;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::optional<int> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 7)
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        const int nibble = HexDigitValue(c);
        if (nibble < 0)
            return std::nullopt;
        value = value * 16 + nibble;
    }
    return value;
}

std::optional<int> ParseDecimal(std::string_view digits) {
    // Nine digits always fit an int.
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

std::string Hex2(unsigned value) {
    const auto digits = ByteToHex(static_cast<std::uint8_t>(value));
    return {digits[0], digits[1]};
}

std::optional<std::string_view> CheckCommandFrame(std::string_view inside) {
    if (inside.size() < 3)
        return std::nullopt;
    const std::string_view text = inside.substr(0, inside.size() - 2);
    const auto sum = CommandChecksum(reinterpret_cast<const std::uint8_t*>(text.data()),
                                     static_cast<int>(text.size()));
    const auto digits = ByteToHex(sum);
    if (inside[inside.size() - 2] != digits[0] || inside[inside.size() - 1] != digits[1])
        return std::nullopt;
    return text;
}

std::string BuildReplyFrame(std::string_view payload) {
    std::uint8_t sum = kLf;
    for (char c : payload)
        sum ^= static_cast<std::uint8_t>(c);
    std::string frame(1, static_cast<char>(kLf));
    frame += payload;
    frame += Hex2(sum);
    frame += static_cast<char>(kCr);
    return frame;
}

bool VerifyReplyChecksum(const std::uint8_t* buffer, int length) {
    if (length < 4)
        return false;
    std::uint8_t sum = 0;
    for (int i = 0; i <= length - 4; ++i)
        sum ^= buffer[i];
    const auto digits = ByteToHex(sum);
    return buffer[length - 3] == static_cast<std::uint8_t>(digits[0]) &&
           buffer[length - 2] == static_cast<std::uint8_t>(digits[1]);
}

} // namespace qv::link
