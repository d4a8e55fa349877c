// SPDX-License-Identifier: GPL-3.0-or-later
// Word list import, one record per new line (the lines: WordListLines.h).
// A line is a duplicate when the word it would store is equal to a word already
// there at the collation's identical strength: the same characters, so "dog"
// with a soft hyphen or a zero-width space in it is another word, while an é
// written with a combining accent is the same word as the precomposed é. The
// duplicate test looks the stored text's sort key up in a hash set built once.
#include "core/words/ImportWordFile.h"

#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/text/Utf8.h"
#include "core/words/WordDatabase.h"
#include "core/words/WordListLines.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {

namespace {

// The sort keys of the words present: an open-addressing table of hashes over
// one buffer of key bytes, so a lookup costs one probe and no allocation.
class KeySet {
  public:
    explicit KeySet(size_t expected) {
        size_t capacity = 1024;
        while (capacity < expected * 2)
            capacity *= 2;
        slots_.resize(capacity);
    }

    static uint64_t Hash(std::string_view key) {
        return std::hash<std::string_view>{}(key) | 1; // 0 marks an empty slot
    }

    bool Contains(std::string_view key, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask; slots_[i].hash != 0; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.hash == hash &&
                std::string_view(bytes_).substr(slot.offset, slot.length) == key)
                return true;
        }
        return false;
    }

    // key must not be present yet.
    void Add(std::string_view key, uint64_t hash) {
        if ((used_ + 1) * 2 > slots_.size())
            Grow();
        Place(Slot{hash, bytes_.size(), static_cast<uint32_t>(key.size())});
        bytes_.append(key);
        ++used_;
    }

  private:
    struct Slot {
        uint64_t hash = 0;
        size_t offset = 0;
        uint32_t length = 0;
    };

    void Place(const Slot& entry) {
        const size_t mask = slots_.size() - 1;
        size_t i = entry.hash & mask;
        while (slots_[i].hash != 0)
            i = (i + 1) & mask;
        slots_[i] = entry;
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& entry : old)
            if (entry.hash != 0)
                Place(entry);
    }

    std::vector<Slot> slots_;
    std::string bytes_;
    size_t used_ = 0;
};

class Importer {
  public:
    Importer(RecordFile& db, const platform::Collator& collator, ImportReport& report)
        : db_(db), collator_(collator), report_(report), present_(db.liveCount + 1024) {
        CollectPresentWords();
    }

    // One line of the list (WordListLines).
    void HandleLine(std::string_view line, bool tooLong) {
        ++report_.lines;
        if (tooLong)
            ++report_.longLines;
        if (line.empty()) {
            // A blank card helps nobody.
            ++report_.empty;
            return;
        }
        AddUnlessPresent(line);
    }

  private:
    void CollectPresentWords() {
        for (const int32_t slot : LiveSlots(db_)) {
            const std::optional<std::string> word = ReadText(db_, slot, kFieldWord);
            if (!word)
                continue;
            key_.clear();
            collator_.AppendSortKey(*word, key_);
            const uint64_t hash = KeySet::Hash(key_);
            if (!present_.Contains(key_, hash))
                present_.Add(key_, hash);
        }
    }

    void AddUnlessPresent(std::string_view line) {
        // Compare what will be stored: the word field keeps 63 bytes, cut
        // between characters.
        const std::string_view stored = CutText(line, kWordMaxLength);
        key_.clear();
        collator_.AppendSortKey(stored, key_);
        const uint64_t hash = KeySet::Hash(key_);
        if (present_.Contains(key_, hash)) {
            ++report_.duplicates;
            return;
        }
        const int32_t slot = AddRecord(db_);
        if (slot < 0) {
            ++report_.failed;
            return;
        }
        // The slot may hold an old record's bytes: write every field.
        WriteText(db_, slot, kFieldWord, stored);
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
            WriteNumber(db_, slot, field, 0);
        WriteText(db_, slot, kFieldNotes, "");
        present_.Add(key_, hash);
        ++report_.added;
    }

    RecordFile& db_;
    const platform::Collator& collator_;
    ImportReport& report_;
    KeySet present_;
    std::string key_;
};

} // namespace

uint32_t ImportWordFile(RecordFile& db, const char* path) {
    return ImportWordFile(db, path, platform::UserCollator());
}

uint32_t ImportWordFile(RecordFile& db, const char* path, const platform::Collator& collator,
                        ImportReport* report) {
    ImportReport local;
    ImportReport& result = report ? *report : local;
    result = ImportReport{};
    if (!path)
        return 0;
    WordListLines lines(path);
    if (!lines.opened())
        return 0;
    result.opened = true;
    // Only a word database takes words; any other file (or none open) adds nothing.
    if (!db.view || db.fieldCount != kWordFieldCount)
        return 0;
    const platform::Collator identical(collator.LocaleId(),
                                       platform::Collator::Strength::Identical);
    Importer importer(db, identical, result);
    lines.ReadAll(
        [&importer](std::string_view line, bool tooLong) { importer.HandleLine(line, tooLong); });
    return result.added;
}

} // namespace lexipond
