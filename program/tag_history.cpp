#include "program/tag_history.h"

#include "program/traffic_log.h"
#include "reader/tag_poll.h"

#include <QIODevice>
#include <QStringList>

#include <algorithm>

namespace qv {

namespace {

QString CsvField(const QString& text) {
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    QString quoted = text;
    quoted.replace('"', QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

} // namespace

QString TagSighting::decimal() const {
    return QString::fromStdString(reader::FormatTag(id).decimal);
}

QString TagSighting::hex() const {
    const std::string low = reader::FormatTag(id).hex;
    return QString::fromLatin1(low.data(), static_cast<qsizetype>(low.size()));
}

QString TagSighting::inputText() const {
    return QString::fromStdString(TextBytes(std::string_view(&input, 1)));
}

void TagHistory::record(const std::string& id, char input, const QDateTime& when) {
    ++revision_;
    auto [it, added] = byId_.try_emplace(id, 0);
    if (added) {
        if (order_.size() >= capacity_ && order_.size() > 0) {
            const RecencyOrder::Slot oldest = order_.slotAt(order_.size() - 1);
            order_.remove(oldest);
            byId_.erase(slots_[oldest].sighting.id);
            slots_[oldest] = {};
            free_.push_back(oldest);
            ++dropped_;
        }
        if (free_.empty()) {
            it->second = static_cast<RecencyOrder::Slot>(slots_.size());
            slots_.emplace_back();
        } else {
            it->second = free_.back();
            free_.pop_back();
        }
        Held& held = slots_[it->second];
        held.sighting.id = id;
        held.sighting.first = when;
        held.added = revision_;
    }
    Held& held = slots_[it->second];
    held.sighting.last = when;
    ++held.sighting.count;
    held.sighting.input = input;
    held.seen = revision_;
    order_.touch(it->second);
}

void TagHistory::clear() {
    slots_.clear();
    free_.clear();
    byId_.clear();
    order_.clear();
    dropped_ = 0;
    clearedAt_ = ++revision_;
}

TagHistory::RowKey TagHistory::keyAt(std::size_t row) const {
    const RecencyOrder::Slot slot = order_.slotAt(row);
    return {slot, slots_[slot].added, slots_[slot].seen};
}

const TagSighting* TagHistory::find(RecencyOrder::Slot slot, std::uint64_t added) const {
    if (slot >= slots_.size() || slots_[slot].added != added || added == 0)
        return nullptr;
    return &slots_[slot].sighting;
}

QString IsoTime(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? '-' : '+') +
           QString::asprintf("%02d:%02d", minutes / 60, minutes % 60);
}

bool WriteTagCsv(QIODevice& out, const QStringList& headers, const TagHistory& history) {
    QStringList fields;
    for (const QString& header : headers)
        fields << CsvField(header);
    QString text = fields.join(',') + QStringLiteral("\r\n");
    // Written in pieces, so that a full history never sits in memory twice.
    constexpr qsizetype kPieceChars = 1 << 18;
    const auto flush = [&out, &text] {
        const QByteArray bytes = text.toUtf8();
        text.clear();
        return out.write(bytes) == bytes.size();
    };
    for (std::size_t r = 0; r < history.size(); ++r) {
        const TagSighting& row = history.at(r);
        fields = {
            CsvField(QString::fromLatin1(row.id.data(), static_cast<qsizetype>(row.id.size()))),
            row.decimal(),
            row.hex(),
            IsoTime(row.first),
            IsoTime(row.last),
            QString::number(row.count),
            CsvField(row.inputText())};
        text += fields.join(',') + QStringLiteral("\r\n");
        if (text.size() >= kPieceChars && !flush())
            return false;
    }
    return flush();
}

} // namespace qv
