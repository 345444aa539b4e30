#include "gateway/config.h"

#include "reader/connection.h"

#include "link/transport/line_settings.h"

#include <yaml-cpp/yaml.h>

#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::gateway {

namespace {

// Collects the problems of one file while it is walked.
class Checker {
public:
    std::vector<Problem> problems;

    void add(const std::string& path, const YAML::Node& node, const std::string& what) {
        const int line = node.IsDefined() && node.Mark().line >= 0 ? node.Mark().line + 1 : 0;
        problems.push_back({path, line, what});
    }

    // A mapping's keys are all among `known`; each other key is a problem of its own.
    bool mapping(const std::string& path, const YAML::Node& node,
                 const std::set<std::string>& known) {
        if (!node.IsMap()) {
            add(path, node, "must be a mapping of keys");
            return false;
        }
        for (const auto& item : node) {
            const std::string key = item.first.as<std::string>("");
            if (!known.count(key)) {
                std::string list;
                for (const auto& k : known)
                    list += (list.empty() ? "" : ", ") + k;
                add(Join(path, key), item.first, "unknown key (known here: " + list + ")");
            }
        }
        return true;
    }

    std::optional<std::string> text(const std::string& path, const YAML::Node& node) {
        if (!node.IsScalar() || node.Scalar().empty()) {
            add(path, node, "must be a text");
            return std::nullopt;
        }
        return node.Scalar();
    }

    std::optional<std::int64_t> number(const std::string& path, const YAML::Node& node,
                                       std::int64_t low, std::int64_t high) {
        std::int64_t value = 0;
        const std::string s = node.IsScalar() ? node.Scalar() : std::string();
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
            add(path, node, "must be a whole number");
            return std::nullopt;
        }
        if (value < low || value > high) {
            add(path, node,
                std::to_string(value) + " is out of range " + std::to_string(low) + ".." +
                    std::to_string(high));
            return std::nullopt;
        }
        return value;
    }

    std::optional<bool> flag(const std::string& path, const YAML::Node& node) {
        const std::string s = node.IsScalar() ? node.Scalar() : std::string();
        if (s == "true" || s == "yes" || s == "on")
            return true;
        if (s == "false" || s == "no" || s == "off")
            return false;
        add(path, node, "must be true or false");
        return std::nullopt;
    }

    static std::string Join(const std::string& path, const std::string& key) {
        return path.empty() ? key : path + "." + key;
    }
};

// A file the gateway will read: there and readable; a secret readable by others is refused.
void CheckFile(Checker& c, const std::string& path, const YAML::Node& node, const std::string& file,
               bool secret) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        c.add(path, node, file + ": does not exist");
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        c.add(path, node, file + ": not a regular file");
        return;
    }
    if (::access(file.c_str(), R_OK) != 0) {
        c.add(path, node, file + ": cannot be read by this user");
        return;
    }
    if (secret && (info.st_mode & (S_IROTH | S_IWOTH)))
        c.add(path, node,
              file + ": readable by others; make it the service's alone (chmod 600 or 640)");
}

bool ReaderName(const std::string& name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (const char ch : name)
        if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '_'))
            return false;
    return true;
}

bool TopicLevels(const std::string& topic) {
    if (topic.empty() || topic.front() == '/' || topic.back() == '/')
        return false;
    return topic.find_first_of("+#") == std::string::npos;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

// "mqtt://host[:port]" or "mqtts://host[:port]", an IPv6 host in brackets.
bool ParseServer(const std::string& text, MqttConfig& mqtt) {
    std::string rest;
    if (text.starts_with("mqtt://")) {
        mqtt.tls = false;
        rest = text.substr(7);
    } else if (text.starts_with("mqtts://")) {
        mqtt.tls = true;
        rest = text.substr(8);
    } else {
        return false;
    }
    std::string host, port;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string::npos)
            return false;
        host = rest.substr(1, close - 1);
        rest.erase(0, close + 1);
        if (!rest.empty() && rest.front() != ':')
            return false;
        port = rest.empty() ? "" : rest.substr(1);
    } else {
        const auto colon = rest.find(':');
        host = rest.substr(0, colon);
        port = colon == std::string::npos ? "" : rest.substr(colon + 1);
        if (port.find(':') != std::string::npos)
            return false;
    }
    if (host.empty() || host.find_first_of("/?#@ ") != std::string::npos)
        return false;
    mqtt.host = host;
    mqtt.port = mqtt.tls ? 8883 : 1883;
    if (!port.empty()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
            return false;
        mqtt.port = value;
    }
    return true;
}

void CheckMqtt(Checker& c, const YAML::Node& node, MqttConfig& mqtt) {
    if (!c.mapping("mqtt", node,
                   {"server", "base_topic", "client_id", "username", "password_file", "ca_file",
                    "cert_file", "key_file", "keepalive"}))
        return;
    if (!node["server"])
        c.add("mqtt.server", node, "is missing (mqtt://host:port)");
    else if (const auto server = c.text("mqtt.server", node["server"]);
             server && !ParseServer(*server, mqtt))
        c.add("mqtt.server", node["server"],
              "\"" + *server + "\" is not mqtt://host:port or mqtts://host:port");
    if (node["base_topic"])
        if (const auto topic = c.text("mqtt.base_topic", node["base_topic"])) {
            if (TopicLevels(*topic))
                mqtt.baseTopic = *topic;
            else
                c.add("mqtt.base_topic", node["base_topic"],
                      "must be topic levels without +, # or a leading or trailing /");
        }
    mqtt.clientId = "quorvane-gateway-" + HostName();
    if (node["client_id"])
        if (const auto id = c.text("mqtt.client_id", node["client_id"]))
            mqtt.clientId = *id;
    if (node["username"])
        if (const auto user = c.text("mqtt.username", node["username"]))
            mqtt.username = *user;
    if (node["password_file"]) {
        if (const auto file = c.text("mqtt.password_file", node["password_file"])) {
            mqtt.passwordFile = *file;
            CheckFile(c, "mqtt.password_file", node["password_file"], *file, true);
        }
        if (!node["username"])
            c.add("mqtt.password_file", node["password_file"], "needs mqtt.username");
    }
    const std::pair<const char*, std::string MqttConfig::*> files[] = {
        {"ca_file", &MqttConfig::caFile},
        {"cert_file", &MqttConfig::certFile},
        {"key_file", &MqttConfig::keyFile}};
    for (const auto& [key, member] : files) {
        if (!node[key])
            continue;
        const std::string path = std::string("mqtt.") + key;
        if (const auto file = c.text(path, node[key])) {
            mqtt.*member = *file;
            CheckFile(c, path, node[key], *file, std::string(key) == "key_file");
            if (!mqtt.tls)
                c.add(path, node[key], "needs an mqtts:// server");
        }
    }
    if (mqtt.certFile.empty() != mqtt.keyFile.empty())
        c.add(mqtt.certFile.empty() ? "mqtt.key_file" : "mqtt.cert_file", node,
              "a client certificate needs both cert_file and key_file");
    if (node["keepalive"])
        if (const auto seconds = c.number("mqtt.keepalive", node["keepalive"], 5, 3600))
            mqtt.keepaliveSeconds = static_cast<int>(*seconds);
}

void CheckStore(Checker& c, const YAML::Node& node, StoreConfig& store) {
    if (!c.mapping("store", node, {"path", "max_reads"}))
        return;
    if (node["path"])
        if (const auto path = c.text("store.path", node["path"]))
            store.path = *path;
    if (node["max_reads"])
        if (const auto max = c.number("store.max_reads", node["max_reads"], 1, 1000000000))
            store.maxReads = *max;
}

void CheckHomeAssistant(Checker& c, const YAML::Node& node, HomeAssistantConfig& ha) {
    if (!c.mapping("homeassistant", node, {"discovery", "prefix"}))
        return;
    if (node["discovery"])
        if (const auto on = c.flag("homeassistant.discovery", node["discovery"]))
            ha.discovery = *on;
    if (node["prefix"])
        if (const auto prefix = c.text("homeassistant.prefix", node["prefix"])) {
            if (TopicLevels(*prefix))
                ha.prefix = *prefix;
            else
                c.add("homeassistant.prefix", node["prefix"],
                      "must be topic levels without +, # or a leading or trailing /");
        }
}

void CheckReaders(Checker& c, const YAML::Node& node, std::vector<ReaderConfig>& readers) {
    if (!node.IsMap() || node.size() == 0) {
        c.add("readers", node, "must name at least one reader: NAME: {port: ..., settings: ...}");
        return;
    }
    std::set<std::string> devices;
    for (const auto& item : node) {
        ReaderConfig r;
        r.name = item.first.as<std::string>("");
        const std::string path = "readers." + r.name;
        if (!ReaderName(r.name)) {
            c.add(path, item.first, "a reader's name is letters, digits, - and _ (a topic level)");
            continue;
        }
        const YAML::Node& reader = item.second;
        if (!c.mapping(path, reader, {"port", "settings"}))
            continue;
        if (reader["settings"])
            if (const auto settings = c.text(path + ".settings", reader["settings"])) {
                if (link::ParseLineSettings(*settings))
                    r.settings = *settings;
                else
                    c.add(path + ".settings", reader["settings"],
                          "\"" + *settings + "\" is not line settings such as 19200,e,8,1");
            }
        if (!reader["port"]) {
            c.add(path + ".port", reader, "is missing (COMn, a device, usb:..., a port URL)");
        } else if (const auto port = c.text(path + ".port", reader["port"])) {
            std::string error;
            if (!reader::MakePlace(*port, r.settings, {}, error))
                c.add(path + ".port", reader["port"], error);
            else if (!devices.insert(*port).second)
                c.add(path + ".port", reader["port"], *port + " is another reader's port too");
            r.port = *port;
        }
        readers.push_back(r);
    }
}

} // namespace

std::string Problem::text() const {
    std::string out = path.empty() ? std::string("the file") : path;
    if (line > 0)
        out += " (line " + std::to_string(line) + ")";
    return out + ": " + what;
}

Loaded ParseConfig(const std::string& yaml) {
    Loaded loaded;
    YAML::Node root;
    try {
        root = YAML::Load(yaml);
    } catch (const YAML::Exception& e) {
        loaded.problems.push_back({"", e.mark.line >= 0 ? e.mark.line + 1 : 0, e.msg});
        return loaded;
    }
    Checker c;
    Config config;
    if (c.mapping("", root, {"mqtt", "store", "homeassistant", "readers"})) {
        if (root["mqtt"])
            CheckMqtt(c, root["mqtt"], config.mqtt);
        else
            c.add("mqtt", root, "is missing (mqtt: {server: mqtt://host:port})");
        if (root["store"])
            CheckStore(c, root["store"], config.store);
        if (root["homeassistant"])
            CheckHomeAssistant(c, root["homeassistant"], config.homeAssistant);
        if (root["readers"])
            CheckReaders(c, root["readers"], config.readers);
        else
            c.add("readers", root, "is missing: name at least one reader");
    }
    loaded.problems = std::move(c.problems);
    if (loaded.problems.empty())
        loaded.config = std::move(config);
    return loaded;
}

Loaded LoadConfig(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Loaded loaded;
        loaded.problems.push_back({"", 0, path + ": cannot be read"});
        return loaded;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseConfig(text.str());
}

std::optional<std::string> ReadPassword(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace qv::gateway
