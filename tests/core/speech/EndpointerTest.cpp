// SPDX-License-Identifier: GPL-3.0-or-later
// Listening's ear for one word: it begins at a sound clearly above the room's
// noise, keeps the word's start, ends after a stretch of quiet, and times out
// when nothing is said; a steady hum or a click is no word.
#include "core/speech/Endpointer.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace lexipond::speech {
namespace {

constexpr uint32_t kRate = 16000;

// A sound made of parts: silence, white noise or a 300 Hz tone at a level.
struct Part {
    enum Kind { Silence, Noise, Tone } kind;
    int ms;
    double dbfs = 0;
};

std::vector<int16_t> Make(std::initializer_list<Part> parts) {
    std::vector<int16_t> out;
    uint32_t seed = 12345;
    for (const Part& part : parts) {
        const double amplitude = 32768 * std::pow(10.0, part.dbfs / 20);
        for (int i = 0; i < part.ms * int(kRate) / 1000; ++i) {
            double v = 0;
            if (part.kind == Part::Tone) {
                v = amplitude * std::numbers::sqrt2 *
                    std::sin(2 * std::numbers::pi * 300 * double(out.size()) / kRate);
            } else if (part.kind == Part::Noise) {
                seed = seed * 1664525 + 1013904223;
                v = amplitude * std::sqrt(3.0) * (double(seed >> 8) / double(1 << 23) - 1);
            }
            out.push_back(int16_t(std::clamp(std::lround(v), -32768L, 32767L)));
        }
    }
    return out;
}

// Feeds in pieces of `chunk` samples (as a sound card delivers them) up to the first end.
Endpoint FeedAll(Endpointer& ear, const std::vector<int16_t>& sound, size_t chunk,
                 size_t* usedSamples = nullptr) {
    Endpoint where = Endpoint::Waiting;
    size_t at = 0;
    while (at < sound.size() && (where == Endpoint::Waiting || where == Endpoint::Speaking)) {
        const size_t n = std::min(chunk, sound.size() - at);
        where = ear.Feed(std::span(sound).subspan(at, n));
        at += n;
    }
    if (usedSamples)
        *usedSamples = at;
    return where;
}

TEST(Endpointer, FindsOneWordWithItsStartAndItsEnd) {
    const struct {
        const char* name;
        std::vector<int16_t> sound;
        int wordMs;      // how long the word is
        int wordStartMs; // where it starts in the sound
    } rows[] = {
        {"tone in a quiet room",
         Make({{Part::Noise, 600, -60}, {Part::Tone, 500, -20}, {Part::Noise, 800, -60}}), 500, 600},
        {"two syllables with a short gap",
         Make({{Part::Noise, 600, -60},
               {Part::Tone, 200, -20},
               {Part::Noise, 150, -60},
               {Part::Tone, 250, -20},
               {Part::Noise, 800, -60}}),
         600, 600},
        {"over a steady hum",
         Make({{Part::Noise, 1500, -38}, {Part::Tone, 400, -12}, {Part::Noise, 800, -38}}), 400, 1500},
        {"after digital silence",
         Make({{Part::Silence, 500}, {Part::Tone, 300, -25}, {Part::Silence, 800}}), 300, 500},
    };
    for (const auto& row : rows) {
        for (size_t chunk : {size_t(7), size_t(160), size_t(1601), size_t(1) << 20}) {
            SCOPED_TRACE(std::string(row.name) + ", chunks of " + std::to_string(chunk));
            Endpointer ear(kRate);
            ASSERT_EQ(FeedAll(ear, row.sound, chunk), Endpoint::Word);
            const PcmAudio& word = ear.Word();
            EXPECT_EQ(word.sampleRate, kRate);
            // The kept sound is one stretch of the sound, unbroken.
            const auto at = std::search(row.sound.begin(), row.sound.end(), word.samples.begin(),
                                        word.samples.end());
            ASSERT_NE(at, row.sound.end());
            const int fromMs = int((at - row.sound.begin()) * 1000 / kRate);
            const int keptMs = int(word.samples.size() * 1000 / kRate);
            // It starts about the lead before the word and ends a quiet's length after it.
            EXPECT_NEAR(fromMs, row.wordStartMs - 250, 20);
            EXPECT_NEAR(fromMs + keptMs, row.wordStartMs + row.wordMs + 400, 20);
        }
    }
}

TEST(Endpointer, QuietHumAndClicksTimeOutAndRestartHearsTheNextWord) {
    EndpointSettings settings;
    settings.waitMs = 2000;
    const struct {
        const char* name;
        std::vector<int16_t> sound;
    } rows[] = {
        {"digital silence", Make({{Part::Silence, 3000}})},
        {"a faint room", Make({{Part::Noise, 3000, -55}})},
        {"short clicks", Make({{Part::Noise, 500, -60}, {Part::Tone, 30, -10}, {Part::Noise, 600, -60},
                               {Part::Tone, 30, -10}, {Part::Noise, 1900, -60}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Endpointer ear(kRate, settings);
        size_t used = 0;
        EXPECT_EQ(FeedAll(ear, row.sound, 320, &used), Endpoint::TimedOut);
        EXPECT_NEAR(double(used) * 1000 / kRate, 2000, 20);
        // Once ended, more sound is ignored until Restart.
        const auto word = Make({{Part::Tone, 400, -20}, {Part::Silence, 600}});
        EXPECT_EQ(ear.Feed(word), Endpoint::TimedOut);
        ear.Restart();
        EXPECT_EQ(ear.Feed(word), Endpoint::Word);
    }
}

TEST(Endpointer, AHumThatStartsIsCutAtTheLongestWordAndThenIsTheFloor) {
    EndpointSettings settings;
    settings.waitMs = 2000;
    Endpointer ear(kRate, settings);
    const auto room = Make({{Part::Noise, 500, -60}, {Part::Noise, 9500, -30}});
    size_t used = 0;
    ASSERT_EQ(FeedAll(ear, room, 160, &used), Endpoint::Word);
    EXPECT_NEAR(double(ear.Word().samples.size()) / kRate, 4.25, 0.06);
    ear.Restart();
    const auto more = std::vector<int16_t>(room.begin() + long(used), room.end());
    size_t heard = 0;
    EXPECT_EQ(FeedAll(ear, more, 160, &heard), Endpoint::TimedOut);
    EXPECT_NEAR(double(heard) / kRate, 2.0, 0.02);
    // A word over the hum is still heard.
    ear.Restart();
    EXPECT_EQ(ear.Feed(Make({{Part::Tone, 400, -10}, {Part::Noise, 600, -30}})), Endpoint::Word);
}

TEST(Endpointer, LevelIsRmsInDecibelsBelowFullScale) {
    EXPECT_EQ(LevelDbfs({}), -96);
    const std::vector<int16_t> zeros(100, 0), full(100, 32767), half(100, 16384);
    EXPECT_EQ(LevelDbfs(zeros), -96);
    EXPECT_NEAR(LevelDbfs(full), 0, 0.01);
    EXPECT_NEAR(LevelDbfs(half), -6.02, 0.01);
}

} // namespace
} // namespace lexipond::speech
