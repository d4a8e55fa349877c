// Word list import: line ends, NUL and LF bytes, duplicates as the words are
// stored, and files that are not word lists at all.
#include "core/words/ImportWordFile.h"

#include "TestSupport.h"
#include "core/words/WordDetails.h"
#include "core/platform/Collation.h"

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

TEST_F(ImportWordFileTest, LinesEndAtCrAndTheSameFileTwiceAddsNothing) {
    const std::string p63(63, 'p'), a62(62, 'a');
    const Words many = NumberedWords(1000);
    std::string manyList;
    for (const std::string& word : many)
        manyList += word + "\r\n" + word + "\r\n";
    const struct {
        const char* name;
        std::string content;
        Words expected;
    } rows[] = {
        {"CR LF", "dog\r\ncat\r\n", {"dog", "cat"}},
        {"no final CR", "dog\r\ncat", {"dog"}},
        {"LF only", "dog\ncat\n", {}},
        {"lone CR", "dog\rcat\r", {"dog", "cat"}},
        {"NUL and LF add nothing", std::string("d\0o\ng\r\n", 7), {"dog"}},
        {"empty lines", "\r\n\r\ndog\r\n\r\r\n", {"dog"}},
        {"case counts", "dog\r\ndog\r\nDog\r\n", {"dog", "Dog"}},
        {"cut to 63", std::string(70, 'x') + "\r", {std::string(63, 'x')}},
        {"equal once cut", p63 + "1\r" + p63 + "2\r", {p63}},
        {"cut keeps whole characters", a62 + "\xC3\xA9\r", {a62}},
        // Bytes outside valid UTF-8 are Windows-1252 characters of their own.
        {"cut counts stray bytes", a62 + "\xE9\xE9\r", {a62 + "\xE9"}},
        {"many", manyList, many},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FreshDatabase();
        EXPECT_EQ(Import(row.content), row.expected.size());
        EXPECT_EQ(Import(row.content), 0u);
        EXPECT_EQ(Stored(), row.expected);
    }
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
