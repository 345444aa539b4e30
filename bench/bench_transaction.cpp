// bench_transaction: what one transaction costs in real time and CPU against the simulated reader
// on a pseudo-terminal, through the same link, device, clock and sleeper as the program.
//
//   bench_transaction [--count N] [--seconds S] [--tag-seconds S]
//
// --count: "A00B" transactions timed (default 300); --seconds: length of each CPU run on a silent
// and on a hung-up line (default 10); --tag-seconds: length of each tag-loop run (default 10).
// CPU shares are of one core, for the benchmark's own thread (RUSAGE_THREAD); the simulator
// serves from another thread and is not counted.

#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"
#include "sim/pty_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace qv;
using Steady = std::chrono::steady_clock;

namespace {

constexpr double kSendPausesMs = 9.0; // 1 + 5 + 1 + 1 + 1 ms of pauses while sending a frame
constexpr double kCrWrittenMs = 8.0;  // the CR goes out after the first four pauses
constexpr double kReplyDelayMs = 2.0; // the simulator's reply delay (its default)
constexpr double kReplyLimitMs = 121.0;

// The earliest a transaction can return: the reply cannot be complete before the CR is written and
// the reader's delay has passed, nor can the call return before its last send pause has ended (a
// pseudo-terminal adds no wire time).
double TransactionFloorMs() {
    return std::max(kCrWrittenMs + kReplyDelayMs, kSendPausesMs);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double SecondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// A simulated reader on its own thread and a link on COM1 mapped to its terminal.
class Bench {
public:
    explicit Bench(bool holdSlave = true) { host.setHoldSlave(holdSlave); }
    ~Bench() {
        link.CommClose();
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    bool start() {
        std::string error;
        if (!host.open(&error)) {
            std::fprintf(stderr, "bench_transaction: %s\n", error.c_str());
            return false;
        }
        link.setPortMap({{1, host.slavePath()}});
        thread_ = std::thread([this] { host.serve(stop_); });
        return link.CommOpen(1, "19200,e,8,1");
    }

    sim::Reader reader;
    sim::PtyHost host{reader};
    link::PosixSerialDevice device;
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link{device, clock, sleeper};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

bool Latency(int count) {
    Bench bench;
    if (!bench.start())
        return false;
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = Steady::now();
        if (!bench.link.ReaderTransact("A00B"))
            ++failed;
        ms.push_back(SecondsSince(start) * 1000.0);
    }
    const double median = Percentile(ms, 0.5), p99 = Percentile(ms, 0.99);
    const double floor = TransactionFloorMs();
    std::printf("A00B transaction, %d runs (%d failed), simulator reply delay %.0f ms\n", count,
                failed, kReplyDelayMs);
    std::printf("  floor = max(CR written at %.0f ms + reply delay %.0f ms, send pauses %.0f ms) "
                "= %.1f ms\n",
                kCrWrittenMs, kReplyDelayMs, kSendPausesMs, floor);
    std::printf("  %-10s %10s %10s %10s\n", "", "median", "p99", "floor");
    std::printf("  %-10s %10.2f %10.2f %10.2f\n", "ms", median, p99, floor);
    std::printf("  %-10s %10.3f %10.3f %10.3f\n", "x floor", median / floor, p99 / floor, 1.0);
    return true;
}

// Transactions in a loop for `seconds`; prints the CPU share of one core they used.
void CpuOfWaits(Bench& bench, const char* label, double seconds) {
    int transactions = 0, answered = 0;
    const double cpu0 = CpuSeconds();
    const auto start = Steady::now();
    while (SecondsSince(start) < seconds) {
        answered += bench.link.ReaderTransact("A00B") ? 1 : 0;
        ++transactions;
    }
    const double wall = SecondsSince(start), cpu = CpuSeconds() - cpu0;
    std::printf("  %-26s %6.1f s %6d transactions (%d answered), %5.1f ms each, CPU %5.2f %%\n",
                label, wall, transactions, answered, wall * 1000.0 / transactions,
                100.0 * cpu / wall);
}

bool SilentAndHungUp(double seconds) {
    std::printf("\nReply waits with no reply, CPU share of one core:\n");
    {
        Bench bench;
        bench.reader.faults().silent = true;
        if (!bench.start())
            return false;
        CpuOfWaits(bench, "silent reader", seconds);
    }
    {
        Bench bench(false);
        bench.reader.faults().hangupAfter = 1;
        if (!bench.start())
            return false;
        bench.link.ReaderTransact("A00B"); // the last reply before the line drops
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        CpuOfWaits(bench, "after the far end hung up", seconds);
    }
    return true;
}

// The tag-reading loop's shape: 20 x (pump, sleep 1 ms), poll, and after a tag 20 ms then ack.
// Prints the poll rate against `floorMs` per cycle, and the CPU share of one core.
void TagLoop(Bench& bench, const char* label, double floorMs, double seconds) {
    int cycles = 0, tags = 0;
    const double cpu0 = CpuSeconds();
    const auto start = Steady::now();
    while (SecondsSince(start) < seconds) {
        for (int i = 0; i < 20; ++i) {
            bench.link.pumpEvents();
            bench.link.sleepMs(1);
        }
        ++cycles;
        if (!bench.link.ReaderTransact("A00I") || bench.link.reply().length() != 26)
            continue;
        ++tags;
        bench.link.sleepMs(20);
        bench.link.ReaderTransact("A00J");
    }
    const double wall = SecondsSince(start), cpu = CpuSeconds() - cpu0;
    const double rate = cycles / wall, floorRate = 1000.0 / floorMs;
    std::printf("  %-22s %8.2f %8.2f %8.3f %8.1f %7.2f %%\n", label, rate, floorRate,
                rate / floorRate, tags / wall, 100.0 * cpu / wall);
}

bool TagPolling(double seconds) {
    const double transaction = TransactionFloorMs();
    const double noTag = 20 + transaction;
    const double everyPoll = noTag + 20 + transaction;
    const double silent = 20 + kSendPausesMs + kReplyLimitMs - 1; // the clock counts whole ms
    std::printf("\nTag-reading loop against its floor (pump not connected to a window)\n");
    std::printf("  floor per cycle: no tag data 20 x 1 ms + poll %.0f ms = %.0f ms; a tag every "
                "poll adds 20 ms + ack %.0f ms = %.0f ms;\n  silent reader 20 ms + %.0f ms "
                "sending + at least %.0f ms of wait = %.0f ms\n",
                transaction, noTag, transaction, everyPoll, kSendPausesMs, kReplyLimitMs - 1,
                silent);
    std::printf("  %-22s %8s %8s %8s %8s %8s\n", "", "polls/s", "floor/s", "ratio", "tags/s",
                "CPU");
    {
        Bench bench;
        if (!bench.start())
            return false;
        TagLoop(bench, "no tag data", noTag, seconds);
    }
    {
        Bench bench;
        bench.reader.setTagStream({{"0000000000BC614E", "00000000FFFFFFFF"}, 1},
                                  bench.clock.nowMs());
        if (!bench.start())
            return false;
        TagLoop(bench, "a tag every poll", everyPoll, seconds);
    }
    {
        Bench bench;
        bench.reader.faults().silent = true;
        if (!bench.start())
            return false;
        TagLoop(bench, "silent reader", silent, seconds);
    }
    return true;
}

double Argument(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atof(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: bench_transaction [--count N] [--seconds S] [--tag-seconds S]\n");
            return 0;
        }
    const int count = std::max(1, int(Argument(argc, argv, "--count", 300)));
    const double seconds = Argument(argc, argv, "--seconds", 10);
    const double tagSeconds = Argument(argc, argv, "--tag-seconds", 10);
    if (!Latency(count) || !SilentAndHungUp(seconds) || !TagPolling(tagSeconds))
        return 1;
    return 0;
}
