#pragma once
// The operation cycle that every set/get button runs, driven by a small description per
// operation, and the busy state (blinking link lamp) that discovery and tag reading use.

#include "link/protocol/exchange.h"
#include "operations/context.h"
#include "reader/parameters.h"

#include <QColor>
#include <QString>

class QLabel;

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::ops {

inline const QColor kYellow{255, 255, 0};
inline const QColor kRed{255, 0, 0};
inline constexpr int kHighBeepHz = 1000;
inline constexpr int kLowBeepHz = 300;
inline constexpr int kBeepMs = 300;

// What one operation does inside the cycle. Everything else (guard, cursor, window, port,
// report) is the cycle's.
struct Operation {
    int startMsg = 0; // row of the message shown first
    // When set, the start text is the message, " = " and this value. nullopt: the value cannot
    // be formed (no valid selection); the operation then fails without opening the port.
    std::function<std::optional<QString>(Context&)> value{};
    bool pumpAfterStart = false; // let the window paint the start text before the port opens
    // Opens the port at the settings where the reader last answered instead of ScanSettings.
    bool atReaderSettings = false;
    // A parameter's Set (its value from its controls, ops/bindings.h, or `fixed`) or, with
    // `readBack`, its Get (the reply shown in its controls): the command, the decoder and the
    // exchange are the parameter's row's (reader/parameters.h). `command` and `exchange` are then
    // not used.
    std::optional<reader::Param> param{};
    bool readBack = false;
    std::optional<reader::Value> fixed{};
    link::Exchange exchange = link::kSettingsExchange; // pauses, tries, identity step
    // Runs once, after the reader-found guard passed and before the start text is shown.
    std::function<void(Context&)> beforeStart{};
    // Built anew in every try, after the identity step, whose verified reply it is handed (an
    // empty reply without the step). nullopt: no command can be built; the try fails.
    std::function<std::optional<std::string>(Context&, const link::Reply& identity)> command{};
    // Runs after a verified reply to the command (after a Get has shown it). False: the try
    // fails.
    std::function<bool(Context&)> onReply{};
    // Runs once after the operation succeeded, the port closed, before the outcome is shown.
    std::function<void(Context&)> onSuccess{};
    int okMsg = 0;
    int errorMsg = 0;
};

// Runs `op` to its end: hourglass, window disabled, reader-found guard, start text, port open,
// tries, port closed once, lamp, status text, beep, window enabled, cursor restored. Refuses to
// start at all (nothing sent, nothing shown) while a tag-reading run holds the port.
void RunOperation(Context& ctx, const Operation& op);

// The message `k` in the language active now.
QString Text(const Context& ctx, int k);

// Lamp colour, status text, then the beep: the order in which every outcome is reported.
void Report(Context& ctx, const QColor& lamp, const QString& text, int beepHz);

// A value panel beside a scroll bar: `value` in the printf `format` ("%03d", "%04X" ...).
void ShowNumber(QLabel* panel, const char* format, int value);

// What the following link traffic belongs to ("Scan COM3 19200,e,8,1"), for the traffic log.
void LabelTraffic(Context& ctx, const QString& label);
// The same with the try's number: "Set Reader ID, try 2".
void LabelTry(Context& ctx, const QString& label, int number);

// An 8-bit text from the window (a panel caption) for a command.
std::string Latin1(const QString& text);

} // namespace qv::ops
