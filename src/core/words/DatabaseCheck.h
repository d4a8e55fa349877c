#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// An independent reading of a word database file that checks every structural
// rule of the format before the command-line tool lets the engine touch it. Reads
// the file by its path with a descriptor of its own and never writes; owns nothing
// after the call. Any thread; lexipond-db calls it before every open.
#include <cstdint>
#include <string>

namespace lexipond::words {

struct DatabaseFacts {
    uint64_t fileSize = 0;
    uint32_t fieldCount = 0;
    uint32_t capacity = 0;
    uint32_t recordSize = 0;
    uint32_t liveCount = 0; // slots tagged exactly 10
    uint32_t usedCount = 0; // slots tagged 10 or more
};

enum class CheckOutcome {
    Valid,
    Missing, // no such file, or it cannot be read
    Damaged, // reason says which rule failed
};

// Fills facts as far as the file could be read; reason is one line.
CheckOutcome CheckWordDatabase(const std::string& path, DatabaseFacts& facts, std::string& reason);

// Copies the database at `from` over `to` (a new file renamed into place) while
// checking every rule in the same pass, so a large file is read once: `to` is
// replaced only when the whole file is Valid; otherwise it stays as it was.
// Fast durability (FileCopy.h): a kill leaves the old `to` or the new one.
CheckOutcome CopyCheckedWordDatabase(const std::string& from, const std::string& to,
                                     std::string& reason);


} // namespace lexipond::words
