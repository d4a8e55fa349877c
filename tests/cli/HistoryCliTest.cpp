// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db's answer history commands and the learners' names in list's
// header, run as a user runs them.
#include "../core/history/HistoryTestSupport.h"
#include "CliSupport.h"
#include "CsvReader.h"
#include "TestSupport.h"
#include "core/settings/SettingsFile.h"

#include <array>
#include <ctime>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace testing;
using enum HistoryAnswer;

class HistoryCli : public ::testing::Test {
  protected:
    int Db(const std::vector<std::string>& args) {
        return RunLexipondDb(folder_, args, out_, err_);
    }
    // The Monday of the week `weeksAgo` weeks before this one, by the local calendar.
    static std::string MondayOf(int weeksAgo) {
        const std::time_t now = std::time(nullptr);
        std::tm day{};
        localtime_r(&now, &day);
        day.tm_mday -= (day.tm_wday + 6) % 7 + 7 * weeksAgo;
        day.tm_hour = 12; // clear of any change of summer time
        std::mktime(&day);
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", &day);
        return text;
    }
    // The "last four weeks" lines of one learner, oldest week first.
    static std::string LastFourWeeks(const std::array<const char*, 4>& weeks) {
        std::string text = "  last four weeks:\n";
        for (int i = 0; i < 4; ++i)
            text += "    week of " + MondayOf(3 - i) + ": " + weeks[size_t(i)] + "\n";
        return text;
    }

    TempFolder folder_;
    TempFolder data_;
    std::string out_, err_;
};

TEST_F(HistoryCli, TheSummaryGivesEachLearnersAnswersMasteredWordsAndLastFourWeeks) {
    {
        AnswerHistory history;
        history.Start(data_.Slash());
        const HistoryTime now = HistoryNow();
        const auto at = [&](int daysAgo, int32_t slot, const char* name, const char* word,
                            HistoryAnswer answer) {
            return history.Append(MakeRow(now.utcSeconds - daysAgo * 86'400, now.offsetMinutes,
                                          slot, name, word, answer));
        };
        at(40, 0, "Zov", "owl", Correct);
        at(7, 0, "Zov", "cat", Correct);
        at(0, 0, "Zov", "cat", Correct);
        at(0, 0, "Zov", "cat", Correct);
        at(0, 0, "Zov", "dog", Incorrect);
        at(0, 0, "Zov", "dog", Skip);
        history.AppendUndo(at(0, 2, "Ann", "cat", Incorrect),
                           MakeRow(now.utcSeconds, 0, 2, "Ann", "cat", Incorrect));
        at(0, 2, "Ann", "cat", Skip);
    }
    ASSERT_EQ(Db({"history", data_.Path()}), 0) << err_;
    EXPECT_EQ(out_, "Learner 1: Zov\n"
                    "  answers:        4 of 5 correct (80%), 1 skipped\n"
                    "  words mastered: 1\n" +
                        LastFourWeeks({"no answers", "no answers", "1 of 1 correct (100%)",
                                       "2 of 3 correct (66%)"}) +
                        "Learner 3: Ann\n"
                        "  answers:        no answers, 1 skipped\n"
                        "  words mastered: 0\n" +
                        LastFourWeeks({"no answers", "no answers", "no answers", "no answers"}));
}

TEST_F(HistoryCli, CsvGivesEveryRowWhereverTheOptionStands) {
    {
        AnswerHistory history;
        history.Start(data_.Slash());
        history.Append(MakeRow(1'772'445'600, 60, 0, "Zov", "a, \"b\"\r\nc", Correct));
        history.Append(MakeRow(1'772'445'601, 60, 1, "Quen", "caf\xe9", Incorrect));
    }
    for (const auto& args : {std::vector<std::string>{"history", data_.Path(), "--csv"},
                             std::vector<std::string>{"history", "--csv", data_.Path()}}) {
        ASSERT_EQ(Db(args), 0) << err_;
        const auto records = ReadCsv(out_);
        ASSERT_TRUE(records) << "not RFC 4180";
        ASSERT_EQ(records->size(), 3u);
        EXPECT_EQ((*records)[0][0], "id");
        EXPECT_EQ((*records)[1][5], "a, \"b\"\r\nc");
        EXPECT_EQ((*records)[2][5], "caf\xe9");
        EXPECT_EQ((*records)[2][1], "2026-03-02T10:00:01Z");
    }
}

TEST_F(HistoryCli, AMissingOrDamagedHistoryFailsAndIsLeftAsItWas) {
    EXPECT_EQ(Db({"history", data_.Path()}), 1);
    EXPECT_NE(err_.find("no answer history"), std::string::npos) << err_;
    EXPECT_FALSE(std::filesystem::exists(data_ / kHistoryFileName)) << "made by a reader";
    const std::string garbage(5000, 'x');
    WriteBytes(data_ / kHistoryFileName, garbage);
    for (const char* option : {"", "--csv"}) {
        std::vector<std::string> args{"history", data_.Path()};
        if (*option)
            args.push_back(option);
        EXPECT_EQ(Db(args), 1) << option;
        EXPECT_NE(err_.find("is damaged"), std::string::npos) << err_;
        EXPECT_TRUE(ReadBytes(data_ / kHistoryFileName) == garbage);
        EXPECT_EQ(Contents(data_.Path()).size(), 1u) << "nothing set aside or made";
    }
    EXPECT_EQ(Db({"history"}), 2);
    EXPECT_EQ(Db({"history", data_.Path(), data_.Path()}), 2);
}

TEST_F(HistoryCli, ListNamesTheLearnersWhenTheSettingsAreBesideTheDatabase) {
    const std::string db = data_ / kWordDatabaseName;
    MakeWordDatabase(db, {"cat"});
    SettingsBlock settings{};
    ApplyDefaultSettings(settings);
    std::strcpy(settings.userNames[1], "Quen, \"Q\"");
    settings.userNames[2][0] = '\0';
    ASSERT_TRUE(SaveSettingsFile(settings, data_.Slash(), false));
    ASSERT_EQ(Db({"list", db}), 0) << err_;
    EXPECT_EQ(out_.substr(0, out_.find('\n')),
              "word,notes,total1 (Zov),correct1 (Zov),\"total2 (Quen, \"\"Q\"\")\","
              "\"correct2 (Quen, \"\"Q\"\")\",total3,correct3,total4 (Rondel),correct4 (Rondel),"
              "total5 (Vimsa),correct5 (Vimsa)");
    std::filesystem::remove(data_ / kSettingsFileName);
    ASSERT_EQ(Db({"list", db}), 0) << err_;
    EXPECT_EQ(out_.substr(0, out_.find('\n')),
              "word,notes,total1,correct1,total2,correct2,total3,correct3,total4,correct4,total5,"
              "correct5");
}

} // namespace
} // namespace lexipond
