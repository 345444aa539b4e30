#pragma once
// A file that one program appends to while it holds it: opened (created when missing), locked
// against every other opener that locks it too, read from its start, appended to with each write
// handed to the system at once. For the station's record files. One file per platform
// (locked_file_posix.cpp, locked_file_win32.cpp).

#include <memory>
#include <optional>
#include <string>

namespace qv::reader {

class LockedFile {
public:
    virtual ~LockedFile() = default;
    // The whole file as it stands, at most `limit` bytes; nullopt when it cannot be read or is
    // longer.
    virtual std::optional<std::string> readAll(std::size_t limit) = 0;
    // Appends `text` in full; false when the file did not take all of it (a full disk).
    virtual bool append(const std::string& text) = 0;
    virtual bool empty() = 0;
};

// Opens `path` (UTF-8) for reading and appending and locks it. nullptr with `error` in plain
// words: it cannot be created or opened, it is not a regular file (a device such as /dev/full
// never ends and takes nothing), or another program holds it.
std::unique_ptr<LockedFile> OpenLockedFile(const std::string& path, std::string& error);

} // namespace qv::reader
