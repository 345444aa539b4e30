#include "reader/locked_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::reader {

namespace {

class PosixLockedFile : public LockedFile {
public:
    explicit PosixLockedFile(int fd) : fd_(fd) {}
    ~PosixLockedFile() override {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    PosixLockedFile(const PosixLockedFile&) = delete;
    PosixLockedFile& operator=(const PosixLockedFile&) = delete;

    std::optional<std::string> readAll(std::size_t limit) override {
        std::string text;
        char buffer[65536];
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(fd_, buffer, sizeof buffer, at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return std::nullopt;
            if (n == 0)
                return text;
            text.append(buffer, static_cast<std::size_t>(n));
            at += n;
            if (text.size() > limit)
                return std::nullopt;
        }
    }

    bool append(const std::string& text) override {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool empty() override {
        struct stat info {};
        return ::fstat(fd_, &info) == 0 && info.st_size == 0;
    }

private:
    int fd_;
};

} // namespace

std::unique_ptr<LockedFile> OpenLockedFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        error = e == EWOULDBLOCK ? "in use by another station" : std::strerror(e);
        return nullptr;
    }
    return std::make_unique<PosixLockedFile>(fd);
}

} // namespace qv::reader
