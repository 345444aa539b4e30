// Radio and signal settings: RSSI threshold, beeper, receiver gain, exciter identifiers, and the
// radio address, frequency and channel.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/commands.h"
#include "program/messages.h"

#include <QScrollBar>

namespace qv::ops {

namespace {

using Command = std::optional<std::string>;
using reader::Param;

const Operation kSetRssi{
    .startMsg = msg::SetRssi,
    .pumpAfterStart = true,
    .param = Param::Rssi,
    .okMsg = msg::SetRssiOk,
    .errorMsg = msg::SetRssiError,
};

const Operation kGetRssi{
    .startMsg = msg::GetRssi,
    .pumpAfterStart = true,
    .param = Param::Rssi,
    .readBack = true,
    .okMsg = msg::GetRssiOk,
    .errorMsg = msg::GetRssiError,
};

// The beeper commands go straight out, without the identity step (the row's exchange).
const Operation kBeepOn{
    .startMsg = msg::SetBeepOn,
    .pumpAfterStart = true,
    .param = Param::Beep,
    .fixed = reader::Value(true),
    .okMsg = msg::SetBeepOnOk,
    .errorMsg = msg::SetBeepOnError,
};

const Operation kBeepOff{
    .startMsg = msg::SetBeepOff,
    .pumpAfterStart = true,
    .param = Param::Beep,
    .fixed = reader::Value(false),
    .okMsg = msg::SetBeepOffOk,
    .errorMsg = msg::SetBeepOffError,
};

const Operation kSetGain{
    .startMsg = msg::SetGain,
    .param = Param::Gain,
    .okMsg = msg::SetGainOk,
    .errorMsg = msg::SetGainError,
};

const Operation kSetExciterIds{
    .startMsg = msg::SetExciterId,
    .param = Param::ExciterId,
    .okMsg = msg::SetExciterIdOk,
    .errorMsg = msg::SetExciterIdError,
};

const Operation kGetExciterIds{
    .startMsg = msg::GetExciterId,
    .pumpAfterStart = true,
    .param = Param::ExciterId,
    .readBack = true,
    .okMsg = msg::GetExciterIdOk,
    .errorMsg = msg::GetExciterIdError,
};

// The radio registers belong to the window alone: no row, no read-back.
const Operation kSetAddress{
    .startMsg = msg::SetAddress,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx, const link::Reply&) -> Command {
        return link::cmd::SetAddress(ctx.ui.sbAddr->value());
    },
    .okMsg = msg::SetAddressOk,
    .errorMsg = msg::SetAddressError,
};

const Operation kSetFrequency{
    .startMsg = msg::SetFreq,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx, const link::Reply&) -> Command {
        return link::cmd::SetFrequency(ctx.ui.sbFreq->value());
    },
    .okMsg = msg::SetFreqOk,
    .errorMsg = msg::SetFreqError,
};

const Operation kSetChannel{
    .startMsg = msg::SetChannel,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx, const link::Reply&) -> Command {
        return link::cmd::SetChannel(ctx.ui.sbChannel->value());
    },
    .okMsg = msg::SetChannelOk,
    .errorMsg = msg::SetChannelError,
};

} // namespace

std::span<const Handler> RadioSignalHandlers() {
    static const Handler rows[] = {
        {"btnSetRSSIClick", "btnSetRSSI", Event::Click, &kSetRssi},
        {"btnGetRSSIClick", "btnGetRSSI", Event::Click, &kGetRssi},
        {"btnBeepOnClick", "btnBeepOn", Event::Click, &kBeepOn},
        {"btnBeepOffClick", "btnBeepOff", Event::Click, &kBeepOff},
        {"btnGainClick", "btnGain", Event::Click, &kSetGain},
        {"btnSetExciterIDClick", "btnSetExciterID", Event::Click, &kSetExciterIds},
        {"btnGetExciterIDClick", "btnGetExciterID", Event::Click, &kGetExciterIds},
        {"btnAddrClick", "btnAddr", Event::Click, &kSetAddress},
        {"btnFreqClick", "btnFreq", Event::Click, &kSetFrequency},
        {"btnChannelClick", "btnChannel", Event::Click, &kSetChannel},
    };
    return rows;
}

} // namespace qv::ops
