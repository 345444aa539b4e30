#pragma once
// A profile: the parameter values that a batch of readers is given (the parameters of a backup
// file). Here the write and the read-back of one parameter on an open link, as the window's Set
// and Get buttons run them; the one write-and-verify and the restore's stop rule, which `set`,
// `restore` and the production station share; and the comparison of what a reader holds with a
// profile, which `diff` and the station share.

#include "reader/parameters.h"

#include "link/protocol/link.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::reader {

struct ProfileItem {
    Param param;
    Value value;
};

// A readable parameter as the Get button reads it; `tries` replaces the row's count when given.
// nullopt: no valid answer (or the parameter cannot be read).
std::optional<Value> ReadParam(link::Link& link, Param param, std::optional<int> tries = {});
// Writes `value` as the Set button does. True: the reader confirmed the command.
bool WriteParam(link::Link& link, Param param, const Value& value, std::optional<int> tries = {});

struct RestoreStep {
    Param param;
    Value wanted;
    enum class State {
        Verified,    // written and read back equal (a line speed: the reader answered at it)
        Written,     // written; the reader cannot report the value
        Differs,     // written, but the reader reports another value
        ReadFailed,  // written; the read-back went unanswered
        WriteFailed, // the reader did not confirm the write
        NotAttempted // a restore stopped before it
    } state = State::NotAttempted;
    std::optional<Value> readBack;
};

// Reaches the reader at new line settings after its line speed was written: true when it
// answered there. Only a write of Param::Baud calls it.
using ReachAt = std::function<bool(const std::string& settings)>;

// Writes `value` and reads it back where the reader can report it; a new line speed is read back
// by reaching the reader at it (`reachAt`; without one, a line-speed write is Written).
RestoreStep WriteAndVerify(link::Link& link, Param param, const Value& value,
                           std::optional<int> tries = {}, const ReachAt& reachAt = {});
// Writes and verifies each item in turn. The first write the reader does not confirm ends the
// restore; the items after it stay NotAttempted.
std::vector<RestoreStep> Restore(link::Link& link, const std::vector<ProfileItem>& items,
                                 std::optional<int> tries = {}, const ReachAt& reachAt = {});
// "written, read back equal", "NOT written: the reader did not confirm" ...
const char* StateText(RestoreStep::State state);
// Verified, or written where the reader cannot report the value.
bool Succeeded(RestoreStep::State state);
// Why a step did not succeed, in the words of a comparison: "no answer to the write",
// "no answer", "read back 3, expected 5"; empty for a step that succeeded or was not attempted.
std::string Reason(const RestoreStep& step);

struct ParamCheck {
    enum class State { Equal, Differs, NoAnswer, NotReadable };
    Param param;
    Value expected;
    State state = State::NoAnswer;
    std::optional<Value> actual; // what the reader reported (Equal, Differs)
};

// Reads every readable item back, in the profile's order, and compares it with the profile by
// its JSON form (the form a backup holds). Items the reader cannot report are NotReadable.
std::vector<ParamCheck> CompareProfile(link::Link& link, const std::vector<ProfileItem>& items,
                                       std::optional<int> tries = {});
// Equal, or a parameter that no read can check.
bool Matches(const ParamCheck& check);
// Why a check does not match, in words: "no answer", "read back 3, expected 5".
std::string Reason(const ParamCheck& check);
// "equal", "differs", "no answer", "not readable".
const char* StateWord(ParamCheck::State state);

// The fixed pauses of one try of `exchange`: the least time it takes on any line.
std::uint32_t FixedPausesMs(const link::Exchange& exchange);
// The least time that writing every item and reading back the readable ones takes: the floor
// under a station's round.
std::uint32_t ProfileFloorMs(const std::vector<ProfileItem>& items);

} // namespace qv::reader
