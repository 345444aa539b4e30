#pragma once
// What the gateway publishes, as topics and payloads, pure: no broker in sight.
//   <base>/bridge/state          "online" / "offline" (retained; the Last Will says offline)
//   <base>/<reader>/tag          one read: watch --json's fields plus reader, serial and seq
//   <base>/<reader>/state        the reader's state (retained)
//   <base>/<reader>/set, /get    commands, answered on <base>/<reader>/response
//   <prefix>/tag/<node>/<reader>/config   Home Assistant's tag scanner (retained)

#include "reader/tag_run.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace qv::gateway {

std::string BridgeTopic(const std::string& base);
std::string ReaderTopic(const std::string& base, const std::string& reader, const char* leaf);
std::string DiscoveryTopic(const std::string& prefix, const std::string& node,
                           const std::string& reader);
// The reader's name from a command topic "<base>/<reader>/set": empty when it is none.
std::string CommandReader(const std::string& base, const std::string& topic, const char* leaf);

// A read as JSON: time, id, decimal, hex, input, reader, serial, seq.
std::string TagPayload(const std::string& time, const reader::TagRead& read,
                       const std::string& reader, const std::string& serial, std::int64_t seq);

struct ReaderState {
    std::string state = "disconnected"; // "online", "not answering", "disconnected"
    std::string serial, firmware, port, since;
    std::int64_t dropped = 0;   // reads dropped past the store's bound
    std::string store;          // empty: the store takes every read; else why it does not
    std::string previousSerial; // set once another reader answered after a reopening
};
std::string StatePayload(const ReaderState& state);

// Home Assistant's MQTT tag scanner for one reader. `node`: the gateway's client id as a topic
// level (letters, digits, - and _).
std::string DiscoveryPayload(const std::string& tagTopic, const std::string& reader,
                             const std::string& serial, const std::string& firmware);
std::string TopicLevel(const std::string& text);

} // namespace qv::gateway
