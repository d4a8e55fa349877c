// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/HistoryCsv.h"

#include "core/text/Csv.h"

#include <string>

namespace lexipond {

namespace {

constexpr size_t kPieceSize = 1 << 16;

} // namespace

bool WriteHistoryCsv(HistoryReader& reader, const std::function<bool(std::string_view)>& write) {
    std::string out = kHistoryCsvHeader;
    bool written = true;
    const bool read = reader.ForEachRow([&](const HistoryRow& row) {
        const std::string undoes = row.undoes ? std::to_string(*row.undoes) : "";
        AppendCsvRow(out, {std::to_string(row.id), IsoUtcText(row.when.utcSeconds),
                           std::to_string(row.when.offsetMinutes), std::to_string(row.learnerSlot),
                           row.learnerName, row.word, AnswerName(row.answer), undoes,
                           std::to_string(row.level), JudgedByName(row.judgedBy),
                           row.heard.value_or("")});
        if (out.size() >= kPieceSize) {
            written = write(out);
            out.clear();
        }
        return written;
    });
    return read && written && write(out);
}

} // namespace lexipond
