#pragma once
// The station's record files: the log (JSON lines, one record each, flushed) that a restarted
// station reads to go on with its reader IDs, and the optional CSV copy (its header once).

#include "reader/station.h"

#include <fstream>
#include <optional>
#include <string>

namespace qv::cli {

// Takes up the records of an existing log into `ids`. A missing log is an empty one; a line
// that is not a JSON object ends with exit 2 (going on could give an ID twice).
void ResumeFromLog(const std::string& path, reader::IdSequence* ids);

class StationLog {
public:
    // Opens both files for appending; one that cannot be opened ends with exit 2.
    StationLog(const std::string& log, const std::optional<std::string>& csv);
    void write(const reader::StationRecord& record);

private:
    std::ofstream log_, csv_;
};

} // namespace qv::cli
