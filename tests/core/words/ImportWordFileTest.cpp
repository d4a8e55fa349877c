// SPDX-License-Identifier: GPL-3.0-or-later
// Word list import: line ends, NUL bytes, duplicates as the words are stored,
// and files that are not word lists at all.
#include "core/words/ImportWordFile.h"

#include "TestSupport.h"
#include "core/platform/Collation.h"
#include "core/words/WordDetails.h"

#include <random>

namespace lexipond::testing {
namespace {

using Words = std::vector<std::string>;

class ImportWordFileTest : public ::testing::Test {
  protected:
    void SetUp() override { FreshDatabase(); }
    void TearDown() override { CloseRecordFile(db); }

    void FreshDatabase() {
        CloseRecordFile(db);
        db.fileName = folder / ("LPDB" + std::to_string(++databases) + ".lbf");
        ASSERT_NE(CreateWordDatabase(db), 0);
    }
    uint32_t Import(const std::string& content, ImportReport* report = nullptr) {
        WriteBytes(list, content);
        return ImportWordFile(db, list.c_str(), collator, report);
    }
    Words Stored() { return SlotWords(db, LiveSlots(db)); }

    TempFolder folder;
    const std::string list = folder / "list.txt";
    RecordFile db;
    int databases = 0;
    const platform::Collator collator{"en_US"};
};

TEST_F(ImportWordFileTest, AnyLineEndEndsALineAndTheSameFileTwiceAddsNothing) {
    const std::string p63(63, 'p'), a62(62, 'a');
    const Words many = NumberedWords(1000);
    std::string manyList;
    for (const std::string& word : many)
        manyList += word + "\r\n" + word + "\r\n";
    // A CR LF split between two reads of the file is still one line end.
    const std::string split = std::string(64 * 1024 - 1, 'q') + "\r\ndog\r\n";
    const std::string utf16 = "\xFF\xFE" + std::string("d\0o\0g\0\r\0\n\0c\0a\0t\0\r\0\n\0", 20);
    const struct {
        const char* name;
        std::string content;
        Words expected;
        uint32_t empty;
    } rows[] = {
        {"CR LF after a byte order mark",
         std::string("\xEF\xBB\xBF") + "dog\r\ncat\r\n",
         {"dog", "cat"},
         0},
        {"mixed", "dog\ncat\r\nemu\rfox\n", {"dog", "cat", "emu", "fox"}, 0},
        {"last line without a line end", "dog\r\ncat", {"dog", "cat"}, 0},
        {"UTF-16 after its byte order mark", utf16, {"dog", "cat"}, 0},
        {"empty CR LF lines", "\r\n\r\ndog\r\n\r\r\n", {"dog"}, 4},
        {"LF then CR is two line ends", "dog\n\rcat\n\r", {"dog", "cat"}, 2},
        {"spaces are kept", " dog \n\t\n", {" dog ", "\t"}, 0},
        {"CR LF across two reads", split, {std::string(63, 'q'), "dog"}, 0},
        {"case counts", "dog\r\ndog\r\nDog\r\n", {"dog", "Dog"}, 0},
        {"cut to 63", std::string(70, 'x') + "\r", {std::string(63, 'x')}, 0},
        {"equal once cut", p63 + "1\r" + p63 + "2\r", {p63}, 0},
        {"cut keeps whole characters", a62 + "\xC3\xA9\r", {a62}, 0},
        {"many", manyList, many, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FreshDatabase();
        ImportReport report;
        EXPECT_EQ(Import(row.content, &report), row.expected.size());
        EXPECT_EQ(report.empty, row.empty);
        EXPECT_EQ(report.added + report.duplicates + report.empty, report.lines);
        EXPECT_EQ(Import(row.content, &report), 0u);
        EXPECT_EQ(report.duplicates, report.lines - row.empty);
        EXPECT_EQ(Stored(), row.expected);
    }
}

TEST_F(ImportWordFileTest, OnlyTheSameCharactersAreTheSameWord) {
    const struct {
        const char* name;
        std::string content;
        Words expected;
    } rows[] = {
        {"soft hyphen", "exam\xC2\xADple\nexample\n", {"exam\xC2\xADple", "example"}},
        {"combining accent and precomposed", "cafe\xCC\x81\ncaf\xC3\xA9\n", {"cafe\xCC\x81"}},
        {"Windows-1252 and UTF-8", "caf\xE9\ncaf\xC3\xA9\n", {"caf\xE9"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FreshDatabase();
        Import(row.content);
        EXPECT_EQ(Stored(), row.expected);
    }
    // Words already in the database are looked at the same way.
    FreshDatabase();
    Import("example\n");
    EXPECT_EQ(Import("exam\xC2\xADple\nexample\n"), 1u);
}

TEST_F(ImportWordFileTest, MissingOrJunkFilesKeepTheDatabaseSound) {
    Import("dog\r\n");
    ImportReport report;
    EXPECT_EQ(ImportWordFile(db, (folder / "missing.txt").c_str(), collator, &report), 0u);
    EXPECT_FALSE(report.opened);

    std::mt19937 random(7);
    std::string junk(300000, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    Import(junk + std::string(200000, 'h') + "\r\n", &report);
    EXPECT_EQ(report.added + report.duplicates + report.empty, report.lines);
    EXPECT_EQ(Stored().front(), "dog");
    for (const std::string& word : Stored())
        EXPECT_TRUE(!word.empty() && word.size() <= 63) << word;
    CloseRecordFile(db);
    EXPECT_EQ(LiveWords(db.fileName), report.added + 1);
}

} // namespace
} // namespace lexipond::testing
