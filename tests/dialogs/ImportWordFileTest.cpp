// Word list import: line ends, NUL and LF bytes, duplicates as the words are
// stored, fields of reused slots, and files that are not word lists at all.
#include "dialogs/ImportWordFile.h"

#include "TestSupport.h"
#include "dialogs/WordDetails.h"
#include "platform/Collation.h"

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

TEST_F(ImportWordFileTest, LineEndsNulAndLfFollowTheWordListFormat) {
    const struct {
        const char* name;
        std::string content;
        Words expected;
    } rows[] = {
        {"CR LF", "dog\r\ncat\r\n", {"dog", "cat"}},
        {"no final CR", "dog\r\ncat", {"dog"}},
        {"LF only", "dog\ncat\n", {}},
        {"lone CR", "dog\rcat\r", {"dog", "cat"}},
        {"LF anywhere", "d\no\ng\r", {"dog"}},
        {"NUL adds nothing", std::string("d\0og\r\n", 6), {"dog"}},
        {"UTF-16LE", std::string("d\0o\0g\0\r\0\n\0c\0a\0t\0\r\0\n\0", 20), {"dog", "cat"}},
        {"no trimming", " dog\t\r", {" dog\t"}},
        {"case counts", "dog\r\ndog\r\nDog\r\n", {"dog", "Dog"}},
        {"canonically equal", "caf\xC3\xA9\r\ncafe\xCC\x81\r\n", {"caf\xC3\xA9"}},
        {"empty lines", "\r\n\r\ndog\r\n\r\r\n", {"dog"}},
        {"only NULs", std::string("\0\0\r", 3), {}},
        {"cut to 63", std::string(70, 'x') + "\r", {std::string(63, 'x')}},
        {"cut keeps whole characters", std::string(62, 'a') + "\xC3\xA9\r", {std::string(62, 'a')}},
        {"UTF-8 mark", "\357\273\277dog\r\n", {"dog"}},
        {"UTF-16 mark", std::string("\377\376d\0o\0g\0\r\0\n\0", 12), {"dog"}},
        {"Windows-1252", "caf\xE9\r\n\xE9t\xE9\r\n", {"caf\xE9", "\xE9t\xE9"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FreshDatabase();
        EXPECT_EQ(Import(row.content), row.expected.size());
        EXPECT_EQ(Stored(), row.expected);
    }
}

TEST_F(ImportWordFileTest, DuplicatesAreFoundAsTheWordsWillBeStored) {
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += "word" + std::to_string(i % 1000) + "\r\n";
    ImportReport report;
    EXPECT_EQ(Import(many), 1000u);
    EXPECT_EQ(Import(many, &report), 0u); // the same file twice
    EXPECT_EQ(report.duplicates, 3000u);

    FreshDatabase();
    EXPECT_EQ(Import("dog\r\nDog\r\n dog\r\ndog\r\n"), 3u);
    const std::string prefix(63, 'p');
    EXPECT_EQ(Import(prefix + "one\r\n" + prefix + "two\r\n"), 1u);
    EXPECT_EQ(Import(prefix + "\r\n"), 0u);
    EXPECT_EQ(Stored(), (Words{"dog", "Dog", " dog", prefix}));
}

TEST_F(ImportWordFileTest, ReusedSlotGetsEveryFieldWritten) {
    const int32_t old = AddRecord(db);
    std::strcpy(db.textValue, "old notes");
    PutField(db, old, kFieldNotes);
    db.numberValue = 77;
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        PutField(db, old, field);
    SetRecordTag(db, old, RecordDeleted);

    ASSERT_EQ(Import("new\r\n"), 1u);
    ASSERT_EQ(LiveSlots(db), std::vector<int32_t>{old});
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field) {
        GetField(db, old, field);
        EXPECT_EQ(db.numberValue, 0) << "field " << field;
    }
    GetField(db, old, kFieldNotes);
    EXPECT_STREQ(db.textValue, "");
}

TEST_F(ImportWordFileTest, MissingFileClosedOrReadOnlyDatabaseChangesNothing) {
    Import("dog\r\n");
    ImportReport report;
    EXPECT_EQ(ImportWordFile(db, (folder / "missing.txt").c_str(), collator, &report), 0u);
    EXPECT_FALSE(report.opened);

    WriteBytes(list, "cat\r\n");
    CloseRecordFile(db);
    const std::string before = ReadBytes(db.fileName);
    EXPECT_EQ(ImportWordFile(db, list.c_str(), collator), 0u);
    db.writable = 0;
    ASSERT_NE(OpenRecordFile(db), 0);
    EXPECT_EQ(ImportWordFile(db, list.c_str(), collator, &report), 0u);
    EXPECT_EQ(report.failed, 1u);
    EXPECT_EQ(Stored(), Words{"dog"});
    CloseRecordFile(db);
    EXPECT_EQ(ReadBytes(db.fileName), before);
}

TEST_F(ImportWordFileTest, JunkAndHugeLinesKeepTheDatabaseSound) {
    std::mt19937 random(7);
    std::string junk(300000, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    ImportReport report;
    Import(junk + std::string(200000, 'h') + "\r\n", &report);
    EXPECT_EQ(report.added + report.duplicates + report.empty, report.lines);
    EXPECT_GE(report.longLines, 1u);
    EXPECT_EQ(db.liveCount, report.added);
    for (const std::string& word : Stored())
        EXPECT_TRUE(!word.empty() && word.size() <= 63) << word;

    CloseRecordFile(db);
    EXPECT_EQ(LiveWords(db.fileName), report.added);
}

} // namespace
} // namespace lexipond::testing
