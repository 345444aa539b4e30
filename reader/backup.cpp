#include "reader/backup.h"

#include "link/protocol/commands.h"

#include <set>

namespace qv::reader {

namespace {

using json = nlohmann::ordered_json;

const std::set<std::string> kTopKeys = {"program",  "version", "time",      "port",
                                        "settings", "reader",  "parameters"};
const std::set<std::string> kReaderKeys = {"id", "serial", "version"};

bool Fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

bool CheckReader(const json& reader, bool withIdentity, RestorePlan& plan, std::string& error) {
    if (!reader.is_object())
        return Fail(error, "\"reader\" must be an object");
    for (const auto& [key, value] : reader.items()) {
        if (!kReaderKeys.count(key))
            return Fail(error, "\"reader\": unknown key \"" + key + "\"");
        if (!value.is_string())
            return Fail(error, "\"reader\".\"" + key + "\": " + value.dump() + " is not a text");
    }
    if (!reader.contains("id")) {
        if (withIdentity)
            return Fail(error, "\"reader\".\"id\" is missing (needed by --with-identity)");
        return true;
    }
    std::string why;
    const auto id = FromJson(Param::Id, reader["id"], why);
    if (!id)
        return Fail(error, "\"reader\".\"id\": " + why);
    (withIdentity ? plan.items : plan.leftOut).push_back({Param::Id, *id});
    return true;
}

} // namespace

std::optional<json> MakeBackup(Connection& connection, const std::string& programVersion,
                               const std::string& time, std::string& error) {
    const auto identity = connection.readIdentity(kIdentityTries);
    if (!identity) {
        error = "the reader did not answer the identity request";
        return std::nullopt;
    }
    const auto version = connection.readVersion(kVersionTries);
    if (!version) {
        error = "the reader did not answer the version request";
        return std::nullopt;
    }
    json parameters = json::object();
    for (const auto& info : Params()) {
        if (!info.inBackup)
            continue;
        const auto value = connection.get(info.param);
        if (!value) {
            error = std::string("the reader did not report ") + info.name;
            return std::nullopt;
        }
        parameters[info.name] = ToJson(info.param, *value);
    }
    const Place& place = connection.place();
    const bool applied = connection.link().lineSettingsApplied();
    std::string why;
    if (const auto baud = ParseWords(Param::Baud, {place.settings}, why); baud && applied)
        parameters["baud"] = ToJson(Param::Baud, *baud);
    return json{
        {"program", "quorvane-cli"},
        {"version", programVersion},
        {"time", time},
        {"port", place.port},
        {"settings", applied ? json(place.settings) : json(nullptr)},
        {"reader", {{"id", identity->id}, {"serial", identity->serial}, {"version", *version}}},
        {"parameters", parameters}};
}

std::optional<RestorePlan> PlanRestore(const std::string& text, bool withIdentity, bool withBaud,
                                       std::string& error) {
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 1: ..." -> the part
        // after the tag, which names the place.
        std::string what = e.what();
        if (const auto at = what.find("] "); at != std::string::npos)
            what.erase(0, at + 2);
        error = "not valid JSON: " + what;
        return std::nullopt;
    }
    if (!doc.is_object()) {
        error = "not a backup: the document is not a JSON object";
        return std::nullopt;
    }
    for (const auto& [key, value] : doc.items())
        if (!kTopKeys.count(key)) {
            error = "unknown key \"" + key + "\"";
            return std::nullopt;
        }
    if (!doc.contains("parameters") || !doc["parameters"].is_object()) {
        error = "\"parameters\" is missing or not an object";
        return std::nullopt;
    }
    const json& parameters = doc["parameters"];
    for (const auto& [key, value] : parameters.items()) {
        if (FindParam(key) && FindParam(key)->param == Param::Id) {
            error = "\"parameters\": \"id\" does not belong here: the reader ID is "
                    "\"reader\".\"id\", restored with --with-identity";
            return std::nullopt;
        }
        if (!FindParam(key)) {
            error = "\"parameters\": unknown parameter \"" + key + "\"";
            return std::nullopt;
        }
    }

    RestorePlan identity;
    if (doc.contains("reader") && !CheckReader(doc["reader"], withIdentity, identity, error))
        return std::nullopt;
    if (withIdentity && !doc.contains("reader")) {
        error = "\"reader\" is missing (needed by --with-identity)";
        return std::nullopt;
    }
    // Parameters in the fixed order, then the reader ID, then the line speed: after a new line
    // speed the reader answers only at it.
    std::optional<RestoreItem> baud;
    RestorePlan plan;
    for (const auto& info : Params()) {
        if (!parameters.contains(info.name))
            continue;
        std::string why;
        const auto value = FromJson(info.param, parameters[info.name], why);
        if (!value) {
            error = "\"" + std::string(info.name) + "\": " + why;
            return std::nullopt;
        }
        if (info.param == Param::Baud)
            baud = RestoreItem{info.param, *value};
        else
            plan.items.push_back({info.param, *value});
    }
    if (withBaud && !baud) {
        error = "\"parameters\".\"baud\" is missing (needed by --with-baud)";
        return std::nullopt;
    }
    plan.items.insert(plan.items.end(), identity.items.begin(), identity.items.end());
    plan.leftOut = identity.leftOut;
    if (baud)
        (withBaud ? plan.items : plan.leftOut).push_back(*baud);
    return plan;
}

namespace {

ReachAt ReachThrough(Connection& connection) {
    return [&connection](const std::string& settings) {
        connection.close();
        return connection.open(settings) && connection.readIdentity(kIdentityTries).has_value();
    };
}

} // namespace

RestoreStep WriteAndVerify(Connection& connection, Param param, const Value& value) {
    return reader::WriteAndVerify(connection.link(), param, value, connection.tries(),
                                  ReachThrough(connection));
}

std::vector<RestoreStep> Restore(Connection& connection, const std::vector<RestoreItem>& items) {
    return reader::Restore(connection.link(), items, connection.tries(), ReachThrough(connection));
}

} // namespace qv::reader
