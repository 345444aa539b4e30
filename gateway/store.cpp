#include "gateway/store.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace qv::gateway {

namespace {

// One use of a statement the store keeps prepared, reset when the use ends: a statement that is
// not reset takes no new values and would run again with the old ones.
class Statement {
public:
    explicit Statement(sqlite3_stmt* s) : s_(s) {}
    ~Statement() { rewind(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return s_ != nullptr; }
    int step() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
    void rewind() { sqlite3_reset(s_); } // every value is bound again before the next step
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(s_, i, v); }
    void bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    std::int64_t integer(int i) const { return sqlite3_column_int64(s_, i); }
    std::string text(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, i));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, i))) : "";
    }

private:
    sqlite3_stmt* s_ = nullptr;
};

} // namespace

std::unique_ptr<ReadStore> ReadStore::Open(const std::string& path, std::int64_t maxReads,
                                           std::string& error) {
    std::unique_ptr<ReadStore> store(new ReadStore());
    store->maxReads_ = maxReads;
    std::error_code ec;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    if (sqlite3_open_v2(path.c_str(), &store->db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = path + ": " + (store->db_ ? sqlite3_errmsg(store->db_) : "cannot be opened");
        return nullptr;
    }
    sqlite3_busy_timeout(store->db_, 2000);
    // WAL, synced at each commit: a read survives a crash and a power loss once add() returned.
    // Held exclusively while the gateway runs: a second gateway on the same file would number
    // the same reads twice (it is refused, the file locked), and no file lock is taken per
    // transaction.
    if (!store->exec("PRAGMA locking_mode=EXCLUSIVE") || !store->exec("PRAGMA journal_mode=WAL") ||
        !store->exec("PRAGMA synchronous=FULL") ||
        !store->exec("CREATE TABLE IF NOT EXISTS reads(id INTEGER PRIMARY KEY, reader TEXT NOT "
                     "NULL, seq INTEGER NOT NULL, payload TEXT NOT NULL)") ||
        !store->exec("CREATE TABLE IF NOT EXISTS readers(name TEXT PRIMARY KEY, last_seq INTEGER "
                     "NOT NULL DEFAULT 0, dropped INTEGER NOT NULL DEFAULT 0)")) {
        error = path + ": " + store->error_;
        return nullptr;
    }
    Statement readers(store->prepare("SELECT name, last_seq, dropped FROM readers"));
    while (readers.step() == SQLITE_ROW) {
        store->lastSeq_[readers.text(0)] = readers.integer(1);
        store->dropped_[readers.text(0)] = readers.integer(2);
    }
    Statement rows(store->prepare("SELECT COALESCE(MAX(id), 0), COUNT(*) FROM reads"));
    if (rows.step() == SQLITE_ROW) {
        store->nextRow_ = rows.integer(0) + 1;
        store->count_ = rows.integer(1);
    }
    return store;
}

ReadStore::~ReadStore() {
    for (const auto& [sql, statement] : prepared_)
        sqlite3_finalize(statement);
    sqlite3_close(db_);
}

// Each statement is parsed once: a read costs no SQL compiling, only its steps and its sync.
sqlite3_stmt* ReadStore::prepare(const char* sql) {
    if (const auto it = prepared_.find(sql); it != prepared_.end())
        return it->second;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
        error_ = sqlite3_errmsg(db_);
        return nullptr; // and nothing to finalize
    }
    prepared_.emplace(sql, statement);
    return statement;
}

bool ReadStore::exec(const char* sql) {
    Statement statement(prepare(sql));
    if (!statement.ok())
        return false;
    int result = statement.step();
    while (result == SQLITE_ROW) // a pragma's answer
        result = statement.step();
    if (result == SQLITE_DONE)
        return true;
    error_ = sqlite3_errmsg(db_);
    return false;
}

// What the file did not take is written before the next read, at most this many at a time, so
// that a file that fails at each commit (a full disk) costs no more per read as the heap grows.
constexpr std::size_t kHeldPerWrite = 1000;

bool ReadStore::insert(const StoredRead* read) {
    const std::size_t held = std::min(memory_.size(), kHeldPerWrite);
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    Statement row(prepare("INSERT INTO reads(id, reader, seq, payload) VALUES(?, ?, ?, ?)"));
    Statement seq(prepare("INSERT INTO readers(name, last_seq) VALUES(?, ?) ON CONFLICT(name) DO "
                          "UPDATE SET last_seq = excluded.last_seq"));
    const auto put = [&](const StoredRead& r) {
        row.rewind();
        seq.rewind();
        row.bind(1, r.row);
        row.bind(2, r.reader);
        row.bind(3, r.seq);
        row.bind(4, r.payload);
        seq.bind(1, r.reader);
        seq.bind(2, r.seq);
        return row.step() == SQLITE_DONE && seq.step() == SQLITE_DONE;
    };
    bool ok = row.ok() && seq.ok();
    for (std::size_t i = 0; ok && i < held; ++i)
        ok = put(memory_[i]);
    if (ok && read)
        ok = put(*read);
    if (!ok)
        error_ = sqlite3_errmsg(db_);
    if (!ok || !exec("COMMIT")) {
        exec("ROLLBACK");
        return false;
    }
    memory_.erase(memory_.begin(), memory_.begin() + static_cast<std::ptrdiff_t>(held));
    count_ += static_cast<std::int64_t>(held) + (read ? 1 : 0);
    return true;
}

StoredRead ReadStore::add(const std::string& reader,
                          const std::function<std::string(std::int64_t seq)>& payload) {
    const std::lock_guard lock(mutex_);
    StoredRead read{nextRow_++, reader, ++lastSeq_[reader], {}};
    read.payload = payload(read.seq);
    if (insert(&read))
        error_.clear(); // and what was held meanwhile is in the file too, or on its way there
    else
        memory_.push_back(read); // error_ says why, until a write goes through again
    trim();
    return read;
}

std::size_t ReadStore::flush() {
    const std::lock_guard lock(mutex_);
    while (!memory_.empty() && insert(nullptr))
        error_.clear();
    return memory_.size();
}

void ReadStore::trim() {
    std::int64_t over = count_ + static_cast<std::int64_t>(memory_.size()) - maxReads_;
    if (over <= 0)
        return;
    // The oldest go: those of the file first (memory holds only what came after a failure).
    std::map<std::string, std::int64_t> gone;
    {
        Statement oldest(prepare("SELECT id, reader FROM reads ORDER BY id LIMIT ?"));
        oldest.bind(1, over);
        std::vector<std::int64_t> rows;
        while (oldest.step() == SQLITE_ROW) {
            rows.push_back(oldest.integer(0));
            ++gone[oldest.text(1)];
        }
        if (!rows.empty() && exec("BEGIN IMMEDIATE")) {
            Statement erase(prepare("DELETE FROM reads WHERE id <= ?"));
            erase.bind(1, rows.back());
            Statement count(prepare("UPDATE readers SET dropped = dropped + ? WHERE name = ?"));
            bool ok = erase.step() == SQLITE_DONE;
            for (const auto& [name, n] : gone) {
                count.rewind();
                count.bind(1, n);
                count.bind(2, name);
                ok = ok && count.step() == SQLITE_DONE;
            }
            if (ok && exec("COMMIT")) {
                count_ -= static_cast<std::int64_t>(rows.size());
                over -= static_cast<std::int64_t>(rows.size());
                for (const auto& [name, n] : gone)
                    dropped_[name] += n;
            } else {
                exec("ROLLBACK");
            }
        }
    }
    for (; over > 0 && !memory_.empty(); --over) {
        ++dropped_[memory_.front().reader];
        memory_.erase(memory_.begin());
    }
}

std::vector<StoredRead> ReadStore::after(std::int64_t after, std::size_t limit) {
    const std::lock_guard lock(mutex_);
    std::vector<StoredRead> reads;
    Statement rows(prepare("SELECT id, reader, seq, payload FROM reads WHERE id > ? ORDER BY id "
                           "LIMIT ?"));
    rows.bind(1, after);
    rows.bind(2, static_cast<std::int64_t>(limit));
    while (rows.step() == SQLITE_ROW)
        reads.push_back({rows.integer(0), rows.text(1), rows.integer(2), rows.text(3)});
    for (const StoredRead& held : memory_)
        if (held.row > after)
            reads.push_back(held);
    std::sort(reads.begin(), reads.end(),
              [](const StoredRead& a, const StoredRead& b) { return a.row < b.row; });
    if (reads.size() > limit)
        reads.resize(limit);
    return reads;
}

void ReadStore::remove(std::int64_t row) {
    const std::lock_guard lock(mutex_);
    const auto held = std::find_if(memory_.begin(), memory_.end(),
                                   [row](const StoredRead& r) { return r.row == row; });
    if (held != memory_.end()) {
        memory_.erase(held);
        return;
    }
    // Not synced on its own: a removal that a power cut takes back sends that read once more,
    // under its seq, which a consumer sees. The next add() syncs it with its own.
    exec("PRAGMA synchronous=NORMAL");
    Statement erase(prepare("DELETE FROM reads WHERE id = ?"));
    erase.bind(1, row);
    if (erase.step() == SQLITE_DONE && sqlite3_changes(db_) > 0)
        --count_;
    exec("PRAGMA synchronous=FULL");
}

std::int64_t ReadStore::size() {
    const std::lock_guard lock(mutex_);
    return count_ + static_cast<std::int64_t>(memory_.size());
}

std::int64_t ReadStore::dropped(const std::string& reader) {
    const std::lock_guard lock(mutex_);
    const auto it = dropped_.find(reader);
    return it == dropped_.end() ? 0 : it->second;
}

std::string ReadStore::error() {
    const std::lock_guard lock(mutex_);
    return error_;
}

} // namespace qv::gateway
