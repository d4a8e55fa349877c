#pragma once
// What tests of every subsystem share: temporary folders, environment
// overrides, files, small word databases, a scripted random source and a
// window that records what the core asks of it.
#include "recordfile/RecordFile.h"
#include "recordfile/WordDatabase.h"
#include "shell/Settings.h"
#include "tutor/TutorState.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace lexipond::testing {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "lexipond-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const char* made = mkdtemp(buffer.data());
        EXPECT_NE(made, nullptr);
        path_ = made ? made : "";
    }
    ~TempFolder() {
        std::error_code error;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing '/'.
    std::string Slash() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A word list file in the import format (CR LF line ends).
inline void WriteWordList(const std::string& path, int count, const std::string& prefix = "w") {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += prefix + std::to_string(1000 + i) + "\r\n";
    WriteBytes(path, text);
}

// Adds a live word record to an open database. tallies fill the number fields
// from TotalField(0) on (total, correct, total, ...); every other one is 0.
inline int32_t AddWordRecord(RecordFile& db, const std::string& word, const std::string& notes = "",
                             const std::vector<int32_t>& tallies = {}) {
    const int32_t slot = AddRecord(db);
    EXPECT_GE(slot, 0) << word;
    std::snprintf(db.textValue, sizeof db.textValue, "%s", word.c_str());
    PutField(db, slot, kFieldWord);
    std::snprintf(db.textValue, sizeof db.textValue, "%s", notes.c_str());
    PutField(db, slot, kFieldNotes);
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        const size_t at = field - TotalField(0);
        db.numberValue = field >= TotalField(0) && at < tallies.size() ? tallies[at] : 0;
        PutField(db, slot, field);
    }
    return slot;
}

// Creates a word database with the given words (all tallies 0) and closes it.
inline void MakeWordDatabase(const std::string& path, const std::vector<std::string>& words) {
    RecordFile db;
    db.fileName = path;
    ASSERT_NE(CreateWordDatabase(db), 0) << path;
    for (const std::string& word : words)
        AddWordRecord(db, word);
    CloseRecordFile(db);
}

inline std::vector<std::string> NumberedWords(int count, const std::string& prefix = "word") {
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i)
        words.push_back(prefix + std::to_string(1000 + i));
    return words;
}

// Sum of one numeric field over the live records of a closed database file.
inline int64_t SumField(const std::string& path, uint32_t field) {
    RecordFile db;
    db.fileName = path;
    db.writable = 0;
    if (!OpenRecordFile(db))
        return -1;
    int64_t sum = 0;
    // NextLiveRecord gives back its argument when no later record is live.
    for (int32_t slot = NextLiveRecord(db, -1); slot >= 0;) {
        GetField(db, slot, field);
        sum += db.numberValue;
        const int32_t next = NextLiveRecord(db, slot);
        if (next == slot)
            break;
        slot = next;
    }
    CloseRecordFile(db);
    return sum;
}

inline uint32_t LiveWords(const std::string& path) {
    RecordFile db;
    db.fileName = path;
    db.writable = 0;
    if (!OpenRecordFile(db))
        return 0;
    uint32_t count = db.liveCount;
    CloseRecordFile(db);
    return count;
}

// Values handed out in order; when the script runs out, a counter takes over
// (next, next + 1, ...). failing makes Fill fail so that the fallback runs.
class ScriptedRandom final : public RandomSource {
  public:
    bool Fill(uint32_t& value) override {
        ++fills;
        if (failing) {
            return false;
        }
        if (!script.empty()) {
            value = script.front();
            script.pop_front();
        } else {
            value = counter++;
        }
        return true;
    }
    uint32_t TickCount() override {
        ++tickReads;
        if (ticks.empty()) {
            return 0;
        }
        const uint32_t t = ticks.front();
        if (ticks.size() > 1) {
            ticks.pop_front();
        }
        return t;
    }

    std::deque<uint32_t> script;
    std::deque<uint32_t> ticks;
    uint32_t counter = 0;
    bool failing = false;
    int fills = 0;
    int tickReads = 0;
};

class RecordingWindow final : public WindowPort {
  public:
    enum Kind { Invalidated, Command, Close };
    struct Entry {
        Kind kind;
        int command;
    };

    void Invalidate() override { Add({Invalidated, 0}); }
    void PostCommand(int command) override { Add({Command, command}); }
    void PostClose() override { Add({Close, 0}); }

    std::vector<Entry> Entries() {
        std::lock_guard<std::mutex> guard(mutex_);
        return entries_;
    }
    int CountCommand(int command) {
        int n = 0;
        for (const Entry& e : Entries()) {
            n += e.kind == Command && e.command == command;
        }
        return n;
    }
    int CountInvalidated() {
        int n = 0;
        for (const Entry& e : Entries()) {
            n += e.kind == Invalidated;
        }
        return n;
    }
    // Waits (bounded, so a broken protocol fails instead of hanging) until the
    // command has been posted at least count times.
    bool WaitForCommand(int command, int count = 1) {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(60), [&] {
            int n = 0;
            for (const Entry& e : entries_) {
                n += e.kind == Command && e.command == command;
            }
            return n >= count;
        });
    }

  private:
    void Add(Entry entry) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            entries_.push_back(entry);
        }
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Entry> entries_;
};

// A tutor around a word database in a temporary folder (the test makes the file).
struct TutorWorld {
    TempFolder folder;
    RecordFile db;
    SettingsBlock settings{};
    TutorState state;
    ScriptedRandom random;
    RecordingWindow window;
    Tutor tutor{db, settings, state, random, window};
};

} // namespace lexipond::testing
