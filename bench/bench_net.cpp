// bench_net: a reader behind ser2net on the loopback (RFC 2217) against the same reader direct,
// one simulator on a pseudo-terminal for both.
//
//   bench_net [--count N] [--sweeps N]
//
// --count: "A00B" transactions timed each way on an open link (default 200); --sweeps: discovery
// sweeps of the one port over the twelve line settings each way, the reader answering at the last
// (default 3). Prints the medians and their ratio (network / direct). Needs ser2net on the PATH or
// in /usr/sbin; it is started on 127.0.0.1 at a free port and stopped by its process id.

#include "bench/bench_args.h"
#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "reader/scan.h"
#include "sim/pty_host.h"
#include "tests/support/loopback.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qv;
using Steady = std::chrono::steady_clock;

extern char** environ;

namespace {

double SecondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// ser2net fronting `pty` with two RFC 2217 accepters: one as ser2net comes (it gathers what the
// line sends for at least 1 ms before passing it on: chardelay), one with `chardelay: false`.
// Stopped by its pid.
class Server {
public:
    bool start(const std::string& pty) {
        port = test::FreeLoopbackPort();
        immediatePort = test::FreeLoopbackPort();
        config_ = "/tmp/bench_net_" + std::to_string(getpid()) + ".yaml";
        std::ofstream(config_) << "connection: &bench\n  accepter: telnet(rfc2217),tcp,127.0.0.1,"
                               << port << "\n  connector: serialdev," << pty << ",9600n81,local\n"
                               << "connection: &immediate\n"
                               << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << immediatePort
                               << "\n  connector: serialdev," << pty << ",9600n81,local\n"
                               << "  options:\n    chardelay: false\n";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::string program =
            access("/usr/sbin/ser2net", X_OK) == 0 ? "/usr/sbin/ser2net" : "ser2net";
        char* argv[] = {program.data(), const_cast<char*>("-n"), const_cast<char*>("-c"),
                        config_.data(), nullptr};
        const int spawned = posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return false;
        for (int i = 0; i < 100 && !(test::Listening(port) && test::Listening(immediatePort)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // Each probe made ser2net open the line once; let those opens and closes pass.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return test::Listening(port) && test::Listening(immediatePort);
    }
    ~Server() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!config_.empty())
            std::remove(config_.c_str());
    }
    static std::string Url(int p) { return "rfc2217://127.0.0.1:" + std::to_string(p); }
    int port = 0, immediatePort = 0;

private:
    pid_t pid_ = -1;
    std::string config_;
};

// Work that failed: the bench then ends with exit status 1.
int g_failures = 0;

// Median milliseconds of `count` "A00B" transactions on a link open at `where`.
double TransactionMs(const std::string& where, const std::string& settings, int count) {
    const auto device = link::MakePlatformSerialDevice();
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link(*device, clock, sleeper);
    link.setPortMap({{1, where}});
    if (!link.CommOpen(1, settings)) {
        std::fprintf(stderr, "bench_net: %s: %s\n", where.c_str(),
                     link::DescribeSerialError(link.lastOpenError()));
        ++g_failures;
        return 0;
    }
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = Steady::now();
        failed += link.ReaderTransact("A00B") ? 0 : 1;
        ms.push_back(SecondsSince(start) * 1000.0);
    }
    link.CommClose();
    if (failed) {
        std::fprintf(stderr, "bench_net: %s: %d transactions failed\n", where.c_str(), failed);
        ++g_failures;
    }
    return Median(ms);
}

// Median seconds of `sweeps` discovery sweeps of the one place `where`.
double SweepSeconds(const std::string& where, int sweeps) {
    const std::vector<std::string> settings(link::SettingsList.begin(), link::SettingsList.end());
    std::string error;
    const auto place = reader::MakePlace(where, "19200,e,8,1", {}, error);
    const std::atomic<bool> stop{false};
    std::vector<double> seconds;
    for (int i = 0; i < sweeps; ++i) {
        const auto start = Steady::now();
        const auto results = reader::Scan({*place}, settings, nullptr, stop, false);
        seconds.push_back(SecondsSince(start));
        if (results.empty() || !results[0].find) {
            std::fprintf(stderr, "bench_net: %s: the sweep found no reader\n", where.c_str());
            ++g_failures;
        }
    }
    return Median(seconds);
}

} // namespace

int main(int argc, char** argv) {
    if (bench::WantsHelp(
            argc, argv,
            "usage: bench_net [--count N] [--sweeps N]\n"
            "  A00B transactions and one-port sweeps on a simulated reader, direct and\n"
            "  behind ser2net (RFC 2217, with and without chardelay); exits 1 when a\n"
            "  transaction failed or a sweep found no reader.\n"))
        return 0;
    int count = 200, sweeps = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--count") == 0)
            count = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--sweeps") == 0)
            sweeps = std::max(1, std::atoi(argv[i + 1]));
    }
    sim::Reader reader;
    sim::PtyHost host{reader};
    host.setHoldSlave(true);
    std::string error;
    if (!host.open(&error)) {
        std::fprintf(stderr, "bench_net: %s\n", error.c_str());
        return 1;
    }
    std::atomic<bool> stop{false};
    std::thread serving([&] { host.serve(stop); });
    const std::string& pty = host.slavePath();
    const std::vector<std::string> settings(link::SettingsList.begin(), link::SettingsList.end());
    // Direct first: a probe of the server below makes it open the line, which would disturb a
    // direct measurement running at that moment.
    const double direct = TransactionMs(pty, "19200,e,8,1", count);
    reader.state().settingsIndex = 11; // the sweeps find it at the last of the twelve settings
    const double sweepDirect = SweepSeconds(pty, sweeps);
    reader.state().settingsIndex = 5;
    Server server;
    int status = 0;
    if (!server.start(pty)) {
        std::fprintf(stderr, "bench_net: ser2net did not start listening\n");
        status = 1;
    } else {
        double net[2], sweepNet[2];
        const int ports[2] = {server.port, server.immediatePort};
        // ser2net closes a line a moment after its client has gone, and until then refuses it to
        // the other accepter: a pause before each change of accepter.
        const auto settle = [] { std::this_thread::sleep_for(std::chrono::seconds(1)); };
        for (int i = 0; i < 2; ++i) {
            settle();
            net[i] = TransactionMs(Server::Url(ports[i]), "19200,e,8,1", count);
        }
        reader.state().settingsIndex = 11;
        for (int i = 0; i < 2; ++i) {
            settle();
            sweepNet[i] = SweepSeconds(Server::Url(ports[i]), sweeps);
        }
        std::printf("A00B transaction on an open link, %d runs each, median ms (goal <= 1.10)\n",
                    count);
        std::printf("  direct %.2f\n", direct);
        std::printf("  rfc2217, ser2net default  %.2f   ratio %.3f\n", net[0], net[0] / direct);
        std::printf("  rfc2217, chardelay: false %.2f   ratio %.3f\n", net[1], net[1] / direct);
        std::printf(
            "Sweep of one port over %zu settings, %d sweeps each, median s (goal <= 1.25)\n",
            settings.size(), sweeps);
        std::printf("  direct %.3f\n", sweepDirect);
        std::printf("  rfc2217, ser2net default  %.3f   ratio %.3f\n", sweepNet[0],
                    sweepNet[0] / sweepDirect);
        std::printf("  rfc2217, chardelay: false %.3f   ratio %.3f\n", sweepNet[1],
                    sweepNet[1] / sweepDirect);
    }
    stop = true;
    serving.join();
    return g_failures > 0 ? 1 : status;
}
