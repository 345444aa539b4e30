#pragma once
// Tag reading for scripts: the window's poll cycle on an open connection, one event per tag.

#include "cli/connection.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::cli {

struct TagEvent {
    std::string id;      // the decoded identifier, 16 hexadecimal digits
    std::string decimal; // its last 8 digits as an unsigned 32-bit number, 10 digits ("%010u")
    std::string hex;     // its last 8 digits
    char input = 0;      // the digital input state of the poll that brought the tag
};

struct WatchOptions {
    std::optional<long> count;     // stop after this many tags
    std::optional<double> seconds; // stop after this long
    std::optional<bool> do1, do2;  // outputs to set; unset ones are sent as off
};

struct WatchResult {
    long tags = 0;
    long pollsAnswered = 0;
    bool lastPollAnswered = false;
};

// How long polls must have gone unanswered before the reader counts as not answering, as the
// window's tag run judges it.
inline constexpr double kSilenceSeconds = 1.0;

// Runs poll cycles on the open connection until `stop`, the count or the time is reached.
// `onSilence(true)` when polls have gone unanswered for kSilenceSeconds, `onSilence(false)` when
// one is answered again.
WatchResult Watch(Connection& connection, const WatchOptions& options,
                  const std::atomic<bool>& stop, const std::function<void(const TagEvent&)>& onTag,
                  const std::function<void(bool silent)>& onSilence = {});

// The window's tag display for one decoded identifier.
TagEvent MakeTagEvent(const std::string& decodedId, char input);

} // namespace qv::cli
