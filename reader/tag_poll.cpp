#include "reader/tag_poll.h"

#include "link/protocol/commands.h"
#include "link/protocol/replies.h"

#include <charconv>
#include <cstdio>

namespace qv::reader {

namespace {

constexpr int kPumpsPerCycle = 20;
constexpr std::uint32_t kPumpPauseMs = 1;
constexpr std::uint32_t kAckPauseMs = 20;
constexpr std::size_t kLowDigits = 8;

} // namespace

TagText FormatTag(std::string_view decodedId) {
    TagText tag;
    tag.id = std::string(decodedId);
    const std::string_view low =
        decodedId.substr(decodedId.size() >= kLowDigits ? decodedId.size() - kLowDigits : 0);
    tag.hex = std::string(low);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(low.data(), low.data() + low.size(), value, 16);
    if (low.size() != kLowDigits || ec != std::errc() || end != low.data() + low.size())
        value = 0;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010u", static_cast<unsigned>(value));
    tag.decimal = digits;
    return tag;
}

PollResult PollStep(link::Link& link, std::optional<Outputs> wanted, std::optional<Outputs>& sent,
                    const std::function<void(const PollResult&)>& onTag) {
    if (link.pumpsEveryMillisecond()) {
        for (int i = 0; i < kPumpsPerCycle; ++i) {
            link.pumpEvents();
            link.sleepMs(kPumpPauseMs);
        }
    } else {
        link.pumpEvents();
        link.sleepMs(kPumpsPerCycle * kPumpPauseMs); // the same pause in one wake-up
    }
    if (wanted && wanted != sent) {
        sent = wanted;
        link.ReaderTransact(link::cmd::Outputs(wanted->do1, wanted->do2));
    }
    PollResult result;
    result.answered = link.ReaderTransact(link::cmd::Poll());
    if (!result.answered)
        return result;
    const auto poll = link::DecodePoll(link.reply());
    if (!poll)
        return result;
    result.input = poll->input;
    if (!poll->tag)
        return result;
    result.tag = FormatTag(link::DecodeTagId(*poll->tag));
    if (onTag)
        onTag(result);
    link.sleepMs(kAckPauseMs);
    link.ReaderTransact(link::cmd::TagAck());
    return result;
}

SilenceRule::Change SilenceRule::polled(bool answered, std::uint32_t nowMs) {
    lastAnswered_ = answered;
    if (answered) {
        failingSince_.reset();
        if (!silent_)
            return Change::None;
        silent_ = false;
        return Change::AnsweringAgain;
    }
    if (!failingSince_)
        failingSince_ = nowMs;
    else if (!silent_ && nowMs - *failingSince_ >= kSilenceMs) {
        silent_ = true;
        return Change::Silent;
    }
    return Change::None;
}

SilenceRule::Change SilenceRule::lost() {
    lastAnswered_ = false;
    failingSince_.reset();
    if (silent_)
        return Change::None;
    silent_ = true;
    return Change::Silent;
}

} // namespace qv::reader
