#include "link/frame.h"

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
