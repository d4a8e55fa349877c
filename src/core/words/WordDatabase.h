#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The word database: its file name, its fourteen fields (numbered from 1) and its
// creation. Constants for every layer that reads words; CreateWordDatabase works on
// the caller's RecordFile under the caller's lock (start-up and lexipond-db create
// the file before anyone else uses it).
#include <cstdint>

namespace lexipond {

struct RecordFile;

inline constexpr char kWordDatabaseName[] = "LPDB.lbf";
inline constexpr uint32_t kWordFieldCount = 14;
inline constexpr uint32_t kFieldWord = 1;        // text, 64 bytes: at most 63 characters
inline constexpr uint32_t kFieldReservedA = 2;   // number, always 0
inline constexpr uint32_t kFieldReservedB = 13;  // number, always 0
inline constexpr uint32_t kFieldNotes = 14;      // text, 300 bytes: at most 299 characters
inline constexpr uint32_t kWordMaxLength = 63;
inline constexpr uint32_t kNotesMaxLength = 299;

// Tallies of user slot u (0..4).
constexpr uint32_t TotalField(uint32_t user) { return 3 + 2 * user; }
constexpr uint32_t CorrectField(uint32_t user) { return 4 + 2 * user; }

// Creates file.fileName as an empty word database (fourteen fields, one
// deleted slot) and leaves it open for writing; 0 when it could not.
int CreateWordDatabase(RecordFile& file);

} // namespace lexipond
