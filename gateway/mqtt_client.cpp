#include "gateway/mqtt_client.h"

#include <mosquitto.h>

#include <mutex>

namespace qv::gateway {

namespace {

// The library's global set-up, once for the program.
void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The system's certificate authorities, for a TLS server without a ca_file of its own.
constexpr const char* kSystemCaPath = "/etc/ssl/certs";

} // namespace

MqttClient::MqttClient(const MqttConfig& config, const std::string& password, std::string willTopic,
                       std::string willPayload, Handlers handlers)
    : config_(config), password_(password), willTopic_(std::move(willTopic)),
      willPayload_(std::move(willPayload)), handlers_(std::move(handlers)) {
    InitLibrary();
    mosq_ = mosquitto_new(config_.clientId.c_str(), true, this);
    if (!mosq_)
        return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, OnConnect);
    mosquitto_disconnect_callback_set(mosq_, OnDisconnect);
    mosquitto_publish_callback_set(mosq_, OnPublish);
    mosquitto_message_callback_set(mosq_, OnMessage);
    mosquitto_reconnect_delay_set(mosq_, 1, 5, false); // 1, 2, 3 ... 5 s apart
    // Enough publications on the wire at once to deliver a backlog at broker speed.
    mosquitto_max_inflight_messages_set(mosq_, 200);
}

MqttClient::~MqttClient() {
    stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
}

bool MqttClient::start(std::string& error) {
    if (!mosq_) {
        error = "the MQTT client could not be made";
        return false;
    }
    mosquitto_will_set(mosq_, willTopic_.c_str(), static_cast<int>(willPayload_.size()),
                       willPayload_.data(), 1, true);
    if (!config_.username.empty() &&
        mosquitto_username_pw_set(mosq_, config_.username.c_str(),
                                  config_.passwordFile.empty() ? nullptr : password_.c_str()) !=
            MOSQ_ERR_SUCCESS) {
        error = "the user name was refused by the MQTT library";
        return false;
    }
    if (config_.tls) {
        const char* caFile = config_.caFile.empty() ? nullptr : config_.caFile.c_str();
        const char* caPath = caFile ? nullptr : kSystemCaPath;
        const int rc = mosquitto_tls_set(
            mosq_, caFile, caPath, config_.certFile.empty() ? nullptr : config_.certFile.c_str(),
            config_.keyFile.empty() ? nullptr : config_.keyFile.c_str(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = std::string("TLS: ") + mosquitto_strerror(rc);
            return false;
        }
        // The server's certificate is checked against its host name (the library's default).
        mosquitto_tls_insecure_set(mosq_, false);
    }
    if (mosquitto_loop_start(mosq_) != MOSQ_ERR_SUCCESS) {
        error = "the MQTT network thread could not start";
        return false;
    }
    looping_ = true;
    const int rc = mosquitto_connect_async(mosq_, config_.host.c_str(), config_.port,
                                           config_.keepaliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS && handlers_.log)
        handlers_.log("mqtt: cannot reach " + config_.host + ":" + std::to_string(config_.port) +
                      ": " +
                      (rc == MOSQ_ERR_ERRNO ? "the connection failed" : mosquitto_strerror(rc)) +
                      "; trying again");
    return true;
}

std::optional<int> MqttClient::publish(const std::string& topic, const std::string& payload,
                                       int qos, bool retain) {
    int mid = 0;
    if (!mosq_ || mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                    payload.data(), qos, retain) != MOSQ_ERR_SUCCESS)
        return std::nullopt;
    return mid;
}

void MqttClient::subscribe(const std::string& pattern) {
    if (mosq_)
        mosquitto_subscribe(mosq_, nullptr, pattern.c_str(), 1);
}

void MqttClient::stop() {
    if (!mosq_ || !looping_)
        return;
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    looping_ = false;
    connected_ = false;
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        if (client->handlers_.log)
            client->handlers_.log(std::string("mqtt: the broker refused the connection: ") +
                                  mosquitto_connack_string(rc));
        return;
    }
    client->connected_ = true;
    if (client->handlers_.connected)
        client->handlers_.connected();
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    const bool was = client->connected_.exchange(false);
    if (was && client->handlers_.disconnected)
        client->handlers_.disconnected(rc);
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid) {
    auto* client = static_cast<MqttClient*>(self);
    if (client->handlers_.acknowledged)
        client->handlers_.acknowledged(mid);
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<MqttClient*>(self);
    if (client->handlers_.message && message->topic)
        client->handlers_.message(message->topic,
                                  std::string(static_cast<const char*>(message->payload),
                                              static_cast<std::size_t>(message->payloadlen)));
}

} // namespace qv::gateway
