#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A year of answers for the benchmarks that read or write the answer history.
#include "core/history/HistoryRow.h"

#include <cstdint>
#include <cstdio>

namespace lexipond::bench {

inline constexpr int64_t kYearSeconds = 365 * 86'400;

// The i-th of `total` answers given by learner 1 (Zov) in the year from
// `start`, evenly spread: one word of `words` ("w0000", ...) drawn from
// `random` (the generator's state), 70% Correct, 25% Incorrect, 5% Skip.
inline HistoryRow YearAnswer(int i, int total, int words, int64_t start, int32_t offsetMinutes,
                             uint32_t& random) {
    random = random * 1'103'515'245u + 12'345u;
    HistoryRow row;
    row.when = {start + int64_t{i} * kYearSeconds / total, offsetMinutes};
    row.learnerSlot = 0;
    row.learnerName = "Zov";
    char word[16];
    std::snprintf(word, sizeof word, "w%04u", (random >> 8) % uint32_t(words));
    row.word = word;
    const uint32_t draw = (random >> 16) % 100;
    row.answer = draw < 70   ? HistoryAnswer::Correct
                 : draw < 95 ? HistoryAnswer::Incorrect
                             : HistoryAnswer::Skip;
    return row;
}

} // namespace lexipond::bench
