#pragma once
// Command-line options of quorvane-sim, parsed into the reader's start state and faults.

#include "sim/reader.h"

#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

struct Options {
    ReaderState state;
    Faults faults;
    TagStream tags;
    std::uint32_t replyDelayMs = 2;
    int comPort = 0; // 0: leave the settings store alone
    bool verbose = false;
    bool help = false;
    bool version = false; // print the program's version
};

// Parses argv[1..]; nullopt with `error` set for anything it does not understand.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error);

// One fault in its command-line form ("silent", "silent-for=V", "late=150", ...) added to `faults`.
bool ApplyFault(const std::string& text, Faults& faults);

// The text that --help prints.
std::string UsageText();

} // namespace qv::sim
