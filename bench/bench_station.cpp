// bench_station: readers per minute through the production station on one port, against the
// floor: the fixed pauses of the profile's writes and read-backs (the reader model's exchanges),
// which no line speed can undercut. Goal: a round takes at most 1/0.9 of the floor.
//
//   bench_station [--readers N] [--settings TEXT]
//
// Simulated readers on pseudo-terminals, served in-process, one after another on the one port:
// each is unplugged once its record is written and the next is plugged in at the station's next
// look. The profile sets all seven backed-up parameters and a reader ID.

#include "reader/station.h"
#include "sim/pty_host.h"

#include "bench/bench_args.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace qv;
using bench::Argument;

namespace {

struct SimulatedReader {
    sim::Reader reader;
    sim::PtyHost host{reader};
    std::atomic<bool> stop{false};
    std::thread thread;
    ~SimulatedReader() {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

// The one port: a new simulated reader appears when the station looks after the last one went.
class BenchLine : public reader::StationLine {
public:
    explicit BenchLine(std::string settings) : settings_(std::move(settings)) {}
    std::string name() const override { return "bench"; }
    bool open() override {
        if (unplug_) {
            current_.reset();
            unplug_ = false;
            return false;
        }
        if (!current_ && !plugNext())
            return false;
        link_.setPortMap({{1, current_->host.slavePath()}});
        return link_.CommOpen(1, settings_);
    }
    void close() override { link_.CommClose(); }
    link::Link& link() override { return link_; }
    void unplug() { unplug_ = true; }

private:
    bool plugNext() {
        auto next = std::make_unique<SimulatedReader>();
        char serial[16];
        std::snprintf(serial, sizeof serial, "QVB%05d", ++plugged_);
        next->reader.state().serial = serial;
        next->host.setHoldSlave(true);
        std::string error;
        if (!next->host.open(&error)) {
            std::fprintf(stderr, "bench_station: %s\n", error.c_str());
            return false;
        }
        next->thread = std::thread([r = next.get()] { r->host.serve(r->stop); });
        current_ = std::move(next);
        return true;
    }

    std::string settings_;
    std::unique_ptr<SimulatedReader> current_;
    bool unplug_ = false;
    int plugged_ = 0;
    std::unique_ptr<link::SerialDevice> device_ = link::MakePlatformSerialDevice();
    link::SteadyClock clock_;
    link::ThreadSleeper sleeper_;
    link::Link link_{*device_, clock_, sleeper_};
};

std::vector<reader::ProfileItem> Profile() {
    const std::vector<std::pair<reader::Param, std::vector<std::string>>> words = {
        {reader::Param::SameCard, {"5"}},
        {reader::Param::Di5, {"NC"}},
        {reader::Param::Mode, {"40", "w34"}},
        {reader::Param::Rssi, {"120"}},
        {reader::Param::ExciterId, {"1234", "ff"}},
        {reader::Param::Id2, {"10"}},
        {reader::Param::Relays, {"enabled:10", "enabled+key:20"}}};
    std::vector<reader::ProfileItem> items;
    for (const auto& [param, w] : words) {
        std::string error;
        const auto value = reader::ParseWords(param, w, error);
        if (!value) {
            std::fprintf(stderr, "bench profile: %s\n", error.c_str());
            std::exit(2);
        }
        items.push_back({param, *value});
    }
    return items;
}

} // namespace

int main(int argc, char** argv) {
    if (bench::WantsHelp(argc, argv,
                         "usage: bench_station [--readers N] [--settings TEXT]\n"
                         "  Readers per minute through the station on one simulated port against\n"
                         "  the floor of its fixed pauses; exits 1 when a reader failed.\n"))
        return 0;
    const int readers = std::max(1, std::atoi(Argument(argc, argv, "--readers", "5")));
    const std::string settings = Argument(argc, argv, "--settings", "19200,e,8,1");

    reader::StationPlan plan;
    plan.items = Profile();
    plan.profile = "bench";
    plan.idFrom = 1;
    plan.count = readers;
    // The floor of what a round writes and reads: the profile, and the reader ID given last.
    auto floorItems = plan.items;
    floorItems.emplace_back(reader::Param::Id, std::string("01"));
    const double floorMs = reader::ProfileFloorMs(floorItems);

    BenchLine line(settings);
    std::vector<double> rounds;
    int failed = 0;
    const std::atomic<bool> stop{false};
    reader::Station station(
        plan, stop, [] { return std::string(); },
        [&](const reader::StationRecord& r) {
            rounds.push_back(static_cast<double>(r.durationMs));
            failed += r.passed ? 0 : 1;
            line.unplug();
            return true;
        });
    const auto summary = station.run({&line});

    std::sort(rounds.begin(), rounds.end());
    const double median = rounds.empty() ? 0 : rounds[rounds.size() / 2];
    std::printf("station, one port, %s: %d readers (%d failed), %zu parameters and a reader ID\n",
                settings.c_str(), readers, failed, plan.items.size());
    std::printf("  round   median %.0f ms  (min %.0f, max %.0f)\n", median, rounds.front(),
                rounds.back());
    std::printf("  floor   %.0f ms (fixed pauses of the writes and read-backs)\n", floorMs);
    std::printf("  readers per minute: %.2f measured, %.2f at the floor; ratio %.3f (goal 0.9)\n",
                60000.0 / median, 60000.0 / floorMs, floorMs / median);
    std::printf("  with plugging in and out (the 500 ms looks for a reader to go and the next to "
                "come): %.2f per minute\n",
                summary.readersPerHour() / 60.0);
    return failed == 0 ? 0 : 1;
}
