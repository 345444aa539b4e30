#pragma once
// How the window holds each reader parameter: which controls give its value to a Set and show
// what a Get read back, and which scroll bars show their position in which panel and format. The
// parameter's bounds, commands, decoder and exchanges are its row's (reader/parameters.h); the
// controls' are here, once.

#include "operations/context.h"
#include "operations/controls.h"
#include "reader/parameters.h"

#include <optional>
#include <span>

class QLabel;
class QScrollBar;

namespace qv::ops {

struct ParamBinding {
    reader::Param param;
    // The value the controls hold now; nullopt when none can be formed (nothing selected).
    std::optional<reader::Value> (*read)(const Controls& ui) = nullptr;
    // Shows a value the reader reported; the row's decoder has held it to what the controls can
    // show. nullptr: the window has no Get for it.
    void (*show)(Controls& ui, const reader::Value& value) = nullptr;
};
// The binding of `param`; every parameter has one.
const ParamBinding& BindingOf(reader::Param param);

// The radio registers take one byte each.
inline constexpr reader::Bounds kRegisterBounds{0, 255};

// A scroll bar and the panel beside it that shows its position.
struct BarBinding {
    const char* handler; // its change handler's designed name, "sbRSSIChange"
    const char* bar;     // the bar's object name, "sbRSSI"
    QScrollBar* Controls::*control;
    QLabel* Controls::*panel;
    const char* format; // printf format of the panel, "%03d"; nullptr: the row's digits
    // The bounds of this parameter's row are the bar's range; nullopt: a radio register's.
    std::optional<reader::Param> param;
    // A bar whose position follows this one (the entry/exit column drives the main one).
    QScrollBar* Controls::*drives = nullptr;
};
std::span<const BarBinding> Bars();
// The binding of the bar named `bar`; nullptr when there is none.
const BarBinding* FindBar(const char* bar);
// A bar's change handler: its panel shows the position; a bar it drives follows it.
void ShowBar(Context& ctx, const BarBinding& bar);

} // namespace qv::ops
