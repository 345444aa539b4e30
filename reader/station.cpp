#include "reader/station.h"

#include "reader/tag_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace qv::reader {

namespace {

constexpr int kGoneTries = 2;               // identity requests unanswered: the reader is gone
constexpr std::uint32_t kPauseSliceMs = 50; // how quickly a waiting port sees the stop flag

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// The tag test: polls for up to `ms` until one tag is read.
bool TagTestPasses(link::Link& link, std::uint32_t ms) {
    struct FirstTag : TagSink {
        bool seen = false;
        void tag(const TagRead&) override { seen = true; }
    } sink;
    TagRunPlan plan;
    plan.count = 1;
    plan.forMs = ms;
    std::optional<Outputs> sent;
    RunTags(link, plan, sent, sink, [] { return false; });
    return sink.seen;
}

// What the identity request that went unanswered met, when something did answer: empty for a
// port where nothing came at all.
std::string WhatAnswered(const link::Link& link) {
    switch (link.lastOutcome()) {
    case link::Outcome::BadChecksum:
        return "answers, but not as a reader: replies with a bad checksum";
    case link::Outcome::Ceiling:
        return "answers, but not as a reader: sends without end";
    case link::Outcome::OtherReply:
        return "answers, but not as a reader: replies to earlier commands (too late)";
    case link::Outcome::Verified:
        if (link.reply().length() != 16)
            return "answers, but not as a reader: an identity reply of " +
                   std::to_string(link.reply().length()) + " bytes (a reader's has 16)";
        return "answers, but not as a reader: an identity whose ID is not two digits";
    case link::Outcome::NoReply:
        break;
    }
    return link.reply().length() > 0 ? "answers, but not as a reader: bytes that form no reply"
                                     : std::string();
}

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(ms) / 1000.0);
    return text;
}

} // namespace

nlohmann::ordered_json ToJson(const StationRecord& r) {
    nlohmann::ordered_json failures = nlohmann::ordered_json::array();
    for (const auto& f : r.failures)
        failures.push_back({{"parameter", f.parameter}, {"reason", f.reason}});
    nlohmann::ordered_json doc = {{"time", r.time},
                                  {"port", r.port},
                                  {"serial", r.serial},
                                  {"firmware", r.firmware},
                                  {"profile", r.profile},
                                  {"profile_sha256", r.profileSha256},
                                  {"id", r.id ? nlohmann::ordered_json(*r.id) : nullptr},
                                  {"result", r.passed ? "pass" : "fail"},
                                  {"failures", failures},
                                  {"duration_ms", r.durationMs}};
    if (r.nextId)
        doc["next_id"] = *r.nextId;
    return doc;
}

std::string CsvHeader() {
    return "time,port,serial,firmware,profile,profile_sha256,id,result,failures,duration_ms";
}

std::string CsvLine(const StationRecord& r) {
    std::string failures;
    for (const auto& f : r.failures)
        failures += (failures.empty() ? "" : "; ") + f.parameter + ": " + f.reason;
    const std::vector<std::string> fields = {r.time,
                                             r.port,
                                             r.serial,
                                             r.firmware,
                                             r.profile,
                                             r.profileSha256,
                                             r.id.value_or(""),
                                             r.passed ? "pass" : "fail",
                                             failures,
                                             std::to_string(r.durationMs)};
    std::string line;
    for (const auto& field : fields) {
        if (!line.empty())
            line += ',';
        line += CsvField(field);
    }
    return line;
}

void IdSequence::resume(const nlohmann::ordered_json& record) {
    const std::lock_guard lock(mutex_);
    if (const auto next = record.find("next_id"); next != record.end() && next->is_number_integer())
        next_ = std::max(next_, next->get<int>());
    const auto id = record.find("id");
    const auto serial = record.find("serial");
    if (id != record.end() && id->is_string() && serial != record.end() && serial->is_string())
        given_[serial->get<std::string>()] = id->get<std::string>();
}

std::optional<std::string> IdSequence::take(const std::string& serial) {
    const std::lock_guard lock(mutex_);
    if (const auto given = given_.find(serial); given != given_.end())
        return given->second;
    if (next_ > RowOf(Param::Id).bounds.high)
        return std::nullopt;
    char id[8];
    std::snprintf(id, sizeof id, "%02d", next_++);
    return given_[serial] = id;
}

int IdSequence::next() const {
    const std::lock_guard lock(mutex_);
    return next_;
}

double StationSummary::readersPerHour() const {
    return seconds > 0 ? (passed + failed) * 3600.0 / seconds : 0.0;
}

Station::Station(StationPlan plan, const std::atomic<bool>& stop, std::function<std::string()> now,
                 Sink sink, Notify notify)
    : plan_(std::move(plan)), stop_(stop), now_(std::move(now)), sink_(std::move(sink)),
      notify_(std::move(notify)) {
    if (plan_.idFrom)
        ids_.emplace(*plan_.idFrom);
}

StationSummary Station::run(const std::vector<StationLine*>& lines) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (StationLine* line : lines)
        threads.emplace_back([this, line] { serve(*line); });
    for (auto& thread : threads)
        thread.join();
    const std::lock_guard lock(mutex_);
    summary_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const auto& [port, what] : told_)
        if (!what.empty())
            summary_.notices.push_back({port, what});
    return summary_;
}

void Station::serve(StationLine& line) {
    while (const auto identity = waitForReader(line)) {
        if (!claim())
            break;
        StationRecord record = round(line, *identity);
        line.close();
        {
            const std::lock_guard lock(mutex_);
            if (ids_)
                record.nextId = ids_->next();
            ++(record.passed ? summary_.passed : summary_.failed);
            if (!sink_(record))
                sinkFailed_ = true;
        }
        if (stop_ || finished())
            break;
        waitUntilGone(line, identity->serial);
    }
    line.close();
}

std::optional<ReaderIdentity> Station::waitForReader(StationLine& line) {
    link::Link& link = line.link();
    while (!stop_ && !finished()) {
        const std::uint32_t start = link.nowMs();
        const auto left = [&] {
            const std::uint32_t spent = link.nowMs() - start;
            return spent < plan_.askEveryMs ? plan_.askEveryMs - spent : 0;
        };
        if (!line.open()) {
            tell(line, line.whyNotOpen());
        } else if (auto identity = ReadIdentity(link, 1)) {
            clear(line);
            return identity;
        } else {
            std::string what = WhatAnswered(link);
            // A reply slower than the wait arrives in the pause: listen there with the port open.
            for (std::uint32_t rest = left(); what.empty() && rest > 0 && !stop_ && !finished();
                 rest = left())
                if (link.CommListen(std::min(rest, kPauseSliceMs)) > 0)
                    what = "answers, but not as a reader: too late for the wait, or not in "
                           "reply frames";
            line.close();
            tell(line, what);
        }
        if (!pause(link, left()))
            break;
    }
    return std::nullopt;
}

void Station::tell(StationLine& line, const std::string& what) {
    const std::lock_guard lock(mutex_);
    std::string& told = told_[line.name()];
    // A round that met nothing at all says nothing new: what was said stands until a reader
    // answers (clear) or something else is met.
    if (what.empty() || what == told)
        return;
    told = what;
    if (notify_)
        notify_({line.name(), what});
}

void Station::clear(StationLine& line) {
    const std::lock_guard lock(mutex_);
    told_.erase(line.name());
}

StationRecord Station::round(StationLine& line, const ReaderIdentity& identity) {
    link::Link& link = line.link();
    const std::uint32_t start = link.nowMs();
    StationRecord r;
    {
        const std::lock_guard lock(mutex_);
        r.time = now_();
    }
    r.port = line.name();
    r.serial = identity.serial;
    r.profile = plan_.profile;
    r.profileSha256 = plan_.profileSha256;
    if (const auto version = ReadVersion(link, kVersionTries))
        r.firmware = *version;
    else
        r.failures.push_back({"firmware", "no answer"});

    std::vector<ProfileItem> items = plan_.items;
    bool written = true;
    if (ids_) {
        r.id = ids_->take(identity.serial);
        if (r.id)
            items.push_back({Param::Id, *r.id}); // last, as a restore writes it
        else {
            r.failures.push_back({"id", "no reader ID left: the sequence ended at 99"});
            written = false;
        }
    }
    // Written and read back as a restore does, which stops at the first write the reader did not
    // confirm. The record names the reader ID only once the reader has taken it.
    const std::optional<std::string> id = r.id;
    r.id.reset();
    if (written)
        for (const auto& step : Restore(link, items, plan_.tries)) {
            if (step.param == Param::Id && step.state != RestoreStep::State::WriteFailed &&
                step.state != RestoreStep::State::NotAttempted)
                r.id = id;
            if (const std::string reason = Reason(step); !reason.empty())
                r.failures.push_back({RowOf(step.param).name, reason});
        }
    if (r.failures.empty() && plan_.tagTestMs && !TagTestPasses(link, *plan_.tagTestMs))
        r.failures.push_back({"tag-test", "no tag read in " + Seconds(*plan_.tagTestMs) + " s"});
    r.passed = r.failures.empty();
    r.durationMs = link.nowMs() - start;
    return r;
}

void Station::waitUntilGone(StationLine& line, const std::string& serial) {
    link::Link& link = line.link();
    while (pause(link, plan_.askEveryMs)) {
        if (!line.open())
            return;
        const auto identity = ReadIdentity(link, kGoneTries);
        line.close();
        if (!identity || identity->serial != serial)
            return; // unplugged, or already another reader in its place
    }
}

bool Station::claim() {
    if (!plan_.count) {
        ++claimed_;
        return true;
    }
    int claimed = claimed_.load();
    while (claimed < *plan_.count)
        if (claimed_.compare_exchange_weak(claimed, claimed + 1))
            return true;
    return false;
}

bool Station::finished() const {
    return sinkFailed_ || (plan_.count && claimed_.load() >= *plan_.count);
}

bool Station::pause(link::Link& link, std::uint32_t ms) {
    while (ms > 0 && !stop_ && !finished()) {
        const std::uint32_t slice = std::min(ms, kPauseSliceMs);
        link.sleepMs(slice);
        ms -= slice;
    }
    return !stop_ && !finished();
}

} // namespace qv::reader
