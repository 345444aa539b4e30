// Card rules and operating mode: same-card time, DI5 contact sense, RS485/Wiegand output mode,
// second-channel ID.
#include "operations/cycle.h"
#include "operations/handlers.h"

#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "program/messages.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>

namespace qv::ops {

namespace {

using Command = std::optional<std::string>;
using reader::Param;

// Both write buttons send the main column's panel.
const Operation kSetSameCard{
    .startMsg = msg::SetSameCard,
    .command = [](Context& ctx) -> Command {
        return link::cmd::SetSameCard(Latin1(ctx.ui.pnSameCard->text()));
    },
    .okMsg = msg::SetSameCardOk,
    .errorMsg = msg::SetSameCardError,
};

const Operation kGetSameCard{
    .startMsg = msg::GetSameCard,
    .command = [](Context&) { return ParamGet(Param::SameCard); },
    .onReply =
        [](Context& ctx) {
            const auto seconds = ParamReply(ctx, Param::SameCard);
            if (!seconds)
                return false;
            ctx.ui.sbSameCard->setValue(std::get<int>(*seconds));
            ctx.ui.sbSameCard2->setValue(std::get<int>(*seconds));
            return true;
        },
    .okMsg = msg::GetSameCardOk,
    .errorMsg = msg::GetSameCardError,
};

const Operation kSetNoNc{
    .startMsg = msg::Di5NoNc,
    .command = [](Context& ctx) { return ParamSet(Param::Di5, ctx.ui.rbNO->isChecked()); },
    .okMsg = msg::SetDi5NoNcOk,
    .errorMsg = msg::SetDi5NoNcError,
};

// The message table has no texts of their own for the DI5 and mode reads: they show the same-card
// read texts.
const Operation kGetNoNc{
    .startMsg = msg::GetSameCard,
    .command = [](Context&) { return ParamGet(Param::Di5); },
    .onReply =
        [](Context& ctx) {
            const auto normallyOpen = ParamReply(ctx, Param::Di5);
            if (!normallyOpen)
                return false;
            // Anything but "1" is NC, shown as such so that the operator sees what was read.
            if (std::get<bool>(*normallyOpen))
                ctx.ui.rbNO->setChecked(true);
            else
                ctx.ui.rbNC->setChecked(true);
            return true;
        },
    .okMsg = msg::GetSameCardOk,
    .errorMsg = msg::GetSameCardError,
};

const Operation kSetMode{
    .startMsg = msg::SetReaderMode,
    .command =
        [](Context& ctx) {
            return ParamSet(Param::Mode, reader::ModeValue{ctx.ui.cmbRS485->currentIndex(),
                                                           ctx.ui.cmbWiegand->currentIndex()});
        },
    .okMsg = msg::SetReaderModeOk,
    .errorMsg = msg::SetReaderModeError,
};

const Operation kGetMode{
    .startMsg = msg::GetSameCard,
    .command = [](Context&) { return ParamGet(Param::Mode); },
    .onReply =
        [](Context& ctx) {
            const auto decoded = ParamReply(ctx, Param::Mode);
            if (!decoded)
                return false;
            // Digits that name no entry would leave a list without a selection, and no mode command
            // could be built afterwards.
            const auto& mode = std::get<reader::ModeValue>(*decoded);
            if (mode.rs485 >= ctx.ui.cmbRS485->count() ||
                mode.wiegand >= ctx.ui.cmbWiegand->count())
                return false;
            ctx.ui.cmbWiegand->setCurrentIndex(mode.wiegand);
            ctx.ui.cmbRS485->setCurrentIndex(mode.rs485);
            return true;
        },
    .okMsg = msg::GetSameCardOk,
    .errorMsg = msg::GetSameCardError,
};

const Operation kSetId2{
    .startMsg = msg::SetId2,
    .command = [](Context& ctx) { return ParamSet(Param::Id2, ctx.ui.sbID2->value()); },
    .okMsg = msg::SetId2Ok,
    .errorMsg = msg::SetId2Error,
};

const Operation kGetId2{
    .startMsg = msg::GetId2,
    .command = [](Context&) { return ParamGet(Param::Id2); },
    .onReply =
        [](Context& ctx) {
            const auto id2 = ParamReply(ctx, Param::Id2); // held to the bar's range
            if (!id2)
                return false;
            ctx.ui.sbID2->setValue(std::get<int>(*id2));
            return true;
        },
    .okMsg = msg::GetId2Ok,
    .errorMsg = msg::GetId2Error,
};

} // namespace

static void sbSameCardChange(Context& ctx) {
    ShowNumber(ctx.ui.pnSameCard, "%04d", ctx.ui.sbSameCard->value());
}

// One way only: the entry/exit bar drives the main one, not the other way round.
static void sbSameCard2Change(Context& ctx) {
    ShowNumber(ctx.ui.pnSameCard2, "%04d", ctx.ui.sbSameCard2->value());
    ctx.ui.sbSameCard->setValue(ctx.ui.sbSameCard2->value());
}

static void sbID2Change(Context& ctx) {
    ShowNumber(ctx.ui.pnID2, "%02d", ctx.ui.sbID2->value());
}

std::span<const Handler> CardRulesHandlers() {
    static const Handler rows[] = {
        {"btnSameCardClick", "btnSameCard", Event::Click, &kSetSameCard},
        {"btnSameCard2Click", "btnSameCard2", Event::Click, &kSetSameCard},
        {"btnGetSameCardClick", "btnGetSameCard", Event::Click, &kGetSameCard},
        {"btnGetSameCard2Click", "btnGetSameCard2", Event::Click, &kGetSameCard},
        {"btnNoNcClick", "btnNoNc", Event::Click, &kSetNoNc},
        {"btnGetNoNcClick", "btnGetNoNc", Event::Click, &kGetNoNc},
        {"btnModeClick", "btnMode", Event::Click, &kSetMode},
        {"btnGetModeClick", "btnGetMode", Event::Click, &kGetMode},
        {"btnSerID2Click", "btnSerID2", Event::Click, &kSetId2},
        {"btnGetID2Click", "btnGetID2", Event::Click, &kGetId2},
        {"sbSameCardChange", "sbSameCard", Event::Change, nullptr, sbSameCardChange},
        {"sbSameCard2Change", "sbSameCard2", Event::Change, nullptr, sbSameCard2Change},
        {"sbID2Change", "sbID2", Event::Change, nullptr, sbID2Change},
    };
    return rows;
}

} // namespace qv::ops
