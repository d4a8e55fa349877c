#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The import of lexipond-db: a word list into a database whose records are in
// order, ending with every record in order. It leaves the very bytes that
// ImportWordFile followed by SortRecords would leave, but makes them in one
// pass: one sort key per new word, one sort of the new words only, and the
// records written straight into the result file in their final order (the
// present records merged with the new ones). Prepare reads the database and
// the list and says what the import would do; Write makes the result file.
// Owns nothing of the caller's RecordFile; the caller holds whatever guards it
// (lexipond-db: its only thread, with the data folder locked).
#include "core/platform/FileMapping.h"
#include "core/words/ImportWordFile.h"

#include <cstdint>
#include <memory>

namespace lexipond {

struct RecordFile;
namespace platform {
class Collator;
}

class SortedImport {
  public:
    enum class Plan {
      Unchanged,    // nothing to add and the records are in order: the file stays as it is
      Write,        // Write makes the result
      NotApplicable // the records are not packed in order (or the file is unusual): import
                    // one by one and sort instead
    };

    // collator: the word order (tertiary); duplicates are found at its identical strength.
    explicit SortedImport(const platform::Collator& collator);
    ~SortedImport();
    SortedImport(const SortedImport&) = delete;
    SortedImport& operator=(const SortedImport&) = delete;

    // Reads db (open, mapped) and the list; once per SortedImport. The report is filled for Unchanged
    // and Write; for NotApplicable it says nothing.
    Plan Prepare(RecordFile& db, const char* listPath, ImportReport& report);

    // After Prepare gave Write: writes the whole result into out from its first
    // byte on, reading the records from source, the bytes of the file Prepare
    // read (its mapping, or a copy of it when out is that file itself). Leaves
    // out exactly as long as the result. false when a write failed.
    bool Write(const uint8_t* source, uint64_t sourceLength, platform::FileHandle out) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace lexipond
