// bench_tag_history: what a growing tag history costs the window program, with the TAG history
// window shown (run it with QT_QPA_PLATFORM=offscreen where there is no display). The real
// window Tu runs Read TAG; the tags come from the simulated reader, a new one at every poll.
//
// 1. Feed, on the simulator's protocol core in memory and a virtual clock (no real waiting, so
//    what is measured is CPU): Read TAG runs until 10,000 and then 100,000 distinct tags were
//    read. Reported: CPU and wall microseconds per added tag on the window's thread (the whole
//    tag path: poll, decode, show, record, and the window's refreshes on its real 250 ms
//    timer), and at that size the time of one refresh of the window, painting included, after
//    one new tag and after one tag seen again from the middle of the history.
// 2. Poll rate, on the simulator behind a pseudo-terminal in real time: Read TAG for S seconds
//    with the history window never opened, then shown with none and with 5,000 tags already
//    held, in turns, R times. Reported: polls per second, the ratio of 5,000 held to none, and
//    the CPU share of the window's thread.
//
//   bench_tag_history [--sizes N,N...] [--seconds S] [--runs R] [--budget SECONDS]
//
// --budget bounds the wall time of each feed and of each size's refresh samples (default 120):
// a history that costs too much stops there and says how far it got.

#include "bench/bench_support.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"
#include "program/beeper.h"
#include "program/program_values.h"
#include "program/tag_history.h"
#include "shell/main_window.h"
#include "shell/tag_history_window.h"
#include "sim/pty_host.h"
#include "sim/reader.h"

#include <QApplication>
#include <QDateTime>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace qv;
using bench::Median;
using bench::ThreadCpuSeconds;
using bench::VirtualClock;

namespace {

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Identifiers 16 hex digits, distinct for distinct n.
std::string Id(std::uint64_t n) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(n));
    return text;
}

// The same source measures the history before and after it held its tags behind size().
template <typename History>
std::size_t Held(const History& history) {
    if constexpr (requires { history.size(); })
        return history.size();
    else
        return history.rows().size();
}

class SilentBeeper : public Beeper {
public:
    void beep(int, int) override {}
};

// The simulator's protocol core as a serial device in memory: what is written goes to the
// reader, its replies come back on the virtual clock.
class MemoryLine : public bench::MemoryDevice {
public:
    MemoryLine(sim::Reader& reader, VirtualClock& clock) : MemoryDevice(clock), reader_(reader) {}
    // Runs before each write reaches the reader.
    std::function<void()> beforeWrite;

    void write(const std::uint8_t* data, std::size_t count) override {
        if (beforeWrite)
            beforeWrite();
        for (const sim::Reply& reply : reader_.receive(data, count, clock_.nowMs()))
            queueReply(reply.bytes, reply.delayMs);
    }

private:
    sim::Reader& reader_;
};

// The window program's parts around one link: Tu with the TAG history window shown (or never
// opened), the reader found at COM1.
struct Program {
    link::Link& link;
    SilentBeeper beeper;
    ProgramValues values;
    Tu window{link, beeper, values};

    explicit Program(link::Link& l, bool showHistory = true) : link(l) {
        link.setEventPump([] { QCoreApplication::processEvents(); });
        window.FormShow();
        window.show();
        values.ScanPort = 1;
        values.ScanSettings = "19200,e,8,1";
        values.ScanSettingsIndex = 5;
        values.ReaderFound = true;
        if (showHistory)
            window.showTagHistory();
        QCoreApplication::processEvents();
    }
    TagHistory& history() { return window.tagHistory(); }
    // Read TAG; returns when the run ended (stop() from within it).
    void readTags() { window.controls().btnReadCard->click(); }
    void stop() {
        if (values.TagReadActive)
            window.controls().btnReadCard->click();
    }
};

// One refresh of the window after `change`, painting included: wall microseconds.
double TimedRefresh(Program& program, const std::function<void()>& change) {
    change();
    const double start = WallSeconds();
    program.window.tagHistoryWindow()->redraw();
    QCoreApplication::processEvents(); // layout and paint
    return (WallSeconds() - start) * 1e6;
}

// (1) Feeds distinct tags until `size` are held or the budget is spent.
void Feed(std::size_t size, double budget) {
    VirtualClock clock;
    sim::Reader reader;
    MemoryLine line(reader, clock);
    link::Link link(line, clock, clock);
    Program program(link);

    // A new tag waits at every poll, until the history holds `size` or the budget is spent.
    const double wallStart = WallSeconds();
    std::uint64_t next = 0;
    line.beforeWrite = [&] {
        if (Held(program.history()) >= size || WallSeconds() - wallStart > budget)
            program.stop();
        else if (reader.state().tags.empty())
            reader.state().tags.push_back(Id(0x10000000 + next++));
    };
    const double cpuStart = ThreadCpuSeconds();
    program.readTags();
    line.beforeWrite = {};
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double wall = WallSeconds() - wallStart;
    const std::size_t held = Held(program.history());
    std::printf("  %7zu tags: %7zu held after %6.1f s%s; per added tag %8.1f us CPU, %8.1f us "
                "wall\n",
                size, held, wall, held < size ? " (budget spent)" : "", cpu * 1e6 / double(held),
                wall * 1e6 / double(held));

    // Refreshes at this size: a new tag, then a tag from the middle seen again.
    std::vector<double> fresh, again;
    const double sampleStart = WallSeconds();
    for (int i = 0; i < 15 && WallSeconds() - sampleStart < budget; ++i) {
        const QDateTime now = QDateTime::currentDateTime();
        fresh.push_back(
            TimedRefresh(program, [&] { program.history().record(Id(0x20000000 + i), '0', now); }));
        again.push_back(TimedRefresh(program, [&] {
            program.history().record(Id(0x10000000 + next - held / 2 + std::uint64_t(i)), '1', now);
        }));
    }
    std::printf("  %7s       one refresh: %10.1f us after a new tag, %10.1f us after one seen "
                "again (median of %zu)\n",
                "", Median(fresh), Median(again), fresh.size());
}

struct Rate {
    double pollsPerSecond = 0;
    double cpuShare = 0; // of one core, the window's thread
};

// (2) Read TAG for `seconds` on the simulator behind a pseudo-terminal, `held` tags held first;
// `held` < 0: the history window never opened.
bool PollRun(int held, double seconds, double budget, Rate* rate) {
    sim::Reader reader;
    std::vector<std::string> ids;
    for (std::uint64_t n = 0; n < 20000; ++n)
        ids.push_back(Id(0x30000000 + n));
    sim::PtyHost host{reader};
    std::string error;
    if (!host.open(&error)) {
        std::fprintf(stderr, "bench_tag_history: %s\n", error.c_str());
        return false;
    }
    std::atomic<bool> stop{false};
    std::atomic<int> polls{0};
    host.onLog = [&polls](const std::string& text) {
        if (text == "A00I")
            ++polls;
    };
    link::PosixSerialDevice device;
    link::SteadyClock clock;
    link::ThreadSleeper sleeper;
    link::Link link(device, clock, sleeper);
    link.setPortMap({{1, host.slavePath()}});
    Program program(link, held >= 0);
    const QDateTime now = QDateTime::currentDateTime();
    const double fillStart = WallSeconds();
    for (int n = 0; n < held && WallSeconds() - fillStart < budget; ++n)
        program.history().record(Id(0x40000000 + std::uint64_t(n)), '0', now);
    if (held >= 0)
        program.window.tagHistoryWindow()->redraw();
    QCoreApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    const std::uint32_t startMs = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(start.time_since_epoch()).count());
    reader.setTagStream({ids, 5}, startMs);
    std::thread serving([&] { host.serve(stop); });
    const double cpuStart = ThreadCpuSeconds();
    const int pollsStart = polls;
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&program] { program.stop(); });
    program.readTags();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int counted = polls - pollsStart;
    stop = true;
    serving.join();
    rate->pollsPerSecond = counted / wall;
    rate->cpuShare = cpu / wall;
    if (held < 0)
        std::printf("  history window never opened:        ");
    else
        std::printf("  %5d tags held at the start, %5zu at the end:", held,
                    Held(program.history()));
    std::printf(" %6.2f polls/s, window thread %5.2f %% of a core\n", rate->pollsPerSecond,
                100 * rate->cpuShare);
    return true;
}

const char* Option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: bench_tag_history [--sizes N,N...] [--seconds S] [--runs R] "
                        "[--budget SECONDS]\n");
            return 0;
        }
    std::vector<std::size_t> sizes = {10000, 100000};
    if (const char* list = Option(argc, argv, "--sizes")) {
        sizes.clear();
        for (const char* p = list; *p;) {
            char* end = nullptr;
            sizes.push_back(std::strtoul(p, &end, 10));
            p = *end == ',' ? end + 1 : end;
            if (end == p && *p)
                break;
        }
    }
    const auto number = [argc, argv](const char* name, double fallback) {
        const char* text = Option(argc, argv, name);
        return text ? std::atof(text) : fallback;
    };
    const double seconds = number("--seconds", 10);
    const int runs = std::max(1, static_cast<int>(number("--runs", 3)));
    const double budget = number("--budget", 120);

    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    // The window program's settings store in a folder of its own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    std::printf("(1) Read TAG on the simulated reader in memory, virtual time, the TAG history "
                "window shown\n");
    for (std::size_t size : sizes)
        Feed(size, budget);

    std::printf("\n(2) Read TAG on the simulated reader behind a pseudo-terminal, %.0f s a run, "
                "the TAG history window shown\n",
                seconds);
    std::vector<double> closed, none, full, cpuClosed, cpuNone, cpuFull;
    for (int r = 0; r < runs; ++r) {
        Rate a, b, c;
        if (!PollRun(-1, seconds, budget, &c) || !PollRun(0, seconds, budget, &a) ||
            !PollRun(5000, seconds, budget, &b))
            return 1;
        closed.push_back(c.pollsPerSecond);
        none.push_back(a.pollsPerSecond);
        full.push_back(b.pollsPerSecond);
        cpuClosed.push_back(c.cpuShare);
        cpuNone.push_back(a.cpuShare);
        cpuFull.push_back(b.cpuShare);
    }
    std::printf("  median of %d: window never opened %.2f polls/s (%.2f %% of a core); shown, none "
                "held %.2f polls/s (%.2f %%); shown, 5000 held %.2f polls/s (%.2f %%)\n",
                runs, Median(closed), 100 * Median(cpuClosed), Median(none), 100 * Median(cpuNone),
                Median(full), 100 * Median(cpuFull));
    std::printf("  poll rate with 5000 held against none held: %.3f\n",
                Median(full) / Median(none));
    return 0;
}
