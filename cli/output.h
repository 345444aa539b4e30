#pragma once
// Everything quorvane-cli prints, in one place: a result as JSON or as rows for people, tables,
// the one-line reasons on standard error, and the time stamps.

#include "reader/utc_time.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace qv::cli {

inline constexpr const char* kProgram = "quorvane-cli";

using Rows = std::vector<std::pair<std::string, std::string>>;
using Table = std::vector<std::vector<std::string>>;

// Bytes from the reader (serial number, version) or the command line need not be UTF-8: what is
// not is replaced, never thrown about.
std::string Dump(const nlohmann::ordered_json& doc, int indent = -1);

// "2026-01-31T08:15:00Z", with milliseconds when asked.
using reader::IsoUtcNow;

// Whether standard output is a terminal that shows colours (never on Windows).
bool StdoutIsTerminal();

class Output {
public:
    Output(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    bool asJson = false; // --json

    // The result document: JSON, or rows of "key  value" with the keys padded to one width.
    void emit(const nlohmann::ordered_json& doc, const Rows& rows);
    // The result document: JSON, or a table with a header line, every column padded.
    void emit(const nlohmann::ordered_json& doc, const Table& table);
    // One JSON line, flushed for a pipe (watch).
    void line(const nlohmann::ordered_json& doc);
    // A text line for people, flushed.
    void text(const std::string& line);
    // "quorvane-cli: <message>" on standard error.
    void warn(const std::string& message);
    // The end of a failed run: the reason on standard error, and under --json the document
    // {"ok": false, "exit": code, "error": message}.
    void failure(int code, const std::string& message);

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }

private:
    std::ostream& out_;
    std::ostream& err_;
};

} // namespace qv::cli
