// quorvane-gateway: every reader's tags over MQTT. Runs in the foreground until SIGTERM or SIGINT
// (a second one ends it at once); --check validates the configuration and exits.
#include "gateway/config.h"
#include "gateway/gateway.h"

#include "qv_version.h"

#include <CLI/CLI.hpp>
#include <systemd/sd-daemon.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int signal) {
    g_stop = true;
    std::signal(signal, SIG_DFL);
}

constexpr int kExitUsage = 2;

} // namespace

int main(int argc, char** argv) {
    using namespace qv::gateway;
    CLI::App app{"quorvane-gateway: publishes every Quorvane reader's tag reads over MQTT, keeping "
                 "each read in a store until the broker has it.",
                 "quorvane-gateway"};
    app.set_version_flag("--version", std::string("quorvane-gateway ") + qv::ProgramVersion);
    std::string file;
    bool check = false;
    app.add_option("-c,--config", file, "the configuration (YAML), e.g. /etc/quorvane/gateway.yaml")
        ->required();
    app.add_flag("--check", check, "check the configuration, name each problem, and exit");
    app.footer("Exit status: 0 ran and stopped cleanly (or --check found nothing); 1 the MQTT "
               "client or the store could not be set up; 2 a bad command line or configuration.\n"
               "Topics under mqtt.base_topic: bridge/state, <reader>/tag, <reader>/state, "
               "<reader>/set, <reader>/get, <reader>/response.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    const Loaded loaded = LoadConfig(file);
    for (const Problem& problem : loaded.problems)
        std::cerr << "quorvane-gateway: " << file << ": " << problem.text() << '\n';
    if (!loaded.config)
        return kExitUsage;
    const Config& config = *loaded.config;
    if (check) {
        std::cout << file << ": " << config.readers.size() << " readers, broker "
                  << config.mqtt.host << ':' << config.mqtt.port << ", store " << config.store.path
                  << ": fine\n";
        return 0;
    }

    Log log;
    std::string error;
    std::string password;
    if (!config.mqtt.passwordFile.empty()) {
        const auto read = ReadPassword(config.mqtt.passwordFile, error);
        if (!read) {
            log.line(Log::Level::Error, error);
            return kExitUsage;
        }
        password = *read;
    }
    auto store = ReadStore::Open(config.store.path, config.store.maxReads, error);
    if (!store) {
        log.line(Log::Level::Error, "store: " + error);
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::uint64_t watchdogUs = 0;
    const bool watchdog = sd_watchdog_enabled(0, &watchdogUs) > 0 && watchdogUs > 0;
    auto lastPing = std::chrono::steady_clock::now();
    Gateway gateway(config, password, std::move(store), log);
    const int code = gateway.run(
        g_stop, [] { sd_notify(0, "READY=1\nSTATUS=publishing"); },
        [&] {
            // Pinged at half the watchdog's time, while every reader's thread is alive.
            const auto now = std::chrono::steady_clock::now();
            if (watchdog && now - lastPing >= std::chrono::microseconds(watchdogUs / 2)) {
                sd_notify(0, "WATCHDOG=1");
                lastPing = now;
            }
        });
    sd_notify(0, "STOPPING=1");
    return code;
}
