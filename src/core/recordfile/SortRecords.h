#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Sorts the used records by one field in the user's word order (stable), after
// compacting them to the front. Works on the caller's open RecordFile and owns
// nothing; the caller holds whatever guards that file (TutorState::lock in the
// program: the worker's re-sort, the Word Details delete). The value buffers of the
// file are left as they were.
#include <cstdint>

namespace lexipond {
struct RecordFile;
namespace platform {
class Collator;
}

// 1 = sorted; 0 = nothing done. Uses the user's collator unless one is given.
// Moves records in place: a kill part-way leaves a mix, so only for files no
// one else has yet (a copy being changed, a database being made).
int SortRecords(RecordFile& file, uint32_t field);
int SortRecords(RecordFile& file, uint32_t field, const platform::Collator& collator);

// Whether SortRecords would move nothing: the used records are compact at the
// front and in order. Reads only.
bool RecordsInOrder(RecordFile& file, uint32_t field, const platform::Collator& collator);

// SortRecords for a file in use: whole or not at all. A file already in order
// is left untouched; otherwise the sort runs on a copy that replaces the file
// in one step (AtomicUpdate.h). 1 = in order afterwards; 0 = failed, the file
// as it was. The file may be reopened (its mapping moves).
int SortRecordsAtomically(RecordFile& file, uint32_t field, const platform::Collator& collator);

} // namespace lexipond
