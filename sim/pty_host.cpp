#include "sim/pty_host.h"

#include "link/protocol/commands.h"
#include "link/time/system_time.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace qv::sim {

namespace {

constexpr std::size_t kStreamChunk = 4096; // refills the slave's input queue once per round
constexpr std::uint32_t kHangUpGraceMs = 50;

std::uint32_t SpeedToBaud(speed_t speed) {
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

} // namespace

std::uint32_t SettingsBaud(int settingsIndex) {
    if (!link::IsSettingsIndex(settingsIndex))
        return 0;
    const auto text = link::SettingsList[static_cast<std::size_t>(settingsIndex)];
    std::uint32_t baud = 0;
    for (char c : text.substr(0, text.find(',')))
        baud = baud * 10 + static_cast<std::uint32_t>(c - '0');
    return baud;
}

PtyHost::~PtyHost() {
    hangUp();
}

std::uint32_t PtyHost::nowMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool PtyHost::open(std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        hangUp();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0)
        return fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    slavePath_ = name;
    // Raw both ways, no echo: on Linux the master's termios calls reach the slave's settings.
    termios tio{};
    if (tcgetattr(master_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master_, TCSANOW, &tio);
    }
    if (holdSlave_) {
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slave_ < 0)
            return fail("open slave");
    }
    opened_ = true;
    return true;
}

std::uint32_t PtyHost::lineBaud() const {
    termios tio{};
    const int fd = slave_ >= 0 ? slave_ : master_;
    if (fd < 0 || tcgetattr(fd, &tio) != 0)
        return 0;
    return SpeedToBaud(cfgetospeed(&tio));
}

void PtyHost::hangUp() {
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
    pending_.clear();
}

void PtyHost::readLine() {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return;
        // At another speed the reader would only hear garbage; it keeps quiet.
        if (!lineMatches()) {
            dropped_ += static_cast<std::uint64_t>(n);
            if (onLog)
                onLog("dropped " + std::to_string(n) + " bytes at " + std::to_string(lineBaud()) +
                      " baud");
            continue;
        }
        const auto at = std::chrono::steady_clock::now();
        for (auto& reply : reader_.receive(buffer, static_cast<std::size_t>(n), nowMs()))
            pending_.push_back(
                {at + std::chrono::milliseconds(reply.delayMs), std::move(reply.bytes)});
        if (onLog) {
            const auto& log = reader_.log();
            for (; logged_ < log.size(); ++logged_)
                onLog(log[logged_]);
        }
    }
}

void PtyHost::sendDue() {
    const auto at = std::chrono::steady_clock::now();
    auto due = [at](const Pending& p) { return p.due <= at; };
    while (!pending_.empty() && due(pending_.front())) {
        auto& bytes = pending_.front().bytes;
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0)
            return; // the queue is full; try again next round
        bytes.erase(0, static_cast<std::size_t>(n));
        if (bytes.empty())
            pending_.erase(pending_.begin());
    }
    if (reader_.faults().stream) {
        const std::string chatter = reader_.streamBytes(kStreamChunk);
        [[maybe_unused]] const ssize_t n = ::write(master_, chatter.data(), chatter.size());
    }
    // Dropping the line at once would flush the last reply out of the slave's queue unread.
    if (reader_.hungUp() && pending_.empty()) {
        if (!hangUpAtMs_)
            hangUpAtMs_ = nowMs() + kHangUpGraceMs;
        else if (static_cast<std::int32_t>(nowMs() - *hangUpAtMs_) >= 0)
            hangUp();
    }
}

void PtyHost::step(int timeoutMs) {
    if (master_ < 0) {
        ::poll(nullptr, 0, timeoutMs);
        return;
    }
    using namespace std::chrono;
    microseconds wait = milliseconds(timeoutMs);
    if (!pending_.empty())
        wait = std::clamp(duration_cast<microseconds>(pending_.front().due - steady_clock::now()),
                          microseconds(0), wait);
    if (reader_.faults().stream)
        wait = std::min<microseconds>(wait, milliseconds(1));
    pollfd fd{master_, POLLIN, 0};
    const timespec timeout{static_cast<time_t>(wait.count() / 1000000),
                           static_cast<long>(wait.count() % 1000000) * 1000};
    const int ready = ::ppoll(&fd, 1, &timeout, nullptr);
    if (ready > 0 && (fd.revents & POLLIN))
        readLine();
    else if (ready > 0)
        ::poll(nullptr, 0, 1); // nobody holds the slave: hung-up master, don't spin
    sendDue();
}

void PtyHost::serve(const std::atomic<bool>& stop, int wakeFd) {
    link::LowerTimerSlack(); // replies leave when due, not 50 µs later
    while (!stop.load()) {
        if (wakeFd >= 0) {
            pollfd wake{wakeFd, POLLIN, 0};
            if (::poll(&wake, 1, 0) > 0)
                return;
        }
        step(5);
    }
}

} // namespace qv::sim
