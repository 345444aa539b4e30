#include "cli/watch.h"

#include "link/commands.h"
#include "link/replies.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace qv::cli {

namespace {

constexpr int kPausesPerCycle = 20; // the window lets its messages in between these
constexpr std::uint32_t kPauseMs = 1;
constexpr std::uint32_t kAckPauseMs = 20;

} // namespace

TagEvent MakeTagEvent(const std::string& decodedId, char input) {
    TagEvent event;
    event.id = decodedId;
    event.hex = decodedId.substr(decodedId.size() >= 8 ? decodedId.size() - 8 : 0);
    std::uint32_t value = 0;
    const auto [end, ec] =
        std::from_chars(event.hex.data(), event.hex.data() + event.hex.size(), value, 16);
    if (ec != std::errc() || end != event.hex.data() + event.hex.size())
        value = 0; // as the window: a text that is not a number reads 0
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010u", static_cast<unsigned>(value));
    event.decimal = digits;
    event.input = input;
    return event;
}

WatchResult Watch(Connection& connection, const WatchOptions& options,
                  const std::atomic<bool>& stop, const std::function<void(const TagEvent&)>& onTag,
                  const std::function<void(bool silent)>& onSilence) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto timeUp = [&] {
        return options.seconds &&
               std::chrono::duration<double>(Clock::now() - start).count() >= *options.seconds;
    };
    link::Link& link = connection.link();
    link::ThreadSleeper sleeper;
    // Outputs the caller did not name are sent as off; nothing is sent when it named neither.
    std::optional<int> wanted;
    if (options.do1 || options.do2)
        wanted = 2 * int(options.do1.value_or(false)) + int(options.do2.value_or(false));
    std::optional<int> sent;

    auto silentSince = Clock::now();
    bool silenceReported = false;
    WatchResult result;
    while (!stop && !timeUp() && (!options.count || result.tags < *options.count)) {
        for (int i = 0; i < kPausesPerCycle; ++i)
            sleeper.sleepMs(kPauseMs);
        if (wanted && wanted != sent) {
            sent = wanted; // counted as sent whether or not the reader answered
            link.ReaderTransact(link::cmd::Outputs((*wanted & 2) != 0, (*wanted & 1) != 0));
        }
        const bool answered = link.ReaderTransact(link::cmd::Poll());
        const auto poll = answered ? link::DecodePoll(link.reply()) : std::nullopt;
        result.lastPollAnswered = poll.has_value();
        if (!poll) {
            const double silent = std::chrono::duration<double>(Clock::now() - silentSince).count();
            if (!silenceReported && silent >= kSilenceSeconds && onSilence)
                onSilence(true);
            silenceReported = silenceReported || silent >= kSilenceSeconds;
            continue;
        }
        silentSince = Clock::now();
        if (silenceReported && onSilence)
            onSilence(false);
        silenceReported = false;
        ++result.pollsAnswered;
        if (!poll->tag)
            continue;
        ++result.tags;
        onTag(MakeTagEvent(link::DecodeTagId(*poll->tag), poll->input));
        sleeper.sleepMs(kAckPauseMs);
        link.ReaderTransact(link::cmd::TagAck());
    }
    return result;
}

} // namespace qv::cli
