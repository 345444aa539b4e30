// bench_com: what one identity transaction costs in real time on a COM port, through the
// platform's own serial device, clock and sleeper (the ones the program uses). Run it on Linux
// against the simulator, and cross-built under Wine against the same simulator, to compare.
//
//   bench_com [--port N] [--device PATH] [--settings TEXT] [--count N]
//
// --port: the COM number (default 1); --device: the device behind it (Linux: the simulator's
// terminal; Windows: a COM name such as COM3), else the platform's own COM table;
// --settings: the line settings (default 19200,e,8,1); --count: transactions timed (default 200).

#include "bench/bench_args.h"
#include "link/protocol/commands.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace qv;
using bench::Argument;
using Steady = std::chrono::steady_clock;

namespace {

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double MsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: bench_com [--port N] [--device PATH] [--settings TEXT] "
                        "[--count N]\n");
            return 0;
        }
    const int port = std::atoi(Argument(argc, argv, "--port", "1"));
    const std::string settings = Argument(argc, argv, "--settings", "19200,e,8,1");
    const int count = std::max(1, std::atoi(Argument(argc, argv, "--count", "200")));

    const auto device = link::MakePlatformSerialDevice();
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link(*device, clock, sleeper);
    if (const char* path = Argument(argc, argv, "--device", nullptr))
        link.setPortMap({{port, path}});
    if (!link.CommOpen(port, settings)) {
        std::fprintf(stderr, "bench_com: COM%d %s\n", port,
                     link::DescribeSerialError(link.lastOpenError()));
        return 1;
    }
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = Steady::now();
        if (!link.ReaderTransact(link::cmd::Identity()))
            ++failed;
        ms.push_back(MsSince(start));
    }
    const auto start = Steady::now();
    const bool answered = link.ReaderTransact("A99B"); // another reader's address: no answer
    const double silentMs = MsSince(start);
    link.CommClose();

    std::printf("identity transaction on COM%d, %s: %d runs, %d failed\n", port, settings.c_str(),
                count, failed);
    std::printf("  ms: median %.2f  p10 %.2f  p90 %.2f  p99 %.2f  (fixed pauses 9 ms)\n",
                Percentile(ms, 0.5), Percentile(ms, 0.1), Percentile(ms, 0.9),
                Percentile(ms, 0.99));
    std::printf("  a wait without reply: %.1f ms%s\n", silentMs, answered ? " (answered!)" : "");
    return failed == 0 ? 0 : 1;
}
