#include "link/transport/serial_posix.h"

#include "link/transport/read_wait.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::link {

namespace {

// A read or write error that means the device itself went away (an unplugged adapter, a
// pseudo-terminal whose other side closed), not a passing failure.
bool GoneError(int errnum) {
    return errnum == EIO || errnum == ENXIO || errnum == ENODEV;
}

std::optional<speed_t> SpeedFor(std::uint32_t baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return std::nullopt;
    }
}

tcflag_t CharacterSize(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

const char* NoPermissionText() {
    return "no permission (join the dialout group: sudo adduser $USER dialout, then log in again)";
}

SerialError TranslatePosixError(int errnum) {
    switch (errnum) {
    case 0:
        return SerialError::None;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        return SerialError::NoDevice;
    case ENOTTY:
        return SerialError::NotCharacterDevice;
    case EBUSY:
    case EWOULDBLOCK:
        return SerialError::InUse;
    case EACCES:
    case EPERM:
        return SerialError::AccessDenied;
    default:
        return SerialError::Other;
    }
}

termios BuildTermios(const termios& base, const LineSettings& settings) {
    termios t = base;
    // IUCLC too: a line left with upper case mapped to lower would turn "A01B..." into "a01b...".
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IUCLC | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CharacterSize(settings.dataBits) | CLOCAL | CREAD;
    if (settings.parity == 'e' || settings.parity == 'o') {
        t.c_cflag |= PARENB;
        t.c_iflag |= INPCK;
        if (settings.parity == 'o')
            t.c_cflag |= PARODD;
    }
    if (settings.stopBits == 2)
        t.c_cflag |= CSTOPB;
    if (const auto speed = SpeedFor(settings.baud)) {
        cfsetispeed(&t, *speed);
        cfsetospeed(&t, *speed);
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return t;
}

PosixSerialDevice::~PosixSerialDevice() {
    close();
}

bool PosixSerialDevice::fail(int errnum) {
    error_ = TranslatePosixError(errnum);
    return false;
}

bool PosixSerialDevice::open(const std::string& path, const LineSettings& settings) {
    if (fd_ >= 0) {
        error_ = SerialError::AlreadyOpen;
        return false;
    }
    // Look before opening: opening a FIFO or a socket path has effects of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return fail(errno);
    if (!S_ISCHR(info.st_mode))
        return fail(ENOTTY);

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    auto giveUp = [fd, this](int errnum) {
        ::close(fd);
        return fail(errnum);
    };
    // The path may have been swapped between the look and the open.
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return giveUp(ENOTTY);
    // flock holds even against root, whom TIOCEXCL does not stop.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return giveUp(errno);
    termios current{};
    if (::tcgetattr(fd, &current) != 0)
        return giveUp(errno); // a character device that is no terminal
    if (::ioctl(fd, TIOCEXCL) != 0)
        return giveUp(errno);

    savedVmin_ = current.c_cc[VMIN];
    savedVtime_ = current.c_cc[VTIME];
    ApplyWithParityFallback(settings, [&](const LineSettings& s) {
        const termios working = BuildTermios(current, s);
        return ::tcsetattr(fd, TCSANOW, &working) == 0;
    });
    fd_ = fd;
    next_ = end_ = 0;
    gone_ = false;
    error_ = SerialError::None;
    return true;
}

void PosixSerialDevice::close() {
    if (fd_ < 0)
        return;
    termios current{};
    if (::tcgetattr(fd_, &current) == 0) {
        current.c_cc[VMIN] = savedVmin_;
        current.c_cc[VTIME] = savedVtime_;
        ::tcsetattr(fd_, TCSANOW, &current);
    }
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
    gone_ = false;
    next_ = end_ = 0;
}

void PosixSerialDevice::write(const std::uint8_t* data, std::size_t count) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            gone_ = gone_ || GoneError(errno);
            return; // hung up or failed: the missing reply will tell
        }
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, -1) < 0 && errno != EINTR)
            return;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            gone_ = true;
            return;
        }
    }
}

std::optional<std::uint8_t> PosixSerialDevice::readByte() {
    MicroTimer& timer = SystemMicroTimer();
    const std::int64_t start = timer.nowUs();
    if (fd_ < 0) {
        WaitOutRead(timer, start);
        return std::nullopt;
    }
    if (next_ < end_)
        return received_[next_++];
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, 1);
    if (ready > 0 && (p.revents & POLLIN)) {
        const ssize_t n = ::read(fd_, received_.data(), received_.size());
        if (n > 0) {
            next_ = 1;
            end_ = static_cast<std::size_t>(n);
            return received_[0];
        }
        // End of file on a terminal is a hang-up; EAGAIN is another reader's byte.
        gone_ = gone_ || n == 0 || GoneError(errno);
        WaitOutRead(timer, start);
        return std::nullopt;
    }
    if (ready > 0)
        gone_ = true; // POLLHUP, POLLERR or POLLNVAL: the device went away
    if (ready != 0)
        WaitOutRead(timer, start); // that, or a failed poll
    return std::nullopt;
}

void PosixSerialDevice::purge() {
    next_ = end_ = 0;
    if (fd_ >= 0)
        ::tcflush(fd_, TCIOFLUSH);
}

std::unique_ptr<SerialDevice> MakeLocalSerialDevice() {
    return std::make_unique<PosixSerialDevice>();
}

} // namespace qv::link
