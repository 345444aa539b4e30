#include "operations/bindings.h"

#include "operations/cycle.h"

#include "link/protocol/commands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>
#include <cstring>

namespace qv::ops {

namespace {

using reader::Param;
using reader::Value;

std::optional<Value> Number(const QScrollBar* bar) {
    return Value(bar->value());
}

// The relay flag bits of the row (reader/parameters.h): enabled, KEY, MO.
constexpr int kEnabledBit = 1;
constexpr int kKeyBit = 2;
constexpr int kMoBit = 4;

int Flags(const QCheckBox* enabled, const QCheckBox* key, const QCheckBox* mo) {
    return (enabled->isChecked() ? kEnabledBit : 0) | (key->isChecked() ? kKeyBit : 0) |
           (mo->isChecked() ? kMoBit : 0);
}

void ShowFlags(int flags, QCheckBox* enabled, QCheckBox* key, QCheckBox* mo) {
    enabled->setChecked(flags & kEnabledBit);
    key->setChecked(flags & kKeyBit);
    mo->setChecked(flags & kMoBit);
}

const ParamBinding kBindings[] = {
    {.param = Param::SameCard,
     .read = [](const Controls& ui) { return Number(ui.sbSameCard); },
     .show =
         [](Controls& ui, const Value& v) {
             ui.sbSameCard->setValue(std::get<int>(v));
             ui.sbSameCard2->setValue(std::get<int>(v));
         }},
    {.param = Param::Di5,
     .read = [](const Controls& ui) { return std::optional(Value(ui.rbNO->isChecked())); },
     .show =
         [](Controls& ui, const Value& v) {
             // Anything but "1" is NC (the row's decoder), shown as such so that the operator
             // sees what was read.
             (std::get<bool>(v) ? ui.rbNO : ui.rbNC)->setChecked(true);
         }},
    {.param = Param::Mode,
     .read =
         [](const Controls& ui) {
             return std::optional(Value(
                 reader::ModeValue{ui.cmbRS485->currentIndex(), ui.cmbWiegand->currentIndex()}));
         },
     .show =
         [](Controls& ui, const Value& v) {
             const auto& mode = std::get<reader::ModeValue>(v);
             ui.cmbWiegand->setCurrentIndex(mode.wiegand);
             ui.cmbRS485->setCurrentIndex(mode.rs485);
         }},
    {.param = Param::Rssi,
     .read = [](const Controls& ui) { return Number(ui.sbRSSI); },
     .show = [](Controls& ui, const Value& v) { ui.sbRSSI->setValue(std::get<int>(v)); }},
    {.param = Param::ExciterId,
     .read =
         [](const Controls& ui) {
             return std::optional(
                 Value(reader::ExciterValue{ui.sbExciterID1->value(), ui.sbExciterID2->value()}));
         },
     .show =
         [](Controls& ui, const Value& v) {
             ui.sbExciterID1->setValue(std::get<reader::ExciterValue>(v).id1);
             ui.sbExciterID2->setValue(std::get<reader::ExciterValue>(v).id2);
         }},
    {.param = Param::Id2,
     .read = [](const Controls& ui) { return Number(ui.sbID2); },
     .show = [](Controls& ui, const Value& v) { ui.sbID2->setValue(std::get<int>(v)); }},
    {.param = Param::Relays,
     .read =
         [](const Controls& ui) {
             reader::RelayValue relays;
             relays.flags[0] = Flags(ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo);
             relays.flags[1] = Flags(ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo);
             relays.time[0] = ui.sbRL1->value();
             relays.time[1] = ui.sbRL2->value();
             return std::optional(Value(relays));
         },
     .show =
         [](Controls& ui, const Value& v) {
             const auto& relays = std::get<reader::RelayValue>(v);
             ShowFlags(relays.flags[0], ui.chkRL1En, ui.chkRL1Key, ui.chkRL1Mo);
             ShowFlags(relays.flags[1], ui.chkRL2En, ui.chkRL2Key, ui.chkRL2Mo);
             ui.sbRL1->setValue(relays.time[0]);
             ui.sbRL2->setValue(relays.time[1]);
         }},
    // The ID sent is the panel's caption: right after a discovery it is what the reader said,
    // before the bar is touched.
    {.param = Param::Id,
     .read = [](const Controls& ui) { return std::optional(Value(Latin1(ui.pnID->text()))); }},
    {.param = Param::Baud,
     .read = [](const Controls& ui) -> std::optional<Value> {
         const int index = ui.cmbBaudRate->currentIndex();
         return link::IsSettingsIndex(index) ? std::optional(Value(index)) : std::nullopt;
     }},
    {.param = Param::Gain, .read = [](const Controls& ui) { return Number(ui.sbGainLevel); }},
    // Two buttons, each with its own value.
    {.param = Param::Beep, .read = [](const Controls&) { return std::optional<Value>(); }},
};

const BarBinding kBars[] = {
    {"sbIDChange", "sbID", &Controls::sbID, &Controls::pnID, "%02d", Param::Id},
    // The same-card and exciter panels show the value in the digits the command sends.
    {"sbSameCardChange", "sbSameCard", &Controls::sbSameCard, &Controls::pnSameCard, nullptr,
     Param::SameCard},
    // One way only: the entry/exit bar drives the main one, not the other way round.
    {"sbSameCard2Change", "sbSameCard2", &Controls::sbSameCard2, &Controls::pnSameCard2, nullptr,
     Param::SameCard, &Controls::sbSameCard},
    {"sbID2Change", "sbID2", &Controls::sbID2, &Controls::pnID2, "%02d", Param::Id2},
    {"sbRSSIChange", "sbRSSI", &Controls::sbRSSI, &Controls::pnRSSI, "%03d", Param::Rssi},
    {"sbGainLevelChange", "sbGainLevel", &Controls::sbGainLevel, &Controls::pnGain, "%d",
     Param::Gain},
    {"sbExciterID1Change", "sbExciterID1", &Controls::sbExciterID1, &Controls::pnExciterID1,
     nullptr, Param::ExciterId},
    {"sbExciterID2Change", "sbExciterID2", &Controls::sbExciterID2, &Controls::pnExciterID2,
     nullptr, Param::ExciterId},
    {"sbRL1Change", "sbRL1", &Controls::sbRL1, &Controls::pnRL1, "%d", Param::Relays},
    {"sbRL2Change", "sbRL2", &Controls::sbRL2, &Controls::pnRL2, "%d", Param::Relays},
    {"sbAddrChange", "sbAddr", &Controls::sbAddr, &Controls::pnAddr, "%03d", std::nullopt},
    {"sbFreqChange", "sbFreq", &Controls::sbFreq, &Controls::pnFreq, "%03d", std::nullopt},
    {"sbChannelChange", "sbChannel", &Controls::sbChannel, &Controls::pnChannel, "%03d",
     std::nullopt},
};

} // namespace

const ParamBinding& BindingOf(reader::Param param) {
    return *std::find_if(std::begin(kBindings), std::end(kBindings),
                         [&](const ParamBinding& b) { return b.param == param; });
}

std::span<const BarBinding> Bars() {
    return kBars;
}

const BarBinding* FindBar(const char* bar) {
    for (const BarBinding& b : kBars)
        if (std::strcmp(b.bar, bar) == 0)
            return &b;
    return nullptr;
}

void ShowBar(Context& ctx, const BarBinding& bar) {
    const QScrollBar* control = ctx.ui.*bar.control;
    ShowNumber(ctx.ui.*bar.panel, bar.format ? bar.format : reader::RowOf(*bar.param).digits,
               control->value());
    if (bar.drives)
        (ctx.ui.*bar.drives)->setValue(control->value());
}

} // namespace qv::ops
