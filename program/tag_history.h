#pragma once
// Every tag seen while reading tags: its identifier, first and last time seen, how often, and the
// digital input with it; newest first. Kept for the program's life, across runs, until cleared.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>
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

class TagHistory {
public:
    // Past this many different tags the one seen longest ago is dropped.
    static constexpr std::size_t kDefaultCapacity = 10000;
    explicit TagHistory(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    void record(const std::string& id, char input, const QDateTime& when);
    void clear();

    // Newest first: the tag seen last is row 0.
    const std::vector<TagSighting>& rows() const { return rows_; }
    // Grows with every change, so a window can tell whether it must redraw.
    std::uint64_t revision() const { return revision_; }

private:
    std::vector<TagSighting> rows_;
    std::size_t capacity_;
    std::uint64_t revision_ = 0;
};

// A time as ISO 8601 with its UTC offset: 2026-12-08T17:03:12.345+01:00.
QString IsoTime(const QDateTime& time);

// `rows` as CSV (RFC 4180: CRLF line ends, fields quoted where they hold a comma, quote or line
// break), UTF-8, a header row of `headers` first. False when the device does not take it all.
bool WriteTagCsv(QIODevice& out, const QStringList& headers, const std::vector<TagSighting>& rows);

} // namespace qv
