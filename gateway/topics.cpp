#include "gateway/topics.h"

#include <cctype>

namespace qv::gateway {

namespace {

using json = nlohmann::ordered_json;

std::string Dump(const json& doc) {
    // Bytes from the reader (a serial number) need not be UTF-8: replaced, never thrown about.
    return doc.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace

std::string BridgeTopic(const std::string& base) {
    return base + "/bridge/state";
}

std::string ReaderTopic(const std::string& base, const std::string& reader, const char* leaf) {
    return base + "/" + reader + "/" + leaf;
}

std::string DiscoveryTopic(const std::string& prefix, const std::string& node,
                           const std::string& reader) {
    return prefix + "/tag/" + node + "/" + reader + "/config";
}

std::string CommandReader(const std::string& base, const std::string& topic, const char* leaf) {
    const std::string head = base + "/";
    const std::string tail = std::string("/") + leaf;
    if (topic.size() <= head.size() + tail.size() || !topic.starts_with(head) ||
        !topic.ends_with(tail))
        return {};
    const std::string reader = topic.substr(head.size(), topic.size() - head.size() - tail.size());
    return reader.find('/') == std::string::npos ? reader : std::string();
}

std::string TagPayload(const std::string& time, const reader::TagRead& read,
                       const std::string& reader, const std::string& serial, std::int64_t seq) {
    return Dump({{"time", time},
                 {"id", read.tag.id},
                 {"decimal", read.tag.decimal},
                 {"hex", read.tag.hex},
                 {"input", std::string(1, read.input)},
                 {"reader", reader},
                 {"serial", serial},
                 {"seq", seq}});
}

std::string StatePayload(const ReaderState& s) {
    json doc = {{"state", s.state},
                {"serial", s.serial.empty() ? json(nullptr) : json(s.serial)},
                {"firmware", s.firmware.empty() ? json(nullptr) : json(s.firmware)},
                {"port", s.port},
                {"since", s.since},
                {"dropped", s.dropped},
                {"store", s.store.empty() ? json("ok") : json(s.store)}};
    if (!s.previousSerial.empty())
        doc["previous_serial"] = s.previousSerial;
    return Dump(doc);
}

std::string DiscoveryPayload(const std::string& tagTopic, const std::string& reader,
                             const std::string& serial, const std::string& firmware) {
    json device = {{"identifiers", json::array({"quorvane-" + serial})},
                   {"name", "Quorvane reader " + reader},
                   {"model", "Quorvane RFID reader"},
                   {"serial_number", serial}};
    if (!firmware.empty())
        device["sw_version"] = firmware;
    return Dump(
        {{"topic", tagTopic}, {"value_template", "{{ value_json.id }}"}, {"device", device}});
}

std::string TopicLevel(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
    return out.empty() ? std::string("gateway") : out;
}

} // namespace qv::gateway
