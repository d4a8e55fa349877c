// SPDX-License-Identifier: GPL-3.0-or-later
// The one-pass import against the one-by-one import followed by the sort: the
// same file bytes and the same counts, for new databases and for lists merged
// into databases that hold words already; and when the one-pass import must
// step aside.
#include "core/words/SortedImport.h"

#include "TestSupport.h"
#include "core/platform/Collation.h"
#include "core/platform/FileMapping.h"
#include "core/recordfile/AtomicUpdate.h"
#include "core/recordfile/RecordFormat.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/ImportWordFile.h"

#include <cerrno>
#include <random>

namespace lexipond::testing {
namespace {

struct Result {
    std::string bytes;
    ImportReport report;
};

auto Counts(const ImportReport& r) {
    return std::tuple(r.lines, r.added, r.duplicates, r.empty, r.longLines);
}

class SortedImportTest : public ::testing::Test {
  protected:
    std::string Name(const char* what) { return folder / (what + std::to_string(++files)); }

    // The reference: each word added through the engine, then the sort, as
    // lexipond-db did it on its copy. from: a database to copy, or none.
    Result OneByOne(const std::string& list, const std::string& from = "") {
        const std::string path = Name("slow");
        RecordFile db;
        db.fileName = path;
        if (from.empty()) {
            EXPECT_NE(CreateWordDatabase(db), 0);
        } else {
            WriteBytes(path, ReadBytes(from));
            EXPECT_EQ(OpenRecordFile(db, path, Access::ReadWrite), OpenResult::Opened);
        }
        db.privateCopy = true;
        Result result;
        ImportWordFile(db, list.c_str(), collator, &result.report);
        if (result.report.added > 0 || !RecordsInOrder(db, kFieldWord, collator))
            SortRecords(db, kFieldWord, collator);
        CloseRecordFile(db);
        result.bytes = ReadBytes(path);
        return result;
    }

    // The one-pass import into a new database, written over it.
    Result IntoNew(const std::string& list) {
        RecordFile db;
        db.fileName = Name("fast");
        EXPECT_NE(CreateWordDatabase(db), 0);
        Result result;
        SortedImport import(collator);
        const SortedImport::Plan plan = import.Prepare(db, list.c_str(), result.report);
        EXPECT_NE(plan, SortedImport::Plan::NotApplicable);
        if (plan == SortedImport::Plan::Write) {
            const std::vector<uint8_t> before(db.view, db.view + db.mappingHandle.length);
            EXPECT_TRUE(import.Write(before.data(), before.size(), db.fileHandle));
        }
        CloseRecordFile(db);
        result.bytes = ReadBytes(db.fileName);
        return result;
    }

    // The one-pass import of list into a copy of the database at from.
    Result IntoExisting(const std::string& list, const std::string& from,
                        SortedImport::Plan expected) {
        RecordFile db;
        EXPECT_EQ(OpenRecordFile(db, from, Access::ReadOnly), OpenResult::Opened);
        Result result;
        SortedImport import(collator);
        EXPECT_EQ(import.Prepare(db, list.c_str(), result.report), expected);
        result.bytes = ReadBytes(from);
        if (expected == SortedImport::Plan::Write) {
            const std::string path = Name("merged");
            platform::FileHandle out = platform::CreateFileAlways(path.c_str());
            EXPECT_TRUE(import.Write(db.view, db.mappingHandle.length, out));
            platform::CloseFile(out);
            result.bytes = ReadBytes(path);
        }
        CloseRecordFile(db);
        return result;
    }

    std::string List(const std::string& content) {
        const std::string path = Name("list");
        WriteBytes(path, content);
        return path;
    }

    // A database made by the reference import of content.
    std::string Database(const std::string& content) {
        const std::string path = Name("db");
        WriteBytes(path, OneByOne(List(content)).bytes);
        return path;
    }

    TempFolder folder;
    int files = 0;
    const platform::Collator collator{"en_US"};
};

// Words of many kinds at random: plain, capitalised, accented in either
// composition, with characters that only the identical strength sees, bytes
// that are not UTF-8, over-long ones, and many repeats; random line ends.
std::string RandomList(uint32_t seed, int lines) {
    std::mt19937 random(seed);
    // clang-format off
    const std::vector<std::string> pieces = {
        "a", "b", "e", "o", "s", "t", "A", "E", "\xC3\xA9" /* é */, "e\xCC\x81" /* e + accent */,
        "\xC2\xAD" /* soft hyphen */, "\xE2\x80\x8B" /* zero width space */, "\xE9", "\xFF",
        "\xC3", "-", " ", "\xF0\x9F\x90\xB6" /* a dog face */, "\x01"};
    // clang-format on
    const std::vector<std::string> ends = {"\r\n", "\n", "\r", "\r\n\r\n", "\n\n"};
    std::vector<std::string> made;
    std::string list;
    for (int i = 0; i < lines; ++i) {
        std::string word;
        if (!made.empty() && random() % 4 == 0) {
            word = made[random() % made.size()]; // a repeat
        } else {
            const int length = random() % 10 == 0 ? 20 + random() % 60 : 1 + random() % 8;
            for (int k = 0; k < length; ++k)
                word += pieces[random() % pieces.size()];
            made.push_back(word);
        }
        list += word + ends[random() % ends.size()];
    }
    return list;
}

TEST_F(SortedImportTest, ANewDatabaseGetsTheBytesOfTheOneByOneImport) {
    std::string lengths; // every length from 1 to 80, long and short mixed
    for (int i = 0; i < 240; ++i)
        lengths += std::string(1 + (i * 37) % 80, static_cast<char>('a' + i % 26)) + "\r\n";
    const struct {
        const char* name;
        std::string content;
    } rows[] = {
        {"empty file", ""},
        {"only empty lines", "\r\n\n\r"},
        {"one word", "dog"},
        {"byte order mark and NULs", "\xEF\xBB\xBF" + std::string("d\0og\r\ncat\0\r", 11)},
        {"over-long lines", std::string(70, 'x') + "\n" + std::string(1100, 'y') + "\n" +
                                std::string(62, 'a') + "\xC3\xA9\n" + std::string(62, 'a') + "\n"},
        {"words of every length", lengths},
        {"random list 1", RandomList(1, 400)},
        {"random list 2", RandomList(2, 3000)},
        // Long enough for the keys to be made on two threads.
        {"random list 4, long", RandomList(4, 40000)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string list = List(row.content);
        const Result slow = OneByOne(list), fast = IntoNew(list);
        EXPECT_EQ(Counts(fast.report), Counts(slow.report));
        EXPECT_TRUE(fast.bytes == slow.bytes) << "the files differ";
    }
}

TEST_F(SortedImportTest, EveryNumberOfWordsGivesTheSameFileSize) {
    // Each count crosses the growth steps differently.
    for (int count = 0; count <= 130; count += (count < 70 ? 1 : 7)) {
        SCOPED_TRACE(count);
        std::string content;
        for (int i = count; i > 0; --i)
            content += "word" + std::to_string(i) + "\n";
        const std::string list = List(content);
        EXPECT_TRUE(IntoNew(list).bytes == OneByOne(list).bytes);
    }
}

TEST_F(SortedImportTest, MergingIntoADatabaseGetsTheBytesOfTheOneByOneImport) {
    using Plan = SortedImport::Plan;
    const std::string present =
        "cat\ndog\nemu\nr\xC3\xA9sum\xC3\xA9\ndo\xC2\xADg\n" + std::string(40, 'q') + "\nfox\n";
    const std::string big = Database(RandomList(7, 2000));
    const struct {
        const char* name;
        std::string database;
        std::string list;
        Plan plan;
    } rows[] = {
        {"new words among present ones", Database(present), "ant\ncow\neel\nzebu\ncat\n",
         Plan::Write},
        {"every word present", Database(present), present, Plan::Unchanged},
        {"present in other bytes (a combining accent)", Database(present),
         "re\xCC\x81sume\xCC\x81\n", Plan::Unchanged},
        {"equal but for an invisible character", Database(present),
         "d\xE2\x80\x8Bog\ndog\xC2\xAD\nDog\n", Plan::Write},
        {"short words behind long present ones", Database(present), "b\nc\nd\n", Plan::Write},
        {"an empty database", Database(""), "dog\ncat\n", Plan::Write},
        {"random words partly present", big, RandomList(7, 500) + RandomList(9, 300), Plan::Write},
        // Few lines against many records: found by binary search, not by a table.
        {"a few words into many, some present", big, RandomList(7, 30) + RandomList(11, 20),
         Plan::Write},
        {"a few words into many, all present", big, RandomList(7, 40), Plan::Unchanged},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string list = List(row.list);
        const Result slow = OneByOne(list, row.database);
        const Result fast = IntoExisting(list, row.database, row.plan);
        EXPECT_EQ(Counts(fast.report), Counts(slow.report));
        EXPECT_TRUE(fast.bytes == slow.bytes) << "the files differ";
    }
}

// Deleting the last records keeps the rest packed, but leaves so much room
// that the first add shrinks the file; stray bytes behind the last slot are
// zeroed by the next growth.
TEST_F(SortedImportTest, MergingFollowsTheResizesOfTheOneByOneImport) {
    std::string words;
    for (int i = 0; i < 400; ++i)
        words += "w" + std::to_string(1000 + i) + "\n";
    const std::string roomy = Database(words);
    {
        RecordFile db;
        ASSERT_EQ(OpenRecordFile(db, roomy, Access::ReadWrite), OpenResult::Opened);
        for (int32_t slot = 120; slot < 400; ++slot)
            SetRecordTag(db, slot, RecordDeleted);
        CloseRecordFile(db);
    }
    // Eleven words leave one add before the next growth.
    std::string eleven;
    for (int i = 0; i < 11; ++i)
        eleven += "t" + std::to_string(i) + "\n";
    const std::string tailed = Database(eleven);
    WriteBytes(tailed, ReadBytes(tailed) + std::string(1000, '\x7F'));
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "n" + std::to_string(i) + "\n";
    for (const std::string& database : {roomy, tailed}) {
        SCOPED_TRACE(database);
        for (const std::string& content : {std::string("a\n"), many}) {
            const std::string list = List(content);
            const Result slow = OneByOne(list, database);
            const Result fast = IntoExisting(list, database, SortedImport::Plan::Write);
            EXPECT_EQ(Counts(fast.report), Counts(slow.report));
            EXPECT_TRUE(fast.bytes == slow.bytes) << "the files differ";
        }
    }
}

// (That the one-by-one import then ends in order: the command-line tests.)
TEST_F(SortedImportTest, RecordsOutOfOrderOrWithHolesAreLeftToTheOneByOneImport) {
    const std::string unsorted = folder / "unsorted";
    MakeWordDatabase(unsorted, {"emu", "cat", "dog"});
    const std::string holes = Database("cat\ndog\nemu\n");
    {
        RecordFile db;
        ASSERT_EQ(OpenRecordFile(db, holes, Access::ReadWrite), OpenResult::Opened);
        SetRecordTag(db, 1, RecordDeleted);
        CloseRecordFile(db);
    }
    for (const std::string& database : {unsorted, holes})
        IntoExisting(List("ant\n"), database, SortedImport::Plan::NotApplicable);
}

// Bytes the write below lets through before the disk is full.
uint64_t roomLeft = 0;

TEST_F(SortedImportTest, AFullDiskWhileWritingTheResultLeavesTheDatabaseAsItWas) {
    const std::string database = Database(RandomList(7, 2000));
    const std::string before = ReadBytes(database);
    const std::string list = List(RandomList(12, 500));
    const Result slow = OneByOne(list, database);
    for (const uint64_t room : {uint64_t{0}, uint64_t{300000}, ~uint64_t{0}}) {
        SCOPED_TRACE(room);
        roomLeft = room;
        RecordFile db;
        ASSERT_EQ(OpenRecordFile(db, database, Access::ReadWrite), OpenResult::Opened);
        SortedImport import(collator);
        ImportReport report;
        ASSERT_EQ(import.Prepare(db, list.c_str(), report), SortedImport::Plan::Write);
        UpdateOutcome outcome;
        {
            platform::ScopedFileOperations scope;
            scope->write = [](int fd, const void* data, size_t size) -> ssize_t {
                if (roomLeft == 0) {
                    errno = ENOSPC;
                    return -1;
                }
                const size_t part = static_cast<size_t>(std::min<uint64_t>(size, roomLeft));
                roomLeft -= part;
                return ::write(fd, data, part);
            };
            outcome = ReplaceAtomically(db, [&](platform::FileHandle out) {
                return import.Write(db.view, db.mappingHandle.length, out);
            });
        }
        CloseRecordFile(db);
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << "a partial file";
        if (room == ~uint64_t{0}) {
            EXPECT_EQ(outcome, UpdateOutcome::Replaced);
            EXPECT_TRUE(ReadBytes(database) == slow.bytes);
        } else {
            EXPECT_EQ(outcome, UpdateOutcome::Failed);
            EXPECT_TRUE(ReadBytes(database) == before);
        }
    }
}

} // namespace
} // namespace lexipond::testing
