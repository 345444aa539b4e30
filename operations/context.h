#pragma once
// Everything a reader operation works with: the link, the window's controls, the program-wide
// values and the beeper. The window owns one and hands it to every handler.

#include "operations/controls.h"
#include "reader/tag_poll.h"

#include <optional>

namespace qv {

namespace link {
class Link;
}
struct ProgramValues;
class Beeper;
class TrafficLog;
class TagHistory;

struct Context {
    link::Link& link;
    Controls& ui;
    ProgramValues& values;
    Beeper& beeper;
    // The outputs last sent to the reader; a reader starts with both off.
    std::optional<reader::Outputs> SentOutputs = reader::Outputs{};
    // A tag run holds the port, open or (while its device is away) closed and waited for.
    bool TagRunHolding = false;
    // Where the operations say which operation and try the link's traffic belongs to, and where
    // tag reading records every tag it shows. Either may be absent.
    TrafficLog* traffic = nullptr;
    TagHistory* tags = nullptr;
};

} // namespace qv
