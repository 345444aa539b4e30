// bench_traffic_log: what the traffic log costs a transaction. The same transactions run with the
// link's trace off and with the traffic log on it, in alternating rounds:
//
// 1. on a device that answers from memory and a virtual clock: no real waiting and no system
//    calls, so what is measured is the log's own CPU cost per transaction, in microseconds;
// 2. on the simulated reader behind a pseudo-terminal, through the program's own device, clock
//    and sleeper: the CPU the transaction really costs the window's thread, off and on (the two
//    interleaved transaction by transaction), and the log's cost from (1) as a share of it.
//
//   bench_traffic_log [--count N] [--rounds R] [--pty-count N]
//
// --count: transactions per round in (1) (default 20000); --rounds: rounds of each case (default
// 7); --pty-count: transactions per round in (2) (default 150).

#include "bench/bench_support.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"
#include "program/traffic_log.h"
#include "sim/pty_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace qv;
using bench::Median;
using bench::ThreadCpuSeconds;
using bench::VirtualClock;

namespace {

// A reader that answers every complete command with `reply` 2 ms later, or never when `reply`
// is empty.
class MemoryReader : public bench::MemoryDevice {
public:
    using MemoryDevice::MemoryDevice;
    std::string reply;
    void write(const std::uint8_t* data, std::size_t count) override {
        if (count > 0 && data[count - 1] == '\r')
            queueReply(reply, 2);
    }
};

// CPU microseconds per transaction over `count` transactions.
double Round(link::Link& link, int count) {
    const double start = ThreadCpuSeconds();
    for (int i = 0; i < count; ++i)
        link.ReaderTransact("A00B");
    return (ThreadCpuSeconds() - start) * 1e6 / count;
}

struct Costs {
    double off = 0; // CPU microseconds per transaction, log off
    double on = 0;  // and on
};

// Rounds of `count` transactions on the open `link`, alternately without and with the log.
Costs Compare(link::Link& link, int count, int rounds) {
    TrafficLog log;
    log.setLabel("Scan COM1 19200,e,8,1, try 1");
    std::vector<double> off, on;
    int opens = 0;
    Round(link, std::max(1, count / 10)); // warm up
    for (int r = 0; r < rounds; ++r) {
        link.setTrace({});
        off.push_back(Round(link, count));
        // The window's sink: append, and look at the event kind as Tu does.
        link.setTrace([&log, &opens](const link::TraceEvent& event) {
            log.append(event);
            if (event.kind == link::TraceEvent::Kind::OpenFailed)
                ++opens;
        });
        on.push_back(Round(link, count));
    }
    link.setTrace({});
    if (opens != 0 || log.size() > log.capacity())
        std::printf("  (the log went wrong)\n");
    return {Median(off), Median(on)};
}

// The same, one transaction at a time: each pair runs one transaction without and one with the
// log (in turns, which first), each timed alone, so that a busy machine slows both alike.
Costs Interleaved(link::Link& link, int count, int rounds) {
    TrafficLog log;
    log.setLabel("Scan COM1 19200,e,8,1, try 1");
    const link::TraceSink sink = log.sink();
    std::vector<double> off, on;
    Round(link, std::max(1, count / 10)); // warm up
    for (int r = 0; r < rounds; ++r) {
        double offSeconds = 0, onSeconds = 0;
        for (int i = 0; i < 2 * count; ++i) {
            const bool logged = (i % 2 == 0) == (i / 2 % 2 == 0);
            link.setTrace(logged ? sink : link::TraceSink{});
            const double start = ThreadCpuSeconds();
            link.ReaderTransact("A00B");
            (logged ? onSeconds : offSeconds) += ThreadCpuSeconds() - start;
        }
        off.push_back(offSeconds * 1e6 / count);
        on.push_back(onSeconds * 1e6 / count);
    }
    link.setTrace({});
    return {Median(off), Median(on)};
}

// (1): the log's own cost per transaction.
double MemoryCase(const char* label, const std::string& reply, int count, int rounds) {
    VirtualClock clock;
    MemoryReader reader(clock);
    reader.reply = reply;
    link::Link link(reader, clock, clock);
    link.CommOpen(1, "19200,e,8,1");
    const Costs c = Compare(link, count, rounds);
    if (link.lastOutcome() != (reply.empty() ? link::Outcome::NoReply : link::Outcome::Verified))
        std::printf("  (%s: the transaction did not end as intended)\n", label);
    std::printf("  %-30s %10.3f %10.3f %10.3f\n", label, c.off, c.on, c.on - c.off);
    return c.on - c.off;
}

// (2): the simulated reader on a pseudo-terminal, served from another thread.
bool PtyCase(const char* label, bool silent, double logCostUs, int count, int rounds) {
    sim::Reader reader;
    reader.faults().silent = silent;
    sim::PtyHost host{reader};
    std::string error;
    if (!host.open(&error)) {
        std::fprintf(stderr, "bench_traffic_log: %s\n", error.c_str());
        return false;
    }
    std::atomic<bool> stop{false};
    std::thread serving([&] { host.serve(stop); });
    link::PosixSerialDevice device;
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link(device, clock, sleeper);
    link.setPortMap({{1, host.slavePath()}});
    bool ok = link.CommOpen(1, "19200,e,8,1");
    if (ok) {
        const Costs c = Interleaved(link, count, rounds);
        std::printf("  %-30s %10.2f %10.2f %+9.2f %%   log's cost from (1): %.3f %%\n", label,
                    c.off, c.on, 100.0 * (c.on - c.off) / c.off, 100.0 * logCostUs / c.off);
        link.CommClose();
    }
    stop = true;
    serving.join();
    return ok;
}

int Argument(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: bench_traffic_log [--count N] [--rounds R]\n");
            return 0;
        }
    const int count = Argument(argc, argv, "--count", 20000);
    const int rounds = Argument(argc, argv, "--rounds", 7);
    const int ptyCount = Argument(argc, argv, "--pty-count", 150);
    std::printf(
        "(1) CPU microseconds per \"A00B\" transaction on a reader in memory, virtual time;\n"
        "    median of %d rounds of %d\n",
        rounds, count);
    std::printf("  %-30s %10s %10s %10s\n", "", "log off", "log on", "log's cost");
    const double verifiedCost =
        MemoryCase("verified 16-byte reply", "\nB01BQV0000010D\r", count, rounds);
    const double silentCost = MemoryCase("no reply (120 empty reads)", "", count, rounds);
    std::printf("\n(2) CPU microseconds per transaction on the simulated reader behind a\n"
                "    pseudo-terminal, this thread only; median of %d rounds of %d\n",
                rounds, ptyCount);
    std::printf("  %-30s %10s %10s %10s\n", "", "log off", "log on", "measured");
    if (!PtyCase("verified 16-byte reply", false, verifiedCost, ptyCount, rounds) ||
        !PtyCase("silent reader", true, silentCost, ptyCount / 3 + 1, rounds))
        return 1;
    return 0;
}
