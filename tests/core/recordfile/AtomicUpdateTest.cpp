// SPDX-License-Identifier: GPL-3.0-or-later
// All-or-nothing changes: a failure at any write, sync or rename leaves the
// file byte for byte as it was, and a kill at any instant leaves either the
// old bytes or the whole result.
#include "core/recordfile/AtomicUpdate.h"

#include "core/platform/Collation.h"
#include "core/platform/FileCopy.h"
#include "core/platform/FileMapping.h"
#include "core/recordfile/SortRecords.h"
#include "core/recordfile/RecordFileTestSupport.h"

#include <algorithm>
#include <random>

namespace lexipond {
namespace {

using namespace testing;

// Words in a shuffled order, with every third one deleted, so that a sort
// both compacts and moves records.
void MakeShuffledDatabase(const std::string& path, int count) {
    std::vector<std::string> words = NumberedWords(count);
    std::shuffle(words.begin(), words.end(), std::mt19937(7));
    MakeWordDatabase(path, words);
    RecordFile db;
    db.fileName = path;
    ASSERT_EQ(Reopen(db), OpenResult::Opened);
    for (int32_t slot = 0; slot < count; slot += 3)
        SetRecordTag(db, slot, RecordDeleted);
    CloseRecordFile(db);
}

const platform::Collator& Root() {
    static const platform::Collator root("");
    return root;
}

bool SortChange(RecordFile& copy, bool& changed) {
    changed = true;
    return SortRecords(copy, kFieldWord, Root()) != 0;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct AtomicUpdateTest : ::testing::Test {
    void SetUp() override {
        MakeShuffledDatabase(path, 300);
        before = ReadBytes(path);
        db.fileName = path;
        ASSERT_EQ(Reopen(db), OpenResult::Opened);
    }
    void TearDown() override { CloseRecordFile(db); }
    TempFolder folder;
    std::string path = folder / "LPDB.lbf";
    std::string before;
    RecordFile db;
};

TEST_F(AtomicUpdateTest, TheResultTakesTheFilesPlaceAndStaysOpen) {
    EXPECT_EQ(UpdateAtomically(db, SortChange), UpdateOutcome::Replaced);
    ASSERT_NE(db.view, nullptr);
    EXPECT_EQ(db.liveCount, 200u);
    EXPECT_EQ(GetText(db, 0), "word1001");
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"LPDB.lbf"});

    // The same bytes as the change made in place.
    CloseRecordFile(db);
    const std::string result = ReadBytes(path);
    WriteBytes(path, before);
    ASSERT_EQ(Reopen(db), OpenResult::Opened);
    SortRecords(db, kFieldWord, Root());
    CloseRecordFile(db);
    EXPECT_TRUE(ReadBytes(path) == result);
}

TEST_F(AtomicUpdateTest, AFailedOrEmptyChangeLeavesTheFileAndNoPartialFile) {
    EXPECT_EQ(UpdateAtomically(db, [](RecordFile& copy, bool& changed) {
                  PutText(copy, 1, "half done");
                  changed = true;
                  return false;
              }),
              UpdateOutcome::Failed);
    EXPECT_EQ(UpdateAtomically(db, [](RecordFile& copy, bool& changed) {
                  PutText(copy, 1, "thrown away");
                  changed = false;
                  return true;
              }),
              UpdateOutcome::Unchanged);
    ASSERT_NE(db.view, nullptr) << "the file must stay open";
    CloseRecordFile(db);
    EXPECT_TRUE(ReadBytes(path) == before);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"LPDB.lbf"});
}

// Each row makes one system call fail; the file must stay as it was.
struct FaultRow {
    const char* name;
    void (*inject)(platform::FileOperations&);
};

TEST_F(AtomicUpdateTest, DiskFullFailedSyncOrFailedRenameLeaveTheFileAsItWas) {
    const FaultRow rows[] = {
        {"disk full while copying",
         [](platform::FileOperations& ops) {
             ops.write = [](int, const void*, size_t) -> ssize_t {
                 errno = ENOSPC;
                 return -1;
             };
         }},
        {"sync fails",
         [](platform::FileOperations& ops) {
             ops.fsync = [](int) {
                 errno = EIO;
                 return -1;
             };
         }},
        {"rename fails",
         [](platform::FileOperations& ops) {
             ops.rename = [](const char*, const char*) {
                 errno = EACCES;
                 return -1;
             };
         }},
    };
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.name);
        {
            platform::ScopedFileOperations scope;
            row.inject(*scope);
            EXPECT_EQ(UpdateAtomically(db, SortChange), UpdateOutcome::Failed);
        }
        ASSERT_NE(db.view, nullptr);
        EXPECT_EQ(db.liveCount, 200u);
        CloseRecordFile(db);
        EXPECT_TRUE(ReadBytes(path) == before);
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"LPDB.lbf"});
        ASSERT_EQ(Reopen(db), OpenResult::Opened);
    }
}

TEST(PartialFiles, OnlyTheNumberedPartialFilesOfThatNameAreRemoved) {
    TempFolder folder;
    for (const char* name : {"LPDB.lbf", "LPDB.lbf.part123", "LPDB.lbf.part9", "LPDB.lbf.partx",
                             "LPDB.lbf Bak", "dLexipond.dat.part5", "LPDB.lbf.part"})
        WriteBytes(folder / name, "x");
    EXPECT_EQ(platform::RemoveLeftoverPartialFiles(folder / "LPDB.lbf"), 2);
    EXPECT_EQ(FilesIn(folder.Path()),
              (std::vector<std::string>{"LPDB.lbf", "LPDB.lbf Bak", "LPDB.lbf.part",
                                        "LPDB.lbf.partx", "dLexipond.dat.part5"}));
}

TEST(CreateAtomically, AFileThatCannotBeMadeWholeLeavesNothingBehind) {
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    RecordFile db;
    {
        platform::ScopedFileOperations scope;
        scope->write = [](int, const void*, size_t) -> ssize_t {
            errno = ENOSPC;
            return -1;
        };
        EXPECT_FALSE(CreateAtomically(db, path, [](RecordFile& made) {
            return CreateWordDatabase(made) != 0;
        }));
    }
    EXPECT_EQ(db.view, nullptr);
    EXPECT_TRUE(FilesIn(folder.Path()).empty()) << "a full disk left a file behind";
    EXPECT_FALSE(CreateAtomically(db, path, [](RecordFile&) { return false; }));
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
    ASSERT_TRUE(CreateAtomically(db, path, [](RecordFile& made) {
        return CreateWordDatabase(made) != 0;
    }));
    EXPECT_NE(db.view, nullptr);
    CloseRecordFile(db);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"LPDB.lbf"});
}

} // namespace
} // namespace lexipond
