// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a word list: the import must add only sound words, never the
// same word twice, keep the database valid, and the sort must order it.
#include "FuzzSupport.h"
#include "core/words/ImportWordFile.h"
#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <unordered_set>

namespace {

using namespace lexipond;

void Check(bool condition, const char* what) {
    fuzz::Check(condition, "import", what);
}

struct Workspace {
    fuzz::ScratchFolder scratch{"import"};
    const std::filesystem::path& folder = scratch.path;
    RecordFile db;
    const platform::Collator collator{"en_US"};
    const platform::Collator identical{"en_US", platform::Collator::Strength::Identical};

    Workspace() { Fresh(); }
    ~Workspace() { CloseRecordFile(db); }
    void Fresh() {
        CloseRecordFile(db);
        db.fileName = (folder / "LPDB.lbf").string();
        Check(CreateWordDatabase(db) != 0, "cannot create the database");
    }
};

Workspace& Space() {
    static Workspace space;
    return space;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Workspace& space = Space();
    // Keep the database small enough that each run stays fast.
    if (space.db.liveCount > 500 || !space.db.view)
        space.Fresh();
    const std::string list = (space.folder / "list.txt").string();
    fuzz::WriteInput(list, data, size);
    const uint32_t before = space.db.liveCount;
    ImportReport report;
    const uint32_t added = ImportWordFile(space.db, list.c_str(), space.collator, &report);
    Check(report.opened, "the list did not open");
    Check(added == report.added, "result and report disagree");
    Check(report.added + report.duplicates + report.empty + report.failed == report.lines,
          "lines unaccounted for");
    Check(report.failed == 0, "a record could not be added");
    Check(space.db.liveCount == before + added, "live count is off");

    SortRecords(space.db, kFieldWord, space.collator);
    Check(space.db.liveCount == before + added, "the sort changed the live count");

    std::unordered_set<std::string> keys;
    std::string previous;
    for (uint32_t slot = 0; slot < space.db.liveCount; ++slot) {
        const std::optional<std::string> stored =
            ReadText(space.db, static_cast<int32_t>(slot), kFieldWord);
        Check(stored.has_value(), "unreadable");
        const std::string word = stored.value_or("");
        Check(!word.empty() && word.size() <= kWordMaxLength, "bad word length");
        Check(keys.insert(space.identical.SortKey(word)).second, "duplicate word");
        if (slot > 0)
            Check(space.collator.Compare(previous, word) <= 0, "out of order");
        previous = word;
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
            Check(ReadNumber(space.db, static_cast<int32_t>(slot), field) == 0,
                  "a number field was not cleared");
    }
    return 0;
}
