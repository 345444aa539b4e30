#pragma once
// The one list of the window's handlers. Each row names a handler, the control whose event runs
// it (by the control's object name) and what it runs: a description for the operation cycle, or a
// function of its own. The window connects every row; the tests iterate the same list. Adding a
// button means one description and one row.

#include "operations/context.h"

#include <span>
#include <string_view>

namespace qv::ops {

struct Operation;
struct BarBinding;

enum class Event {
    Click,   // a button's click
    Change,  // a scroll bar's position change
    CloseUp, // a drop-down list closing
    Timeout, // a timer's tick
};

struct Handler {
    const char* name;    // the handler's designed name, e.g. "btnIDClick"
    const char* control; // the object name of the control whose event runs it, e.g. "btnID"
    Event event;
    const Operation* operation = nullptr; // runs the operation cycle with this description, or
    void (*run)(Context&) = nullptr;      // runs this function, or
    const BarBinding* bar = nullptr;      // shows the bar's position (ops/bindings.h)
};

// Every row, in the order the groups are built.
std::span<const Handler> Handlers();
// The row of the handler called `name`; nullptr when there is none.
const Handler* FindHandler(std::string_view name);
// Runs one row's handler with the window's context.
void Run(Context& ctx, const Handler& handler);

// The rows of each group of operations, defined beside their descriptions; the scroll bars' change
// handlers come from their bindings (ops/bindings.h).
std::span<const Handler> DiscoveryHandlers();
std::span<const Handler> TagReadingHandlers();
std::span<const Handler> IdentityLinkHandlers();
std::span<const Handler> CardRulesHandlers();
std::span<const Handler> RadioSignalHandlers();
std::span<const Handler> RelayHandlers();

// Busy state and lamps shared by discovery and tag reading.
void SetBusy(Context& ctx, bool on);
void tmrBusyTimer(Context& ctx);

} // namespace qv::ops
