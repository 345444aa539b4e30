// Radio and signal settings: RSSI threshold, beeper, receiver gain, exciter identifiers, and the
// radio address, frequency and channel.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "program/messages.h"

#include <QLabel>
#include <QScrollBar>

namespace qv::ops {

namespace {

using Command = std::optional<std::string>;
using reader::Param;

const Operation kSetRssi{
    .startMsg = msg::SetRssi,
    .pumpAfterStart = true,
    .command = [](Context& ctx) { return ParamSet(Param::Rssi, ctx.ui.sbRSSI->value()); },
    .okMsg = msg::SetRssiOk,
    .errorMsg = msg::SetRssiError,
};

const Operation kGetRssi{
    .startMsg = msg::GetRssi,
    .pumpAfterStart = true,
    .command = [](Context&) { return ParamGet(Param::Rssi); },
    .onReply =
        [](Context& ctx) {
            const auto threshold = ParamReply(ctx, Param::Rssi); // held to the bar's range
            if (!threshold)
                return false;
            ctx.ui.sbRSSI->setValue(std::get<int>(*threshold));
            return true;
        },
    .okMsg = msg::GetRssiOk,
    .errorMsg = msg::GetRssiError,
};

// The beeper commands go straight out, without the identity step.
const Operation kBeepOn{
    .startMsg = msg::SetBeepOn,
    .pumpAfterStart = true,
    .exchange = link::kDirectExchange,
    .command = [](Context&) { return ParamSet(Param::Beep, true); },
    .okMsg = msg::SetBeepOnOk,
    .errorMsg = msg::SetBeepOnError,
};

const Operation kBeepOff{
    .startMsg = msg::SetBeepOff,
    .pumpAfterStart = true,
    .exchange = link::kDirectExchange,
    .command = [](Context&) { return ParamSet(Param::Beep, false); },
    .okMsg = msg::SetBeepOffOk,
    .errorMsg = msg::SetBeepOffError,
};

const Operation kSetGain{
    .startMsg = msg::SetGain,
    .command = [](Context& ctx) { return ParamSet(Param::Gain, ctx.ui.sbGainLevel->value()); },
    .okMsg = msg::SetGainOk,
    .errorMsg = msg::SetGainError,
};

// The panels' texts, not the bars' positions, are sent; the change handlers keep them equal.
const Operation kSetExciterIds{
    .startMsg = msg::SetExciterId,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetExciterIds(Latin1(ctx.ui.pnExciterID1->text()),
                                        Latin1(ctx.ui.pnExciterID2->text()));
    },
    .okMsg = msg::SetExciterIdOk,
    .errorMsg = msg::SetExciterIdError,
};

const Operation kGetExciterIds{
    .startMsg = msg::GetExciterId,
    .pumpAfterStart = true,
    .command = [](Context&) { return ParamGet(Param::ExciterId); },
    .onReply =
        [](Context& ctx) {
            const auto ids = ParamReply(ctx, Param::ExciterId);
            if (!ids)
                return false;
            ctx.ui.sbExciterID1->setValue(std::get<reader::ExciterValue>(*ids).id1);
            ctx.ui.sbExciterID2->setValue(std::get<reader::ExciterValue>(*ids).id2);
            return true;
        },
    .okMsg = msg::GetExciterIdOk,
    .errorMsg = msg::GetExciterIdError,
};

const Operation kSetAddress{
    .startMsg = msg::SetAddress,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetAddress(ctx.ui.sbAddr->value());
    },
    .okMsg = msg::SetAddressOk,
    .errorMsg = msg::SetAddressError,
};

const Operation kSetFrequency{
    .startMsg = msg::SetFreq,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetFrequency(ctx.ui.sbFreq->value());
    },
    .okMsg = msg::SetFreqOk,
    .errorMsg = msg::SetFreqError,
};

const Operation kSetChannel{
    .startMsg = msg::SetChannel,
    .exchange = link::kQuickExchange,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetChannel(ctx.ui.sbChannel->value());
    },
    .okMsg = msg::SetChannelOk,
    .errorMsg = msg::SetChannelError,
};

} // namespace

static void sbRSSIChange(Context& ctx) {
    ShowNumber(ctx.ui.pnRSSI, "%03d", ctx.ui.sbRSSI->value());
}

static void sbGainLevelChange(Context& ctx) {
    ShowNumber(ctx.ui.pnGain, "%d", ctx.ui.sbGainLevel->value());
}

static void sbExciterID1Change(Context& ctx) {
    ShowNumber(ctx.ui.pnExciterID1, "%04X", ctx.ui.sbExciterID1->value());
}

static void sbExciterID2Change(Context& ctx) {
    ShowNumber(ctx.ui.pnExciterID2, "%04X", ctx.ui.sbExciterID2->value());
}

static void sbAddrChange(Context& ctx) {
    ShowNumber(ctx.ui.pnAddr, "%03d", ctx.ui.sbAddr->value());
}

static void sbFreqChange(Context& ctx) {
    ShowNumber(ctx.ui.pnFreq, "%03d", ctx.ui.sbFreq->value());
}

static void sbChannelChange(Context& ctx) {
    ShowNumber(ctx.ui.pnChannel, "%03d", ctx.ui.sbChannel->value());
}

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
        {"sbRSSIChange", "sbRSSI", Event::Change, nullptr, sbRSSIChange},
        {"sbGainLevelChange", "sbGainLevel", Event::Change, nullptr, sbGainLevelChange},
        {"sbExciterID1Change", "sbExciterID1", Event::Change, nullptr, sbExciterID1Change},
        {"sbExciterID2Change", "sbExciterID2", Event::Change, nullptr, sbExciterID2Change},
        {"sbAddrChange", "sbAddr", Event::Change, nullptr, sbAddrChange},
        {"sbFreqChange", "sbFreq", Event::Change, nullptr, sbFreqChange},
        {"sbChannelChange", "sbChannel", Event::Change, nullptr, sbChannelChange},
    };
    return rows;
}

} // namespace qv::ops
