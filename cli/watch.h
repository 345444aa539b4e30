#pragma once
// Tag reading for scripts: the window's poll step (reader/tag_poll.h) on an open connection, one
// event per tag.

#include "cli/connection.h"
#include "reader/reconnect.h"
#include "reader/tag_poll.h"

#include <atomic>
#include <functional>
#include <optional>

namespace qv::cli {

struct TagEvent {
    reader::TagText tag;
    char input = 0; // the digital input state of the poll that brought the tag
};

struct WatchOptions {
    std::optional<long> count;     // stop after this many tags
    std::optional<double> seconds; // stop after this long
    std::optional<bool> do1, do2;  // outputs to set; unset ones are sent as off
    // How long to wait for a port whose device went away to open again (reader/reconnect.h);
    // unset: no reopening, polls simply go unanswered.
    std::optional<double> reconnect;
};

struct WatchResult {
    long tags = 0;
    long pollsAnswered = 0;
    bool lastPollAnswered = false;
    bool portLost = false; // the device went away and did not come back within `reconnect`
};

// Runs poll steps on the open connection until `stop`, the count or the time is reached, or the
// port's device went away and did not come back within `options.reconnect`.
// `onSilence(true)` when the reader stops answering (reader::SilenceRule) or its device went away,
// `onSilence(false)` when a poll is answered again; `onReopenFailure` when a reopen fails for a
// reason worth telling.
WatchResult Watch(Connection& connection, const WatchOptions& options,
                  const std::atomic<bool>& stop, const std::function<void(const TagEvent&)>& onTag,
                  const std::function<void(bool silent)>& onSilence = {},
                  const reader::ReopenFailure& onReopenFailure = {});

} // namespace qv::cli
