#pragma once
// The discovery sweep for scripts: every port given, each with every line setting given, one
// identity request per place; the ports are swept in parallel, one thread and one connection each.

#include "reader/connection.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace qv::reader {

struct ScanFind {
    // The line settings at which the reader answered; nullopt behind raw TCP, where they are
    // the server's and not known here.
    std::optional<std::string> settings;
    ReaderIdentity identity;
    std::optional<std::string> version; // nullopt: the reader did not answer "A00V"
};

struct PortScan {
    Place place;                                           // its settings field is not used
    link::SerialError openError = link::SerialError::None; // the port could not be opened
    std::string openErrorText; // why, with the device's detail (the adapters a selector matched)
    std::optional<ScanFind> find;
};

// One result per port, in the order given. `parallel` false sweeps the ports one after another,
// as the window does (for comparison). `stop` ends the sweep early at the next place.
std::vector<PortScan> Scan(const std::vector<Place>& ports,
                           const std::vector<std::string>& settings, TraceLog* trace,
                           const std::atomic<bool>& stop, bool parallel = true);

} // namespace qv::reader
