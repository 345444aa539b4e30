#pragma once
// The gateway's read store: every read waits here, in an SQLite file in WAL mode, from before the
// reader is told it was taken until the broker has acknowledged it. Each reader's reads are
// numbered (seq: 1, 2, 3 ... across restarts), so that a consumer sees a gap or a duplicate.
// Past max_reads the oldest go, counted per reader: never a silent loss. When the file cannot be
// written, reads are held in memory meanwhile and the error is said; the next write that goes
// through takes them into the file. Safe for several threads.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qv::gateway {

struct StoredRead {
    std::int64_t row = 0; // the order in which reads are delivered, oldest first
    std::string reader;
    std::int64_t seq = 0;
    std::string payload;
};

class ReadStore {
public:
    // Opens (creates) the store at `path`, its folder made if missing. nullptr with `error`.
    static std::unique_ptr<ReadStore> Open(const std::string& path, std::int64_t maxReads,
                                           std::string& error);
    ~ReadStore();
    ReadStore(const ReadStore&) = delete;
    ReadStore& operator=(const ReadStore&) = delete;

    // Numbers the next read of `reader` and keeps it; `payload` makes its text from its seq.
    // Durable (in the file, synced) when it returns, unless the store is failing: then held in
    // memory, and error() says why.
    StoredRead add(const std::string& reader,
                   const std::function<std::string(std::int64_t seq)>& payload);
    // Up to `limit` reads after row `after`, oldest first.
    std::vector<StoredRead> after(std::int64_t after, std::size_t limit);
    // The broker has it: it goes.
    void remove(std::int64_t row);
    // Writes what is held in memory into the file, as far as it goes; what is still held.
    std::size_t flush();

    std::int64_t size();
    // Reads of `reader` dropped past max_reads, over the store's life.
    std::int64_t dropped(const std::string& reader);
    // Empty while the file takes every write; else why it does not.
    std::string error();

private:
    ReadStore() = default;
    sqlite3_stmt* prepare(const char* sql);
    bool exec(const char* sql);
    // The held reads (the oldest of them) and then `read`, if any, in one transaction.
    bool insert(const StoredRead* read);
    void trim();

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::int64_t maxReads_ = 0;
    std::int64_t nextRow_ = 1;
    std::int64_t count_ = 0; // in the file
    std::map<std::string, std::int64_t> lastSeq_, dropped_;
    std::deque<StoredRead> memory_; // what the file did not take, oldest first
    std::string error_;
    std::map<std::string, sqlite3_stmt*, std::less<>> prepared_; // by SQL text
};

} // namespace qv::gateway
