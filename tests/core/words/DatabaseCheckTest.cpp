// SPDX-License-Identifier: GPL-3.0-or-later
// A new word database, and the word database check: each rule it refuses a file
// for, with its own reason, and what it finds in a sound file.
#include "core/words/DatabaseCheck.h"

#include "core/platform/FileMapping.h"
#include "core/recordfile/RecordFileTestSupport.h"

#include <cerrno>
#include <functional>
#include <unistd.h>

namespace lexipond::words {
namespace {

using namespace lexipond::testing;

// The new database with a live "dog" in slot 1, a used but not live "cat" in slot 2
// and a deleted slot 3 whose word runs through its field (free slots are not read).
std::string SoundDatabase() {
    std::string bytes = NewDatabaseBytes();
    PutWordAt(bytes, kArea + kSlot, RecordLive);
    bytes.replace(kArea + kSlot + 4, 3, "dog");
    PutWordAt(bytes, kArea + 2 * kSlot, 11);
    bytes.replace(kArea + 2 * kSlot + 4, 3, "cat");
    PutWordAt(bytes, kArea + 3 * kSlot, RecordDeleted);
    bytes.replace(kArea + 3 * kSlot + 4, 64, std::string(64, 'x'));
    return bytes;
}

// A new word database, byte for byte, over whatever file had its name.
TEST(WordDatabase, ANewOneReplacesAnyFileWithExactBytes) {
    TempFolder folder;
    RecordFile file;
    file.fileName = folder / "LPDB.lbf";
    WriteBytes(file.fileName, std::string(20000, '\xAB'));
    ASSERT_NE(CreateWordDatabase(file), 0);
    CloseRecordFile(file);
    const std::string bytes = ReadBytes(file.fileName), expected = NewDatabaseBytes();
    ASSERT_EQ(bytes.size(), expected.size());
    const auto at = std::mismatch(bytes.begin(), bytes.end(), expected.begin()).first;
    EXPECT_EQ(at, bytes.end()) << "first difference at offset " << (at - bytes.begin());
}

TEST(DatabaseCheck, EachBrokenRuleIsRefusedWithItsOwnReason) {
    using Change = std::function<void(std::string&)>;
    const struct {
        const char* name;
        Change change;
        std::string reason;
    } rows[] = {
        {"shorter than the header", [](std::string& b) { b.resize(1000); },
         "the file is 1000 bytes long, shorter than the 1444-byte header"},
        {"magic", [](std::string& b) { b[0] = 'd'; },
         "the file does not begin with the magic \"DATA\""},
        {"version", [](std::string& b) { b[7] = '1'; }, "the format version is not \"1000\""},
        {"field count", [](std::string& b) { PutWordAt(b, 1356, 13); },
         "the file has 13 fields; a word database has 14"},
        {"field table cut", [](std::string& b) { b.resize(1500); },
         "the field table runs past the end of the file"},
        {"field type", [](std::string& b) { PutWordAt(b, 1444 + 2 * 8, 12); },
         "field 3 has type 12, not 2"},
        {"field offset", [](std::string& b) { PutWordAt(b, 1448 + 13 * 8, 1676); },
         "field 14 is stored at offset 1676, not 1672"},
        {"no slots", [](std::string& b) { PutWordAt(b, 1360, 0); }, "the capacity is 0 slots"},
        {"capacity beyond slot numbers", [](std::string& b) { PutWordAt(b, 1360, 0x80000000); },
         "the capacity of 2147483648 slots is beyond the largest slot number"},
        {"slots past the end", [](std::string& b) { PutWordAt(b, 1360, 100); },
         "the file is 7796 bytes long but its 100 slots need 43156"},
        {"word without terminator", [](std::string& b) { b[kArea + kSlot + 4 + 63] = 'x'; },
         "slot 1: field 1 has no terminating zero byte"},
        {"notes without terminator", [](std::string& b) { b[kArea + 3 * kSlot - 1] = 'x'; },
         "slot 2: field 14 has no terminating zero byte"},
    };
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes = SoundDatabase();
        row.change(bytes);
        WriteBytes(path, bytes);
        DatabaseFacts facts;
        std::string reason;
        EXPECT_EQ(CheckWordDatabase(path, facts, reason), CheckOutcome::Damaged);
        EXPECT_EQ(reason, row.reason);
        EXPECT_EQ(facts.fileSize, bytes.size());
    }
}

TEST(DatabaseCheck, ASoundFileIsCountedAndAMissingOneIsNoDamage) {
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf";
    WriteBytes(path, SoundDatabase());
    DatabaseFacts facts;
    std::string reason;
    ASSERT_EQ(CheckWordDatabase(path, facts, reason), CheckOutcome::Valid) << reason;
    EXPECT_EQ(facts.fileSize, 7796u);
    EXPECT_EQ(facts.fieldCount, 14u);
    EXPECT_EQ(facts.capacity, 10u);
    EXPECT_EQ(facts.recordSize, kSlot);
    EXPECT_EQ(facts.liveCount, 1u);
    EXPECT_EQ(facts.usedCount, 2u);

    EXPECT_EQ(CheckWordDatabase(folder / "none.lbf", facts, reason), CheckOutcome::Missing);
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(CheckWordDatabase(folder.Path(), facts, reason), CheckOutcome::Missing);
    EXPECT_EQ(reason, "not a regular file");
}

// A sound database of `capacity` slots, all live: large enough that the check
// and the copy run in many pieces side by side.
std::string LargeDatabase(uint32_t capacity) {
    std::string bytes = NewDatabaseBytes();
    PutWordAt(bytes, 1360, capacity);
    bytes.resize(kArea + (capacity + 5) * kSlot, '\0');
    for (uint32_t slot = 0; slot < capacity; ++slot) {
        PutWordAt(bytes, kArea + slot * kSlot, RecordLive);
        const std::string word = "w" + std::to_string(slot);
        bytes.replace(kArea + slot * kSlot + 4, word.size(), word);
    }
    return bytes;
}

// The backup at the end of a run: the new copy replaces the old one whole, a
// damaged source leaves the old one as it was, and a dated backup linked to the
// old copy keeps its bytes (the old file is swapped away, never written).
TEST(DatabaseCheck, TheCheckedCopyReplacesTheBackupWholeOrNotAtAll) {
    const struct {
        const char* name;
        bool damageNearTheEnd;
        bool canExchange;
    } rows[] = {
        {"sound", false, true},
        {"sound, file system without name swaps", false, false},
        {"damaged slot near the end", true, true},
    };
    TempFolder folder;
    const std::string path = folder / "LPDB.lbf", bak = folder / "LPDB.lbf Bak",
                      dated = folder / "dated";
    const std::string old = LargeDatabase(30'000), sound = LargeDatabase(30'001);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        platform::ScopedFileOperations operations;
        if (!row.canExchange)
            operations->exchange = [](const char*, const char*) {
                errno = EINVAL;
                return -1;
            };
        std::string source = sound;
        if (row.damageNearTheEnd)
            source[kArea + 29'990 * kSlot + 4 + 63] = 'x'; // a word without its terminator
        WriteBytes(path, source);
        WriteBytes(bak, old);
        std::filesystem::remove(dated);
        std::filesystem::create_hard_link(bak, dated);

        std::string reason;
        const CheckOutcome outcome = CopyCheckedWordDatabase(path, bak, reason);
        EXPECT_EQ(outcome, row.damageNearTheEnd ? CheckOutcome::Damaged : CheckOutcome::Valid)
            << reason;
        EXPECT_TRUE(ReadBytes(bak) == (row.damageNearTheEnd ? old : sound));
        EXPECT_TRUE(ReadBytes(dated) == old);
        EXPECT_FALSE(std::filesystem::exists(bak + ".part" + std::to_string(::getpid())));
        if (row.damageNearTheEnd) {
            EXPECT_EQ(reason, "slot 29990: field 1 has no terminating zero byte");
        }
    }
}

} // namespace
} // namespace lexipond::words
