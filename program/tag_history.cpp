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
    auto it = std::find_if(rows_.begin(), rows_.end(),
                           [&id](const TagSighting& row) { return row.id == id; });
    TagSighting sighting;
    if (it != rows_.end()) {
        sighting = std::move(*it);
        rows_.erase(it);
    } else {
        sighting.id = id;
        sighting.first = when;
        if (rows_.size() >= capacity_ && !rows_.empty())
            rows_.pop_back();
    }
    sighting.last = when;
    ++sighting.count;
    sighting.input = input;
    rows_.insert(rows_.begin(), std::move(sighting));
    ++revision_;
}

void TagHistory::clear() {
    rows_.clear();
    ++revision_;
}

QString IsoTime(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? '-' : '+') +
           QString::asprintf("%02d:%02d", minutes / 60, minutes % 60);
}

bool WriteTagCsv(QIODevice& out, const QStringList& headers, const std::vector<TagSighting>& rows) {
    QStringList lines;
    QStringList fields;
    for (const QString& header : headers)
        fields << CsvField(header);
    lines << fields.join(',');
    for (const TagSighting& row : rows) {
        fields = {
            CsvField(QString::fromLatin1(row.id.data(), static_cast<qsizetype>(row.id.size()))),
            row.decimal(),
            row.hex(),
            IsoTime(row.first),
            IsoTime(row.last),
            QString::number(row.count),
            CsvField(row.inputText())};
        lines << fields.join(',');
    }
    const QByteArray bytes = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    return out.write(bytes) == bytes.size();
}

} // namespace qv
