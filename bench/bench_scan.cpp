// bench_scan: the full discovery sweep of quorvane-cli, 16 ports x 12 line settings, ports in
// parallel (one thread and one link each) against the same sweep with the ports tried one after
// another, as the window sweeps them.
//
//   bench_scan [--sequential-too]
//
// 16 simulated readers on pseudo-terminals, served in-process: one answers at the last setting
// of the list (115200,e,8,1: the worst case, every setting is tried on every port), the other 15
// keep silent, so that every place costs its full identity wait. Without --sequential-too the
// sequential time is computed from the measured cost of one place; with it, it is measured too
// (about 45 s).

#include "bench/bench_args.h"
#include "link/protocol/commands.h"
#include "reader/scan.h"
#include "sim/pty_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace qv;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kPorts = 16;
constexpr int kReaderPort = 9; // 0-based index of the port with the answering reader

struct SimulatedPort {
    sim::Reader reader;
    sim::PtyHost host{reader};
    std::thread thread;
};

double SecondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// One sweep; prints its time and what it found. Returns the seconds it took.
// Sweeps that found no reader: the bench then ends with exit status 1.
int g_failures = 0;

double Sweep(const char* label, const std::vector<reader::Place>& places, bool parallel) {
    const std::vector<std::string> settings(link::SettingsList.begin(), link::SettingsList.end());
    const std::atomic<bool> stop{false};
    const auto start = Steady::now();
    const auto results = reader::Scan(places, settings, nullptr, stop, parallel);
    const double seconds = SecondsSince(start);
    int found = 0;
    std::string where;
    if (std::none_of(results.begin(), results.end(), [](const auto& r) { return r.find; }))
        ++g_failures;
    for (const auto& r : results)
        if (r.find) {
            ++found;
            where = r.place.port + " at " + r.find->settings.value_or("the server's settings");
        }
    std::printf("  %-38s %7.2f s   readers found: %d %s\n", label, seconds, found, where.c_str());
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (bench::WantsHelp(
            argc, argv,
            "usage: bench_scan [--sequential-too]\n"
            "  A discovery sweep of 16 simulated ports, one reader among them, in\n"
            "  parallel and of the reader's port alone; exits 1 when a sweep missed it.\n"))
        return 0;
    const bool measureSequential = argc > 1 && std::strcmp(argv[1], "--sequential-too") == 0;
    std::vector<std::unique_ptr<SimulatedPort>> ports;
    std::atomic<bool> stop{false};
    std::vector<reader::Place> places;
    for (int i = 0; i < kPorts; ++i) {
        auto port = std::make_unique<SimulatedPort>();
        if (i == kReaderPort)
            port->reader.state().settingsIndex = 11;
        else
            port->reader.faults().silent = true;
        std::string error;
        if (!port->host.open(&error)) {
            std::fprintf(stderr, "bench_scan: %s\n", error.c_str());
            return 1;
        }
        auto place = reader::MakePlace(port->host.slavePath(), "19200,e,8,1", {}, error);
        place->port = "COM" + std::to_string(i + 1); // labels only
        places.push_back(*place);
        port->thread = std::thread([&stop, host = &port->host] { host->serve(stop); });
        ports.push_back(std::move(port));
    }

    std::printf("Discovery sweep, %d ports x %zu settings, one reader (found at the last "
                "setting), 15 silent\n",
                kPorts, link::SettingsList.size());
    const double parallel = Sweep("parallel (one thread per port)", places, true);
    const double onePort = Sweep("one port alone (the reader's)", {places[kReaderPort]}, true);
    const double perPlace = onePort / double(link::SettingsList.size());
    std::printf("  %-38s %7.2f s   (%d places x %.0f ms per place)\n", "sequential, computed",
                perPlace * kPorts * double(link::SettingsList.size()),
                kPorts * int(link::SettingsList.size()), perPlace * 1000.0);
    if (measureSequential)
        Sweep("sequential (ports one after another)", places, false);
    std::printf("  parallel / one port: %.2f\n", parallel / onePort);

    stop = true;
    for (auto& port : ports)
        port->thread.join();
    if (g_failures > 0)
        std::fprintf(stderr, "bench_scan: %d sweeps found no reader\n", g_failures);
    return g_failures > 0 ? 1 : 0;
}
