#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The whole answer history as CSV (RFC 4180, core/text/Csv.h): a header row,
// then one row per history row in the order written, undo rows included.
// Names and words keep their bytes; the time is ISO 8601 in UTC.
#include "core/history/HistoryQueries.h"

#include <functional>
#include <string_view>

namespace lexipond {

inline constexpr char kHistoryCsvHeader[] =
    "id,time_utc,utc_offset_min,learner_slot,learner_name,word,answer,undoes,level,judged_by,"
    "heard\r\n";

// Hands the text to `write` in pieces; false when reading failed (the
// reader's Error() says why) or `write` returned false.
bool WriteHistoryCsv(HistoryReader& reader, const std::function<bool(std::string_view)>& write);

} // namespace lexipond
