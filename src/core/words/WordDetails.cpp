#include "core/words/WordDetails.h"

#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"

#include <algorithm>
#include <cstring>

namespace lexipond {

namespace {

bool ValidSlot(const RecordFile& db, int32_t slot) {
    return slot >= 0 && static_cast<uint32_t>(slot) < db.capacity;
}

void SetText(RecordFile& db, std::string_view text) {
    // Every text handed in here is already cut well below the buffer size.
    const size_t length = std::min<size_t>(text.size(), kTextBufferSize - 1);
    std::memcpy(db.textValue, text.data(), length);
    db.textValue[length] = '\0';
}

} // namespace

std::string_view CutText(std::string_view text, uint32_t limit) {
    return text.substr(0, platform::Utf8PrefixLength(text, limit));
}

uint32_t PercentCorrect(uint32_t total, uint32_t correct) {
    if (total == 0)
        return 100;
    return correct * 100u / total;
}

uint32_t AlphaToPercent(int32_t alpha) {
    const uint32_t a = (alpha < 0 || alpha > 255) ? 255u : static_cast<uint32_t>(alpha);
    return 100u - a * 100u / 255u;
}

int32_t PercentToAlpha(uint32_t percent) {
    if (percent >= 100)
        return 5;
    if (percent == 0)
        return 255;
    return static_cast<int32_t>((101u - percent) * 255u / 100u);
}

std::vector<std::string> SlotWords(RecordFile& db, const std::vector<int32_t>& slots) {
    std::vector<std::string> words;
    words.reserve(slots.size());
    for (const int32_t slot : slots) {
        if (GetField(db, slot, kFieldWord) < 0)
            words.emplace_back();
        else
            words.emplace_back(db.textValue);
    }
    return words;
}

int32_t StepIndex(int32_t index, int32_t count, int32_t step) {
    if (index < 0 || index >= count)
        return -1;
    const int64_t next = static_cast<int64_t>(index) + step;
    if (next < 0 || next >= count)
        return -1;
    return static_cast<int32_t>(next);
}

bool ReadWordDetails(RecordFile& db, int32_t slot, WordDetails& details) {
    details = WordDetails{};
    if (!ValidSlot(db, slot) || GetField(db, slot, kFieldWord) < 0)
        return false;
    details.word = db.textValue;
    for (uint32_t user = 0; user < kUserCount; ++user) {
        if (GetField(db, slot, TotalField(user)) >= 0)
            details.total[user] = static_cast<uint32_t>(db.numberValue);
        if (GetField(db, slot, CorrectField(user)) >= 0)
            details.correct[user] = static_cast<uint32_t>(db.numberValue);
    }
    if (GetField(db, slot, kFieldNotes) >= 0)
        details.notes = db.textValue;
    return true;
}

bool SaveWordDetails(RecordFile& db, int32_t slot, std::string_view word, std::string_view notes) {
    if (!ValidSlot(db, slot))
        return false;
    SetText(db, CutText(word, kDetailsWordLimit));
    if (PutField(db, slot, kFieldWord) < 0)
        return false;
    SetText(db, CutText(notes, kDetailsNotesLimit));
    return PutField(db, slot, kFieldNotes) >= 0;
}

void InitNewWordRecord(RecordFile& db, int32_t slot, bool full) {
    if (!ValidSlot(db, slot))
        return;
    if (full) {
        SetText(db, kNewWordText);
        PutField(db, slot, kFieldWord);
        SetText(db, "");
        PutField(db, slot, kFieldNotes);
    }
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        db.numberValue = 0;
        PutField(db, slot, field);
    }
}

bool DeleteWordRecord(RecordFile& db, int32_t slot) {
    // The tutor needs a word to show, so the last one stays.
    if (!ValidSlot(db, slot) || db.view == nullptr || db.liveCount <= 1)
        return false;
    if (SetRecordTag(db, slot, RecordDeleted) == 0)
        return false;
    SortRecords(db, kFieldWord);
    return true;
}

} // namespace lexipond
