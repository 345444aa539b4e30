// quorvane-sim: a Quorvane reader on a pseudo-terminal. Prints the terminal's path first, then
// answers until SIGINT, SIGTERM or SIGHUP. Qt is used only for the settings store (--com).

#include "sim/options.h"
#include "sim/pty_host.h"

#include <QSettings>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

int g_wakeWrite = -1; // write end of the self-pipe; the signal handler only writes a byte to it

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wakeWrite, &byte, 1);
}

QString PortKey(int port) {
    return QStringLiteral("Ports/COM%1").arg(port);
}

// Maps COMn to the terminal while the simulator runs and puts the earlier mapping back after.
class ComMapping {
public:
    ComMapping(int port, const std::string& path) : port_(port) {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Quorvane_Tools");
        if (store.contains(PortKey(port_)))
            previous_ = store.value(PortKey(port_));
        store.setValue(PortKey(port_), QString::fromStdString(path));
        store.sync();
    }
    ~ComMapping() {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Quorvane_Tools");
        if (previous_)
            store.setValue(PortKey(port_), *previous_);
        else
            store.remove(PortKey(port_));
        store.sync();
    }
    ComMapping(const ComMapping&) = delete;
    ComMapping& operator=(const ComMapping&) = delete;

private:
    int port_;
    std::optional<QVariant> previous_;
};

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = qv::sim::ParseOptions({argv + 1, argv + argc}, &error);
    if (!options) {
        std::cerr << "quorvane-sim: " << error << "\nTry --help.\n";
        return 2;
    }
    if (options->help) {
        std::cout << qv::sim::UsageText();
        return 0;
    }

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("quorvane-sim: pipe");
        return 1;
    }
    g_wakeWrite = wake[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Ctrl-C, a kill, and the terminal window closing all end the run through the same door,
    // so that the COM mapping is put back. A reader of our output that goes away is no reason
    // to die on the spot either.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    qv::sim::Reader reader(options->state);
    reader.faults() = options->faults;
    reader.setReplyDelayMs(options->replyDelayMs);
    const auto start =
        static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count());
    reader.setTagStream(options->tags, start);

    qv::sim::PtyHost host(reader);
    host.setHoldSlave(options->faults.hangupAfter < 0);
    if (!host.open(&error)) {
        std::cerr << "quorvane-sim: " << error << '\n';
        return 1;
    }
    if (options->verbose)
        host.onLog = [](const std::string& text) { std::cerr << "quorvane-sim: " << text << '\n'; };

    std::optional<ComMapping> mapping;
    if (options->comPort > 0)
        mapping.emplace(options->comPort, host.slavePath());

    std::cout << host.slavePath() << std::endl; // flushed: scripts wait for this line
    std::atomic<bool> stop{false};
    host.serve(stop, wake[0]);
    if (options->verbose)
        std::cerr << "quorvane-sim: stopped\n";
    return 0; // `mapping` puts the earlier COM mapping back on the way out
}
