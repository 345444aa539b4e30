#pragma once
// Tag reading, as the window's run and the command line's `watch` both do it: one poll step
// (let events in, pass changed outputs on, poll, decode, acknowledge a tag), the one tag
// formatter, and the rule that says when a reader has stopped answering.

#include "link/protocol/link.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qv::reader {

// A tag as people see it.
struct TagText {
    std::string id;      // the decoded identifier, 16 hexadecimal digits
    std::string hex;     // its last 8 digits
    std::string decimal; // those as an unsigned 32-bit number, 10 digits ("%010u"); 0 when they
                         // are fewer than 8 or not hexadecimal
};
TagText FormatTag(std::string_view decodedId);

struct Outputs {
    bool do1 = false, do2 = false;
    bool operator==(const Outputs&) const = default;
};

struct PollResult {
    // A verified reply came back. A verified reply that does not decode as a poll reply still
    // counts: the reader is there.
    bool answered = false;
    std::optional<char> input;  // the digital input state, when the reply decoded
    std::optional<TagText> tag; // the tag the reply brought
};

// One poll cycle on the open link: 20 times an event pump and 1 ms; the outputs when `wanted`
// differs from `sent` (which then takes its value, answered or not); the poll; for a tag
// `onTag` (before the acknowledgement's 20 ms pause), then the acknowledgement.
PollResult PollStep(link::Link& link, std::optional<Outputs> wanted, std::optional<Outputs>& sent,
                    const std::function<void(const PollResult&)>& onTag = {});

// Polls that have failed without a break for a second mean a reader that stopped answering; the
// first poll answered again ends it.
class SilenceRule {
public:
    static constexpr std::uint32_t kSilenceMs = 1000;
    enum class Change { None, Silent, AnsweringAgain };

    Change polled(bool answered, std::uint32_t nowMs);
    // The device went away (link::Link::lineGone): silent at once, without the second.
    Change lost();
    bool silent() const { return silent_; }
    bool lastAnswered() const { return lastAnswered_; }

private:
    std::optional<std::uint32_t> failingSince_;
    bool silent_ = false;
    bool lastAnswered_ = true;
};

} // namespace qv::reader
