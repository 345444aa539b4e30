#pragma once
// The simulator's COM mapping in the program's settings store, without Qt. The store on Linux is
// an INI file that the window writes through Qt; the simulator edits only its [Ports] line for
// one COM number and keeps every other byte of the file as it was. A file it cannot parse as it
// was is never rewritten.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::sim {

// The raw value of COMn in the [Ports] section of `text` (as written, quotes and all), if any.
// nullopt for the text: see ParsesAsStore.
std::optional<std::string> RawPortValue(std::string_view text, int port);
// Every line is blank, a "[section]" or a "key=value": a store this editor can keep as it was.
bool ParsesAsStore(std::string_view text);
// `text` with COMn in [Ports] set to `rawValue`, or removed when it is nullopt. The text must
// parse (ParsesAsStore).
std::string WithPortValue(std::string_view text, int port,
                          std::optional<std::string_view> rawValue);
// `text` without the [Ports] mappings to pseudo-terminals (/dev/pts/...) that `exists` says are
// gone: what an earlier simulator left behind when it could not clean up.
std::string WithoutStaleMappings(std::string_view text,
                                 const std::function<bool(const std::string&)>& exists);

// Maps COMn to a terminal while it lives and puts the earlier value back when it goes, unless
// that was a mapping to a pseudo-terminal (another simulator's, alive or not): then the line is
// removed. Each edit holds the store's folder locked.
class ComMapping {
public:
    // nullptr with `error` set when the store cannot be parsed as it was, or written.
    static std::unique_ptr<ComMapping> Create(const std::string& file, int port,
                                              const std::string& terminal, std::string* error);
    // Puts back what was there before, if the line is still ours; a file that no longer parses
    // is left alone.
    ~ComMapping();
    ComMapping(const ComMapping&) = delete;
    ComMapping& operator=(const ComMapping&) = delete;

private:
    ComMapping(std::string file, int port, std::string terminal, std::optional<std::string> before)
        : file_(std::move(file)), port_(port), terminal_(std::move(terminal)),
          before_(std::move(before)) {}
    std::string file_;
    int port_;
    std::string terminal_;
    std::optional<std::string> before_;
};

} // namespace qv::sim
