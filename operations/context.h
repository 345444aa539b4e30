#pragma once
// Everything a reader operation works with: the link, the window's controls, the program-wide
// values and the beeper. The window owns one and hands it to every handler.

#include "operations/controls.h"
#include "reader/tag_run.h"

#include <optional>
#include <vector>

namespace qv {

namespace link {
class Link;
}
struct ProgramValues;
class Beeper;
class TrafficLog;

struct Context {
    link::Link& link;
    Controls& ui;
    ProgramValues& values;
    Beeper& beeper;
    // The outputs last sent to the reader; a reader starts with both off.
    std::optional<reader::Outputs> SentOutputs = reader::Outputs{};
    // A tag run holds the port, open or (while its device is away) closed and waited for.
    bool TagRunHolding = false;
    // Where the operations say which operation and try the link's traffic belongs to; may be
    // absent.
    TrafficLog* traffic = nullptr;
    // Who hears of every tag a run shows and of every change of its reader, after the window's
    // own panels (the TAG history; a log or a publisher could listen here too).
    std::vector<reader::TagSink*> tagListeners = {};
};

} // namespace qv
