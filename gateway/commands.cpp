#include "gateway/commands.h"

namespace qv::gateway {

namespace {

using json = nlohmann::ordered_json;

Decoded Refuse(std::string why) {
    return {std::nullopt, std::move(why)};
}

std::optional<json> Parse(std::string_view payload, std::string& error) {
    if (payload.size() > kMaxCommandBytes) {
        error = "the payload is larger than " + std::to_string(kMaxCommandBytes / 1024) + " KiB";
        return std::nullopt;
    }
    json doc = json::parse(payload.begin(), payload.end(), nullptr, false);
    if (doc.is_discarded()) {
        error = "the payload is not JSON";
        return std::nullopt;
    }
    return doc;
}

} // namespace

Decoded DecodeSet(std::string_view payload) {
    std::string error;
    const auto doc = Parse(payload, error);
    if (!doc)
        return Refuse(error);
    if (!doc->is_object() || doc->empty())
        return Refuse("set takes a JSON object of outputs and parameters, e.g. {\"rssi\": 120}");
    SetCommand set;
    for (const auto& [key, value] : doc->items()) {
        if (key == "do1" || key == "do2") {
            if (!value.is_string() || (value != "on" && value != "off"))
                return Refuse("\"" + key + "\": must be \"on\" or \"off\"");
            (key == "do1" ? set.do1 : set.do2) = value == "on";
            continue;
        }
        const reader::ParamRow* row = reader::FindParam(key);
        if (!row)
            return Refuse("unknown key \"" + key + "\"");
        if (row->param == reader::Param::Baud)
            return Refuse("\"baud\" is not set through the gateway: the reader would leave the "
                          "line settings it is polled at");
    }
    // The parameters in the order a restore writes them, the reader ID last of all.
    for (const auto& row : reader::Params()) {
        const auto it = doc->find(row.name);
        if (it == doc->end())
            continue;
        std::string why;
        const auto value = reader::FromJson(row.param, *it, why);
        if (!value)
            return Refuse("\"" + std::string(row.name) + "\": " + why);
        if (row.param != reader::Param::Id)
            set.items.push_back({row.param, *value});
    }
    if (const auto id = doc->find("id"); id != doc->end()) {
        std::string why;
        set.items.push_back({reader::Param::Id, *reader::FromJson(reader::Param::Id, *id, why)});
    }
    return {Command(std::move(set)), {}};
}

Decoded DecodeGet(std::string_view payload) {
    std::string error;
    const auto doc = Parse(payload, error);
    if (!doc)
        return Refuse(error);
    GetCommand get;
    if (doc->is_string() && *doc == "all") {
        for (const auto& row : reader::Params())
            if (row.inBackup && row.readable())
                get.params.push_back(row.param);
        return {Command(std::move(get)), {}};
    }
    if (!doc->is_array() || doc->empty())
        return Refuse("get takes a list of parameter names, e.g. [\"rssi\", \"mode\"], or \"all\"");
    for (const auto& name : *doc) {
        if (!name.is_string())
            return Refuse("get takes parameter names as texts");
        const reader::ParamRow* row = reader::FindParam(name.get<std::string>());
        if (!row)
            return Refuse("unknown parameter \"" + name.get<std::string>() + "\"");
        if (!row->readable())
            return Refuse("\"" + std::string(row->name) + "\" cannot be read from the reader");
        get.params.push_back(row->param);
    }
    return {Command(std::move(get)), {}};
}

} // namespace qv::gateway
