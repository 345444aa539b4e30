#pragma once
// The gateway's configuration: a YAML file, read strictly. Every key is known or a problem, every
// value in range or a problem, and each problem names its key path and line, so that --check
// tells an operator exactly what to mend before the service starts.
//
//   mqtt:      server (mqtt://host:port or mqtts://host:port), base_topic, client_id, username,
//              password_file, ca_file, cert_file, key_file, keepalive
//   store:     path, max_reads
//   homeassistant: discovery, prefix
//   readers:   NAME: {port, settings}

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::gateway {

struct MqttConfig {
    bool tls = false;
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string baseTopic = "quorvane";
    std::string clientId; // default: quorvane-gateway-<host name>
    std::string username;
    std::string passwordFile;
    std::string caFile, certFile, keyFile;
    int keepaliveSeconds = 30;
};

struct StoreConfig {
    std::string path = "/var/lib/quorvane-gateway/reads.db";
    std::int64_t maxReads = 1000000;
};

struct HomeAssistantConfig {
    bool discovery = true;
    std::string prefix = "homeassistant";
};

struct ReaderConfig {
    std::string name; // the topic level: letters, digits, '-' and '_'
    std::string port; // anything --port takes
    std::string settings = "19200,e,8,1";
};

struct Config {
    MqttConfig mqtt;
    StoreConfig store;
    HomeAssistantConfig homeAssistant;
    std::vector<ReaderConfig> readers;
};

// One thing wrong with the file: "mqtt.server (line 2): ...".
struct Problem {
    std::string path; // "readers.gate-1.port"; empty for the file as a whole
    int line = 0;     // 1-based; 0 when not known
    std::string what;
    std::string text() const;
};

struct Loaded {
    std::optional<Config> config; // set when there is no problem
    std::vector<Problem> problems;
};

// Parses the YAML text and checks every key and value. Files named in it (the password file, the
// TLS files) are checked as they are now: there, readable, and not readable by others where they
// hold a secret.
Loaded ParseConfig(const std::string& yaml);
// The same from a file; one that cannot be read is a problem.
Loaded LoadConfig(const std::string& path);

// The password of the password file: its first line, without the line end. nullopt with `error`.
std::optional<std::string> ReadPassword(const std::string& path, std::string& error);

} // namespace qv::gateway
