#pragma once
// A production station: one reader after another on each of its ports, each given the same
// profile and checked against it, with one record per reader. Per port, a round:
//   wait until a reader answers (its identity asked every 500 ms, a port that cannot be opened
//   yet simply tried again), read its identity and firmware, write the profile (and the next
//   reader ID of the sequence), read every parameter back, optionally wait for one tag, record,
//   then wait until the reader no longer answers (unplugged) before waiting for the next.
// The ports run in parallel, one thread each. No terminal and no file here: the records go to
// a sink that the front end gives.

#include "reader/identity.h"
#include "reader/profile.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qv::reader {

// One port of a station: its line and the link over it.
class StationLine {
public:
    virtual ~StationLine() = default;
    virtual std::string name() const = 0;
    // Opens the port; false when it cannot be opened, e.g. nothing is plugged in.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual link::Link& link() = 0;
    // Why the last open failed, in plain words; empty when the port is simply not there (yet),
    // which is no news on a station waiting for readers.
    virtual std::string whyNotOpen() const { return {}; }
};

struct StationPlan {
    std::vector<ProfileItem> items;         // the profile's writes, in order
    std::string profile;                    // the profile's file name ...
    std::string profileSha256;              // ... and its fingerprint, for the records
    std::optional<int> idFrom;              // reader IDs in sequence from here
    std::optional<std::uint32_t> tagTestMs; // wait this long for one tag; fail without one
    std::optional<int> count;               // readers in all, over every port
    std::optional<int> tries;       // tries per parameter read or write instead of the row's
    std::uint32_t askEveryMs = 500; // how often a waiting port asks for an identity
};

struct ParamFailure {
    std::string parameter, reason;
};

struct StationRecord {
    std::string time, port, serial, firmware, profile, profileSha256;
    std::optional<std::string> id; // the reader ID given
    bool passed = false;
    std::vector<ParamFailure> failures;
    std::int64_t durationMs = 0;
    std::optional<int> nextId; // the sequence's next ID after this record
};

// A record as one line of the station's log, and back: the log is JSON lines.
nlohmann::ordered_json ToJson(const StationRecord& record);
// The CSV form: the header line and one line per record (fields quoted where needed).
std::string CsvHeader();
std::string CsvLine(const StationRecord& record);

// Reader IDs in sequence for every port of a station: no ID is given twice, and a reader that
// comes back keeps the ID it was given.
class IdSequence {
public:
    explicit IdSequence(int first) : next_(first) {}
    // Takes up an earlier record of the log: its next ID and the ID its reader got.
    void resume(const nlohmann::ordered_json& record);
    // The ID for the reader with `serial`; nullopt when the sequence has run past 99.
    std::optional<std::string> take(const std::string& serial);
    int next() const;

private:
    mutable std::mutex mutex_;
    int next_;
    std::map<std::string, std::string> given_; // serial number -> ID
};

// Something a waiting port met that is no reader: a port that does not open for a reason worth
// telling, or something that answers but never as a reader.
struct StationNotice {
    std::string port, what;
};

struct StationSummary {
    int passed = 0, failed = 0;
    double seconds = 0;
    // What each port met last while it waited and never cleared (a reader that answered clears
    // its port's).
    std::vector<StationNotice> notices;
    double readersPerHour() const;
};

class Station {
public:
    // `now` gives the records' time; `sink` takes each record. Both are called under the
    // station's lock, one record at a time. A sink that could not keep a record returns false:
    // the station then ends as on a stop, after the readers being configured.
    using Sink = std::function<bool(const StationRecord&)>;
    // Hears each notice once, when a port meets it (again after something else came between).
    using Notify = std::function<void(const StationNotice&)>;
    Station(StationPlan plan, const std::atomic<bool>& stop, std::function<std::string()> now,
            Sink sink, Notify notify = {});

    IdSequence* ids() { return ids_ ? &*ids_ : nullptr; }
    // One loop per line, each on a thread of its own, until the stop flag is set (each ends
    // after its current reader) or the count is reached.
    StationSummary run(const std::vector<StationLine*>& lines);
    // One port's loop.
    void serve(StationLine& line);

private:
    std::optional<ReaderIdentity> waitForReader(StationLine& line);
    StationRecord round(StationLine& line, const ReaderIdentity& identity);
    void waitUntilGone(StationLine& line, const std::string& serial);
    // Says `what` of the line once, until another notice or a reader comes between (clear).
    void tell(StationLine& line, const std::string& what);
    void clear(StationLine& line);
    bool claim();
    bool finished() const;
    // Sleeps `ms` in short slices; false as soon as the station is to end.
    bool pause(link::Link& link, std::uint32_t ms);

    StationPlan plan_;
    const std::atomic<bool>& stop_;
    std::function<std::string()> now_;
    Sink sink_;
    Notify notify_;
    std::map<std::string, std::string> told_; // port -> its last notice, empty once cleared
    std::optional<IdSequence> ids_;
    std::atomic<int> claimed_{0};
    std::atomic<bool> sinkFailed_{false};
    std::mutex mutex_;
    StationSummary summary_;
};

} // namespace qv::reader
