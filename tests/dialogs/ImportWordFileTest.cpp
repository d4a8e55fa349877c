// Word list import: line ends, NUL and LF bytes, duplicates as the words are
// stored, fields of reused slots, and files that are not word lists at all.
#include "dialogs/ImportWordFile.h"

#include "platform/Collation.h"
#include "recordfile/RecordFile.h"
#include "recordfile/RecordFileTestSupport.h"
#include "recordfile/WordDatabase.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace lexipond {
namespace {

using namespace lexipond::testing;

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

class ImportWordFileTest : public ::testing::Test {
  protected:
    void SetUp() override { CreateDatabase(db_, folder_); }
    void TearDown() override { CloseRecordFile(db_); }

    uint32_t Import(const std::string& content, ImportReport* report = nullptr) {
        const std::string path = folder_.File("list.txt");
        WriteBytes(path, Bytes(content));
        return ImportWordFile(db_, path.c_str(), collator_, report);
    }

    // The live words in slot order.
    std::vector<std::string> LiveWords() {
        std::vector<std::string> words;
        int32_t slot = FindRecordByTag(db_, RecordLive, 0);
        while (slot >= 0) {
            words.push_back(GetWord(db_, slot));
            const int32_t next = NextLiveRecord(db_, slot);
            slot = next == slot ? -1 : next;
        }
        return words;
    }

    TempFolder folder_;
    RecordFile db_;
    const platform::Collator collator_{"en_US"};
};

using WordList = std::vector<std::string>;

TEST_F(ImportWordFileTest, LineEndsNulAndLfFollowTheWordListFormat) {
    struct Row {
        const char* name;
        std::string content;
        WordList expected;
    };
    const std::string ascii70(70, 'x');
    const Row rows[] = {
        {"CR LF", "dog\r\ncat\r\n", {"dog", "cat"}},
        {"no final CR", "dog\r\ncat", {"dog"}},
        {"LF only", "dog\ncat\n", {}},
        {"lone CR", "dog\rcat\r", {"dog", "cat"}},
        {"LF anywhere", "d\no\ng\r", {"dog"}},
        {"NUL adds nothing", std::string("d\0og\r\n", 6), {"dog"}},
        {"UTF-16LE", std::string("d\0o\0g\0\r\0\n\0c\0a\0t\0\r\0\n\0", 20), {"dog", "cat"}},
        {"no trimming", " dog\t\r", {" dog\t"}},
        {"duplicates in one file", "dog\r\ndog\r\nDog\r\n", {"dog", "Dog"}},
        {"canonically equal spellings", "caf\xC3\xA9\r\ncafe\xCC\x81\r\n", {"caf\xC3\xA9"}},
        {"empty lines skipped", "\r\n\r\ndog\r\n\r\r\n", {"dog"}},
        {"only NULs is empty", std::string("\0\0\r", 3), {}},
        {"long line cut to 63", ascii70 + "\r", {std::string(63, 'x')}},
        {"cut never splits a character",
         std::string(62, 'a') + "\xC3\xA9\r",
         {std::string(62, 'a')}},
        {"UTF-8 byte order mark",
         "\xEF\xBB\xBF"
         "dog\r\n",
         {"dog"}},
        {"UTF-16 byte order mark",
         std::string("\xFF\xFE"
                     "d\0o\0g\0\r\0\n\0",
                     12),
         {"dog"}},
        {"Windows-1252 bytes", "caf\xE9\r\n\xE9t\xE9\r\n", {"caf\xE9", "\xE9t\xE9"}},
        {"empty file", "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CloseRecordFile(db_);
        CreateDatabase(db_, folder_, std::string("db-") + row.name + ".lbf");
        EXPECT_EQ(Import(row.content), row.expected.size());
        EXPECT_EQ(LiveWords(), row.expected);
    }
}

TEST_F(ImportWordFileTest, WordsAlreadyPresentAreDuplicatesButCaseAndBlanksAreNot) {
    ASSERT_EQ(Import("dog\r\ncat\r\n"), 2u);
    ImportReport report;
    EXPECT_EQ(Import("dog\r\ncat\r\n", &report), 0u);
    EXPECT_EQ(report.duplicates, 2u);
    EXPECT_EQ(Import("Dog\r\n dog\r\ndog \r\nCAT\r\n"), 4u);
    EXPECT_EQ(LiveWords(), (WordList{"dog", "cat", "Dog", " dog", "dog ", "CAT"}));
}

TEST_F(ImportWordFileTest, LongLinesAreComparedAsTheyWillBeStored) {
    const std::string prefix(63, 'p');
    ImportReport report;
    EXPECT_EQ(
        Import(prefix + "first tail\r\n" + prefix + "second tail\r\n" + prefix + "\r\n", &report),
        1u);
    EXPECT_EQ(report.duplicates, 2u);
    EXPECT_EQ(Import(prefix + "first tail\r\n"), 0u) << "a second import added the word again";
    EXPECT_EQ(LiveWords(), WordList{prefix});

    // A line far beyond the 1023-byte buffer is bounded, counted and still imported.
    const std::string huge(200000, 'h');
    EXPECT_EQ(Import(huge + "\r\nafter\r\n", &report), 2u);
    EXPECT_EQ(report.longLines, 1u);
    EXPECT_EQ(LiveWords().at(1), std::string(63, 'h'));
    EXPECT_EQ(LiveWords().at(2), "after");
}

TEST_F(ImportWordFileTest, ReusedSlotGetsEveryFieldWritten) {
    const int32_t old = AddWord(db_, "old");
    db_.numberValue = 77;
    for (uint32_t field = 2; field <= 13; ++field)
        PutField(db_, old, field);
    std::strcpy(db_.textValue, "old notes");
    PutField(db_, old, kFieldNotes);
    AddWord(db_, "keep");
    SetRecordTag(db_, old, RecordDeleted);

    ASSERT_EQ(Import("new\r\n"), 1u);
    ASSERT_EQ(GetWord(db_, old), "new") << "the import did not reuse the freed slot";
    for (uint32_t field = 2; field <= 13; ++field) {
        GetField(db_, old, field);
        EXPECT_EQ(db_.numberValue, 0) << "field " << field;
    }
    GetField(db_, old, kFieldNotes);
    EXPECT_STREQ(db_.textValue, "");
}

TEST_F(ImportWordFileTest, MissingFileOrClosedDatabaseChangesNothing) {
    AddWord(db_, "dog");
    const std::vector<uint8_t> before = ReadBytes(db_.fileName);
    ImportReport report;
    EXPECT_EQ(ImportWordFile(db_, folder_.File("no-such-file.txt").c_str(), collator_, &report),
              0u);
    EXPECT_FALSE(report.opened);
    EXPECT_EQ(ImportWordFile(db_, nullptr, collator_), 0u);
    EXPECT_EQ(LiveWords(), WordList{"dog"});

    const std::string path = folder_.File("list.txt");
    WriteBytes(path, Bytes("cat\r\n"));
    CloseRecordFile(db_);
    EXPECT_EQ(ImportWordFile(db_, path.c_str(), collator_), 0u);
    EXPECT_EQ(ReadBytes(db_.fileName), before);

    // Read-only: every line is dropped, nothing is written.
    ASSERT_EQ(Reopen(db_, false), 1);
    EXPECT_EQ(ImportWordFile(db_, path.c_str(), collator_, &report), 0u);
    EXPECT_EQ(report.failed, 1u);
    EXPECT_EQ(LiveWords(), WordList{"dog"});
}

TEST_F(ImportWordFileTest, KeyOfTheLastLineStaysInTheSearchKey) {
    Import("dog\r\ncat\r\nunfinished");
    EXPECT_STREQ(db_.searchKey, "cat");
}

TEST_F(ImportWordFileTest, BinaryJunkAndAMillionLinesKeepTheDatabaseSound) {
    std::mt19937 random(7);
    std::string junk(300000, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    ImportReport report;
    Import(junk, &report);
    EXPECT_EQ(report.added + report.duplicates + report.empty, report.lines);
    EXPECT_EQ(db_.liveCount, report.added);
    for (const std::string& word : LiveWords()) {
        EXPECT_LE(word.size(), 63u);
        EXPECT_FALSE(word.empty());
    }

    // A million lines of a thousand distinct words.
    std::string many;
    many.reserve(12'000'000);
    for (int i = 0; i < 1'000'000; ++i)
        many += "word" + std::to_string(i % 1000) + "\r\n";
    const uint32_t liveBefore = db_.liveCount;
    EXPECT_EQ(Import(many, &report), 1000u);
    EXPECT_EQ(report.lines, 1'000'000u);
    EXPECT_EQ(report.duplicates, 999'000u);
    EXPECT_EQ(db_.liveCount, liveBefore + 1000);

    // The file still opens as a valid database with every word in it.
    CloseRecordFile(db_);
    ASSERT_EQ(Reopen(db_, true), 1);
    EXPECT_EQ(db_.liveCount, liveBefore + 1000);
}

} // namespace
} // namespace lexipond
