// Answers from one thread while another re-sorts and adds words: no tally may be
// lost or land on another word.
#include "TutorTestSupport.h"
#include "recordfile/RecordFile.h"
#include "tutor/Tutoring.h"
#include "tutor/Worker.h"

#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace lexipond {
namespace {

using testing::TutorFixture;
using testing::WordSpec;

class StressTest : public TutorFixture {};

std::string WordName(int i) {
    // Spread so that added words land between existing ones after a sort.
    std::string word;
    for (int n = i * 7919 % 100000; word.size() < 5; n /= 26) {
        word += static_cast<char>('a' + n % 26);
    }
    return word + std::to_string(i);
}

TEST_F(StressTest, ClicksDuringResortsLoseAndMisplaceNoTally) {
    std::vector<WordSpec> words;
    for (int i = 0; i < 120; ++i) {
        words.push_back({WordName(i)});
    }
    MakeDatabase(words);
    settings.level = 6;
    random.counter = 12345;
    ShowSlot(0);

    // Tallies of the words the sorter deleted, taken just before each deletion.
    std::map<std::string, std::pair<uint32_t, uint32_t>> deleted;
    std::atomic<bool> clicking{true};
    std::atomic<int> resorts{0};
    std::thread sorter([&] {
        uint32_t pick = 1;
        int added = 0;
        while (clicking.load()) {
            std::lock_guard<std::recursive_mutex> guard(state.lock);
            // Delete one word anywhere (the one on show included) and add one that
            // sorts last: the sort then shifts every record in between.
            pick = pick * 1103515245u + 12345u;
            const int32_t victim = static_cast<int32_t>((pick >> 8) % db.liveCount);
            EXPECT_TRUE(SlotLive(victim)) << "a sort leaves the live words in front";
            deleted[WordAt(victim)] = {NumberAt(victim, TotalField(0)),
                                       NumberAt(victim, CorrectField(0))};
            SetRecordTag(db, victim, RecordDeleted);
            char name[16];
            std::snprintf(name, sizeof name, "zz%06d", added++);
            AddWord({name});
            ResortWords(tutor);
            ++resorts;
        }
    });
    // Go on clicking until the sorter has run often enough to overlap the clicks.
    uint32_t answers = 0;
    for (int i = 0; i < 3000 || resorts.load() < 100; ++i) {
        answers += i % 3 != 2;
        const uint16_t x = i % 3 == 0 ? 50 : i % 3 == 1 ? 300 : 500; // correct, incorrect, skip
        HandleClick(tutor, x, 280);
    }
    clicking = false;
    sorter.join();

    // Per word: the answers the report says were given on it.
    std::map<std::string, std::pair<uint32_t, uint32_t>> reported;
    std::istringstream lines(ReportText(tutor));
    std::string line;
    uint32_t lineCount = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        const size_t comma = line.rfind(", ");
        ASSERT_NE(comma, std::string::npos);
        auto& [total, correct] = reported[line.substr(0, comma)];
        ++total;
        correct += line.substr(comma + 2) == "Correct";
        ++lineCount;
    }
    EXPECT_EQ(lineCount, answers);
    EXPECT_EQ(state.sessionTotal, lineCount);

    uint32_t dbTotal = 0;
    for (uint32_t slot = 0; slot < db.capacity; ++slot) {
        const int32_t s = static_cast<int32_t>(slot);
        if (!SlotLive(s)) {
            continue;
        }
        const std::string word = WordAt(s);
        const auto it = reported.find(word);
        const uint32_t total = it == reported.end() ? 0 : it->second.first;
        const uint32_t correct = it == reported.end() ? 0 : it->second.second;
        ASSERT_EQ(deleted.count(word), 0u) << word;
        EXPECT_EQ(NumberAt(s, TotalField(0)), total) << word;
        EXPECT_EQ(NumberAt(s, CorrectField(0)), correct) << word;
        dbTotal += NumberAt(s, TotalField(0));
    }
    for (const auto& [word, tallies] : deleted) {
        const auto it = reported.find(word);
        EXPECT_EQ(tallies.first, it == reported.end() ? 0 : it->second.first) << word;
        EXPECT_EQ(tallies.second, it == reported.end() ? 0 : it->second.second) << word;
        dbTotal += tallies.first;
    }
    EXPECT_EQ(dbTotal, lineCount);
    EXPECT_EQ(state.userTotal, lineCount);
}

} // namespace
} // namespace lexipond
