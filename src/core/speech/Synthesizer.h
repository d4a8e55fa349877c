#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Speech from text with Flite and its four built-in US English voices, and the
// pronunciation Flite would give a word (its CMU lexicon, then its
// letter-to-sound rules) in CMU ARPAbet. Any thread: Flite keeps its voices and
// lexicon in shared state, so calls take one lock and run one at a time. The
// slt, awb and rms voices put random noise in their excitation: the same word
// gives the same number of samples but not the same samples.
#include "core/speech/Pcm.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond::speech {

enum class Voice { Slt, Awb, Rms, Kal16 };

std::span<const Voice> AllVoices();
// "cmu_us_slt", "cmu_us_awb", "cmu_us_rms", "cmu_us_kal16".
const char* VoiceName(Voice voice);
// Takes the full name or its last part ("slt", "kal16").
std::optional<Voice> VoiceNamed(std::string_view name);

enum class SynthesisOutcome {
    Spoken,
    NothingToSay,   // no letter or digit, or nothing Flite pronounces
    RateOutOfRange, // rate outside 0.25 to 4
};

struct Synthesis {
    SynthesisOutcome outcome = SynthesisOutcome::NothingToSay;
    PcmAudio audio; // mono, at the voice's own rate (16 kHz for all four)
};

// Speaks `text`; rate 1 is the voice's own speed, 2 twice as fast.
Synthesis Synthesize(std::string_view text, Voice voice, double rate = 1.0);

// The phones of one word, upper case, stress removed ("AH", "B", ...), as the
// CMU pronouncing dictionary writes them; empty when Flite has none for it.
std::vector<std::string> FlitePhones(std::string_view word);

} // namespace lexipond::speech
