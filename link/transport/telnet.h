#pragma once
// Telnet with the COM-PORT-OPTION (RFC 854, RFC 2217) as a serial device server speaks it: the
// bytes to send and a receive parser. Pure: no sockets, no clocks, so that it can be tested with
// split byte sequences and fuzzed.

#include "link/transport/line_settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::link::telnet {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// COM-PORT-OPTION commands as the client sends them; the server answers each with the same
// command plus 100 and the value now in force.
enum ComPortCommand : std::uint8_t {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kPurgeData = 12,
};
constexpr std::uint8_t kServerOffset = 100;
constexpr std::uint8_t kPurgeBoth = 3;

// `data` for the network: every 0xFF doubled.
std::string Escape(const std::uint8_t* data, std::size_t count);

// What the client offers on connecting: WILL and DO BINARY, WILL COM-PORT-OPTION.
std::string OpeningOffer();

// IAC SB COM-PORT-OPTION `command` `value` IAC SE, the value escaped.
std::string ComPortRequest(std::uint8_t command, const std::string& value);

// The request values of the four line settings, in the order a server is asked for them: baud
// (four bytes, network order), data size, parity (1 none, 2 odd, 3 even), stop size (1 or 2).
struct SettingRequest {
    std::uint8_t command;
    std::string value;
};
std::array<SettingRequest, 4> LineSettingRequests(const LineSettings& settings);

// Parses what a server sends, in pieces of any size: data bytes (0xFF undoubled) apart from
// Telnet commands and sub-negotiations, which never reach the data. Option requests are answered
// (BINARY, SUPPRESS-GO-AHEAD and COM-PORT-OPTION accepted, everything else refused; an answer
// only where the option's state changes, so two peers never loop); the answers wait in
// takeAnswers(). The last COM-PORT-OPTION reply of each command waits in takeReply().
class Receiver {
public:
    Receiver();
    // Appends the data bytes among `bytes` to `data`.
    void feed(const std::uint8_t* bytes, std::size_t count, std::string& data);
    // The bytes to send back for the option requests seen so far; empties the queue.
    std::string takeAnswers();
    // The value of the server's last reply to `command` (a client command, 1 to 99), if one came
    // since the last take; consumed.
    std::optional<std::string> takeReply(std::uint8_t command);
    // Whether the server refused COM-PORT-OPTION (DONT): then no setting will be acknowledged.
    bool comPortRefused() const { return comPortRefused_; }

private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    void option(std::uint8_t verb, std::uint8_t code);
    void subnegotiation();

    // Longer sub-negotiations than any COM-PORT-OPTION reply are dropped whole.
    static constexpr std::size_t kMaxSub = 64;
    static constexpr std::size_t kReplies = 32;

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::string sub_;
    bool subOverflow_ = false;
    std::string answers_;
    std::array<bool, 256> local_{};  // options we perform (we said WILL)
    std::array<bool, 256> remote_{}; // options the server performs (we said DO)
    std::array<std::optional<std::string>, kReplies> replies_;
    bool comPortRefused_ = false;
};

} // namespace qv::link::telnet
