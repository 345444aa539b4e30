#pragma once
// quorvane-gateway's engine: one tag run per reader (reader/tag_run.h), each read into the store
// before the reader's acknowledgement and out of it on the broker's PUBACK; the readers' states
// and Home Assistant's discovery on the broker; commands between polls. No Qt, no terminal.

#include "gateway/config.h"
#include "gateway/store.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace qv::gateway {

// One line per event on standard error, which journald keeps; safe from any thread.
class Log {
public:
    enum class Level { Error = 3, Warning = 4, Notice = 5, Info = 6 };
    void line(Level level, const std::string& text);
};

class Gateway {
public:
    Gateway(Config config, std::string password, std::unique_ptr<ReadStore> store, Log& log);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    // Runs until `stop`: `ready` once every reader has its thread and the broker is being
    // reached; `alive` at least every second while every reader's thread and the publisher work
    // (the service watchdog's ping). Ends cleanly: the ports closed, what the broker can still
    // take published within a few seconds and the rest kept in the store, "offline" published.
    // The exit status: 0, or 1 when the MQTT client could not be set up.
    int run(const std::atomic<bool>& stop, const std::function<void()>& ready,
            const std::function<void()>& alive);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qv::gateway
