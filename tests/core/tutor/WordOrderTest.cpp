// SPDX-License-Identifier: GPL-3.0-or-later
// The re-sort after the Word Details dialog: a dialog that changed no word
// leaves the file alone, and one that renamed, added, copied or deleted words
// leaves the bytes a full sort of the same edits leaves, with the word on show
// followed to its new slot.
#include "TestSupport.h"
#include "core/platform/Collation.h"
#include "core/recordfile/SortRecords.h"
#include "core/tutor/Commands.h"
#include "core/tutor/Tutoring.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"

#include <sys/stat.h>

namespace lexipond {
namespace {

using namespace testing;

class WordOrderTest : public ::testing::Test, public TutorWorld {
  protected:
    WordOrderTest() {
        db.fileName = folder / kWordDatabaseName;
        MakeWordDatabase(db.fileName, NumberedWords(300));
        EXPECT_EQ(OpenRecordFile(db, db.fileName, Access::ReadWrite), OpenResult::Opened);
    }
    ~WordOrderTest() override { CloseRecordFile(db); }

    void Show(const std::string& word) {
        state.currentRecord = FindExactWord(tutor, word.c_str(), 0);
        ASSERT_GE(state.currentRecord, 0) << word;
        LoadCurrentWord(tutor);
    }
    // Edit, the dialog (actions through the store), then the worker's re-sort.
    void Dialog(const std::function<void()>& actions) {
        ASSERT_TRUE(store.RequestEdit());
        ASSERT_TRUE(store.RunWordDetails(actions));
        ASSERT_EQ(state.workerRequest.load(), RequestResort);
        ResortWords(tutor);
        state.workerRequest = RequestIdle;
    }
    // What a full sort makes of the file as it stands.
    std::string FullSortBytes() {
        const std::string copy = folder / "reference.lbf";
        WriteBytes(copy, ReadBytes(db.fileName));
        RecordFile other;
        EXPECT_EQ(OpenRecordFile(other, copy, Access::ReadWrite), OpenResult::Opened);
        EXPECT_EQ(SortRecordsAtomically(other, kFieldWord, platform::UserCollator()), 1);
        CloseRecordFile(other);
        return ReadBytes(copy);
    }
    timespec ModifiedAt() {
        struct stat info {};
        EXPECT_EQ(stat(db.fileName.c_str(), &info), 0);
        return info.st_mtim;
    }
    bool InOrder() { return RecordsInOrder(db, kFieldWord, platform::UserCollator()); }
};

TEST_F(WordOrderTest, ADialogThatChangedNoWordSortsNothing) {
    while (CheckWordOrderStep(tutor)) {
    }
    ASSERT_EQ(state.wordOrder.known, WordOrderKnown::InOrder);
    Show("word1100");
    // Out of order behind the store's back: a sort would show.
    ASSERT_TRUE(WriteText(db, 3, kFieldWord, "zzz"));
    ASSERT_FALSE(InOrder());
    const std::string before = ReadBytes(db.fileName);
    const timespec modified = ModifiedAt();

    Dialog([] {}); // Cancel, or OK with nothing edited
    EXPECT_TRUE(ReadBytes(db.fileName) == before) << "the file changed";
    const timespec after = ModifiedAt();
    EXPECT_TRUE(after.tv_sec == modified.tv_sec && after.tv_nsec == modified.tv_nsec);

    Dialog([&] { store.SaveWord(state.currentRecord, {}, "notes"); }); // notes only
    EXPECT_FALSE(InOrder());
    EXPECT_EQ(ReadText(db, 3, kFieldWord), "zzz");
    EXPECT_EQ(ReadText(db, state.currentRecord, kFieldNotes), "notes");
    EXPECT_EQ(state.currentWord, std::string("word1100"));
}

TEST_F(WordOrderTest, RenamesAddsCopiesAndDeletesEndAsAFullSortWouldLeaveThem) {
    while (CheckWordOrderStep(tutor)) {
    }
    ASSERT_EQ(state.wordOrder.known, WordOrderKnown::InOrder);
    Show("word1150");
    std::string expected;
    Dialog([&] {
        ASSERT_TRUE(store.SaveWord(10, "aaa first", "moved"));
        ASSERT_TRUE(store.SaveWord(299, "word1150", {})); // a second word1150
        ASSERT_GE(store.AddNewWord(), 0);
        ASSERT_GE(store.AddCopyOf("word1000", "copied"), 0);
        // The delete puts the words in order at once, for the dialog's list.
        ASSERT_TRUE(store.DeleteWord(40));
        EXPECT_TRUE(InOrder());
        EXPECT_TRUE(state.wordOrder.changed.empty());
        ASSERT_TRUE(store.SaveWord(0, "zzz last", {}));
        ASSERT_GE(store.AddNewWord(), 0);
        expected = FullSortBytes();
    });
    EXPECT_TRUE(ReadBytes(db.fileName) == expected) << "not the full sort's bytes";
    EXPECT_TRUE(InOrder());
    EXPECT_EQ(state.wordOrder.known, WordOrderKnown::InOrder);
    // The word on show is the record it was, not the copy made later.
    EXPECT_EQ(state.currentWord, std::string("word1150"));
    EXPECT_EQ(ReadText(db, state.currentRecord, kFieldWord), "word1150");
    EXPECT_EQ(ReadText(db, state.currentRecord + 1, kFieldWord), "word1150");
}

TEST_F(WordOrderTest, ARenamedWordOnShowIsFoundAgainInItsCopy) {
    while (CheckWordOrderStep(tutor)) {
    }
    Show("word1150");
    const int32_t shown = state.currentRecord;
    Dialog([&] {
        ASSERT_GE(store.AddCopyOf("word1150", "copied"), 0);
        ASSERT_TRUE(store.SaveWord(shown, "aaa renamed", {}));
    });
    EXPECT_EQ(state.currentWord, std::string("word1150"));
    EXPECT_EQ(ReadText(db, state.currentRecord, kFieldWord), "word1150");
    EXPECT_EQ(ReadText(db, state.currentRecord, kFieldNotes), "copied");
    EXPECT_TRUE(InOrder());
}

TEST_F(WordOrderTest, AnUnknownOrderIsCheckedAndAWrongOneSorted) {
    ASSERT_EQ(state.wordOrder.known, WordOrderKnown::Unknown);
    ASSERT_TRUE(WriteText(db, 3, kFieldWord, "zzz"));
    while (CheckWordOrderStep(tutor)) {
    }
    EXPECT_EQ(state.wordOrder.known, WordOrderKnown::OutOfOrder);
    Show("word1100");
    const std::string expected = FullSortBytes();
    Dialog([] {});
    EXPECT_TRUE(ReadBytes(db.fileName) == expected) << "not the full sort's bytes";
    EXPECT_EQ(state.wordOrder.known, WordOrderKnown::InOrder);
    EXPECT_EQ(state.currentWord, std::string("word1100"));
}

} // namespace
} // namespace lexipond
