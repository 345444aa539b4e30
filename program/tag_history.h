#pragma once
// Every tag seen while reading tags: its identifier, first and last time seen, how often, and the
// digital input with it; newest first. Kept for the program's life, across runs, until cleared,
// up to a bound past which the tag seen longest ago goes.

#include "program/recency_order.h"
#include "reader/tag_run.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class QIODevice;

namespace qv {

struct TagSighting {
    std::string id; // the 16 hexadecimal digits as the status line shows them
    QDateTime first;
    QDateTime last;
    int count = 0;
    char input = '_'; // the digital input reported with the last sighting
    // As the tag panel shows them: the last 8 digits as a 10-digit decimal and as hex.
    QString decimal() const;
    QString hex() const;
    // The input character as text; a control byte by its name ("<NUL>"), never as a box.
    QString inputText() const;
};

// Held in slots that keep their place while the tag is held; RecencyOrder gives the rows.
class TagHistory {
public:
    // Past this many different tags the one seen longest ago is dropped, and counted.
    static constexpr std::size_t kDefaultCapacity = 100000;
    explicit TagHistory(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // Adds the tag as row 0, or moves it there when it is held: found by a hash, not a scan.
    void record(const std::string& id, char input, const QDateTime& when);
    void clear();

    std::size_t size() const { return order_.size(); }
    std::size_t capacity() const { return capacity_; }
    // Row 0 is the tag seen last. Precondition: row < size().
    const TagSighting& at(std::size_t row) const { return slots_[order_.slotAt(row)].sighting; }
    // The tags dropped past the bound since the last clear.
    std::uint64_t dropped() const { return dropped_; }

    // Grows with every change, so a window can tell whether it must redraw.
    std::uint64_t revision() const { return revision_; }
    // The revision the last clear made (0 before any).
    std::uint64_t clearedAt() const { return clearedAt_; }

    // What a view needs to follow the rows from one revision to the next: the slot a row's tag
    // is held in, the revision that added the tag there (a tag dropped past the bound leaves
    // its slot to the new tag that pushed it out) and the revision of its last sighting. The
    // rows changed since revision r are exactly the top rows whose `seen` is above r.
    struct RowKey {
        RecencyOrder::Slot slot = 0;
        std::uint64_t added = 0;
        std::uint64_t seen = 0;
    };
    RowKey keyAt(std::size_t row) const;
    // The tag held in `slot` if it is still the one added at revision `added`.
    const TagSighting* find(RecencyOrder::Slot slot, std::uint64_t added) const;
    // The row of the tag in `slot`. Precondition: find(slot, ...) is not null.
    std::size_t rowOf(RecencyOrder::Slot slot) const { return order_.rowOf(slot); }

private:
    struct Held {
        TagSighting sighting;
        std::uint64_t added = 0; // 0: the slot is free
        std::uint64_t seen = 0;
    };
    std::vector<Held> slots_;
    std::vector<RecencyOrder::Slot> free_;
    std::unordered_map<std::string, RecencyOrder::Slot> byId_;
    RecencyOrder order_;
    std::size_t capacity_;
    std::uint64_t dropped_ = 0;
    std::uint64_t revision_ = 0;
    std::uint64_t clearedAt_ = 0;
};

// The history as a listener of tag runs: each read recorded at the time it arrives.
class TagHistorySink : public reader::TagSink {
public:
    explicit TagHistorySink(TagHistory& history) : history_(history) {}
    void tag(const reader::TagRead& read) override {
        history_.record(read.tag.id, read.input, QDateTime::currentDateTime());
    }

private:
    TagHistory& history_;
};

// A time as ISO 8601 with its UTC offset: 2026-12-08T17:03:12.345+01:00.
QString IsoTime(const QDateTime& time);

// Every tag held, newest first, as CSV (RFC 4180: CRLF line ends, fields quoted where they hold a
// comma, quote or line break, a quote doubled), UTF-8, a header row of `headers` first. False
// when the device does not take it all.
bool WriteTagCsv(QIODevice& out, const QStringList& headers, const TagHistory& history);

} // namespace qv
