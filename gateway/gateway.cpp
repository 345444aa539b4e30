#include "gateway/gateway.h"

#include "gateway/commands.h"
#include "gateway/mqtt_client.h"
#include "gateway/topics.h"

#include "reader/connection.h"
#include "reader/profile.h"
#include "reader/tag_run.h"
#include "reader/utc_time.h"

#include "link/ports/port_overrides.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace qv::gateway {

namespace {

using json = nlohmann::ordered_json;
using Steady = std::chrono::steady_clock;

// Publications handed to the library and not yet acknowledged, at most.
constexpr std::size_t kMaxInFlight = 400;
// A reader's thread that has not been heard of this long is stuck: no watchdog ping then.
constexpr auto kStuckAfter = std::chrono::seconds(30);
// How long a clean stop waits for the broker to acknowledge what is left.
constexpr auto kStopGrace = std::chrono::seconds(3);

std::string Json(const json& doc) {
    return doc.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace

void Log::line(Level level, const std::string& text) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    // Under systemd the line's priority goes with it (sd-daemon(3)); journald keeps the rest.
    static const bool journal = std::getenv("JOURNAL_STREAM") != nullptr;
    if (journal)
        std::fprintf(stderr, "<%d>%s\n", static_cast<int>(level), text.c_str());
    else
        std::fprintf(stderr, "quorvane-gateway: %s\n", text.c_str());
    std::fflush(stderr);
}

class Gateway::Impl {
public:
    Impl(Config config, std::string password, std::unique_ptr<ReadStore> store, Log& log)
        : config_(std::move(config)), password_(std::move(password)), store_(std::move(store)),
          log_(log), node_(TopicLevel(config_.mqtt.clientId)) {}

    int run(const std::atomic<bool>& stop, const std::function<void()>& ready,
            const std::function<void()>& alive);

    // What one reader's thread shares with the rest.
    struct Worker : reader::TagSink {
        Impl& gateway;
        ReaderConfig config;
        reader::Place place;
        std::thread thread;
        std::atomic<std::int64_t> heartbeat{0}; // steady milliseconds of the last sign of life

        std::mutex mutex;
        ReaderState state;
        bool stateDirty = true;
        std::deque<std::pair<std::string, Command>> commands; // kind ("set", "get"), command
        reader::Outputs outputs;
        bool outputsGiven = false;
        std::string lastFailure;
        link::Link* link = nullptr; // while the thread runs

        Worker(Impl& g, ReaderConfig c, reader::Place p)
            : gateway(g), config(std::move(c)), place(std::move(p)) {
            state.port = config.port;
            state.since = reader::IsoUtcNow(true);
        }

        void setState(const std::string& value) {
            {
                const std::lock_guard lock(mutex);
                if (state.state == value)
                    return;
                state.state = value;
                state.since = reader::IsoUtcNow(true);
                stateDirty = true;
            }
            gateway.log_.line(Log::Level::Notice, config.name + ": " + value);
            gateway.wake();
        }
        void setIdentity(const std::string& serial, const std::optional<std::string>& firmware) {
            const std::lock_guard lock(mutex);
            state.serial = serial;
            if (firmware)
                state.firmware = *firmware;
            stateDirty = true;
        }
        std::string serial() {
            const std::lock_guard lock(mutex);
            return state.serial;
        }

        // The sink of the tag run.
        void tag(const reader::TagRead& read) override {
            const std::string time = reader::IsoUtcNow(true);
            const std::string who = serial();
            gateway.store_->add(config.name, [&](std::int64_t seq) {
                return TagPayload(time, read, config.name, who, seq);
            });
            gateway.wake();
        }
        void input(char) override {
            bool answered = false;
            {
                const std::lock_guard lock(mutex);
                answered = state.state != "online";
            }
            if (answered)
                setState("online");
        }
        void changed(const reader::ReaderChange& change) override {
            using Kind = reader::ReaderChange::Kind;
            switch (change.kind) {
            case Kind::NotAnswering:
                setState(link && link->lineGone() ? "disconnected" : "not answering");
                break;
            case Kind::AnsweringAgain:
                setState("online");
                break;
            case Kind::Gone:
                setState("disconnected");
                break;
            case Kind::Back: {
                gateway.log_.line(Log::Level::Notice,
                                  config.name + ": " + config.port + " is back");
                if (!change.serial.empty()) {
                    const auto firmware =
                        link ? reader::ReadVersion(*link, reader::kVersionTries) : std::nullopt;
                    setIdentity(change.serial, firmware);
                    setState("online");
                }
                break;
            }
            case Kind::Another: {
                {
                    const std::lock_guard lock(mutex);
                    state.previousSerial = change.previous;
                    stateDirty = true;
                }
                gateway.log_.line(Log::Level::Warning,
                                  config.name + ": another reader answers at " + config.port +
                                      ": serial " + reader::PrintableBytes(change.serial) +
                                      ", before " + reader::PrintableBytes(change.previous));
                gateway.wake();
                break;
            }
            }
        }
        void reopenFailed(link::SerialError error, const std::string& detail) override {
            tellFailure(link::DescribeOpenFailure(error, detail));
        }
        void tellFailure(const std::string& why) {
            {
                const std::lock_guard lock(mutex);
                if (why == lastFailure)
                    return;
                lastFailure = why;
            }
            gateway.log_.line(Log::Level::Warning,
                              config.name + ": cannot open " + config.port + ": " + why);
        }

        void serve(const std::atomic<bool>& stop);
        void runCommands(reader::Connection& connection);
    };

private:
    friend struct Worker;
    void wake() { wake_.notify_all(); }
    void onConnected();
    void onDisconnected(int reason);
    void onAcknowledged(int mid);
    void onMessage(const std::string& topic, const std::string& payload);
    void respond(const std::string& reader, const json& doc);
    // The publisher's work, from the main thread: announcements after a connect, the readers'
    // states, the stored reads in order.
    void publishPending();
    void announce();
    void publishState(Worker& worker, bool force);
    Worker* find(const std::string& name);

    Config config_;
    std::string password_;
    std::unique_ptr<ReadStore> store_;
    Log& log_;
    std::string node_;
    std::unique_ptr<MqttClient> mqtt_;
    std::vector<std::unique_ptr<Worker>> workers_;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<bool> announce_{false};

    std::mutex flightMutex_;
    std::unordered_map<int, std::int64_t> inFlight_; // message id -> row
    std::int64_t lastSent_ = 0;                      // the newest row handed to the library
    std::string storeError_;
};

void Gateway::Impl::Worker::serve(const std::atomic<bool>& stop) {
    reader::Connection connection(place, nullptr);
    connection.followSettingsStore();
    link::Link& l = connection.link();
    const auto beat = [this] {
        heartbeat =
            std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
                .count();
    };
    beat();
    l.setEventPump(beat, false);
    const auto stopped = [&stop] { return stop.load(); };
    {
        const std::lock_guard lock(mutex);
        link = &l;
    }
    if (!connection.open()) {
        if (!connection.openFailedForWantOfDevice())
            tellFailure(connection.openErrorText());
        else
            gateway.log_.line(Log::Level::Notice,
                              config.name + ": waiting for " + config.port + " to appear");
        if (reader::Reconnect(l, place.linkPort, place.settings, stopped, std::nullopt,
                              [this](link::SerialError e, const std::string& d) {
                                  reopenFailed(e, d);
                              }) != reader::Reconnected::Yes) {
            const std::lock_guard lock(mutex);
            link = nullptr;
            return;
        }
    }
    {
        const std::lock_guard lock(mutex);
        lastFailure.clear();
    }
    const auto identity = connection.readIdentity();
    if (identity) {
        setIdentity(identity->serial, connection.readVersion());
        setState("online");
    } else {
        setState("not answering");
    }
    reader::TagRunPlan plan;
    plan.reconnect = true;
    plan.port = connection.place().linkPort;
    plan.settings = connection.place().settings;
    plan.serial = identity ? identity->serial : std::string();
    plan.outputs = [this]() -> std::optional<reader::Outputs> {
        const std::lock_guard lock(mutex);
        return outputsGiven ? std::optional(outputs) : std::nullopt;
    };
    plan.betweenPolls = [this, &connection] { runCommands(connection); };
    std::optional<reader::Outputs> sent = reader::Outputs{};
    reader::RunTags(l, plan, sent, *this, stopped);
    connection.close();
    {
        const std::lock_guard lock(mutex);
        link = nullptr;
    }
    setState("disconnected");
}

void Gateway::Impl::Worker::runCommands(reader::Connection& connection) {
    for (;;) {
        std::pair<std::string, Command> next;
        {
            const std::lock_guard lock(mutex);
            if (commands.empty())
                return;
            next = std::move(commands.front());
            commands.pop_front();
        }
        link::Link& l = connection.link();
        json doc = {{"command", next.first}};
        if (const auto* set = std::get_if<SetCommand>(&next.second)) {
            bool ok = true;
            json results = json::array();
            if (set->do1 || set->do2) {
                const std::lock_guard lock(mutex);
                if (set->do1)
                    outputs.do1 = *set->do1;
                if (set->do2)
                    outputs.do2 = *set->do2;
                outputsGiven = true;
                doc["outputs"] = {{"do1", outputs.do1 ? "on" : "off"},
                                  {"do2", outputs.do2 ? "on" : "off"}};
            }
            for (const auto& step : reader::Restore(l, set->items)) {
                const auto& row = reader::RowOf(step.param);
                json item = {{"parameter", row.name},
                             {"value", reader::ToJson(step.param, step.wanted)},
                             {"result", reader::StateText(step.state)}};
                if (step.state == reader::RestoreStep::State::Differs && step.readBack)
                    item["read_back"] = reader::ToJson(step.param, *step.readBack);
                ok = ok && reader::Succeeded(step.state);
                results.push_back(item);
            }
            doc["ok"] = ok;
            doc["results"] = results;
        } else {
            const auto& get = std::get<GetCommand>(next.second);
            bool ok = true;
            json values = json::object();
            for (const reader::Param param : get.params) {
                const auto value = reader::ReadParam(l, param);
                ok = ok && value.has_value();
                values[reader::RowOf(param).name] =
                    value ? reader::ToJson(param, *value) : json(nullptr);
            }
            doc["ok"] = ok;
            doc["values"] = values;
        }
        gateway.respond(config.name, doc);
    }
}

Gateway::Impl::Worker* Gateway::Impl::find(const std::string& name) {
    for (auto& w : workers_)
        if (w->config.name == name)
            return w.get();
    return nullptr;
}

void Gateway::Impl::respond(const std::string& reader, const json& doc) {
    if (mqtt_)
        mqtt_->publish(ReaderTopic(config_.mqtt.baseTopic, reader, "response"), Json(doc), 1,
                       false);
}

void Gateway::Impl::onConnected() {
    log_.line(Log::Level::Notice,
              "mqtt: connected to " + config_.mqtt.host + ":" + std::to_string(config_.mqtt.port));
    announce_ = true;
    wake();
}

void Gateway::Impl::onDisconnected(int reason) {
    if (reason != 0) // 0: this gateway's own clean disconnect
        log_.line(Log::Level::Warning,
                  "mqtt: the connection to the broker was lost; reads are kept in the store "
                  "meanwhile and go out once it is back");
    const std::lock_guard lock(flightMutex_);
    inFlight_.clear();
    lastSent_ = 0; // what was not acknowledged goes again, in order
}

void Gateway::Impl::onAcknowledged(int mid) {
    std::int64_t row = 0;
    {
        const std::lock_guard lock(flightMutex_);
        const auto it = inFlight_.find(mid);
        if (it == inFlight_.end())
            return; // a state, a response or an announcement
        row = it->second;
        inFlight_.erase(it);
    }
    store_->remove(row);
    wake();
}

void Gateway::Impl::onMessage(const std::string& topic, const std::string& payload) {
    const std::string& base = config_.mqtt.baseTopic;
    for (const char* kind : {"set", "get"}) {
        const std::string name = CommandReader(base, topic, kind);
        if (name.empty())
            continue;
        Worker* worker = find(name);
        if (!worker)
            return; // another gateway's reader under the same base
        const Decoded decoded =
            std::string(kind) == "set" ? DecodeSet(payload) : DecodeGet(payload);
        if (!decoded.command) {
            log_.line(Log::Level::Warning, name + ": " + kind + " refused: " + decoded.error);
            respond(name, {{"command", kind}, {"ok", false}, {"error", decoded.error}});
            return;
        }
        const std::lock_guard lock(worker->mutex);
        worker->commands.emplace_back(kind, *decoded.command);
        return;
    }
}

void Gateway::Impl::announce() {
    const std::string& base = config_.mqtt.baseTopic;
    mqtt_->publish(BridgeTopic(base), "online", 1, true);
    for (auto& w : workers_)
        publishState(*w, true);
    mqtt_->subscribe(base + "/+/set");
    mqtt_->subscribe(base + "/+/get");
}

void Gateway::Impl::publishState(Worker& w, bool force) {
    ReaderState state;
    {
        const std::lock_guard lock(w.mutex);
        const std::int64_t dropped = store_->dropped(w.config.name);
        if (dropped != w.state.dropped) {
            log_.line(Log::Level::Warning, w.config.name + ": " +
                                               std::to_string(dropped - w.state.dropped) +
                                               " reads dropped past store.max_reads (" +
                                               std::to_string(dropped) + " in all)");
            w.state.dropped = dropped;
            w.stateDirty = true;
        }
        if (w.state.store != storeError_) {
            w.state.store = storeError_;
            w.stateDirty = true;
        }
        if (!force && !w.stateDirty)
            return;
        w.stateDirty = false;
        state = w.state;
    }
    const std::string& base = config_.mqtt.baseTopic;
    mqtt_->publish(ReaderTopic(base, w.config.name, "state"), StatePayload(state), 1, true);
    if (config_.homeAssistant.discovery && !state.serial.empty())
        mqtt_->publish(DiscoveryTopic(config_.homeAssistant.prefix, node_, w.config.name),
                       DiscoveryPayload(ReaderTopic(base, w.config.name, "tag"), w.config.name,
                                        state.serial, state.firmware),
                       1, true);
}

void Gateway::Impl::publishPending() {
    if (const std::string error = store_->error(); error != storeError_) {
        storeError_ = error;
        if (!error.empty())
            log_.line(Log::Level::Error, "store " + config_.store.path + ": " + error +
                                             "; reads are held in memory meanwhile");
        else
            log_.line(Log::Level::Notice, "store " + config_.store.path + " writes again");
    }
    if (!mqtt_->connected()) {
        for (auto& w : workers_) // the dropped count and the store's error, for the log
            publishState(*w, false);
        return;
    }
    if (announce_.exchange(false))
        announce();
    for (auto& w : workers_)
        publishState(*w, false);
    const std::lock_guard lock(flightMutex_);
    while (inFlight_.size() < kMaxInFlight) {
        const auto reads = store_->after(lastSent_, kMaxInFlight - inFlight_.size());
        if (reads.empty())
            return;
        for (const StoredRead& read : reads) {
            const auto mid = mqtt_->publish(ReaderTopic(config_.mqtt.baseTopic, read.reader, "tag"),
                                            read.payload, 1, false);
            if (!mid)
                return; // not connected after all: the next round tries again
            inFlight_[*mid] = read.row;
            lastSent_ = read.row;
        }
    }
}

int Gateway::Impl::run(const std::atomic<bool>& stop, const std::function<void()>& ready,
                       const std::function<void()>& alive) {
    MqttClient::Handlers handlers;
    handlers.connected = [this] { onConnected(); };
    handlers.disconnected = [this](int reason) { onDisconnected(reason); };
    handlers.acknowledged = [this](int mid) { onAcknowledged(mid); };
    handlers.message = [this](const std::string& t, const std::string& p) { onMessage(t, p); };
    handlers.log = [this](const std::string& text) { log_.line(Log::Level::Warning, text); };
    mqtt_ = std::make_unique<MqttClient>(config_.mqtt, password_,
                                         BridgeTopic(config_.mqtt.baseTopic), "offline", handlers);
    std::string error;
    if (!mqtt_->start(error)) {
        log_.line(Log::Level::Error, "mqtt: " + error);
        return 1;
    }
    const link::PortMap overrides = link::ReadPortOverrides();
    for (const auto& r : config_.readers) {
        auto place = reader::MakePlace(r.port, r.settings, overrides, error);
        workers_.push_back(std::make_unique<Worker>(*this, r, *place)); // checked when loaded
    }
    for (auto& w : workers_)
        w->thread = std::thread([&stop, worker = w.get()] { worker->serve(stop); });
    log_.line(Log::Level::Notice, "started: " + std::to_string(workers_.size()) + " readers, " +
                                      std::to_string(store_->size()) + " reads in the store");
    if (ready)
        ready();

    while (!stop) {
        {
            std::unique_lock lock(wakeMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(20));
        }
        publishPending();
        const auto now =
            std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
                .count();
        bool working = true;
        for (auto& w : workers_)
            working =
                working &&
                now - w->heartbeat.load() <
                    std::chrono::duration_cast<std::chrono::milliseconds>(kStuckAfter).count();
        if (working && alive)
            alive();
    }

    log_.line(Log::Level::Notice, "stopping");
    for (auto& w : workers_)
        if (w->thread.joinable())
            w->thread.join();
    // What the broker can still take, within a few seconds; the rest stays in the store.
    const auto until = Steady::now() + kStopGrace;
    while (mqtt_->connected() && store_->size() > 0 && Steady::now() < until) {
        publishPending();
        std::unique_lock lock(wakeMutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(20));
    }
    if (mqtt_->connected()) {
        for (auto& w : workers_)
            publishState(*w, true);
        mqtt_->publish(BridgeTopic(config_.mqtt.baseTopic), "offline", 1, true);
    }
    mqtt_->stop();
    const auto held = static_cast<std::int64_t>(store_->flush());
    if (held > 0)
        log_.line(Log::Level::Error, "stopped: " + std::to_string(held) +
                                         " reads held in memory are lost, the store " +
                                         config_.store.path +
                                         " takes no writes: " + store_->error());
    log_.line(Log::Level::Notice, "stopped: " + std::to_string(store_->size() - held) +
                                      " reads kept in the store for the next start");
    return 0;
}

Gateway::Gateway(Config config, std::string password, std::unique_ptr<ReadStore> store, Log& log)
    : impl_(std::make_unique<Impl>(std::move(config), std::move(password), std::move(store), log)) {
}

Gateway::~Gateway() = default;

int Gateway::run(const std::atomic<bool>& stop, const std::function<void()>& ready,
                 const std::function<void()>& alive) {
    return impl_->run(stop, ready, alive);
}

} // namespace qv::gateway
