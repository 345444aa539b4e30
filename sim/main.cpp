// quorvane-sim: a Quorvane reader on a pseudo-terminal. Prints the terminal's path first, then
// answers until SIGINT, SIGTERM or SIGHUP.

#include "link/ports/port_overrides.h"
#include "qv_version.h"
#include "sim/com_mapping.h"
#include "sim/options.h"
#include "sim/pty_host.h"

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
    if (options->version) {
        std::cout << "quorvane-sim " << qv::ProgramVersion << '\n';
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

    std::unique_ptr<qv::sim::ComMapping> mapping;
    if (options->comPort > 0) {
        const std::string store = qv::link::UserSettingsFile();
        if (store.empty()) {
            std::cerr << "quorvane-sim: no settings store (neither XDG_CONFIG_HOME nor HOME is "
                         "set) for --com\n";
            return 1;
        }
        mapping = qv::sim::ComMapping::Create(store, options->comPort, host.slavePath(), &error);
        if (!mapping) {
            std::cerr << "quorvane-sim: " << error << '\n';
            return 1;
        }
    }

    std::cout << host.slavePath() << std::endl; // flushed: scripts wait for this line
    std::atomic<bool> stop{false};
    host.serve(stop, wake[0]);
    if (options->verbose)
        std::cerr << "quorvane-sim: stopped\n";
    return 0; // `mapping` puts the earlier COM mapping back on the way out
}
