// quorvane-cli: the reader from a script. SIGINT and SIGTERM ask the running subcommand to end
// (watch stops after its poll cycle and closes the port); a second one ends the program at once.
#include "cli/app.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int signal) {
    g_stop = true;
    std::signal(signal, SIG_DFL);
}

} // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return qv::cli::RunCli(argc, argv, std::cin, std::cout, std::cerr, g_stop);
}
