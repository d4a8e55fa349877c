// SPDX-License-Identifier: GPL-3.0-or-later
// speech_judge: how well the judge tells the word on show from other words.
// Every word of a word list is spoken by every Flite voice, as is and through
// sox variants (pitch and tempo), brought to 16 kHz by our resampler and judged
// against the whole list: once as the word on show (should be accepted), and
// as several other words on show (should be refused): its near words (edit
// distance 1 or 2, or the same last two letters) and two others. Thresholds are
// tuned on the tuning cells only and then reported on every cell.
//   speech_judge WORDLIST [--stride N]    (every Nth word; 1 unless told)
#include "core/speech/Judge.h"
#include "core/speech/Synthesizer.h"
#include "core/speech/Wav.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace lexipond::speech;

struct Variant {
    const char* name;
    const char* soxEffects; // empty: the voice as it is
};
constexpr Variant kVariants[] = {{"plain", ""},
                                 {"pitch+3", "pitch 300"},
                                 {"slow0.8", "tempo 0.8"},
                                 {"pitch-3,fast1.2", "pitch -300 tempo 1.2"}};

// The cells thresholds are tuned on; every other cell is held out.
bool TunedOn(Voice voice, const Variant& variant) {
    return (voice == Voice::Slt || voice == Voice::Kal16) &&
           (std::string(variant.name) == "plain" || std::string(variant.name) == "pitch+3");
}

struct Row {
    size_t cell = 0;
    bool right = false; // the word on show is the word said
    Judgement judgement;
};

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j <= b.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                                   previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[b.size()];
}

bool Rhymes(const std::string& a, const std::string& b) {
    return a.size() >= 2 && b.size() >= 2 && a.substr(a.size() - 2) == b.substr(b.size() - 2);
}

// The wrong words on show for word i: up to three near words, nearest first, and two others.
std::vector<size_t> WrongWords(const std::vector<std::string>& words, size_t i, Judge& judge) {
    std::vector<std::pair<size_t, size_t>> near; // distance, index
    for (size_t j = 0; j < words.size(); ++j) {
        if (j == i || judge.Homophones(words[i], words[j]))
            continue;
        const size_t d = EditDistance(words[i], words[j]);
        if (d <= 2 || Rhymes(words[i], words[j]))
            near.emplace_back(d, j);
    }
    std::sort(near.begin(), near.end());
    std::vector<size_t> chosen;
    for (size_t k = 0; k < near.size() && k < 3; ++k)
        chosen.push_back(near[k].second);
    for (size_t step : {97u, 211u}) { // fixed strides: the same pairs every run
        size_t j = (i + step) % words.size();
        while (j == i || judge.Homophones(words[i], words[j]) ||
               std::find(chosen.begin(), chosen.end(), j) != chosen.end())
            j = (j + 1) % words.size();
        chosen.push_back(j);
    }
    return chosen;
}

// The audio through sox's effects, at its own rate.
PcmAudio ThroughSox(const PcmAudio& audio, const char* effects, const std::string& folder) {
    if (!*effects)
        return audio;
    const std::string in = folder + "/in.wav", out = folder + "/out.wav";
    std::string reason;
    WriteWav(in, audio, reason);
    const std::string command = "sox -q '" + in + "' '" + out + "' " + effects;
    if (std::system(command.c_str()) != 0)
        return {};
    return ReadWav(out).audio;
}

// The verdict the evidence gives under `t`; silence, a sound without voice or
// without a word, and a word it cannot judge stay without one.
Verdict VerdictUnder(const Judgement& judgement, const Thresholds& t) {
    return judgement.weighed ? Weigh(judgement, t) : Verdict::NoVerdict;
}

struct Tally {
    size_t right = 0, rightAccepted = 0, rightNoVerdict = 0, wrong = 0, wrongAccepted = 0;
    void Add(const Row& row, const Thresholds& t) {
        const Verdict v = VerdictUnder(row.judgement, t);
        if (row.right) {
            ++right;
            rightAccepted += v == Verdict::Correct;
            rightNoVerdict += v == Verdict::NoVerdict;
        } else {
            ++wrong;
            wrongAccepted += v == Verdict::Correct;
        }
    }
};

double Percent(size_t part, size_t whole) {
    return whole ? 100.0 * part / whole : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: speech_judge WORDLIST [--stride N]\n");
        return 2;
    }
    size_t stride = 1;
    if (argc == 4 && std::string(argv[2]) == "--stride")
        stride = std::max(1, std::atoi(argv[3]));
    std::vector<std::string> words;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);)
        if (!line.empty())
            words.push_back(line);
    JudgeSetup setup;
    const auto setUpStart = std::chrono::steady_clock::now();
    auto judge = Judge::Create(kDefaultModelFolder, words, setup);
    if (!judge) {
        std::fprintf(stderr, "speech_judge: the judge could not be set up (%d)\n",
                     static_cast<int>(setup));
        return 1;
    }
    std::printf(
        "judge set up for %zu words in %.0f ms (%zu without a pronunciation)\n", words.size(),
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - setUpStart)
            .count(),
        judge->Unpronounceable().size());
    char folder[] = "/tmp/speech-judge-XXXXXX";
    if (!mkdtemp(folder))
        return 1;

    struct Cell {
        Voice voice;
        const Variant* variant;
        std::vector<double> latencyMs;
    };
    std::vector<Cell> cells;
    std::vector<Row> rows;
    for (Voice voice : AllVoices())
        for (const Variant& variant : kVariants) {
            cells.push_back({voice, &variant, {}});
            Cell& cell = cells.back();
            for (size_t i = 0; i < words.size(); i += stride) {
                const Synthesis spoken = Synthesize(words[i], voice);
                const PcmAudio varied = ThroughSox(spoken.audio, variant.soxEffects, folder);
                const std::vector<int16_t> samples =
                    Resample(varied.samples, varied.sampleRate, 16000);
                // From the end of the samples to the verdict on the word on show,
                // as listening gets it (Hear: the grammar and the word on show's
                // alignment side by side).
                const auto start = std::chrono::steady_clock::now();
                Hearing hearing;
                Row right{cells.size() - 1, true, judge->Hear(samples, words[i], {}, &hearing)};
                cell.latencyMs.push_back(std::chrono::duration<double, std::milli>(
                                             std::chrono::steady_clock::now() - start)
                                             .count());
                rows.push_back(right);
                for (size_t j : WrongWords(words, i, *judge))
                    rows.push_back({cells.size() - 1, false, judge->Decide(hearing, words[j])});
            }
            std::fprintf(stderr, "%s %s done\n", VoiceName(voice), variant.name);
        }

    // Silence and white noise, up to -21 dBFS: the evidence, judged below under
    // each set of thresholds.
    std::vector<Judgement> noises;
    uint32_t seed = 7;
    for (int level : {0, 30, 300, 3000}) {
        for (int k = 0; k < 5; ++k) {
            std::vector<int16_t> noise(16000);
            for (int16_t& s : noise) {
                seed = seed * 1664525u + 1013904223u;
                s = static_cast<int16_t>(level ? static_cast<int>(seed >> 16) % (2 * level) - level
                                               : 0);
            }
            noises.push_back(judge->Hear(noise, words[static_cast<size_t>(k) % words.size()]));
        }
    }
    const auto noiseVerdicts = [&](const Thresholds& t) {
        size_t verdicts = 0;
        for (const Judgement& judgement : noises)
            verdicts += VerdictUnder(judgement, t) != Verdict::NoVerdict;
        return verdicts;
    };

    // Tuning: the most right words accepted with at most 3% wrong ones, tuning
    // cells only, and no verdict on any clip of silence or noise (a cough must
    // not be tallied).
    Thresholds best;
    double bestRight = -1;
    for (double noVerdict : {-1e9, -14.0, -12.0, -10.0, -8.0, -6.0})
        for (double target = -12; target <= -2; target += 0.5)
            for (double margin = -3; margin <= 1.0; margin += 0.1) {
                Thresholds t;
                t.minBestVsPhones = noVerdict;
                t.minTargetVsPhones = target;
                t.minMargin = margin;
                Tally tally;
                for (const Row& row : rows)
                    if (TunedOn(cells[row.cell].voice, *cells[row.cell].variant))
                        tally.Add(row, t);
                const double rightRate = Percent(tally.rightAccepted, tally.right);
                if (Percent(tally.wrongAccepted, tally.wrong) <= 3.0 && rightRate > bestRight &&
                    noiseVerdicts(t) == 0) {
                    bestRight = rightRate;
                    best = t;
                }
            }
    std::printf("tuned thresholds: minBestVsPhones %.1f, minTargetVsPhones %.1f, minMargin %.1f\n",
                best.minBestVsPhones, best.minTargetVsPhones, best.minMargin);

    for (const auto& [title, thresholds] :
         {std::pair{"tuned here", best}, std::pair{"the judge's defaults", Thresholds{}}}) {
        std::printf("\nthresholds: %s\n", title);
        std::printf("| voice | variant | set | words | right accepted | right, no verdict | "
                    "wrong accepted | median latency |\n|---|---|---|---:|---:|---:|---:|---:|\n");
        Tally tuned, heldOut;
        for (size_t c = 0; c < cells.size(); ++c) {
            Tally tally;
            for (const Row& row : rows)
                if (row.cell == c) {
                    tally.Add(row, thresholds);
                    (TunedOn(cells[c].voice, *cells[c].variant) ? tuned : heldOut)
                        .Add(row, thresholds);
                }
            std::vector<double> latency = cells[c].latencyMs;
            std::nth_element(latency.begin(), latency.begin() + latency.size() / 2, latency.end());
            std::printf("| %s | %s | %s | %zu | %.1f%% | %.1f%% | %.1f%% (%zu) | %.0f ms |\n",
                        VoiceName(cells[c].voice), cells[c].variant->name,
                        TunedOn(cells[c].voice, *cells[c].variant) ? "tuning" : "held out",
                        tally.right, Percent(tally.rightAccepted, tally.right),
                        Percent(tally.rightNoVerdict, tally.right),
                        Percent(tally.wrongAccepted, tally.wrong), tally.wrong,
                        latency.empty() ? 0.0 : latency[latency.size() / 2]);
        }
        for (const auto& [name, tally] :
             {std::pair{"all tuning cells", tuned}, std::pair{"all held-out cells", heldOut}})
            std::printf("| %s | | | %zu | %.1f%% | %.1f%% | %.1f%% (%zu) | |\n", name, tally.right,
                        Percent(tally.rightAccepted, tally.right),
                        Percent(tally.rightNoVerdict, tally.right),
                        Percent(tally.wrongAccepted, tally.wrong), tally.wrong);
    }

    std::printf("\nsilence and white noise (20 one-second clips up to -21 dBFS), given a verdict: "
                "%zu under the thresholds tuned here, %zu under the judge's defaults\n",
                noiseVerdicts(best), noiseVerdicts(Thresholds{}));
    std::string command = std::string("rm -rf '") + folder + "'";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
