#include "reader/profile.h"

#include "link/protocol/commands.h"

namespace qv::reader {

namespace {

link::Exchange WithTries(link::Exchange exchange, std::optional<int> tries) {
    if (tries)
        exchange.tries = *tries;
    return exchange;
}

} // namespace

std::optional<Value> ReadParam(link::Link& link, Param param, std::optional<int> tries) {
    const ParamRow& row = RowOf(param);
    std::optional<Value> value;
    if (!row.readable())
        return value;
    link::RunExchange(
        link, WithTries(row.getExchange, tries),
        [&](const link::Reply&) -> std::optional<std::string> { return row.get(); },
        [&](const link::Reply& reply) {
            value = row.decode(reply);
            return value.has_value(); // a field that is absent or not a number fails the try
        });
    return value;
}

bool WriteParam(link::Link& link, Param param, const Value& value, std::optional<int> tries) {
    const ParamRow& row = RowOf(param);
    return link::RunExchange(
        link, WithTries(row.setExchange, tries),
        [&](const link::Reply& identity) { return row.set(value, identity); },
        [](const link::Reply&) { return true; });
}

RestoreStep WriteAndVerify(link::Link& link, Param param, const Value& value,
                           std::optional<int> tries, const ReachAt& reachAt) {
    RestoreStep step{param, value, RestoreStep::State::WriteFailed, std::nullopt};
    if (!WriteParam(link, param, value, tries))
        return step;
    if (param == Param::Baud && reachAt) {
        // The reader answers at the new settings from now on: reach it there.
        const bool reached = reachAt(
            std::string(link::SettingsList[static_cast<std::size_t>(std::get<int>(value))]));
        step.state = reached ? RestoreStep::State::Verified : RestoreStep::State::ReadFailed;
        if (reached)
            step.readBack = value;
        return step;
    }
    if (!RowOf(param).readable()) {
        step.state = RestoreStep::State::Written;
        return step;
    }
    step.readBack = ReadParam(link, param, tries);
    if (!step.readBack)
        step.state = RestoreStep::State::ReadFailed;
    else if (ToJson(param, *step.readBack) != ToJson(param, value))
        step.state = RestoreStep::State::Differs;
    else
        step.state = RestoreStep::State::Verified;
    return step;
}

std::vector<RestoreStep> Restore(link::Link& link, const std::vector<ProfileItem>& items,
                                 std::optional<int> tries, const ReachAt& reachAt) {
    std::vector<RestoreStep> steps;
    bool stopped = false;
    for (const auto& item : items) {
        if (stopped) {
            steps.push_back(
                {item.param, item.value, RestoreStep::State::NotAttempted, std::nullopt});
            continue;
        }
        steps.push_back(WriteAndVerify(link, item.param, item.value, tries, reachAt));
        stopped = steps.back().state == RestoreStep::State::WriteFailed;
    }
    return steps;
}

bool Succeeded(RestoreStep::State state) {
    return state == RestoreStep::State::Verified || state == RestoreStep::State::Written;
}

std::string Reason(const RestoreStep& step) {
    switch (step.state) {
    case RestoreStep::State::WriteFailed:
        return "no answer to the write";
    case RestoreStep::State::ReadFailed:
        return Reason(ParamCheck{step.param, step.wanted, ParamCheck::State::NoAnswer, {}});
    case RestoreStep::State::Differs:
        return Reason(
            ParamCheck{step.param, step.wanted, ParamCheck::State::Differs, step.readBack});
    case RestoreStep::State::Verified:
    case RestoreStep::State::Written:
    case RestoreStep::State::NotAttempted:
        break;
    }
    return {};
}

const char* StateText(RestoreStep::State state) {
    switch (state) {
    case RestoreStep::State::Verified:
        return "written, read back equal";
    case RestoreStep::State::Written:
        return "written (the reader cannot report it)";
    case RestoreStep::State::Differs:
        return "written, read back DIFFERENT";
    case RestoreStep::State::ReadFailed:
        return "written, read-back failed";
    case RestoreStep::State::WriteFailed:
        return "NOT written: the reader did not confirm";
    case RestoreStep::State::NotAttempted:
        return "NOT written: restore stopped before it";
    }
    return "?";
}

std::vector<ParamCheck> CompareProfile(link::Link& link, const std::vector<ProfileItem>& items,
                                       std::optional<int> tries) {
    std::vector<ParamCheck> checks;
    for (const auto& item : items) {
        ParamCheck check{item.param, item.value, ParamCheck::State::NoAnswer, std::nullopt};
        if (!RowOf(item.param).readable())
            check.state = ParamCheck::State::NotReadable;
        else if ((check.actual = ReadParam(link, item.param, tries)))
            check.state = ToJson(item.param, *check.actual) == ToJson(item.param, item.value)
                              ? ParamCheck::State::Equal
                              : ParamCheck::State::Differs;
        checks.push_back(std::move(check));
    }
    return checks;
}

bool Matches(const ParamCheck& check) {
    return check.state == ParamCheck::State::Equal || check.state == ParamCheck::State::NotReadable;
}

std::string Reason(const ParamCheck& check) {
    if (check.state == ParamCheck::State::Differs && check.actual)
        return "read back " + ToText(check.param, *check.actual) + ", expected " +
               ToText(check.param, check.expected);
    return StateWord(check.state);
}

const char* StateWord(ParamCheck::State state) {
    switch (state) {
    case ParamCheck::State::Equal:
        return "equal";
    case ParamCheck::State::Differs:
        return "differs";
    case ParamCheck::State::NoAnswer:
        return "no answer";
    case ParamCheck::State::NotReadable:
        return "not readable";
    }
    return "?";
}

std::uint32_t FixedPausesMs(const link::Exchange& exchange) {
    if (!exchange.identityStep)
        return exchange.pauseMs;
    return exchange.pauseMs +
           (exchange.commandPauseMs != 0 ? exchange.commandPauseMs : exchange.pauseMs);
}

std::uint32_t ProfileFloorMs(const std::vector<ProfileItem>& items) {
    std::uint32_t ms = 0;
    for (const auto& item : items) {
        const ParamRow& row = RowOf(item.param);
        ms += FixedPausesMs(row.setExchange);
        if (row.readable())
            ms += FixedPausesMs(row.getExchange);
    }
    return ms;
}

} // namespace qv::reader
