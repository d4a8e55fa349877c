// Word list import: one word a line, a CR ends a line, LF and NUL bytes add
// nothing, no trimming, a last line without CR is dropped. A line is a duplicate
// when the word it would store collates equal to a word already there, so the
// duplicate test looks the stored text's sort key up in a hash set built once.
#include "dialogs/ImportWordFile.h"

#include "platform/Collation.h"
#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"
#include "text/TextHelpers.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>

namespace lexipond {

namespace {

constexpr size_t kMaxLineLength = kTextBufferSize - 1; // 1023

// Encoding marks at the very start of a file are not part of the first word.
size_t ByteOrderMarkLength(const unsigned char* bytes, size_t size) {
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return 3;
    if (size >= 2 &&
        ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        return 2;
    return 0;
}

class Importer {
  public:
    Importer(RecordFile& db, const platform::Collator& collator, ImportReport& report)
        : db_(db), collator_(collator), report_(report) {
        line_.reserve(kMaxLineLength);
        CollectPresentWords();
    }

    void Feed(const unsigned char* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const unsigned char byte = bytes[i];
            if (byte == '\r') {
                HandleLine();
                line_.clear();
                lineTooLong_ = false;
            } else if (byte == '\n' || byte == '\0') {
                continue;
            } else if (line_.size() < kMaxLineLength) {
                line_.push_back(static_cast<char>(byte));
            } else {
                lineTooLong_ = true;
            }
        }
    }

    // The last complete line stays in searchKey, as each handled line put it there.
    void Finish() {
        if (haveLastLine_)
            CopyText(lastLine_.c_str(), db_.searchKey);
    }

  private:
    void CollectPresentWords() {
        int32_t slot = FindRecordByTag(db_, RecordLive, 0);
        while (slot >= 0) {
            if (GetField(db_, slot, kFieldWord) >= 0)
                present_.insert(collator_.SortKey(db_.textValue));
            const int32_t next = NextLiveRecord(db_, slot);
            slot = next == slot ? -1 : next;
        }
    }

    void HandleLine() {
        ++report_.lines;
        if (lineTooLong_)
            ++report_.longLines;
        lastLine_ = line_;
        haveLastLine_ = true;
        if (line_.empty()) {
            // A blank card helps nobody.
            ++report_.empty;
            return;
        }
        // Compare what will be stored: the word field keeps 63 bytes, cut
        // between characters.
        const std::string_view stored(line_.data(),
                                      platform::Utf8PrefixLength(line_, kWordMaxLength));
        std::string key = collator_.SortKey(stored);
        if (present_.count(key)) {
            ++report_.duplicates;
            return;
        }
        const int32_t slot = AddRecord(db_);
        if (slot < 0) {
            ++report_.failed;
            return;
        }
        // The slot may hold an old record's bytes: write every field.
        CopyTextPiece(stored.data(), db_.textValue, 0, static_cast<uint32_t>(stored.size()));
        PutField(db_, slot, kFieldWord);
        db_.numberValue = 0;
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
            PutField(db_, slot, field);
        db_.textValue[0] = '\0';
        PutField(db_, slot, kFieldNotes);
        present_.insert(std::move(key));
        ++report_.added;
    }

    RecordFile& db_;
    const platform::Collator& collator_;
    ImportReport& report_;
    std::unordered_set<std::string> present_;
    std::string line_;
    bool lineTooLong_ = false;
    std::string lastLine_;
    bool haveLastLine_ = false;
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
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    result.opened = true;
    // Only a word database takes words; any other file (or none open) adds nothing.
    if (!db.view || db.fieldCount != kWordFieldCount) {
        std::fclose(file);
        return 0;
    }
    Importer importer(db, collator, result);
    unsigned char buffer[64 * 1024];
    bool first = true;
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof(buffer), file);
        if (got == 0)
            break; // end of file or a read error: what was read stays imported
        size_t skip = 0;
        if (first) {
            skip = ByteOrderMarkLength(buffer, got);
            first = false;
        }
        importer.Feed(buffer + skip, got - skip);
    }
    std::fclose(file);
    importer.Finish();
    return result.added;
}

} // namespace lexipond
