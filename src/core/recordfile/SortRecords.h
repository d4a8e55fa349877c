#pragma once
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
int SortRecords(RecordFile& file, uint32_t field);
int SortRecords(RecordFile& file, uint32_t field, const platform::Collator& collator);

} // namespace lexipond
