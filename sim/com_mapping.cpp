#include "sim/com_mapping.h"

#include "link/ports/port_overrides.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::sim {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

bool IsSection(std::string_view line) {
    line = Trim(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

std::string_view Key(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
}

std::string PortKey(int port) {
    return "COM" + std::to_string(port);
}

// Index of the COMn line in [Ports], or -1; `sectionEnd` is the index after [Ports]' last key
// line (-1 when there is no [Ports] section).
int FindPortLine(const std::vector<std::string_view>& lines, int port, int* sectionEnd) {
    const std::string key = PortKey(port);
    bool inPorts = false;
    int found = -1;
    *sectionEnd = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const auto line = lines[static_cast<std::size_t>(i)];
        if (IsSection(line)) {
            inPorts = Trim(line) == "[Ports]";
            if (inPorts)
                *sectionEnd = i + 1;
            continue;
        }
        if (!inPorts || Key(line).empty())
            continue;
        *sectionEnd = i + 1;
        if (Key(line) == key)
            found = i;
    }
    return found;
}

std::string Join(const std::vector<std::string>& lines, bool finalNewline) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (i + 1 < lines.size() || finalNewline)
            out += '\n';
    }
    return out;
}

std::optional<std::string> ReadFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno != ENOENT && errno != ENOTDIR) // no store yet; writing will tell
            *error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool MakeFolders(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        const std::string folder = file.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// Replaces `file` as a whole: a reader of the store sees the old text or the new, never a part.
bool WriteFile(const std::string& file, const std::string& text, std::string* error) {
    const std::string temporary = file + ".sim-" + std::to_string(::getpid());
    auto fail = [&] {
        *error = "cannot write the settings store " + file + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    };
    if (!MakeFolders(file))
        return fail();
    if (::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), W_OK) != 0)
        return fail(); // a read-only store stays read-only, even for a owner who could rename
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out)
        return fail();
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), file.c_str()) != 0)
        return fail();
    return true;
}

// Holds the store's folder locked while one simulator reads and rewrites the store: two that start
// or end at the same moment take turns instead of each writing back what it read.
class StoreLock {
public:
    explicit StoreLock(const std::string& file) {
        const auto slash = file.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            ::flock(fd_, LOCK_EX); // a store that cannot be locked is edited all the same
    }
    ~StoreLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    int fd_ = -1;
};

// A mapping to a pseudo-terminal is a simulator's: the one before ours is either a simulator
// still running, which then maps its number again itself, or one that is gone, whose terminal
// may by now belong to another program. Neither is ours to write back.
bool IsTerminalMapping(std::string_view raw) {
    const auto value = link::ParsePortOverrides("[Ports]\nCOM1=" + std::string(raw) + "\n");
    return value.count(1) && value.at(1).starts_with("/dev/pts/");
}

} // namespace

bool ParsesAsStore(std::string_view text) {
    for (const auto line : Lines(text))
        if (!Trim(line).empty() && !IsSection(line) && !IsComment(line) && Key(line).empty())
            return false;
    return true;
}

std::optional<std::string> RawPortValue(std::string_view text, int port) {
    const auto lines = Lines(text);
    int end = 0;
    const int at = FindPortLine(lines, port, &end);
    if (at < 0)
        return std::nullopt;
    const auto line = lines[static_cast<std::size_t>(at)];
    return std::string(line.substr(line.find('=') + 1));
}

std::string WithPortValue(std::string_view text, int port,
                          std::optional<std::string_view> rawValue) {
    const auto views = Lines(text);
    int end = -1;
    const int at = FindPortLine(views, port, &end);
    std::vector<std::string> lines(views.begin(), views.end());
    const bool finalNewline = text.empty() || text.back() == '\n';
    const std::string line = rawValue ? PortKey(port) + "=" + std::string(*rawValue) : "";
    if (at >= 0) {
        if (rawValue)
            lines[static_cast<std::size_t>(at)] = line;
        else
            lines.erase(lines.begin() + at);
    } else if (rawValue && end >= 0) {
        lines.insert(lines.begin() + end, line);
    } else if (rawValue) {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back(); // a blank line between sections, as the window writes them
        lines.emplace_back("[Ports]");
        lines.push_back(line);
    }
    return Join(lines, finalNewline);
}

std::string WithoutStaleMappings(std::string_view text,
                                 const std::function<bool(const std::string&)>& exists) {
    std::string out(text);
    for (const auto& [port, path] : link::ParsePortOverrides(text))
        if (path.starts_with("/dev/pts/") && !exists(path))
            out = WithPortValue(out, port, std::nullopt);
    return out;
}

std::unique_ptr<ComMapping> ComMapping::Create(const std::string& file, int port,
                                               const std::string& terminal, std::string* error) {
    error->clear();
    MakeFolders(file); // so that the folder can be locked
    const StoreLock lock(file);
    const auto text = ReadFile(file, error);
    if (!error->empty())
        return nullptr;
    const std::string current = text.value_or("");
    if (!ParsesAsStore(current)) {
        *error = "the settings store " + file +
                 " holds lines that are not settings; it is left as it is (no --com)";
        return nullptr;
    }
    const std::string cleaned = WithoutStaleMappings(current, [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    });
    auto before = RawPortValue(cleaned, port);
    if (before && IsTerminalMapping(*before))
        before.reset();
    // A terminal's path needs no quoting in the store.
    if (!WriteFile(file, WithPortValue(cleaned, port, terminal), error))
        return nullptr;
    return std::unique_ptr<ComMapping>(new ComMapping(file, port, terminal, std::move(before)));
}

ComMapping::~ComMapping() {
    std::string error;
    const StoreLock lock(file_);
    const auto text = ReadFile(file_, &error);
    if (!text || !ParsesAsStore(*text))
        return;
    const auto now = link::ParsePortOverrides(*text);
    const auto it = now.find(port_);
    if (it == now.end() || it->second != terminal_)
        return; // someone else has mapped the port since: theirs stays
    if (!WriteFile(file_, WithPortValue(*text, port_, before_), &error))
        std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
}

} // namespace qv::sim
