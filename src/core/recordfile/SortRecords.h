#pragma once
// Sorts the live records by one field in the user's word order (stable), after
// compacting them to the front.
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
