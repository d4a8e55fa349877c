#pragma once
// A tutor over a real temporary word database, with a scripted random source and
// a window that records what the core asks of it.
#include "TestSupport.h"
#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"
#include "shell/Settings.h"
#include "tutor/TutorState.h"
#include "tutor/Tutoring.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lexipond::testing {

struct WordSpec {
    WordSpec(std::string w, uint32_t t0 = 0, uint32_t c0 = 0, uint32_t t1 = 0, uint32_t c1 = 0,
             std::string n = "")
        : word(std::move(w)), total0(t0), correct0(c0), total1(t1), correct1(c1),
          notes(std::move(n)) {}
    std::string word;
    // Total and correct answers of user slots 0 and 1.
    uint32_t total0, correct0, total1, correct1;
    std::string notes;
};

class TutorFixture : public ::testing::Test {
  protected:
    TutorFixture() {
        static int serial = 0;
        folder_ = std::filesystem::temp_directory_path() /
                  ("lexipond-tutor-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(folder_);
        db.fileName = (folder_ / "LPDB.lbf").string();
        settings = SettingsBlock{};
        settings.level = 3;
        const char* names[kUserCount] = {"Zov", "Quen", "Pelty", "Rondel", "Vimsa"};
        for (int i = 0; i < kUserCount; ++i) {
            std::snprintf(settings.userNames[i], kUserNameSize, "%s", names[i]);
        }
    }
    ~TutorFixture() override {
        CloseRecordFile(db);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // A fresh word database holding the words in the order given (slot 0 first).
    void MakeDatabase(const std::vector<WordSpec>& words) {
        ASSERT_NE(CreateWordDatabase(db), 0);
        for (const WordSpec& spec : words) {
            AddWord(spec);
        }
    }

    int32_t AddWord(const WordSpec& spec) {
        const int32_t slot = AddRecord(db);
        EXPECT_GE(slot, 0);
        if (slot < 0) {
            return slot;
        }
        std::snprintf(db.textValue, sizeof db.textValue, "%s", spec.word.c_str());
        PutField(db, slot, kFieldWord);
        for (uint32_t field = 2; field <= 13; ++field) {
            uint32_t value = 0;
            if (field == TotalField(0)) {
                value = spec.total0;
            } else if (field == CorrectField(0)) {
                value = spec.correct0;
            } else if (field == TotalField(1)) {
                value = spec.total1;
            } else if (field == CorrectField(1)) {
                value = spec.correct1;
            }
            db.numberValue = static_cast<int32_t>(value);
            PutField(db, slot, field);
        }
        std::snprintf(db.textValue, sizeof db.textValue, "%s", spec.notes.c_str());
        PutField(db, slot, kFieldNotes);
        return slot;
    }

    std::string WordAt(int32_t slot) {
        GetField(db, slot, kFieldWord);
        return db.textValue;
    }
    uint32_t NumberAt(int32_t slot, uint32_t field) {
        GetField(db, slot, field);
        return static_cast<uint32_t>(db.numberValue);
    }
    int32_t SlotOf(const std::string& word) {
        for (uint32_t slot = 0; slot < db.capacity; ++slot) {
            if (SlotLive(static_cast<int32_t>(slot)) &&
                WordAt(static_cast<int32_t>(slot)) == word) {
                return static_cast<int32_t>(slot);
            }
        }
        return -1;
    }
    bool SlotLive(int32_t slot) {
        const uint8_t* p = db.view + db.recordAreaOffset + uint64_t(slot) * db.recordSize;
        return (p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24) == RecordLive;
    }
    // Puts the word in slot on show as ChooseNextWord would.
    void ShowSlot(int32_t slot) {
        state.currentRecord = slot;
        LoadCurrentWord(tutor);
    }

    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    ScriptedRandom random;
    RecordingWindow window;
    Tutor tutor{db, settings, state, random, window};

  private:
    std::filesystem::path folder_;
};

} // namespace lexipond::testing
