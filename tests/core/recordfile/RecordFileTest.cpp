// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, typed field access, tags, the key search, growth, shrink and compaction.
// (That growth zeroes a stray tail and that text writes keep the buffer's bytes
// behind the terminator: the byte comparisons of the one-pass import.)
#include "RecordFileTestSupport.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>

namespace lexipond {
namespace {

using namespace lexipond::testing;

size_t OpenDescriptorCount() {
    const fs::directory_iterator fds("/proc/self/fd");
    return static_cast<size_t>(std::distance(fs::begin(fds), fs::end(fds)));
}

class RecordFileTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseRecordFile(file_); }
    // Writes the bytes and opens them; a refused file must leave nothing open.
    OpenResult OpenBytes(const std::string& bytes) { return OpenAt(path_, &bytes); }
    OpenResult OpenAt(const std::string& path, const std::string* bytes = nullptr,
                      Access access = Access::ReadWrite) {
        CloseRecordFile(file_);
        if (bytes)
            WriteBytes(path, *bytes);
        const size_t before = OpenDescriptorCount();
        const OpenResult result = OpenRecordFile(file_, path, access);
        if (result != OpenResult::Opened) {
            EXPECT_EQ(file_.view, nullptr);
            EXPECT_EQ(OpenDescriptorCount(), before);
        }
        return result;
    }
    // A file exactly as long as its capacity whose slot n has tags[n] and the word "w<n>".
    void OpenWith(uint32_t capacity, const std::vector<uint32_t>& tags) {
        std::string bytes = NewDatabaseBytes();
        bytes.resize(kArea + size_t{capacity} * kSlot);
        PutWordAt(bytes, 1360, capacity);
        for (size_t n = 0; n < tags.size(); ++n) {
            PutWordAt(bytes, kArea + n * kSlot, tags[n]);
            const std::string word = "w" + std::to_string(n);
            word.copy(&bytes[kArea + n * kSlot + 4], word.size());
        }
        ASSERT_EQ(OpenBytes(bytes), OpenResult::Opened);
    }

    TempFolder folder_;
    const std::string path_ = folder_ / "LPDB.lbf";
    RecordFile file_;
};

TEST_F(RecordFileTest, OnlySoundFilesOpenAndARefusalSaysWhichCheckFailed) {
    const size_t all = 7796, exact = kArea + 10 * kSlot;
    const std::tuple<const char*, size_t, size_t, uint32_t, OpenResult> rows[] = {
        // what, bytes kept, header word changed (offset, value), result
        {"exactly as long as its capacity", exact, 1360, 10, OpenResult::Opened},
        {"one byte shorter", exact - 1, 1360, 10, OpenResult::SlotsCut},
        {"zero length", 0, 1360, 10, OpenResult::TooShort},
        {"a header cut short", 1443, 1360, 10, OpenResult::TooShort},
        {"wrong magic \"dATA\"", all, 0, 0x41544164, OpenResult::BadMagic},
        {"wrong version \"1001\"", all, 4, 0x31303031, OpenResult::BadVersion},
        {"field count 0", all, 1356, 0, OpenResult::BadFieldCount},
        {"field table past the end of the file", all, 1356, 1000, OpenResult::FieldTableCut},
        {"field count that overflows 32-bit offsets", all, 1356, 0xFFFFFFFF,
         OpenResult::BadFieldCount},
        {"capacity beyond slot numbers", all, 1360, 0x80000000, OpenResult::CapacityTooLarge},
        {"capacity whose size wraps 32 bits", all, 1360, 10324441, OpenResult::SlotsCut},
        {"text field wider than the text buffer (type 15)", all, 1444, 15,
         OpenResult::TextFieldTooWide},
        {"field offset far past the file", all, 1552, 0xFFFFFF00, OpenResult::FieldOutsideSlot},
        {"field offset on the tag", all, 1448, kArea, OpenResult::FieldOutsideSlot},
    };
    for (const auto& [what, length, offset, value, result] : rows) {
        SCOPED_TRACE(what);
        std::string bytes = NewDatabaseBytes();
        PutWordAt(bytes, offset, value);
        bytes.resize(length);
        EXPECT_EQ(OpenBytes(bytes), result);
    }
}

// What stands at the path, before a check of the bytes is made.
TEST_F(RecordFileTest, AFileThatCannotBeOpenedOrMappedSaysWhy) {
    const std::string sound = NewDatabaseBytes();
    EXPECT_EQ(OpenAt(folder_ / "none.lbf"), OpenResult::Missing);
    EXPECT_EQ(OpenAt(folder_.Path(), nullptr, Access::ReadOnly), OpenResult::NotAFile);
    EXPECT_EQ(OpenAt(folder_.Path()), OpenResult::NotAFile) << "a folder asked for writing";
    {
        platform::ScopedFileOperations scope;
        scope->mmap = [](void*, size_t, int, int, int, off_t) { return MAP_FAILED; };
        EXPECT_EQ(OpenAt(path_, &sound), OpenResult::NotMappable);
    }
    {
        platform::ScopedFileOperations scope;
        scope->open = [](const char*, int, mode_t) { return errno = EACCES, -1; };
        EXPECT_EQ(OpenAt(path_), OpenResult::NotPermitted);
        scope->open = [](const char*, int, mode_t) { return errno = EMFILE, -1; };
        EXPECT_EQ(OpenAt(path_), OpenResult::CannotOpen);
    }
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    EXPECT_EQ(OpenAt(path_, nullptr, Access::ReadOnly), OpenResult::Opened);
    if (::geteuid() != 0) { // the superuser may write any file
        EXPECT_EQ(OpenAt(path_), OpenResult::NotPermitted);
    }
}

TEST_F(RecordFileTest, TextIsCutOnlyBetweenUtf8CharactersAndOnlyInsideTheFile) {
    OpenWith(10, {RecordLive});
    const std::string a61(61, 'a'), a62(62, 'a');
    const std::tuple<const char*, uint32_t, std::string, std::string> rows[] = {
        {"word one byte too long", kFieldWord, std::string(64, 'w'), std::string(63, 'w')},
        {"notes as long as the buffer", kFieldNotes, std::string(1023, 'n'), std::string(299, 'n')},
        {"longer than the buffer", kFieldNotes, std::string(5000, 'n'), std::string(299, 'n')},
        {"e acute would straddle the limit", kFieldWord, a62 + "\xC3\xA9", a62},
        {"so would the euro sign", kFieldWord, a61 + "\xE2\x82\xAC" + "z", a61},
        {"e acute fits exactly", kFieldWord, a61 + "\xC3\xA9" + "z", a61 + "\xC3\xA9"},
        {"Windows-1252 bytes: plain cut", kFieldWord, a62 + "\xE9\xE9", a62 + "\xE9"},
    };
    for (const auto& [what, field, text, stored] : rows) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(PutText(file_, 0, text, field));
        EXPECT_EQ(GetText(file_, 0, field), stored);
    }
    for (const auto& [slot, field] : {std::pair{0, 15u}, {-1, 1u}, {10, 1u}, {INT32_MIN, 3u}})
        EXPECT_FALSE(PutText(file_, slot, "x", field)) << slot << "/" << field; // no such place
}

// The typed functions hand over values of records only, and only of their own kind.
TEST_F(RecordFileTest, TypedAccessTakesUsedSlotsAndFieldsOfItsKindOnly) {
    OpenWith(10, {RecordLive, RecordDeleted, 11});
    ASSERT_TRUE(WriteNumber(file_, 0, TotalField(0), -7));
    EXPECT_EQ(ReadNumber(file_, 0, TotalField(0)), -7);
    EXPECT_EQ(ReadText(file_, 2, kFieldWord), "w2") << "used but not live is still a record";
    const std::tuple<const char*, int32_t, uint32_t> refused[] = {
        {"a deleted slot", 1, kFieldWord},
        {"a slot never used", 3, kFieldWord},
        {"behind the last slot", 10, kFieldWord},
        {"field 0", 0, 0},
        {"field 15", 0, 15}};
    for (const auto& [what, slot, field] : refused) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ReadText(file_, slot, field), std::nullopt);
        EXPECT_EQ(ReadNumber(file_, slot, field), std::nullopt);
        EXPECT_FALSE(WriteText(file_, slot, field, "x"));
        EXPECT_FALSE(WriteNumber(file_, slot, field, 1));
    }
    const char* deletedWord = reinterpret_cast<const char*>(file_.view) + kArea + kSlot + 4;
    EXPECT_STREQ(deletedWord, "w1") << "a refused write left the deleted record alone";
    EXPECT_EQ(ReadNumber(file_, 0, kFieldWord), std::nullopt) << "a text is no number";
    EXPECT_EQ(ReadText(file_, 0, TotalField(0)), std::nullopt) << "a number is no text";
    EXPECT_FALSE(WriteNumber(file_, 0, kFieldNotes, 1));
    EXPECT_FALSE(WriteText(file_, 0, TotalField(0), "1"));
    EXPECT_EQ(GetText(file_, 0, kFieldNotes), "");

    ASSERT_EQ(Reopen(file_, false), OpenResult::Opened);
    EXPECT_FALSE(WriteText(file_, 0, kFieldWord, "new")) << "read-only";
    EXPECT_FALSE(WriteNumber(file_, 0, TotalField(0), 1)) << "read-only";
    EXPECT_EQ(GetText(file_, 0), "w0");
}

TEST(KeyScan, FindsTheKeyWithAsciiCaseFoldingAndNoRetry) {
    using Row = std::pair<const char*, const char*>;
    for (const auto& [key, text] : {Row{"", ""}, Row{"cat", "concatenate"}, Row{"CAT", "cat"},
                                    Row{"cat", "CaT"}, Row{"ab", "xab"}, Row{"{", "{"}})
        EXPECT_TRUE(KeyFoundInText(key, text)) << key << " in " << text;
    // A failed first byte is never retried as a start; only ASCII letters fold.
    for (const auto& [key, text] : {Row{"ab", "aab"}, Row{"cats", "cat"}, Row{"x", ""},
                                    Row{"{", "["}, Row{"@", "`"}, Row{"\xC3\x89", "\xC3\xA9"}})
        EXPECT_FALSE(KeyFoundInText(key, text)) << key << " in " << text;
}

TEST_F(RecordFileTest, TagsDecideWhatIsLiveSearchedAndReused) {
    // 11 and 0xFFFFFFFF are used but not live; 9 is free yet never taken by adding.
    OpenWith(6, {RecordLive, 11, RecordDeleted, 0xFFFFFFFF, RecordLive, 9});
    EXPECT_EQ(file_.liveCount, 2u);
    EXPECT_EQ(CountUsedRecords(file_), 4u);
    PutText(file_, 0, "Apple");
    // A deleted record keeps its bytes.
    SetRecordTag(file_, 2, RecordLive);
    PutText(file_, 2, "pineapple");
    SetRecordTag(file_, 2, RecordDeleted);
    WriteNumber(file_, 4, CorrectField(1), 12);
    const std::tuple<std::string, int32_t, std::optional<int32_t>> rows[] = {
        {"apple", -1, 0},
        {"apple", 0, std::nullopt},
        {"12", 0, 4},
        {"0", -1, std::nullopt}, // 0 never matches a number
        {"", -1, 0},
        {"", 0, 4},
        {"", 4, std::nullopt},
        {std::string("apple\0zzz", 9), -1, 0}, // the key ends at a zero byte
        {std::string(2000, 'q'), -1, std::nullopt}};
    for (const auto& [key, from, found] : rows) {
        SCOPED_TRACE(key.substr(0, 20) + " after " + std::to_string(from));
        EXPECT_EQ(FindText(file_, key, from), found);
    }
    EXPECT_EQ(AddRecord(file_), 2);
    EXPECT_EQ(AddRecord(file_), 6);
    EXPECT_EQ(CopyRecord(file_, 0, 1), 1);
    EXPECT_EQ(GetText(file_, 1), "Apple");
    EXPECT_EQ(CountLiveRecords(file_), 5u);
}

TEST_F(RecordFileTest, CapacityGrowsAndShrinksByItsSteps) {
    const std::tuple<uint32_t, uint32_t, uint32_t> rows[] = {
        // capacity, live records (after free slots), capacity afterwards
        {180, 175, 190},   {187, 176, 198}, {200, 181, 200}, {200, 182, 211}, {30, 21, 40},
        {1000, 991, 1061}, {100, 80, 100},  {100, 70, 100},  {100, 3, 90},    {101, 3, 83},
        {160, 3, 130},     {51, 3, 41},     {50, 3, 50}};
    for (const auto& [capacity, live, after] : rows) {
        SCOPED_TRACE(std::to_string(live) + "/" + std::to_string(capacity));
        std::vector<uint32_t> tags(capacity, RecordLive);
        std::fill_n(tags.begin(), capacity - live, RecordDeleted);
        OpenWith(capacity, tags);
        ASSERT_EQ(MaintainCapacity(file_), 1);
        EXPECT_EQ(GetText(file_, FindRecordByTag(file_, RecordLive, 0)),
                  "w" + std::to_string(capacity - live));
        EXPECT_EQ(fs::file_size(path_), kArea + uint64_t{after} * kSlot);
        ASSERT_EQ(Reopen(file_), OpenResult::Opened);
        EXPECT_EQ(file_.capacity, after);
        EXPECT_EQ(file_.liveCount, live);
    }
}

TEST_F(RecordFileTest, CompactionMovesRecordsOneSlotDownUntilItsBudgetIsSpent) {
    OpenWith(7, {RecordLive, RecordDeleted, RecordLive, 0, RecordLive, 0, 0});
    EXPECT_EQ(CompactRecords(file_), 499997u) << "three moves";
    EXPECT_EQ(GetText(file_, 0) + GetText(file_, 1) + GetText(file_, 2), "w0w2w4");

    // 1000 free slots below 1001 records: 1,001,000 moves needed, 500,000 allowed.
    std::vector<uint32_t> tags(1000, RecordDeleted);
    tags.resize(2001, RecordLive);
    OpenWith(2100, tags);
    EXPECT_EQ(CompactRecords(file_), 0u);
    EXPECT_EQ(GetText(file_, 499), "w1499");
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 500), 1500);
    EXPECT_EQ(MaintainCapacity(file_), 1);
    EXPECT_EQ(fs::file_size(path_), kArea + 2100u * kSlot)
        << "a shrink needs a finished compaction";
}

// Failures injected below the file layer.
struct Fault {
    int writes = -1;         // writes that succeed before the disk is full; -1: never full
    size_t partial = 0;      // bytes the failing write still manages, once
    size_t chunk = SIZE_MAX; // most bytes one write takes
    bool map = false, truncate = false;
};
Fault fault;

TEST_F(RecordFileTest, FailedGrowthOrShrinkLeavesAnOpenableFileWithEveryRecord) {
    std::vector<uint32_t> sparse(100, RecordDeleted);
    sparse[50] = RecordLive;
    const std::tuple<const char*, Fault, uint32_t> rows[] = {
        // capacity 10 grows to 20 on an add; 100 shrinks to 90
        {"growth without a fault", {}, 20},
        {"short writes", {.chunk = 3}, 20},
        {"disk full at once", {.writes = 0}, 10},
        {"disk full one byte short", {.writes = 0, .partial = 4159}, 10},
        {"header write fails", {.writes = 1}, 10},
        {"remap fails", {.map = true}, 20},
        {"cut fails", {.truncate = true}, 90}, // a longer file is still valid
        {"shrunk header write fails", {.writes = 0}, 100}};
    for (const auto& [what, injected, after] : rows) {
        SCOPED_TRACE(what);
        const bool grow = after <= 20;
        OpenWith(grow ? 10 : 100, grow ? std::vector<uint32_t>{RecordLive, RecordLive} : sparse);
        {
            platform::ScopedFileOperations scope;
            fault = injected;
            scope->write = [](int fd, const void* data, size_t count) -> ssize_t {
                count = std::min(count, fault.chunk);
                if (fault.writes != 0) {
                    fault.writes -= fault.writes > 0;
                    return ::write(fd, data, count);
                }
                const size_t part = std::min(count, std::exchange(fault.partial, 0));
                errno = ENOSPC;
                return part > 0 ? ::write(fd, data, part) : -1;
            };
            scope->mmap = [](void* at, size_t length, int protection, int flags, int fd,
                             off_t offset) {
                return fault.map ? MAP_FAILED : ::mmap(at, length, protection, flags, fd, offset);
            };
            scope->ftruncate = [](int fd, off_t length) {
                return fault.truncate ? -1 : ::ftruncate(fd, length);
            };
            grow ? AddWord(file_, "new") : MaintainCapacity(file_);
            CloseRecordFile(file_);
        }
        ASSERT_EQ(Reopen(file_), OpenResult::Opened);
        EXPECT_EQ(file_.capacity, after);
        // A shrink happens on a copy: when it fails the file is as it was, uncompacted.
        const int32_t shrunkSlot = after == 100 ? 50 : 0;
        EXPECT_EQ(GetText(file_, grow ? 1 : shrunkSlot), grow ? "w1" : "w50");
        EXPECT_EQ(file_.liveCount, grow && !injected.map ? 3u : grow ? 2u : 1u);
    }
}

// A file of capacity 0 has no slot to take until it grows.
TEST_F(RecordFileTest, AnEmptyFileStillTakesWords) {
    std::string empty = NewDatabaseBytes();
    empty.resize(kArea);
    PutWordAt(empty, 1360, 0);
    ASSERT_EQ(OpenBytes(empty), OpenResult::Opened);
    EXPECT_EQ(AddWord(file_, "first"), 0);
    EXPECT_EQ(file_.liveCount, 1u);
    EXPECT_EQ(GetText(file_, 0), "first");
}

} // namespace
} // namespace lexipond
