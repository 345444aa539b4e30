#pragma once
// Backup files: every readable parameter and the reader's identity in one JSON document, and the
// restore that writes them back with a read-back of each.
//
// {
//   "program": "quorvane-cli", "version": "2.3.2", "time": "2026-01-31T08:15:00Z",
//   "port": "COM3", "settings": "19200,e,8,1",
//   "reader": {"id": "01", "serial": "QV000001", "version": "02.31-07"},
//   "parameters": {"same-card": 10, "di5": "NO", ..., "baud": "19200,e,8,1"}
// }

#include "cli/connection.h"
#include "reader/profile.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::cli {

// Reads the identity, version and every backed-up parameter. nullopt with `error` naming the
// first thing the reader did not answer.
std::optional<nlohmann::ordered_json> MakeBackup(Connection& connection,
                                                 const std::string& programVersion,
                                                 const std::string& time, std::string& error);

using RestoreItem = reader::ProfileItem;

struct RestorePlan {
    std::vector<RestoreItem> items;   // in the order they are written
    std::vector<RestoreItem> leftOut; // the reader ID and line speed of the backup, not asked for
};

// The writes a backup asks for, checked in full before anything is sent: its text must be JSON
// with only known keys and every value in range. The reader ID and line speed are included only
// when asked for; the line speed is always written last. nullopt with `error` as
// `"rssi": 300 is out of range 0..250`.
std::optional<RestorePlan> PlanRestore(const std::string& text, bool withIdentity, bool withBaud,
                                       std::string& error);

struct RestoreStep {
    Param param;
    Value wanted;
    enum class State {
        Verified,
        Written,
        Differs,
        ReadFailed,
        WriteFailed,
        NotAttempted
    } state = State::NotAttempted;
    std::optional<Value> readBack;
};

// Writes each item and reads it back where the reader can report it. The first write the
// reader does not confirm ends the restore; the items after it stay NotAttempted.
std::vector<RestoreStep> Restore(Connection& connection, const std::vector<RestoreItem>& items);
const char* StateText(RestoreStep::State state);
// Verified, or written where the reader cannot report the value.
bool Succeeded(RestoreStep::State state);

// Writes `value` and reads it back (a new line speed by reaching the reader at it).
RestoreStep WriteAndVerify(Connection& connection, Param param, const Value& value);

} // namespace qv::cli
