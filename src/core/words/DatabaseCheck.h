#pragma once
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

enum class CheckDepth {
    Everything, // every rule, every slot read
    Structure,  // the header, the field table and the size only: for a file this
                // program checked whole when it opened it and has written only
                // through the engine since, under the data lock (the end of a run)
};

// Fills facts as far as the file could be read (with Structure, no counts);
// reason is one line.
CheckOutcome CheckWordDatabase(const std::string& path, DatabaseFacts& facts, std::string& reason,
                               CheckDepth depth = CheckDepth::Everything);


} // namespace lexipond::words
