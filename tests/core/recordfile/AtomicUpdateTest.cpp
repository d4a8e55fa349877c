// SPDX-License-Identifier: GPL-3.0-or-later
// All-or-nothing changes: the result replaces the file whole, and a failed change
// or a failure at any write, sync or rename leaves the file byte for byte as it was.
// (A kill at any instant: the kill tests of lexipond-db and of the re-sort.)
#include "core/recordfile/AtomicUpdate.h"

#include "core/platform/Collation.h"
#include "core/platform/FileCopy.h"
#include "core/recordfile/RecordFileTestSupport.h"
#include "core/recordfile/SortRecords.h"

#include <random>

namespace lexipond {
namespace {

using namespace testing;

bool SortChange(RecordFile& copy, bool& changed) {
    static const platform::Collator root("");
    changed = true;
    return SortRecords(copy, kFieldWord, root) != 0;
}

// Words in a shuffled order, with every third one deleted, so that a sort both
// compacts and moves records.
struct AtomicUpdateTest : ::testing::Test {
    void SetUp() override {
        std::vector<std::string> words = NumberedWords(300);
        std::shuffle(words.begin(), words.end(), std::mt19937(7));
        MakeWordDatabase(path, words);
        db.fileName = path;
        ASSERT_EQ(Reopen(db), OpenResult::Opened);
        for (int32_t slot = 0; slot < 300; slot += 3)
            SetRecordTag(db, slot, RecordDeleted);
        CloseRecordFile(db);
        before = ReadBytes(path);
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
    EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{"LPDB.lbf"});
}

// Each row makes the change fail or find nothing to do, or one system call fail.
TEST_F(AtomicUpdateTest, AnyFailureLeavesTheFileAsItWasAndNoPartialFile) {
    using Inject = void (*)(platform::FileOperations&);
    using Change = bool (*)(RecordFile&, bool&);
    const std::tuple<const char*, Inject, Change, UpdateOutcome> rows[] = {
        {"the change fails", nullptr,
         [](RecordFile& copy, bool& changed) {
             PutText(copy, 1, "half done");
             changed = true;
             return false;
         },
         UpdateOutcome::Failed},
        {"nothing to change", nullptr,
         [](RecordFile& copy, bool& changed) {
             PutText(copy, 1, "thrown away");
             changed = false;
             return true;
         },
         UpdateOutcome::Unchanged},
        {"disk full while copying", FillDisk, SortChange, UpdateOutcome::Failed},
        {"sync fails",
         [](platform::FileOperations& ops) { ops.fsync = [](int) { return errno = EIO, -1; }; },
         SortChange, UpdateOutcome::Failed},
        {"rename fails",
         [](platform::FileOperations& ops) {
             ops.rename = [](const char*, const char*) { return errno = EACCES, -1; };
         },
         SortChange, UpdateOutcome::Failed},
    };
    for (const auto& [name, inject, change, outcome] : rows) {
        SCOPED_TRACE(name);
        {
            platform::ScopedFileOperations scope;
            if (inject)
                inject(*scope);
            EXPECT_EQ(UpdateAtomically(db, change), outcome);
        }
        ASSERT_NE(db.view, nullptr) << "the file must stay open";
        EXPECT_EQ(db.liveCount, 200u);
        CloseRecordFile(db);
        EXPECT_TRUE(ReadBytes(path) == before);
        EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{"LPDB.lbf"});
        ASSERT_EQ(Reopen(db), OpenResult::Opened);
    }
}

TEST(PartialFiles, OnlyTheNumberedPartialFilesOfThatNameAreRemoved) {
    TempFolder folder;
    for (const char* name : {"LPDB.lbf", "LPDB.lbf.part123", "LPDB.lbf.part9", "LPDB.lbf.partx",
                             "LPDB.lbf Bak", "dLexipond.dat.part5", "LPDB.lbf.part"})
        WriteBytes(folder / name, "x");
    EXPECT_EQ(platform::RemoveLeftoverPartialFiles(folder / "LPDB.lbf"), 2);
    EXPECT_EQ(FileNames(folder.Path()),
              (std::vector<std::string>{"LPDB.lbf", "LPDB.lbf Bak", "LPDB.lbf.part",
                                        "LPDB.lbf.partx", "dLexipond.dat.part5"}));
}

TEST(CreateAtomically, AFileThatCannotBeMadeWholeLeavesNothingBehind) {
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    const auto build = [](RecordFile& made) { return CreateWordDatabase(made) != 0; };
    RecordFile db;
    {
        platform::ScopedFileOperations scope;
        FillDisk(*scope);
        EXPECT_FALSE(CreateAtomically(db, path, build));
    }
    EXPECT_EQ(db.view, nullptr);
    EXPECT_TRUE(FileNames(folder.Path()).empty()) << "a full disk left a file behind";
    ASSERT_TRUE(CreateAtomically(db, path, build));
    EXPECT_NE(db.view, nullptr);
    CloseRecordFile(db);
    EXPECT_EQ(FileNames(folder.Path()), std::vector<std::string>{"LPDB.lbf"});
}

} // namespace
} // namespace lexipond
