#pragma once
// The tries of one reader operation on an open port: pause, identity request, pause, command,
// reply. The window and the command-line tool both run their operations through this, so a
// reader sees the same frames with the same pauses whichever program talks to it.

#include "link/protocol/link.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::link {

struct Exchange {
    std::uint32_t pauseMs = 200; // before the identity request and again before the command
    int tries = 3;
    bool identityStep = true; // each try first asks "A00B" and needs a 16-byte verified reply
    std::uint32_t commandPauseMs = 0; // between a passed identity step and the command; 0: pauseMs
    // Success needs a verified reply to the command. When false, a passed identity step followed
    // by sending the command is enough (the reader may restart before it answers).
    bool commandMustAnswer = true;
};

// The reader's settings and their read-backs.
inline constexpr Exchange kSettingsExchange{};
// Reader ID and the radio registers (address, frequency, channel): 100 ms pauses.
inline constexpr Exchange kQuickExchange{.pauseMs = 100};
// Commands that go straight out, without the identity request (the beeper).
inline constexpr Exchange kDirectExchange{.identityStep = false};
inline constexpr Exchange kResetExchange{.tries = 1, .identityStep = false};
inline constexpr Exchange kFactoryDefaultExchange{
    .tries = 2, .commandPauseMs = 500, .commandMustAnswer = false};

// Builds the command of a try; it may use the identity reply of the same try (Set Reader ID
// takes the serial number from it). nullopt: no command can be built; the try fails.
using CommandBuilder = std::function<std::optional<std::string>(const Reply& identity)>;
// Takes a verified reply to the command; false when a field is absent or not a number (the try
// fails). Empty: any verified reply will do.
using ReplyHandler = std::function<bool(const Reply& reply)>;

// One try. True when the operation succeeded.
bool RunTry(Link& link, const Exchange& exchange, const CommandBuilder& command,
            const ReplyHandler& onReply);
// Called before each try with its number, 1 for the first (a traffic log labels the frames).
using TryHook = std::function<void(int number)>;

// Up to exchange.tries tries; true at the first that succeeds. The port must be open.
bool RunExchange(Link& link, const Exchange& exchange, const CommandBuilder& command,
                 const ReplyHandler& onReply = {}, const TryHook& beforeTry = {});

} // namespace qv::link
