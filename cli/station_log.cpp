#include "cli/station_log.h"

#include "cli/output.h"
#include "cli/session.h"

#include <filesystem>

namespace qv::cli {

namespace {

std::ofstream AppendTo(const std::string& path) {
    std::ofstream file(PathOf(path), std::ios::binary | std::ios::app);
    if (!file)
        throw Failure{kExitUsage, path + ": cannot be written"};
    return file;
}

} // namespace

void ResumeFromLog(const std::string& path, reader::IdSequence* ids) {
    std::ifstream file(PathOf(path), std::ios::binary);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        const auto record = nlohmann::ordered_json::parse(line, nullptr, false);
        if (!record.is_object())
            throw Failure{kExitUsage,
                          path + ": line " + std::to_string(number) + " is not a station record"};
        if (ids)
            ids->resume(record);
    }
}

StationLog::StationLog(const std::string& log, const std::optional<std::string>& csv)
    : log_(AppendTo(log)) {
    if (!csv)
        return;
    std::error_code error;
    const auto path = PathOf(*csv);
    const bool fresh =
        !std::filesystem::exists(path, error) || std::filesystem::file_size(path, error) == 0;
    csv_ = AppendTo(*csv);
    if (fresh)
        csv_ << reader::CsvHeader() << '\n' << std::flush;
}

void StationLog::write(const reader::StationRecord& record) {
    log_ << Dump(reader::ToJson(record)) << '\n' << std::flush;
    if (csv_.is_open())
        csv_ << reader::CsvLine(record) << '\n' << std::flush;
}

} // namespace qv::cli
