// Fields, adding, tags, counts, walking and the key search.
#include "RecordFileTestSupport.h"

namespace lexipond {
namespace {

using namespace lexipond::testing;

class RecordAccess : public ::testing::Test {
  protected:
    void SetUp() override { CreateDatabase(file_, folder_); }
    void TearDown() override { CloseRecordFile(file_); }
    void SetKey(const std::string& key) {
        std::memset(file_.searchKey, 0, sizeof file_.searchKey);
        key.copy(file_.searchKey, sizeof file_.searchKey - 1);
    }
    TempFolder folder_;
    RecordFile file_;
};

TEST_F(RecordAccess, TextIsCutAtTheFieldWidthNeverInsideAUtf8Character) {
    const std::string a61(61, 'a'), a62(62, 'a');
    const std::tuple<uint32_t, std::string, std::string> rows[] = {
        {kFieldWord, std::string(64, 'w'), std::string(63, 'w')},
        {kFieldNotes, std::string(1023, 'n'), std::string(299, 'n')},
        {kFieldWord, a62 + "\xC3\xA9", a62},                    // é would straddle the limit
        {kFieldWord, a61 + "\xE2\x82\xAC" + "z", a61},          // so would €
        {kFieldWord, a61 + "\xC3\xA9" + "z", a61 + "\xC3\xA9"}, // é fits exactly
        {kFieldWord, a62 + "\xE9\xE9", a62 + "\xE9"},           // Windows-1252 bytes: plain cut
    };
    const int32_t slot = AddRecord(file_);
    for (const auto& [field, text, stored] : rows) {
        EXPECT_EQ(PutText(file_, slot, text, field), field == kFieldWord ? 12 : 13);
        EXPECT_EQ(file_.textValue[0], '\0') << "a text write empties the buffer";
        EXPECT_EQ(GetText(file_, slot, field), stored) << text;
    }
}

TEST_F(RecordAccess, NumbersRoundTripAndFieldsStayApart) {
    const int32_t slot = AddWord(file_, "word");
    for (int32_t value : {-1, INT32_MAX, INT32_MIN, 3}) {
        file_.numberValue = value;
        EXPECT_EQ(PutField(file_, slot, TotalField(4)), 2);
        file_.numberValue = 4;
        PutField(file_, slot, CorrectField(3));
        EXPECT_EQ(GetField(file_, slot, TotalField(4)), 2);
        EXPECT_EQ(file_.numberValue, value);
    }
    EXPECT_EQ(GetText(file_, slot), "word");
}

TEST_F(RecordAccess, BadSlotsFieldsAndClosedFilesAreRefused) {
    EXPECT_EQ(GetField(file_, 0, kFieldWord), -1) << "no live record yet";
    const int32_t slot = AddWord(file_, "dog");
    const int32_t capacity = static_cast<int32_t>(file_.capacity);
    const std::pair<int32_t, uint32_t> rows[] = {{slot, 0},     {slot, 15},    {slot, 0xFFFFFFFF},
                                                 {-1, 1},       {capacity, 1}, {INT32_MAX, 1},
                                                 {INT32_MIN, 3}};
    for (const auto& [badSlot, field] : rows) {
        std::strcpy(file_.textValue, "keep");
        EXPECT_EQ(GetField(file_, badSlot, field), -1) << badSlot << "/" << field;
        EXPECT_EQ(PutField(file_, badSlot, field), -1) << badSlot << "/" << field;
        EXPECT_STREQ(file_.textValue, "keep");
    }
    EXPECT_EQ(SetRecordTag(file_, capacity, RecordLive), 0);
    EXPECT_EQ(SetRecordTag(file_, -1, RecordLive), 0);
    EXPECT_EQ(CopyRecord(file_, slot, capacity), 0);
    EXPECT_EQ(CopyRecord(file_, -1, slot), 0);
    EXPECT_EQ(NextLiveRecord(file_, INT32_MAX), INT32_MAX);
    EXPECT_EQ(FindNextMatch(file_, INT32_MAX), -1);
    EXPECT_EQ(RecordMatchesKey(file_, capacity), -1);
    EXPECT_EQ(GetText(file_, slot), "dog");
    CloseRecordFile(file_);
    EXPECT_EQ(GetField(file_, 0, 1), -1);
    EXPECT_EQ(AddRecord(file_), -1);
    EXPECT_EQ(FindNextMatch(file_, 0), -1);
    EXPECT_EQ(MaintainCapacity(file_), 0);
}

TEST_F(RecordAccess, TagsDecideWhatIsLiveUsedAndTakeable) {
    for (const char* word : {"a", "b", "c", "d", "e", "f"})
        AddWord(file_, word);
    EXPECT_EQ(SetRecordTag(file_, 4, RecordDeleted), 1);
    EXPECT_EQ(AddRecord(file_), 4) << "a deleted slot is reused";
    EXPECT_EQ(GetText(file_, 4), "e") << "with its old bytes";

    SetRecordTag(file_, 1, 11);         // used, not live
    SetRecordTag(file_, 2, 9);          // free, yet not taken by adding
    SetRecordTag(file_, 3, 0xFFFFFFFF); // unsigned: used
    EXPECT_EQ(file_.liveCount, 3u);
    EXPECT_EQ(CountUsedRecords(file_), 5u);

    // While deferred, tag changes leave liveCount until the next count.
    file_.deferRecount = 1;
    SetRecordTag(file_, 0, RecordDeleted);
    EXPECT_EQ(AddRecord(file_), 0);
    SetRecordTag(file_, 5, RecordDeleted);
    EXPECT_EQ(file_.liveCount, 3u);
    file_.deferRecount = 0;
    EXPECT_EQ(CountLiveRecords(file_), 2u);
    EXPECT_EQ(AddRecord(file_), 5) << "tag 9 in slot 2 is skipped";

    // A copy carries tag and fields and is not counted until the next count.
    file_.numberValue = 42;
    PutField(file_, 0, TotalField(2));
    EXPECT_EQ(CopyRecord(file_, 0, 7), 1);
    EXPECT_EQ(file_.liveCount, 3u);
    EXPECT_EQ(GetText(file_, 7), "a");
    GetField(file_, 7, TotalField(2));
    EXPECT_EQ(file_.numberValue, 42);
    EXPECT_EQ(CountLiveRecords(file_), 4u);
    EXPECT_EQ(FindRecordByTag(file_, RecordLive, 6), 7);
}

TEST(KeyScan, FindsTheKeyWithAsciiCaseFoldingAndNoRetry) {
    using Row = std::pair<const char*, const char*>;
    for (const auto& [key, text] : {Row{"", ""}, Row{"cat", "concatenate"}, Row{"CAT", "cat"},
                                    Row{"cat", "CaT"}, Row{"ab", "xab"}, Row{"{", "{"}})
        EXPECT_TRUE(KeyFoundInText(key, text)) << key << " in " << text;
    // A failed first byte is never retried as a start; only ASCII letters (below 123) fold.
    for (const auto& [key, text] : {Row{"ab", "aab"}, Row{"cats", "cat"}, Row{"x", ""},
                                    Row{"{", "["}, Row{"@", "`"}, Row{"\xC3\x89", "\xC3\xA9"}})
        EXPECT_FALSE(KeyFoundInText(key, text)) << key << " in " << text;
}

TEST_F(RecordAccess, WalkAndSearchSkipFreeSlotsAndNeverReturnTheirArgument) {
    for (const char* word : {"unused", "Apple", "pineapple", "banana", "grape"})
        AddWord(file_, word);
    file_.numberValue = 12;
    PutField(file_, 3, CorrectField(1));
    SetRecordTag(file_, 2, RecordDeleted);
    EXPECT_EQ(NextLiveRecord(file_, 1), 3);
    EXPECT_EQ(NextLiveRecord(file_, 4), 4) << "the last live record gives itself back";

    SetKey("apple");
    EXPECT_EQ(FindNextMatch(file_, 0), 1);
    EXPECT_EQ(FindNextMatch(file_, 1), -1) << "slot 2 is deleted";
    SetKey("12");
    EXPECT_EQ(FindNextMatch(file_, 0), 3);
    EXPECT_EQ(RecordMatchesKey(file_, 4), -1);
    SetKey("0");
    EXPECT_EQ(FindNextMatch(file_, 0), -1) << "a key worth 0 never matches a number";
    SetKey("");
    EXPECT_EQ(FindNextMatch(file_, -1), 0);
    EXPECT_EQ(FindNextMatch(file_, 0), 1);
    EXPECT_EQ(FindNextMatch(file_, 1), 3);
    EXPECT_EQ(FindNextMatch(file_, 4), -1);
    std::memset(file_.searchKey, 'q', sizeof file_.searchKey); // unterminated
    EXPECT_EQ(FindNextMatch(file_, 0), -1);
}

} // namespace
} // namespace lexipond
