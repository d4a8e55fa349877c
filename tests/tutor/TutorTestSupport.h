#pragma once
// A tutor over a real temporary word database, a scripted random source and a recording window.
#include "TestSupport.h"
#include "shell/Settings.h"
#include "tutor/Tutoring.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace lexipond::testing {

struct WordEntry {
    std::string word;
    std::array<uint32_t, 4> tallies{}; // total and correct of user slot 0, then of slot 1
    std::string notes{};
};

class TutorFixture : public ::testing::Test {
  protected:
    TutorFixture() {
        db.fileName = folder / kWordDatabaseName;
        settings.level = 3; // one candidate per choice
    }
    ~TutorFixture() override { CloseRecordFile(db); }

    void MakeDatabase(const std::vector<WordEntry>& words) {
        ASSERT_NE(CreateWordDatabase(db), 0);
        for (const WordEntry& entry : words)
            AddWord(entry);
    }
    int32_t AddWord(const WordEntry& entry) {
        const int32_t slot = AddRecord(db);
        EXPECT_GE(slot, 0);
        std::snprintf(db.textValue, sizeof db.textValue, "%s", entry.word.c_str());
        PutField(db, slot, kFieldWord);
        std::snprintf(db.textValue, sizeof db.textValue, "%s", entry.notes.c_str());
        PutField(db, slot, kFieldNotes);
        for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
            const uint32_t tally = field - TotalField(0);
            db.numberValue = static_cast<int32_t>(tally < 4 ? entry.tallies[tally] : 0);
            PutField(db, slot, field);
        }
        return slot;
    }
    uint32_t NumberAt(int32_t slot, uint32_t field) {
        GetField(db, slot, field);
        return static_cast<uint32_t>(db.numberValue);
    }
    std::string WordAt(int32_t slot) {
        GetField(db, slot, kFieldWord);
        return db.textValue;
    }
    // Read from the tag bytes, independently of the code under test.
    bool SlotLive(int32_t slot) {
        if (slot < 0 || static_cast<uint32_t>(slot) >= db.capacity)
            return false;
        const uint8_t* p = db.view + db.recordAreaOffset + uint64_t(slot) * db.recordSize;
        return (p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24) == RecordLive;
    }
    int32_t SlotOf(const std::string& word) {
        for (int32_t slot = 0; static_cast<uint32_t>(slot) < db.capacity; ++slot)
            if (SlotLive(slot) && WordAt(slot) == word)
                return slot;
        return -1;
    }
    void ShowSlot(int32_t slot) { // as ChooseNextWord would
        state.currentRecord = slot;
        LoadCurrentWord(tutor);
    }

    TempFolder folder;
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    ScriptedRandom random;
    RecordingWindow window;
    Tutor tutor{db, settings, state, random, window};
};

} // namespace lexipond::testing
