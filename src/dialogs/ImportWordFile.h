#pragma once
// Imports a word list file (one word a line, CR ends a line) into the word database.
#include <cstdint>

namespace lexipond {
struct RecordFile;
namespace platform {
class Collator;
}

// Returns the number of words added (0 when the file cannot be opened).
uint32_t ImportWordFile(RecordFile& db, const char* path);
uint32_t ImportWordFile(RecordFile& db, const char* path, const platform::Collator& collator);

} // namespace lexipond
