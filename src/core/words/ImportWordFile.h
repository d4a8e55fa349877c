#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Imports a word list file (one word a line; LF, CR LF or CR ends a line) into
// the word database.
// Adds records to the caller's open RecordFile and keeps nothing. The caller holds
// whatever guards the file: start-up imports before the worker starts, the Options
// dialog under TutorState::lock, lexipond-db on its only thread.
#include <cstdint>

namespace lexipond {
struct RecordFile;
namespace platform {
class Collator;
}

// What one import did, line by line.
struct ImportReport {
    bool opened = false;     // the file could be opened
    uint32_t lines = 0;      // lines read (the last one also without a line end)
    uint32_t added = 0;      // new records
    uint32_t duplicates = 0; // lines whose stored word was already there (the same characters)
    uint32_t empty = 0;      // empty lines, skipped
    uint32_t longLines = 0;  // lines longer than 1023 bytes (their first 1023 kept)
    uint32_t failed = 0;     // lines dropped because no record could be added
};

// Returns the number of words added (0 when the file cannot be opened). The
// collator gives the locale; duplicates are found at its identical strength.
uint32_t ImportWordFile(RecordFile& db, const char* path);
uint32_t ImportWordFile(RecordFile& db, const char* path, const platform::Collator& collator,
                        ImportReport* report = nullptr);

} // namespace lexipond
