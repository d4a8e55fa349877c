#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The database side of the Word Details and Options dialogs, kept free of any
// window code so that it can be tested on its own. Owns nothing: every function
// works on the caller's word database or values. Called from the window thread;
// callers hold TutorState::lock around every call that takes a RecordFile, since
// the worker uses the same database.
#include "core/recordfile/RecordFile.h"
#include "core/settings/Settings.h"
// The dialogs cut what is typed with CutText before they show or save it.
#include "core/text/Utf8.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {

inline constexpr uint32_t kDetailsWordLimit = 59;   // bytes the dialog saves of a word
inline constexpr uint32_t kDetailsNotesLimit = 299; // bytes the dialog saves of the notes
inline constexpr uint32_t kUserNameLimit = 99;      // bytes of a user name
inline constexpr char kNewWordText[] = "New Word";

// Truncated percentage of correct answers; 100 when nothing was answered.
uint32_t PercentCorrect(uint32_t total, uint32_t correct);

// The Options dialog's transparency percentage from an alpha (0 invisible .. 255
// opaque) and back. The two do not round-trip exactly (alpha 75 shows 71, which
// stores 76). An alpha outside 0..255 counts as 255.
uint32_t AlphaToPercent(int32_t alpha);
int32_t PercentToAlpha(uint32_t percent);

// The words of those slots, in the same order ("" for a slot that holds no record).
std::vector<std::string> SlotWords(RecordFile& db, const std::vector<int32_t>& slots);

// The position reached by one step (+1 or -1) from index in a list of count
// words, or -1 when the step would leave the list (nothing happens then).
int32_t StepIndex(int32_t index, int32_t count, int32_t step);

struct WordDetails {
    std::string word;
    std::string notes;
    uint32_t total[kUserCount] = {};
    uint32_t correct[kUserCount] = {};
};

// Reads one record's word, notes and tallies. False (details empty) when the slot
// holds no record.
bool ReadWordDetails(RecordFile& db, int32_t slot, WordDetails& details);
// Writes the word (cut to 59 bytes) and the notes (cut to 299 bytes, never
// between the CR and LF of a line end) into a record; a field not given is left
// as it is.
bool SaveWordDetails(RecordFile& db, int32_t slot, std::optional<std::string_view> word,
                     std::optional<std::string_view> notes);
// Zeroes fields 2 to 13 of a record; when full, also sets the word to "New Word" and
// empties the notes.
void InitNewWordRecord(RecordFile& db, int32_t slot, bool full);
// Frees a record (tags it deleted) and leaves the gap for the caller to close.
// Refuses (false) the last live word.
bool FreeWordRecord(RecordFile& db, int32_t slot);
// FreeWordRecord, then sorts the rest by word.
bool DeleteWordRecord(RecordFile& db, int32_t slot);

} // namespace lexipond
