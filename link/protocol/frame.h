#pragma once
// The command and reply frames, pure: no port in sight.
//   command: TAB, text, two checksum digits, CR    checksum = 0x09 ^ each text byte
//   reply:   LF, payload, two checksum digits, CR  checksum = LF ^ each payload byte

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::link {

inline constexpr std::uint8_t kTab = 0x09;
inline constexpr std::uint8_t kLf = 0x0A;
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr int kMaxCommandLength = 255;

// 0x09 XOR each of the `count` bytes.
std::uint8_t CommandChecksum(const std::uint8_t* bytes, int count);

// Two upper-case hexadecimal digits, high nibble first.
std::array<char, 2> ByteToHex(std::uint8_t value);

// The whole command frame for `command` (at most 255 characters are used).
std::vector<std::uint8_t> BuildCommandFrame(std::string_view command);

// The value of one hexadecimal digit, either case; -1 for anything else.
int HexDigitValue(char c);
// "0"-"9" and "A"-"F": the digits of a checksum.
bool IsUpperHexDigit(char c);
// Hexadecimal digits of either case, at most 7; nullopt for an empty text or any other character.
std::optional<int> ParseHex(std::string_view digits);
// Decimal digits only, at most 9; nullopt for an empty text or any other character.
std::optional<int> ParseDecimal(std::string_view digits);
// `value` (0..255) as two upper-case digits in a string.
std::string Hex2(unsigned value);

// The command text of a command frame's inside (what lies between the TAB and the CR: text and
// two checksum digits), or nullopt when it is too short or its checksum digits do not match.
std::optional<std::string_view> CheckCommandFrame(std::string_view inside);

// The whole reply frame around `payload`: LF, payload, two upper-case checksum digits, CR.
std::string BuildReplyFrame(std::string_view payload);

// True when `length` >= 4 bytes of `buffer` end in the two upper-case digits of the XOR of
// bytes 0 .. length-4. The CR itself is not examined.
bool VerifyReplyChecksum(const std::uint8_t* buffer, int length);

} // namespace qv::link
