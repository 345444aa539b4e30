#pragma once
// The station's record files: the log (JSON lines, one record each, handed to the system as each
// reader ends) that a restarted station reads to go on with its reader IDs, and the optional CSV
// copy (its header once). A station holds its log locked while it runs: two stations on one log
// would hand out the same reader IDs.

#include "reader/locked_file.h"
#include "reader/station.h"

#include <memory>
#include <optional>
#include <string>

namespace qv::reader {

class StationLog {
public:
    // Opens (creates) both files for appending and locks them. nullptr with `error` naming the
    // file and why ("line.jsonl: in use by another station", "/dev/full: not a regular file").
    static std::unique_ptr<StationLog>
    Open(const std::string& log, const std::optional<std::string>& csv, std::string& error);
    // Takes up the records of the log into `ids` (when given). False with `error` for a line
    // that is not a station record: going on could give an ID twice.
    bool resume(IdSequence* ids, std::string& error);
    // Appends the record to both files; false when one did not take it.
    bool write(const StationRecord& record);

private:
    StationLog() = default;

    std::string logName_;
    std::unique_ptr<LockedFile> log_, csv_;
};

} // namespace qv::reader
