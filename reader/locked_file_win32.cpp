#include "reader/locked_file.h"

#include <windows.h>

namespace qv::reader {

namespace {

std::wstring Wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

class Win32LockedFile : public LockedFile {
public:
    explicit Win32LockedFile(HANDLE handle) : handle_(handle) {}
    ~Win32LockedFile() override { CloseHandle(handle_); }
    Win32LockedFile(const Win32LockedFile&) = delete;
    Win32LockedFile& operator=(const Win32LockedFile&) = delete;

    std::optional<std::string> readAll(std::size_t limit) override {
        std::string text;
        char buffer[65536];
        LARGE_INTEGER at{};
        for (;;) {
            OVERLAPPED where{};
            where.Offset = at.LowPart;
            where.OffsetHigh = static_cast<DWORD>(at.HighPart);
            DWORD n = 0;
            if (!ReadFile(handle_, buffer, sizeof buffer, &n, &where))
                return GetLastError() == ERROR_HANDLE_EOF ? std::optional(text) : std::nullopt;
            if (n == 0)
                return text;
            text.append(buffer, n);
            at.QuadPart += n;
            if (text.size() > limit)
                return std::nullopt;
        }
    }

    bool append(const std::string& text) override {
        DWORD written = 0;
        return WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) &&
               written == text.size();
    }

    bool empty() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(handle_, &size) && size.QuadPart == 0;
    }

private:
    HANDLE handle_;
};

} // namespace

std::unique_ptr<LockedFile> OpenLockedFile(const std::string& path, std::string& error) {
    // No sharing for writing: a second station's open fails while this one holds the file.
    const HANDLE handle =
        CreateFileW(Wide(path).c_str(), FILE_GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        error = e == ERROR_SHARING_VIOLATION ? "in use by another station" : "cannot be opened";
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        error = "not a regular file";
        return nullptr;
    }
    return std::make_unique<Win32LockedFile>(handle);
}

} // namespace qv::reader
