// bench_gateway: one quorvane-gateway serving simulated readers, each with a tag waiting at every
// poll, through Debian's mosquitto broker on the loopback, watched by a subscriber of our own.
//
//   bench_gateway [--readers N] [--seconds S] [--away S]
//
// --readers: simulated readers on pseudo-terminals (default 16); --seconds: the steady period
// measured (default 20); --away: how long the broker is stopped afterwards (default 60; 0 skips
// it). Prints, against what it aims at:
//   - polls per second of each reader under the gateway against `quorvane-cli watch` alone on
//     one reader (the slowest reader's share, aim >= 0.97);
//   - from the reader's reply to the subscriber's receipt of the read, median and 99th
//     percentile (aim <= 10 ms);
//   - the gateway's CPU time over the steady period, in percent of one core (aim <= 5 %);
//   - once the broker is back after --away, the time until the subscriber has every read stored
//     meanwhile (aim <= 10 s).
// Exits 1 when a read is missing or came with a gap, or a program could not be started. The
// broker and the programs run on 127.0.0.1 at free ports, each stopped by its process id.

#include "bench/bench_args.h"
#include "sim/pty_host.h"
#include "sim/reader.h"
#include "tests/support/loopback.h"

#include <mosquitto.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <pwd.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qv;
using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

extern char** environ;

namespace {

const char* const kSettings = "19200,e,8,1"; // the simulator's own

double SecondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * double(values.size() - 1));
    return values[at];
}

// A program started with its standard error into `errFile`, stopped by its pid.
class Child {
public:
    bool start(std::vector<std::string> args, const std::string& errFile) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            pid_ = -1;
        return spawned == 0;
    }
    // SIGTERM, then the exit status (-1 when it did not end normally).
    int stop() {
        if (pid_ <= 0)
            return -1;
        kill(pid_, SIGTERM);
        return wait();
    }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // User and system CPU seconds used so far (from /proc).
    double cpuSeconds() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            return 0;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        long ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i >= 14)
                ticks += std::atol(field.c_str());
        return double(ticks) / double(sysconf(_SC_CLK_TCK));
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

// A simulated reader on a pseudo-terminal, served on a thread of its own, with a tag waiting at
// every poll. It notes when each poll came and, at each acknowledgement, the poll that brought
// the read: the k-th acknowledged read is the one the gateway publishes with seq k.
class SimReader {
public:
    explicit SimReader(int index) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QV%06d", index + 1);
        reader_.state().serial = serial;
        std::vector<std::string> ids;
        for (int i = 0; i < 64; ++i) {
            char id[17];
            std::snprintf(id, sizeof id, "%08X%08X", index + 1, i + 1);
            ids.push_back(id);
        }
        // One tag every 2 ms: more than any poll loop takes, so each poll finds one waiting.
        reader_.setTagStream({ids, 2}, NowMs());
        host_.onLog = [this](const std::string& text) {
            const std::lock_guard lock(mutex_);
            if (text == "A00I") {
                lastPoll_ = Steady::now();
                ++polls_;
            } else if (text == "A00J") {
                reads_.push_back(lastPoll_);
            }
        };
    }
    bool open(std::string& error) {
        if (!host_.open(&error))
            return false;
        thread_ = std::thread([this] { host_.serve(stop_); });
        return true;
    }
    ~SimReader() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    const std::string& path() const { return host_.slavePath(); }
    long polls() {
        const std::lock_guard lock(mutex_);
        return polls_;
    }
    long reads() {
        const std::lock_guard lock(mutex_);
        return long(reads_.size());
    }
    // When the reply carrying read `seq` (from 1) went out; nullopt when no such read.
    std::optional<Steady::time_point> replyOf(std::int64_t seq) {
        const std::lock_guard lock(mutex_);
        if (seq < 1 || seq > std::int64_t(reads_.size()))
            return std::nullopt;
        return reads_[std::size_t(seq - 1)] + std::chrono::milliseconds(kReplyDelayMs);
    }

private:
    static constexpr int kReplyDelayMs = 2; // the simulated reader's own
    static std::uint32_t NowMs() {
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
                .count());
    }
    sim::Reader reader_;
    sim::PtyHost host_{reader_};
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    Steady::time_point lastPoll_;
    long polls_ = 0;
    std::vector<Steady::time_point> reads_;
};

// The readers' tag messages as they arrive: per reader, the seqs seen and when.
class Subscriber {
public:
    Subscriber(int port, std::vector<std::unique_ptr<SimReader>>& readers) : readers_(readers) {
        mosquitto_lib_init();
        mosq_ = mosquitto_new("bench-subscriber", false, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void*, int rc) {
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, "quorvane/+/tag", 1);
        });
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
                static_cast<Subscriber*>(self)->received(
                    m->topic,
                    std::string(static_cast<const char*>(m->payload), std::size_t(m->payloadlen)));
            });
        mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
        mosquitto_lib_cleanup();
    }
    // While on, each read's first arrival is noted.
    void measure(bool on) { measuring_ = on; }
    // From each noted read's reply to its arrival (a read can arrive before its reader has
    // logged the acknowledgement: the store comes first, and then both go out at once).
    std::vector<double> latenciesMs() {
        const std::lock_guard lock(mutex_);
        std::vector<double> out;
        for (const auto& [key, arrival] : arrivals_)
            if (const auto reply = readers_[key.first]->replyOf(key.second))
                out.push_back(std::chrono::duration<double, std::milli>(arrival - *reply).count());
        return out;
    }
    // The highest seq of reader `i` with every seq below it received.
    std::int64_t complete(std::size_t i) {
        const std::lock_guard lock(mutex_);
        return complete_[i];
    }
    long duplicates() {
        const std::lock_guard lock(mutex_);
        return duplicates_;
    }

private:
    void received(const std::string& topic, const std::string& payload) {
        const auto now = Steady::now();
        if (topic.rfind("quorvane/r", 0) != 0) // "quorvane/rN/tag"
            return;
        const int reader = std::atoi(topic.c_str() + 10) - 1;
        if (reader < 0 || std::size_t(reader) >= readers_.size())
            return;
        const auto seq =
            nlohmann::json::parse(payload, nullptr, false).value("seq", std::int64_t{0});
        const std::lock_guard lock(mutex_);
        auto& seen = seen_[std::size_t(reader)];
        if (!seen.insert(seq).second) {
            ++duplicates_;
            return;
        }
        auto& complete = complete_[std::size_t(reader)];
        while (seen.count(complete + 1))
            ++complete;
        if (measuring_)
            arrivals_.emplace(std::pair(std::size_t(reader), seq), now);
    }

    std::vector<std::unique_ptr<SimReader>>& readers_;
    mosquitto* mosq_ = nullptr;
    std::atomic<bool> measuring_{false};
    std::mutex mutex_;
    std::map<std::size_t, std::set<std::int64_t>> seen_;
    std::map<std::size_t, std::int64_t> complete_;
    std::map<std::pair<std::size_t, std::int64_t>, Steady::time_point> arrivals_;
    long duplicates_ = 0;
};

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto start = Steady::now();
    while (!done() && SecondsSince(start) < seconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

} // namespace

int main(int argc, char** argv) {
    if (bench::WantsHelp(
            argc, argv,
            "usage: bench_gateway [--readers N] [--seconds S] [--away S]\n"
            "  quorvane-gateway with N simulated readers (default 16) through a mosquitto\n"
            "  broker on the loopback: poll rate against watch alone, reply-to-subscriber\n"
            "  latency, the gateway's CPU over S seconds (default 20), and the delivery of\n"
            "  what was stored while the broker was away for --away seconds (default 60).\n"
            "  Exits 1 when a read is missing or a program could not be started.\n"))
        return 0;
    const int count = std::max(1, std::atoi(bench::Argument(argc, argv, "--readers", "16")));
    const double seconds = std::max(1.0, std::atof(bench::Argument(argc, argv, "--seconds", "20")));
    const double away = std::max(0.0, std::atof(bench::Argument(argc, argv, "--away", "60")));
    const std::string gatewayProgram = QV_GATEWAY_PROGRAM, cliProgram = QV_CLI_PROGRAM;
    const std::string broker =
        access("/usr/sbin/mosquitto", X_OK) == 0 ? "/usr/sbin/mosquitto" : "mosquitto";
    std::signal(SIGPIPE, SIG_IGN);

    char folderTemplate[] = "/tmp/bench_gateway.XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("bench_gateway: mkdtemp");
        return 1;
    }
    const fs::path dir = folderTemplate;
    int failures = 0;

    // watch alone on one reader: the poll rate to match.
    double watchRate = 0;
    {
        SimReader alone(99);
        std::string error;
        if (!alone.open(error)) {
            std::fprintf(stderr, "bench_gateway: %s\n", error.c_str());
            return 1;
        }
        Child watch;
        if (!watch.start({cliProgram, "watch", "--port", alone.path(), "--settings", kSettings,
                          "--seconds", std::to_string(int(seconds))},
                         (dir / "watch.log").string())) {
            std::fprintf(stderr, "bench_gateway: cannot start %s\n", cliProgram.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1)); // past its opening
        const long before = alone.polls();
        const auto start = Steady::now();
        watch.wait();
        watchRate = double(alone.polls() - before) / SecondsSince(start);
    }

    std::vector<std::unique_ptr<SimReader>> readers;
    for (int i = 0; i < count; ++i) {
        readers.push_back(std::make_unique<SimReader>(i));
        std::string error;
        if (!readers.back()->open(error)) {
            std::fprintf(stderr, "bench_gateway: %s\n", error.c_str());
            return 1;
        }
    }
    const int port = test::FreeLoopbackPort();
    std::ofstream(dir / "mosquitto.conf")
        << "listener " << port << " 127.0.0.1\nallow_anonymous true\npersistence true\n"
        << "persistence_location " << dir.string() << "/\n"
        << "user " << getpwuid(geteuid())->pw_name << "\n"; // not mosquitto's, when root
    {
        std::ofstream yaml(dir / "gateway.yaml");
        yaml << "mqtt:\n  server: mqtt://127.0.0.1:" << port << "\n  client_id: bench-gateway\n"
             << "store:\n  path: " << (dir / "reads.db").string() << "\nhomeassistant:\n"
             << "  discovery: false\nreaders:\n";
        for (int i = 0; i < count; ++i)
            yaml << "  r" << i + 1 << ":\n    port: " << readers[std::size_t(i)]->path()
                 << "\n    settings: " << kSettings << "\n";
    }
    Child mosquitto;
    if (!mosquitto.start({broker, "-c", (dir / "mosquitto.conf").string()},
                         (dir / "mosquitto.log").string()) ||
        !WaitFor([&] { return test::Listening(port); }, 5)) {
        std::fprintf(stderr, "bench_gateway: the broker did not start (%s)\n", broker.c_str());
        return 1;
    }
    Subscriber subscriber(port, readers);
    Child gateway;
    if (!gateway.start({gatewayProgram, "--config", (dir / "gateway.yaml").string()},
                       (dir / "gateway.log").string())) {
        std::fprintf(stderr, "bench_gateway: cannot start %s\n", gatewayProgram.c_str());
        return 1;
    }
    // Every reader's reads arriving: past the start.
    if (!WaitFor(
            [&] {
                for (std::size_t i = 0; i < readers.size(); ++i)
                    if (subscriber.complete(i) < 10)
                        return false;
                return true;
            },
            15)) {
        std::fprintf(stderr, "bench_gateway: reads did not arrive from every reader (see %s)\n",
                     (dir / "gateway.log").c_str());
        return 1;
    }

    // The steady period.
    std::vector<long> pollsBefore;
    for (auto& r : readers)
        pollsBefore.push_back(r->polls());
    const double cpuBefore = gateway.cpuSeconds();
    subscriber.measure(true);
    const auto start = Steady::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double elapsed = SecondsSince(start);
    const double cpu = gateway.cpuSeconds() - cpuBefore;
    subscriber.measure(false);
    double slowest = 1e9, total = 0;
    for (std::size_t i = 0; i < readers.size(); ++i) {
        const double rate = double(readers[i]->polls() - pollsBefore[i]) / elapsed;
        slowest = std::min(slowest, rate);
        total += rate;
    }
    const auto latencies = subscriber.latenciesMs();
    std::printf("readers: %d, steady period %.1f s\n", count, elapsed);
    std::printf("polls per second: watch alone %.1f, under the gateway mean %.1f, slowest %.1f "
                "(%.3f of watch; aim >= 0.97)\n",
                watchRate, total / double(count), slowest, slowest / watchRate);
    std::printf("reply to subscriber: %zu reads, median %.2f ms, p99 %.2f ms (aim <= 10 ms)\n",
                latencies.size(), Percentile(latencies, 0.5), Percentile(latencies, 0.99));
    std::printf("gateway CPU: %.2f %% of one core (aim <= 5 %%)\n", 100.0 * cpu / elapsed);

    // The broker away: the reads pile up in the store, then go out once it is back.
    if (away > 0) {
        mosquitto.stop();
        std::this_thread::sleep_for(std::chrono::duration<double>(away));
        std::vector<long> stored;
        long backlog = 0;
        for (std::size_t i = 0; i < readers.size(); ++i) {
            stored.push_back(readers[i]->reads());
            backlog += stored.back() - subscriber.complete(i);
        }
        if (!mosquitto.start({broker, "-c", (dir / "mosquitto.conf").string()},
                             (dir / "mosquitto.log").string())) {
            std::fprintf(stderr, "bench_gateway: the broker did not start again\n");
            return 1;
        }
        const auto back = Steady::now();
        const bool all = WaitFor(
            [&] {
                for (std::size_t i = 0; i < readers.size(); ++i)
                    if (subscriber.complete(i) < stored[i])
                        return false;
                return true;
            },
            120);
        std::printf("broker away %.0f s: %ld reads stored meanwhile, all delivered %.1f s after "
                    "its return (aim <= 10 s)%s\n",
                    away, backlog, SecondsSince(back), all ? "" : ": NOT ALL ARRIVED");
        failures += all ? 0 : 1;
    }

    const int status = gateway.stop();
    std::vector<long> acknowledged;
    for (auto& r : readers)
        acknowledged.push_back(r->reads());
    // After the clean stop every read the readers handed over is on the broker.
    const bool complete = WaitFor(
        [&] {
            for (std::size_t i = 0; i < readers.size(); ++i)
                if (subscriber.complete(i) < acknowledged[i])
                    return false;
            return true;
        },
        15);
    std::printf("after the clean stop (exit %d): %s, %ld came twice\n", status,
                complete ? "every read delivered without a gap" : "READS MISSING",
                subscriber.duplicates());
    failures += (complete && status == 0) ? 0 : 1;
    mosquitto.stop();
    if (failures == 0)
        fs::remove_all(dir);
    else
        std::fprintf(stderr, "bench_gateway: the logs are in %s\n", dir.c_str());
    return failures ? 1 : 0;
}
