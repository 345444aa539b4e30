#include "reader/station_log.h"

namespace qv::reader {

namespace {

// A log larger than this is no station's log (a million records is some 400 MB).
constexpr std::size_t kMaxLogBytes = std::size_t{1} << 30;

std::string Line(const nlohmann::ordered_json& doc) {
    // Bytes from the reader need not be UTF-8: replaced, never thrown about.
    return doc.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

bool IsText(const nlohmann::ordered_json& record, const char* key) {
    const auto it = record.find(key);
    return it != record.end() && it->is_string();
}

// What ToJson(StationRecord) writes and a restart relies on.
bool IsRecord(const nlohmann::ordered_json& record) {
    if (!record.is_object() || !IsText(record, "time") || !IsText(record, "port") ||
        !IsText(record, "serial") || !IsText(record, "result"))
        return false;
    const auto result = record["result"].get<std::string>();
    const auto id = record.find("id");
    const auto next = record.find("next_id");
    return (result == "pass" || result == "fail") && id != record.end() &&
           (id->is_string() || id->is_null()) &&
           (next == record.end() || next->is_number_integer());
}

} // namespace

std::unique_ptr<StationLog> StationLog::Open(const std::string& log,
                                             const std::optional<std::string>& csv,
                                             std::string& error) {
    std::unique_ptr<StationLog> files(new StationLog());
    files->logName_ = log;
    std::string why;
    files->log_ = OpenLockedFile(log, why);
    if (!files->log_) {
        error = log + ": " + why;
        return nullptr;
    }
    if (csv) {
        files->csv_ = OpenLockedFile(*csv, why);
        if (!files->csv_) {
            error = *csv + ": " + why;
            return nullptr;
        }
        if (files->csv_->empty() && !files->csv_->append(CsvHeader() + '\n')) {
            error = *csv + ": cannot be written";
            return nullptr;
        }
    }
    return files;
}

bool StationLog::resume(IdSequence* ids, std::string& error) {
    const auto text = log_->readAll(kMaxLogBytes);
    if (!text) {
        error = logName_ + ": cannot be read";
        return false;
    }
    std::size_t start = 0;
    for (int number = 1; start < text->size(); ++number) {
        const auto end = text->find('\n', start);
        const std::string line =
            text->substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text->size() : end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        const auto record = nlohmann::ordered_json::parse(line, nullptr, false);
        if (!IsRecord(record)) {
            error = logName_ + ": line " + std::to_string(number) + " is not a station record";
            return false;
        }
        if (ids)
            ids->resume(record);
    }
    return true;
}

bool StationLog::write(const StationRecord& record) {
    const bool logged = log_->append(Line(ToJson(record)));
    const bool copied = !csv_ || csv_->append(CsvLine(record) + '\n');
    return logged && copied;
}

} // namespace qv::reader
