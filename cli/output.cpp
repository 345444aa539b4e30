#include "cli/output.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qv::cli {

using json = nlohmann::ordered_json;

std::string Dump(const json& doc, int indent) {
    return doc.dump(indent, ' ', false, json::error_handler_t::replace);
}

bool StdoutIsTerminal() {
#ifdef _WIN32
    return false;
#else
    return isatty(STDOUT_FILENO) == 1;
#endif
}

void Output::emit(const json& doc, const Rows& rows) {
    if (asJson) {
        out_ << Dump(doc, 2) << '\n';
        return;
    }
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    for (const auto& [key, value] : rows)
        out_ << key << std::string(width - key.size() + 2, ' ') << value << '\n';
}

void Output::emit(const json& doc, const Table& table) {
    if (asJson) {
        out_ << Dump(doc, 2) << '\n';
        return;
    }
    std::vector<std::size_t> widths;
    for (const auto& row : table) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : table) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += row[i] + (i + 1 < row.size() ? std::string(widths[i] - row[i].size() + 2, ' ')
                                                 : std::string());
        out_ << line << '\n';
    }
}

void Output::line(const json& doc) {
    out_ << Dump(doc) << std::endl;
}

void Output::text(const std::string& line) {
    out_ << line << std::endl;
}

void Output::warn(const std::string& message) {
    err_ << kProgram << ": " << message << std::endl;
}

void Output::failure(int code, const std::string& message) {
    warn(message);
    if (asJson)
        out_ << Dump({{"ok", false}, {"exit", code}, {"error", message}}) << '\n';
}

} // namespace qv::cli
