#pragma once
// The gateway's MQTT session through libmosquitto: one client, its network loop on a thread of its
// own, reconnecting by itself once connected. QoS 1 publications report their PUBACK; the Last
// Will says the bridge is offline.

#include "gateway/config.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

struct mosquitto;
struct mosquitto_message;

namespace qv::gateway {

class MqttClient {
public:
    struct Handlers {
        std::function<void()> connected;              // on the loop's thread
        std::function<void(int reason)> disconnected; // on the loop's thread
        std::function<void(int mid)> acknowledged;    // PUBACK of a QoS 1 publication
        std::function<void(const std::string& topic, const std::string& payload)> message;
        std::function<void(const std::string& line)> log; // what an operator should know
    };
    // `will`: topic and payload of the Last Will (QoS 1, retained).
    MqttClient(const MqttConfig& config, const std::string& password, std::string willTopic,
               std::string willPayload, Handlers handlers);
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Sets up TLS and credentials and starts connecting; false with `error` for a setup the
    // library refuses (a TLS file it cannot use). A broker that is away is tried again by the
    // network thread, at growing intervals up to 5 s, for as long as the client runs.
    bool start(std::string& error);
    bool connected() const { return connected_; }
    // The message id, or nullopt when it could not be handed to the library.
    std::optional<int> publish(const std::string& topic, const std::string& payload, int qos,
                               bool retain);
    void subscribe(const std::string& pattern);
    // Disconnects cleanly (after `last` is published, when given) and stops the loop.
    void stop();

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    MqttConfig config_;
    std::string password_, willTopic_, willPayload_;
    Handlers handlers_;
    mosquitto* mosq_ = nullptr;
    std::atomic<bool> connected_{false};
    bool looping_ = false;
};

} // namespace qv::gateway
