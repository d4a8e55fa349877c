#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Did the reader say the word on show? PocketSphinx hears 16 kHz mono samples
// twice: once through a grammar that allows exactly one of the competing words
// (the database's words), once through a free phone loop that allows any
// sound. The word on show is accepted when it (or a word pronounced the same
// way) wins the grammar, fits the sound nearly as well as the phone loop does,
// and beats the best other word by a margin.
//
// Set-up (the acoustic model, the pronunciations, both searches) happens once
// per word list in Create; Listen then only decodes, on two threads of its own
// (two decoders). A Judge is not thread-safe: one caller at a time (the
// decoders keep their state between calls).
#include "core/speech/Pcm.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond::speech {

enum class Verdict { Correct, Incorrect, NoVerdict };

enum class JudgeSetup {
    Ready,
    ModelMissing,  // the model folder lacks the acoustic model, dictionary or phone model
    ModelUnusable, // PocketSphinx would not load it
    NoWords,       // no competing word could be pronounced
};

// Why the verdict is what it is.
enum class Reason {
    SaidTheWord,       // the word on show won (Correct)
    SaidAHomophone,    // a word pronounced the same won (Correct)
    SaidAnotherWord,   // another competing word won (Incorrect)
    NotClearlyTheWord, // the word on show won but fitted the sound too loosely (Incorrect)
    Silence,           // too quiet (NoVerdict)
    NoVoice,           // loud enough but never voiced, as a cough, a clap or a hiss (NoVerdict)
    Unclear,           // voiced sound that fits no word well, or too short (NoVerdict)
    CannotJudgeWord,   // the word on show is not among the competing words or has no pronunciation
};

// What one decode found, before any threshold. Scores are the decoders' path
// scores of the whole utterance in natural logarithms (acoustic likelihood and
// insertion penalties); the judge compares them per frame (10 ms) of the
// winner's speech.
struct Hearing {
    std::string bestWord;        // the grammar's winner, as the competing word is written
    std::string phones;          // the phone loop's path, without silences
    int speechFrames = 0;        // frames the winner spans
    double peakLevel = 0;        // loudest 10 ms, RMS in dB below full scale (0 is loudest)
    int voicedFrames = 0;        // 10 ms frames with a pitch (every word has a vowel)
    double bestScore = 0;        // the grammar's path
    double phoneScore = 0;       // the phone loop's path
    double runnerUpGap = 0;      // the winner over the best word pronounced otherwise (huge: none)
    std::vector<int16_t> padded; // the samples as decoded
    // The word on show aligned alone, when Hear did it alongside the grammar
    // (the judge's own group number of the word; -1: not done).
    int alignedGroup = -1;
    double alignedScore = 0;
};

// Where the verdicts change; the defaults were tuned by bench/speech (see
// bench/README.md for on which voices, and what they give on the others).
struct Thresholds {
    double minPeakLevel = -45;        // dBFS: quieter is silence
    int minSpeechFrames = 8;          // 80 ms
    int minVoicedFrames = 5;          // 50 ms of voice, or it is no word
    double minBestVsPhones = -6.0;    // the winner against the phone loop: under it, no verdict
    double minTargetVsPhones = -12.0; // the word on show against the phone loop
    double minMargin = -1.0;          // the word on show over the best other word (may be < 0)
};

struct Judgement {
    Verdict verdict = Verdict::NoVerdict;
    Reason reason = Reason::Silence;
    std::string heard; // the word heard, or the phones heard when no word fitted
    // The evidence, per frame of speech, when `weighed` (the verdict came from
    // Weigh); otherwise left 0: silence, no voice, no word, a word it cannot judge.
    bool weighed = false;
    bool wonGrammar = false;   // the word on show (or a homophone) won the grammar
    double bestVsPhones = 0;   // the grammar's winner against the phone loop
    double targetVsPhones = 0; // the word on show against the phone loop
    double margin = 0;         // the word on show over the best word pronounced otherwise
};

// The verdict the evidence of a judgement gives under `thresholds` (speech
// heard and the word on show judgeable): what Decide ends with, for tuning.
Verdict Weigh(const Judgement& evidence, const Thresholds& thresholds);

class Judge {
  public:
    // Loads the model from `modelFolder` (the pocketsphinx-en-us layout: en-us/,
    // cmudict-en-us.dict, en-us-phone.lm.bin) and builds the searches for `words`.
    // Words missing from the dictionary are pronounced by Flite's rules.
    static std::unique_ptr<Judge> Create(const std::string& modelFolder,
                                         const std::vector<std::string>& words,
                                         JudgeSetup& outcome);
    ~Judge();
    Judge(const Judge&) = delete;
    Judge& operator=(const Judge&) = delete;

    // Decodes 16 kHz mono samples once; the same hearing can then be judged
    // against any word on show.
    Hearing Listen(std::span<const int16_t> samples16k);
    // The verdict for `wordOnShow` from a hearing. When another word won, the
    // word on show is aligned alone against the same samples (its small search
    // is kept while the word on show stays the same).
    Judgement Decide(const Hearing& hearing, std::string_view wordOnShow,
                     const Thresholds& thresholds = {});
    // Listen and Decide, with the word on show aligned alone alongside the
    // grammar instead of after it: the same verdict sooner. The hearing is
    // kept in `kept` when given, for judging other words on show.
    Judgement Hear(std::span<const int16_t> samples16k, std::string_view wordOnShow,
                   const Thresholds& thresholds = {}, Hearing* kept = nullptr);

    // Whether `word` is a competing word with a pronunciation (otherwise every
    // verdict on it is CannotJudgeWord).
    bool CanJudge(std::string_view word) const;
    // Whether two competing words are pronounced alike (both in the list).
    bool Homophones(std::string_view a, std::string_view b) const;
    // Competing words Create could not pronounce.
    const std::vector<std::string>& Unpronounceable() const;

    struct State;
    struct Decoded;

  private:
    explicit Judge(std::unique_ptr<State> state);
    Hearing Listen(std::span<const int16_t> samples16k, std::optional<int> alignGroup);
    std::unique_ptr<State> state_;
};

// The model folder of Debian's pocketsphinx-en-us package.
constexpr char kDefaultModelFolder[] = "/usr/share/pocketsphinx/model/en-us";
// Whether `modelFolder` holds the files Create needs (without loading them).
bool ModelInstalled(const std::string& modelFolder);

} // namespace lexipond::speech
