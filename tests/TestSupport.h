#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What tests of every subsystem share: temporary folders, environment
// overrides, files, small word databases, a scripted random source and a
// window that records what the core asks of it.
#include "core/recordfile/RecordFile.h"
#include "core/words/WordDatabase.h"
#include "core/settings/Settings.h"
#include "core/tutor/TutorState.h"
#include "core/tutor/WordStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <optional>
#include <thread>
#include <unistd.h>

namespace lexipond::testing {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end.
struct TempFolder {
    TempFolder() { EXPECT_NE(mkdtemp(path_.data()), nullptr) << path_; }
    ~TempFolder() {
        std::error_code error;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(path_, error);
    }
    std::string Slash() const { return path_ + "/"; } // with a trailing '/'
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }
    std::string path_ = (fs::temp_directory_path() / "lexipond-test-XXXXXX").string();
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
struct ScopedEnv {
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    void Set(const std::optional<std::string>& value) {
        value ? setenv(name_, value->c_str(), 1) : unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

inline std::string ReadBytes(const std::string& path) {
    // In one read: a character at a time is slow in unoptimised builds.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : 0;
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file below a folder with its bytes ("(folder)" for a folder).
inline std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[fs::relative(entry.path(), folder).string()] =
            entry.is_regular_file() ? ReadBytes(entry.path().string()) : "(folder)";
    return files;
}

inline std::vector<std::string> NumberedWords(int count, const std::string& prefix = "word") {
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i)
        words.push_back(prefix + std::to_string(1000 + i));
    return words;
}

// A word list file in the import format (CR LF line ends).
inline void WriteWordList(const std::string& path, int count, const std::string& prefix = "w") {
    std::ofstream out(path, std::ios::binary);
    for (const std::string& word : NumberedWords(count, prefix))
        out << word << "\r\n";
}

// Adds a live word record to an open database. tallies fill the number fields
// from TotalField(0) on (total, correct, total, ...); every other one is 0.
inline int32_t AddWordRecord(RecordFile& db, const std::string& word, const std::string& notes = "",
                             const std::vector<int32_t>& tallies = {}) {
    const int32_t slot = AddRecord(db);
    EXPECT_GE(slot, 0) << word;
    WriteText(db, slot, kFieldWord, word);
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        const size_t at = field - TotalField(0);
        WriteNumber(db, slot, field,
                    field >= TotalField(0) && at < tallies.size() ? tallies[at] : 0);
    }
    WriteText(db, slot, kFieldNotes, notes);
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

// Over the live records of a closed database file (none when it does not
// open): the sum of one number field, or without a field how many there are.
inline int64_t SumField(const std::string& path, std::optional<uint32_t> field = {}) {
    RecordFile db;
    int64_t result = 0;
    if (OpenRecordFile(db, path, Access::ReadOnly) == OpenResult::Opened)
        ForEachLiveRecord(db, [&](int32_t slot) {
            result += field ? ReadNumber(db, slot, *field).value_or(0) : 1;
        });
    CloseRecordFile(db);
    return result;
}
inline uint32_t LiveWords(const std::string& file) {
    return uint32_t(SumField(file));
}

// Values handed out in order; when the script runs out, a counter takes over
// (next, next + 1, ...). failing makes Fill fail so that the fallback runs.
struct ScriptedRandom final : RandomSource {
    bool Fill(uint32_t& value) override {
        ++fills;
        if (!failing && script.empty())
            value = counter++;
        else if (!failing)
            value = script.front(), script.pop_front();
        return !failing;
    }
    uint32_t TickCount() override { // the last tick stays
        ++tickReads;
        const uint32_t tick = ticks.empty() ? 0 : ticks.front();
        if (ticks.size() > 1)
            ticks.pop_front();
        return tick;
    }
    std::deque<uint32_t> script, ticks;
    uint32_t counter = 0;
    bool failing = false;
    int fills = 0, tickReads = 0;
};

// Keeps what the core asks of the window, from any thread.
struct RecordingWindow final : WindowPort {
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
    int CountCommand(int command) { return Count(Command, command); }
    int CountInvalidated() { return Count(Invalidated, 0); }
    // Waits (bounded, so a broken protocol fails instead of hanging) until the
    // command has been posted at least count times.
    bool WaitForCommand(int command, int count = 1) {
        for (int i = 0; i < 6000 && CountCommand(command) < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return CountCommand(command) >= count;
    }
    int Count(Kind kind, int command) {
        int n = 0;
        for (const Entry& e : Entries())
            n += e.kind == kind && e.command == command;
        return n;
    }
    void Add(Entry entry) {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.push_back(entry);
    }
    std::mutex mutex_;
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
    WordStore store{db, settings, state, random, window};
    Tutor& tutor = store.Core();
};

} // namespace lexipond::testing
