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

#include "reader/connection.h"
#include "reader/profile.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::reader {

// Reads the identity, version and every backed-up parameter. nullopt with `error` naming the
// first thing the reader did not answer. Behind raw TCP, where the line settings are the
// server's and not known, "settings" is null and "baud" is left out.
std::optional<nlohmann::ordered_json> MakeBackup(Connection& connection,
                                                 const std::string& programVersion,
                                                 const std::string& time, std::string& error);

using RestoreItem = ProfileItem;

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

// Writes and verifies one parameter or a backup's items on the connection; a new line speed is
// read back by reopening the port at it and reading the identity (profile.h).
RestoreStep WriteAndVerify(Connection& connection, Param param, const Value& value);
std::vector<RestoreStep> Restore(Connection& connection, const std::vector<RestoreItem>& items);

} // namespace qv::reader
