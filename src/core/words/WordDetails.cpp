// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/words/WordDetails.h"

#include "core/recordfile/RecordFile.h"
#include "core/platform/Collation.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"

namespace lexipond {

namespace {

bool ValidSlot(const RecordFile& db, int32_t slot) {
    return slot >= 0 && static_cast<uint32_t>(slot) < db.capacity;
}

// Half a CR LF would show as a stray line end the next time.
std::string_view CutNotes(std::string_view notes) {
    std::string_view cut = CutText(notes, kDetailsNotesLimit);
    if (cut.size() < notes.size() && !cut.empty() && cut.back() == '\r' &&
        notes[cut.size()] == '\n')
        cut.remove_suffix(1);
    return cut;
}

} // namespace

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
    for (const int32_t slot : slots)
        words.push_back(ReadText(db, slot, kFieldWord).value_or(std::string()));
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
    std::optional<std::string> word = ReadText(db, slot, kFieldWord);
    if (!word)
        return false;
    details.word = std::move(*word);
    for (uint32_t user = 0; user < kUserCount; ++user) {
        details.total[user] =
            static_cast<uint32_t>(ReadNumber(db, slot, TotalField(user)).value_or(0));
        details.correct[user] =
            static_cast<uint32_t>(ReadNumber(db, slot, CorrectField(user)).value_or(0));
    }
    details.notes = ReadText(db, slot, kFieldNotes).value_or(std::string());
    return true;
}

bool SaveWordDetails(RecordFile& db, int32_t slot, std::optional<std::string_view> word,
                     std::optional<std::string_view> notes) {
    if (word && !WriteText(db, slot, kFieldWord, CutText(*word, kDetailsWordLimit)))
        return false;
    return !notes || WriteText(db, slot, kFieldNotes, CutNotes(*notes));
}

void InitNewWordRecord(RecordFile& db, int32_t slot, bool full) {
    if (full) {
        WriteText(db, slot, kFieldWord, kNewWordText);
        WriteText(db, slot, kFieldNotes, "");
    }
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        WriteNumber(db, slot, field, 0);
}

bool FreeWordRecord(RecordFile& db, int32_t slot) {
    // The tutor needs a word to show, so the last one stays.
    if (!ValidSlot(db, slot) || db.view == nullptr || db.liveCount <= 1)
        return false;
    return SetRecordTag(db, slot, RecordDeleted) != 0;
}

bool DeleteWordRecord(RecordFile& db, int32_t slot) {
    if (!FreeWordRecord(db, slot))
        return false;
    // The tag change is one word; the compaction that follows runs on a copy.
    SortRecordsAtomically(db, kFieldWord, platform::UserCollator());
    return true;
}

} // namespace lexipond
