// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/speech/Judge.h"

#include "core/speech/Synthesizer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <thread>

extern "C" {
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/fsg_model.h>
}

namespace lexipond::speech {

namespace {

constexpr char kWordSearch[] = "words";
constexpr char kPhoneSearch[] = "phones";
constexpr char kTargetSearch[] = "target";
constexpr int kMostCandidates = 40; // n-best hypotheses looked at per utterance
constexpr double kAbsent = -1e9;    // a gap when there is no runner-up
constexpr double kNoRunnerUp = 99;  // the margin then, per frame

// The dictionary's spelling of a competing word: ASCII lower case, tokens
// separated by one space.
std::string KeyOf(std::string_view word) {
    std::string key;
    bool space = false;
    for (char c : word) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            space = !key.empty();
            continue;
        }
        if (space)
            key += ' ';
        space = false;
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::vector<std::string> Tokens(const std::string& key) {
    std::vector<std::string> tokens;
    size_t at = 0;
    while (at <= key.size()) {
        const size_t end = std::min(key.find(' ', at), key.size());
        tokens.push_back(key.substr(at, end - at));
        at = end + 1;
    }
    return tokens;
}

// "word(2)" is the dictionary's second pronunciation of "word".
std::string WithoutVariant(std::string word) {
    if (!word.empty() && word.back() == ')') {
        const size_t open = word.rfind('(');
        if (open != std::string::npos && open > 0)
            word.erase(open);
    }
    return word;
}

bool IsFiller(std::string_view word) {
    return word.empty() || word.front() == '<' || word.front() == '[' || word.front() == '+';
}

// The 39 phones of the en-us model (besides SIL).
bool KnownPhone(const std::string& phone) {
    static const std::set<std::string> kPhones = {
        "AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D", "DH", "EH", "ER", "EY",
        "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M", "N",  "NG", "OW", "OY",
        "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y",  "Z",  "ZH"};
    return kPhones.count(phone) != 0;
}

int FindRoot(std::vector<int>& parent, int i) {
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

} // namespace

struct Judge::Decoded {
    double score = 0;     // the whole path's score (ln), acoustic and language
    int speechFrames = 0; // frames of its words, fillers and silences left out
    std::string words;    // its words (or phones), fillers and silences left out
};

struct Judge::State {
    cmd_ln_t* config = nullptr;
    // Two decoders of the same model and words, so that Hear runs the
    // grammar on one while the other runs the phone loop and the word on
    // show alone: on two cores the verdict comes about as soon as the grammar
    // is done. Each is used by one thread at a time.
    ps_decoder_t* ps = nullptr;  // the grammar of all the words, and Decide's own alignments
    ps_decoder_t* aux = nullptr; // the phone loop, and Hear's alignment of the word on show
    struct Entry {
        std::string written; // as the list writes it
        std::string key;
        int group = 0; // words pronounced alike share a group
    };
    std::vector<Entry> entries;
    std::map<std::string, size_t> byKey;
    std::vector<std::string> unpronounceable;
    // The group each decoder's target search allows, -1 before the first.
    int targetGroup = -1, auxTargetGroup = -1;
    bool phoneSearchSet = false;
    // Words Flite pronounced for the dictionary (token, phones): the second decoder gets them too.
    std::vector<std::pair<std::string, std::string>> added;

    static Decoded Decode(ps_decoder_t* decoder, const char* search,
                          std::span<const int16_t> padded);

    // The search on `decoder` that allows only the words of `group`: built
    // when the word on show changes, kept while it stays.
    const char* TargetSearch(ps_decoder_t* decoder, int& builtFor, int group) {
        if (group != builtFor) {
            std::vector<std::string> keys;
            for (const Entry& e : entries)
                if (e.group == group)
                    keys.push_back(e.key);
            if (!SetFsg(decoder, kTargetSearch, keys))
                return kWordSearch;
            builtFor = group;
        }
        return kTargetSearch;
    }

    ~State() {
        if (aux) {
            // The phone loop frees the segments of its last utterance only when
            // it decodes the next, never when it is freed: an empty utterance
            // leaves none behind.
            if (phoneSearchSet && ps_set_search(aux, kPhoneSearch) == 0 && ps_start_utt(aux) == 0) {
                ps_end_utt(aux);
                int32 score = 0;
                ps_get_hyp(aux, &score);
            }
            ps_free(aux);
        }
        if (ps)
            ps_free(ps);
        if (config)
            cmd_ln_free_r(config);
    }

    // The pronunciations of a key, from the decoder's dictionary; Flite's
    // rules add one for a token the dictionary lacks. Empty when none can be had.
    std::vector<std::string> Pronunciations(const std::string& key) {
        std::vector<std::string> tokens = Tokens(key);
        std::vector<std::vector<std::string>> perToken;
        for (const std::string& token : tokens) {
            std::vector<std::string> prons;
            for (int variant = 1; variant <= 9; ++variant) {
                const std::string name =
                    variant == 1 ? token : token + "(" + std::to_string(variant) + ")";
                char* phones = ps_lookup_word(ps, name.c_str());
                if (!phones)
                    break;
                prons.emplace_back(phones);
                ckd_free(phones);
            }
            if (prons.empty()) {
                std::string joined;
                for (const std::string& phone : FlitePhones(token)) {
                    if (!KnownPhone(phone))
                        return {};
                    joined += (joined.empty() ? "" : " ") + phone;
                }
                if (joined.empty() || ps_add_word(ps, token.c_str(), joined.c_str(), FALSE) < 0)
                    return {};
                added.emplace_back(token, joined);
                prons.push_back(joined);
            }
            perToken.push_back(std::move(prons));
        }
        if (perToken.size() == 1)
            return perToken[0];
        // Several tokens: their first pronunciations in a row.
        std::string joined;
        for (const auto& prons : perToken)
            joined += (joined.empty() ? "" : " ") + prons[0];
        return {joined};
    }

    // A grammar of exactly one of `keys` (tokens in a row).
    // Every search gives a word the same language score, 1 / the number of
    // competing words, so that path scores of different searches compare.
    bool SetFsg(ps_decoder_t* decoder, const char* name, const std::vector<std::string>& keys) {
        size_t states = 2;
        for (const std::string& key : keys)
            states += Tokens(key).size() - 1;
        logmath_t* lmath = ps_get_logmath(decoder);
        fsg_model_t* fsg =
            fsg_model_init(name, lmath, static_cast<float32>(cmd_ln_float_r(config, "-lw")),
                           static_cast<int32>(states));
        fsg->start_state = 0;
        fsg->final_state = 1;
        const int32 logp = logmath_log(lmath, 1.0 / static_cast<double>(entries.size()));
        int32 next = 2;
        for (const std::string& key : keys) {
            const std::vector<std::string> tokens = Tokens(key);
            int32 from = 0;
            for (size_t t = 0; t < tokens.size(); ++t) {
                const int32 to = t + 1 == tokens.size() ? 1 : next++;
                const int wid = fsg_model_word_add(fsg, tokens[t].c_str());
                fsg_model_trans_add(fsg, from, to, t == 0 ? logp : 0, wid);
                from = to;
            }
        }
        const bool set = ps_set_fsg(decoder, name, fsg) == 0;
        fsg_model_free(fsg); // the decoder keeps its own reference
        return set;
    }
    bool BuildWordSearch() {
        std::vector<std::string> keys;
        for (const Entry& e : entries)
            keys.push_back(e.key);
        return SetFsg(ps, kWordSearch, keys);
    }
};

Judge::Judge(std::unique_ptr<State> state) : state_(std::move(state)) {}
Judge::~Judge() = default;

std::unique_ptr<Judge> Judge::Create(const std::string& modelFolder,
                                     const std::vector<std::string>& words, JudgeSetup& outcome) {
    const std::string hmm = modelFolder + "/en-us";
    const std::string dict = modelFolder + "/cmudict-en-us.dict";
    const std::string phoneLm = modelFolder + "/en-us-phone.lm.bin";
    if (!ModelInstalled(modelFolder)) {
        outcome = JudgeSetup::ModelMissing;
        return nullptr;
    }
    auto state = std::make_unique<State>();
    // Batch mean normalisation: a word is short, and the live estimate starts
    // from a prior that does not fit it. Every senone scored every frame: the
    // decoder scales each frame by its best active senone, so only then do the
    // scores of different searches over the same samples compare. No noise or
    // silence removal: both learn from the utterances heard before, so the same
    // recording was judged one way first and another way later (the quiet
    // around a word is the padding's and the listener's business).
    state->config =
        cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-dict", dict.c_str(),
                    "-samprate", "16000", "-cmn", "batch", "-bestpath", "no", "-compallsen", "yes",
                    "-remove_noise", "no", "-remove_silence", "no", "-logfn", "/dev/null", nullptr);
    if (state->config)
        state->ps = ps_init(state->config);
    if (!state->ps) {
        outcome = JudgeSetup::ModelUnusable;
        return nullptr;
    }
    // Pronunciations, and the groups of words pronounced alike.
    std::map<std::string, std::vector<size_t>> byPronunciation;
    for (const std::string& word : words) {
        const std::string key = KeyOf(word);
        if (key.empty() || state->byKey.count(key))
            continue;
        const std::vector<std::string> prons = state->Pronunciations(key);
        if (prons.empty()) {
            state->unpronounceable.push_back(word);
            continue;
        }
        const size_t index = state->entries.size();
        state->entries.push_back({word, key, static_cast<int>(index)});
        state->byKey[key] = index;
        for (const std::string& pron : prons)
            byPronunciation[pron].push_back(index);
    }
    if (state->entries.empty()) {
        outcome = JudgeSetup::NoWords;
        return nullptr;
    }
    std::vector<int> parent(state->entries.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (const auto& [pron, indices] : byPronunciation)
        for (size_t i = 1; i < indices.size(); ++i)
            parent[FindRoot(parent, static_cast<int>(indices[i]))] =
                FindRoot(parent, static_cast<int>(indices[0]));
    for (size_t i = 0; i < state->entries.size(); ++i)
        state->entries[i].group = FindRoot(parent, static_cast<int>(i));

    if (!state->BuildWordSearch()) {
        outcome = JudgeSetup::ModelUnusable;
        return nullptr;
    }
    // The phone loop only measures how well any sound could fit: a narrower
    // beam than the words' (set before it is built, which is when it reads it)
    // makes it several times faster.
    // The word on show's own searches, built later, read the same beams.
    cmd_ln_set_float_r(state->config, "-beam", 1e-10);
    cmd_ln_set_float_r(state->config, "-pbeam", 1e-10);
    state->aux = ps_init(state->config);
    if (!state->aux) {
        outcome = JudgeSetup::ModelUnusable;
        return nullptr;
    }
    for (const auto& [token, phones] : state->added)
        if (ps_add_word(state->aux, token.c_str(), phones.c_str(), FALSE) < 0) {
            outcome = JudgeSetup::ModelUnusable;
            return nullptr;
        }
    if (ps_set_allphone(state->aux, kPhoneSearch, nullptr) != 0) {
        outcome = JudgeSetup::ModelUnusable;
        return nullptr;
    }
    state->phoneSearchSet = true;
    outcome = JudgeSetup::Ready;
    return std::unique_ptr<Judge>(new Judge(std::move(state)));
}

namespace {

// A quarter second of faint deterministic noise on each side: the decoder
// needs silence around a word, and recordings cut close give it none.
std::vector<int16_t> Padded(std::span<const int16_t> samples) {
    constexpr size_t kPad = 4000;
    std::vector<int16_t> padded(samples.size() + 2 * kPad);
    uint32_t seed = 12345;
    for (int16_t& sample : padded) {
        seed = seed * 1664525u + 1013904223u;
        sample = static_cast<int16_t>(static_cast<int>(seed >> 24) % 7 - 3);
    }
    std::copy(samples.begin(), samples.end(), padded.begin() + kPad);
    return padded;
}

// The loudest 10 ms, RMS in dB below full scale.
double PeakLevel(std::span<const int16_t> samples) {
    double loudest = 0;
    for (size_t at = 0; at + 160 <= samples.size(); at += 160) {
        double energy = 0;
        for (size_t i = at; i < at + 160; ++i)
            energy += static_cast<double>(samples[i]) * samples[i];
        loudest = std::max(loudest, energy / 160);
    }
    return loudest > 0 ? 10 * std::log10(loudest / (32768.0 * 32768.0)) : -200;
}

// Frames (10 ms apart, 25 ms long) that have a pitch from 70 to 400 Hz: the
// autocorrelation at some lag in that range is at least half the frame's
// energy. Only frames within 30 dB of the loudest count, so that the quiet
// around a word adds nothing. Noise, hiss and clicks have no pitch; a vowel
// has one.
int VoicedFrames(std::span<const int16_t> samples) {
    constexpr size_t kLength = 400, kHop = 160, kShortestLag = 40, kLongestLag = 229;
    if (samples.size() < kLength + kLongestLag)
        return 0;
    std::vector<double> energy;
    for (size_t at = 0; at + kLength <= samples.size(); at += kHop) {
        double sum = 0;
        for (size_t i = at; i < at + kLength; ++i)
            sum += double(samples[i]) * samples[i];
        energy.push_back(sum);
    }
    const double loudest = *std::max_element(energy.begin(), energy.end());
    int voiced = 0;
    for (size_t f = 0; f < energy.size(); ++f) {
        const size_t at = f * kHop;
        if (energy[f] <= 0 || energy[f] < loudest * 1e-3 || at + kLength + kLongestLag > samples.size())
            continue;
        double best = 0;
        for (size_t lag = kShortestLag; lag <= kLongestLag; ++lag) {
            double sum = 0, shifted = 0;
            for (size_t i = at; i < at + kLength; ++i) {
                sum += double(samples[i]) * samples[i + lag];
                shifted += double(samples[i + lag]) * samples[i + lag];
            }
            if (shifted > 0)
                best = std::max(best, sum / std::sqrt(energy[f] * shifted));
        }
        voiced += best >= 0.5;
    }
    return voiced;
}

// The decoder's scores are in units of log base 1.0001 with 10 bits dropped:
// this gives natural logarithms.
double ToLn(logmath_t* lmath, int32 score) {
    return logmath_log_to_ln(lmath, score) * 1024;
}

} // namespace

Judge::Decoded Judge::State::Decode(ps_decoder_t* decoder, const char* search,
                                    std::span<const int16_t> padded) {
    Decoded result;
    ps_set_search(decoder, search);
    ps_start_utt(decoder);
    ps_process_raw(decoder, padded.data(), padded.size(), FALSE, TRUE);
    ps_end_utt(decoder);
    int32 score = 0;
    if (!ps_get_hyp(decoder, &score))
        return result;
    result.score = ToLn(ps_get_logmath(decoder), score);
    for (ps_seg_t* seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
        const std::string word = WithoutVariant(ps_seg_word(seg));
        if (IsFiller(word) || word == "SIL")
            continue;
        int start = 0, end = 0;
        ps_seg_frames(seg, &start, &end);
        result.speechFrames += end - start + 1;
        result.words += (result.words.empty() ? "" : " ") + word;
    }
    return result;
}

Hearing Judge::Listen(std::span<const int16_t> samples16k) {
    return Listen(samples16k, std::nullopt);
}

Hearing Judge::Listen(std::span<const int16_t> samples16k, std::optional<int> alignGroup) {
    Hearing hearing;
    hearing.peakLevel = PeakLevel(samples16k);
    hearing.voicedFrames = VoicedFrames(samples16k);
    hearing.padded = Padded(samples16k);
    State& state = *state_;
    // The phone loop (and the word on show alone) on the second decoder meanwhile.
    Decoded phones;
    std::optional<double> aligned;
    std::thread other([&state, &hearing, &phones, &aligned, alignGroup] {
        phones = State::Decode(state.aux, kPhoneSearch, hearing.padded);
        if (alignGroup)
            aligned =
                State::Decode(state.aux,
                              state.TargetSearch(state.aux, state.auxTargetGroup, *alignGroup),
                              hearing.padded)
                    .score;
    });
    const Decoded words = State::Decode(state.ps, kWordSearch, hearing.padded);
    hearing.bestScore = words.score;
    hearing.speechFrames = words.speechFrames;
    const auto found = state.byKey.find(words.words);
    if (found != state.byKey.end()) {
        hearing.bestWord = state.entries[found->second].written;
        // How far ahead of the best word of another group the winner is, from
        // the n-best list (equal language scores, so it is the acoustic gap).
        const int group = state.entries[found->second].group;
        logmath_t* lmath = ps_get_logmath(state.ps);
        std::optional<double> top;
        hearing.runnerUpGap = -kAbsent;
        ps_nbest_t* nbest = ps_nbest(state.ps);
        for (int count = 0; nbest && count < kMostCandidates;
             nbest = ps_nbest_next(nbest), ++count) {
            int32 score = 0;
            const char* hyp = ps_nbest_hyp(nbest, &score);
            if (!hyp)
                continue;
            std::string spoken;
            for (const std::string& token : Tokens(hyp)) {
                const std::string word = WithoutVariant(token);
                if (!IsFiller(word))
                    spoken += (spoken.empty() ? "" : " ") + word;
            }
            const auto entry = state.byKey.find(spoken);
            if (entry == state.byKey.end())
                continue;
            if (!top)
                top = ToLn(lmath, score);
            if (state.entries[entry->second].group != group) {
                hearing.runnerUpGap = *top - ToLn(lmath, score);
                break;
            }
        }
        if (nbest)
            ps_nbest_free(nbest);
    }
    other.join();
    if (aligned) {
        hearing.alignedGroup = *alignGroup;
        hearing.alignedScore = *aligned;
    }
    hearing.phoneScore = phones.score;
    hearing.phones = phones.words;
    return hearing;
}

bool ModelInstalled(const std::string& modelFolder) {
    namespace fs = std::filesystem;
    std::error_code error;
    return fs::is_regular_file(modelFolder + "/en-us/mdef", error) &&
           fs::is_regular_file(modelFolder + "/cmudict-en-us.dict", error) &&
           fs::is_regular_file(modelFolder + "/en-us-phone.lm.bin", error);
}

bool Judge::CanJudge(std::string_view word) const {
    return state_->byKey.contains(KeyOf(word));
}

bool Judge::Homophones(std::string_view a, std::string_view b) const {
    const auto first = state_->byKey.find(KeyOf(a));
    const auto second = state_->byKey.find(KeyOf(b));
    return first != state_->byKey.end() && second != state_->byKey.end() &&
           state_->entries[first->second].group == state_->entries[second->second].group;
}

const std::vector<std::string>& Judge::Unpronounceable() const {
    return state_->unpronounceable;
}

Judgement Judge::Decide(const Hearing& hearing, std::string_view wordOnShow,
                        const Thresholds& thresholds) {
    Judgement judgement;
    State& state = *state_;
    const auto shown = state.byKey.find(KeyOf(wordOnShow));
    if (shown == state.byKey.end()) {
        judgement.reason = Reason::CannotJudgeWord;
        return judgement;
    }
    if (hearing.peakLevel < thresholds.minPeakLevel) {
        judgement.reason = Reason::Silence;
        return judgement;
    }
    if (hearing.voicedFrames < thresholds.minVoicedFrames) {
        judgement.reason = Reason::NoVoice;
        judgement.heard = "[" + hearing.phones + "]";
        return judgement;
    }
    if (hearing.bestWord.empty() || hearing.speechFrames < thresholds.minSpeechFrames) {
        judgement.reason = Reason::Unclear;
        judgement.heard = "[" + hearing.phones + "]";
        return judgement;
    }
    const double frames = hearing.speechFrames;
    judgement.bestVsPhones = (hearing.bestScore - hearing.phoneScore) / frames;
    const int group = state.entries[shown->second].group;
    judgement.wonGrammar = state.entries[state.byKey.at(KeyOf(hearing.bestWord))].group == group;
    if (judgement.wonGrammar) {
        judgement.margin = std::min(hearing.runnerUpGap / frames, kNoRunnerUp);
        judgement.targetVsPhones = judgement.bestVsPhones;
    } else {
        // The word on show aligned alone (by Hear meanwhile, or now): how far
        // behind the winner it is.
        const double target =
            hearing.alignedGroup == group
                ? hearing.alignedScore
                : State::Decode(state.ps, state.TargetSearch(state.ps, state.targetGroup, group),
                                hearing.padded)
                      .score;
        judgement.margin = (target - hearing.bestScore) / frames;
        judgement.targetVsPhones = (target - hearing.phoneScore) / frames;
    }
    judgement.weighed = true;
    judgement.verdict = Weigh(judgement, thresholds);
    switch (judgement.verdict) {
    case Verdict::NoVerdict:
        judgement.reason = Reason::Unclear;
        judgement.heard = "[" + hearing.phones + "]";
        break;
    case Verdict::Correct:
        judgement.reason = judgement.wonGrammar && KeyOf(hearing.bestWord) != shown->first
                               ? Reason::SaidAHomophone
                               : Reason::SaidTheWord;
        judgement.heard = judgement.wonGrammar ? hearing.bestWord : std::string(wordOnShow);
        break;
    case Verdict::Incorrect:
        judgement.reason =
            judgement.wonGrammar ? Reason::NotClearlyTheWord : Reason::SaidAnotherWord;
        judgement.heard = judgement.wonGrammar ? "[" + hearing.phones + "]" : hearing.bestWord;
        break;
    }
    return judgement;
}

Verdict Weigh(const Judgement& evidence, const Thresholds& thresholds) {
    if (evidence.bestVsPhones < thresholds.minBestVsPhones)
        return Verdict::NoVerdict;
    return evidence.margin >= thresholds.minMargin &&
                   evidence.targetVsPhones >= thresholds.minTargetVsPhones
               ? Verdict::Correct
               : Verdict::Incorrect;
}

Judgement Judge::Hear(std::span<const int16_t> samples16k, std::string_view wordOnShow,
                      const Thresholds& thresholds, Hearing* kept) {
    const auto shown = state_->byKey.find(KeyOf(wordOnShow));
    std::optional<int> group;
    if (shown != state_->byKey.end())
        group = state_->entries[shown->second].group;
    Hearing hearing = Listen(samples16k, group);
    Judgement judgement = Decide(hearing, wordOnShow, thresholds);
    if (kept)
        *kept = std::move(hearing);
    return judgement;
}

} // namespace lexipond::speech
