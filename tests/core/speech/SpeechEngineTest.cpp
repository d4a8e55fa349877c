// SPDX-License-Identifier: GPL-3.0-or-later
// Flite's speech and the judge on a small fixed word list, spoken by Flite's
// slt voice (deterministic, so the same samples every run). Skipped, saying
// why, when the build has no speech or the model is not installed.
#include "TestSupport.h"

#if LEXIPOND_WITH_SPEECH
#include "core/speech/Judge.h"
#include "core/speech/Synthesizer.h"

#include <filesystem>
#include <thread>

namespace lexipond::speech {
namespace {

using namespace lexipond::testing;

bool Loud(const std::vector<int16_t>& samples) {
    int loud = 0;
    for (int16_t s : samples)
        loud += s > 2000 || s < -2000;
    return loud > 100;
}

TEST(Synthesizer, EveryVoiceSpeaksAWordForAPlausibleTime) {
    for (Voice voice : AllVoices()) {
        SCOPED_TRACE(VoiceName(voice));
        const Synthesis spoken = Synthesize("elephant", voice);
        ASSERT_EQ(spoken.outcome, SynthesisOutcome::Spoken);
        const double seconds =
            static_cast<double>(spoken.audio.samples.size()) / spoken.audio.sampleRate;
        EXPECT_GT(seconds, 0.3);
        EXPECT_LT(seconds, 2.0);
        EXPECT_TRUE(Loud(spoken.audio.samples));
        EXPECT_EQ(VoiceNamed(VoiceName(voice)), voice);
    }
    EXPECT_EQ(VoiceNamed("kal16"), Voice::Kal16);
    EXPECT_FALSE(VoiceNamed("nobody"));
}

TEST(Synthesizer, RateEmptyTextAndThreads) {
    const size_t normal = Synthesize("yellow", Voice::Rms).audio.samples.size();
    const size_t fast = Synthesize("yellow", Voice::Rms, 2.0).audio.samples.size();
    EXPECT_LT(fast, normal * 3 / 4);
    EXPECT_EQ(Synthesize("yellow", Voice::Rms, 9.0).outcome, SynthesisOutcome::RateOutOfRange);
    for (const char* nothing : {"", " ", "?!"}) {
        const Synthesis spoken = Synthesize(nothing, Voice::Slt);
        EXPECT_EQ(spoken.outcome, SynthesisOutcome::NothingToSay) << nothing;
        EXPECT_TRUE(spoken.audio.samples.empty());
    }
    // Two threads at once, each with its own voice: the shared state is guarded.
    std::vector<int16_t> a, b;
    std::thread first([&] { a = Synthesize("seven", Voice::Awb).audio.samples; });
    std::thread second([&] { b = Synthesize("seven", Voice::Kal16).audio.samples; });
    first.join();
    second.join();
    // awb adds noise of its own; kal16 is the same sample for sample.
    EXPECT_EQ(a.size(), Synthesize("seven", Voice::Awb).audio.samples.size());
    EXPECT_TRUE(Loud(a));
    EXPECT_EQ(b, Synthesize("seven", Voice::Kal16).audio.samples);
}

TEST(Synthesizer, PhonesComeInArpabetFromTheLexiconOrTheRules) {
    EXPECT_EQ(FlitePhones("Dog"), (std::vector<std::string>{"D", "AO", "G"}));
    EXPECT_EQ(FlitePhones("about").front(), "AH"); // Flite's schwa is CMU's AH
    EXPECT_GE(FlitePhones("blorptix").size(), 6u); // no such word: letter-to-sound
    EXPECT_TRUE(FlitePhones("").empty());
}

class JudgeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!std::filesystem::exists(kDefaultModelFolder))
            return;
        JudgeSetup setup;
        judge_ = Judge::Create(kDefaultModelFolder,
                               {"dog", "Elephant", "yellow", "jump", "little", "seven", "funny",
                                "please", "water", "three", "to", "two", "blorptix"},
                               setup)
                     .release();
    }
    static void TearDownTestSuite() {
        delete judge_;
        judge_ = nullptr;
    }
    void SetUp() override {
        if (!judge_)
            GTEST_SKIP() << "no speech model in " << kDefaultModelFolder
                         << " (install pocketsphinx-en-us)";
    }
    // kal16 speaks a word the same way every time (the other voices add noise).
    static std::vector<int16_t> Said(const char* word) {
        const Synthesis spoken = Synthesize(word, Voice::Kal16);
        return Resample(spoken.audio.samples, spoken.audio.sampleRate, 16000);
    }
    static Judge* judge_;
};
Judge* JudgeTest::judge_ = nullptr;

TEST_F(JudgeTest, AcceptsTheWordSaidAndRefusesAClearlyDifferentOne) {
    for (const char* word : {"elephant", "yellow", "seven"}) {
        SCOPED_TRACE(word);
        const Hearing hearing = judge_->Listen(Said(word));
        const Judgement right = judge_->Decide(hearing, word);
        EXPECT_EQ(right.verdict, Verdict::Correct);
        EXPECT_EQ(right.reason, Reason::SaidTheWord);
        EXPECT_EQ(right.heard, word == std::string("elephant") ? "Elephant" : word);
        for (const char* other : {"dog", "please"}) {
            const Judgement wrong = judge_->Decide(hearing, other);
            EXPECT_EQ(wrong.verdict, Verdict::Incorrect) << other;
            EXPECT_EQ(wrong.reason, Reason::SaidAnotherWord) << other;
        }
    }
}

// Hear aligns the word on show on the second decoder while the grammar runs;
// the verdict and the evidence are those of Listen then Decide, which aligns
// it afterwards on the first (words from Flite's rules included).
TEST_F(JudgeTest, HearingAlongsideGivesWhatListeningThenDecidingGives) {
    const std::pair<const char*, const char*> cases[] = {
        {"seven", "seven"}, {"seven", "dog"}, {"jump", "blorptix"}, {"water", "three"}};
    for (const auto& [said, shown] : cases) {
        SCOPED_TRACE(std::string(said) + " with " + shown + " on show");
        const std::vector<int16_t> samples = Said(said);
        Hearing kept;
        const Judgement alongside = judge_->Hear(samples, shown, {}, &kept);
        const Judgement after = judge_->Decide(judge_->Listen(samples), shown);
        EXPECT_GE(kept.alignedGroup, 0);
        EXPECT_EQ(alongside.verdict, after.verdict);
        EXPECT_EQ(alongside.reason, after.reason);
        EXPECT_EQ(alongside.heard, after.heard);
        EXPECT_DOUBLE_EQ(alongside.margin, after.margin);
        EXPECT_DOUBLE_EQ(alongside.targetVsPhones, after.targetVsPhones);
        EXPECT_DOUBLE_EQ(alongside.bestVsPhones, after.bestVsPhones);
        // The kept hearing judges another word as a fresh one would.
        EXPECT_EQ(judge_->Decide(kept, "yellow").verdict,
                  judge_->Decide(judge_->Listen(samples), "yellow").verdict);
    }
}

TEST_F(JudgeTest, HomophonesAndWordsOutsideTheDictionary) {
    EXPECT_TRUE(judge_->Homophones("to", "two"));
    EXPECT_FALSE(judge_->Homophones("to", "dog"));
    EXPECT_TRUE(judge_->Unpronounceable().empty()) << "blorptix is pronounced by Flite's rules";
    const Judgement made = judge_->Hear(Said("blorptix"), "blorptix");
    EXPECT_EQ(made.verdict, Verdict::Correct) << made.heard;
    const Judgement other = judge_->Hear(Said("zebra"), "dog");
    EXPECT_NE(other.verdict, Verdict::Correct) << other.heard;
    EXPECT_EQ(judge_->Hear(Said("dog"), "zebra").reason, Reason::CannotJudgeWord);
}

TEST_F(JudgeTest, SilenceAndFaintNoiseGiveNoVerdict) {
    EXPECT_EQ(judge_->Hear(std::vector<int16_t>(16000), "dog").verdict, Verdict::NoVerdict);
    std::vector<int16_t> faint(16000);
    for (size_t i = 0; i < faint.size(); ++i)
        faint[i] = static_cast<int16_t>((i * 7919) % 41) - 20; // about -66 dBFS
    const Judgement judgement = judge_->Hear(faint, "dog");
    EXPECT_EQ(judgement.verdict, Verdict::NoVerdict);
    EXPECT_EQ(judgement.reason, Reason::Silence);
    EXPECT_EQ(judge_->Hear({}, "dog").verdict, Verdict::NoVerdict);
}

// A hiss or a burst as loud as speech has no pitch: no verdict, whatever word
// the grammar fits to it; a word at the same level has one.
TEST_F(JudgeTest, LoudNoiseWithoutAPitchGivesNoVerdict) {
    uint32_t seed = 99;
    for (int amplitude : {300, 3000, 12000}) {
        SCOPED_TRACE(amplitude);
        std::vector<int16_t> hiss(16000);
        for (int16_t& sample : hiss) {
            seed = seed * 1664525u + 1013904223u;
            sample = static_cast<int16_t>(static_cast<int>(seed >> 16) % (2 * amplitude) - amplitude);
        }
        const Judgement judgement = judge_->Hear(hiss, "dog");
        EXPECT_EQ(judgement.verdict, Verdict::NoVerdict) << judgement.heard;
        EXPECT_EQ(judgement.reason, Reason::NoVoice);
    }
    Hearing said;
    judge_->Hear(Said("seven"), "seven", {}, &said);
    EXPECT_GE(said.voicedFrames, 10);
}

TEST(JudgeSetUp, MissingModelAndNoWordsAreOutcomesNotCrashes) {
    TempFolder folder;
    JudgeSetup setup = JudgeSetup::Ready;
    EXPECT_EQ(Judge::Create(folder.Path(), {"dog"}, setup), nullptr);
    EXPECT_EQ(setup, JudgeSetup::ModelMissing);
    if (!std::filesystem::exists(kDefaultModelFolder))
        GTEST_SKIP() << "no speech model in " << kDefaultModelFolder;
    EXPECT_EQ(Judge::Create(kDefaultModelFolder, {}, setup), nullptr);
    EXPECT_EQ(setup, JudgeSetup::NoWords);
}

} // namespace
} // namespace lexipond::speech

#else

TEST(Speech, Skipped) {
    GTEST_SKIP() << "built without Flite and PocketSphinx (flite1-dev, libpocketsphinx-dev, "
                    "libsphinxbase-dev): no speech to test";
}

#endif
