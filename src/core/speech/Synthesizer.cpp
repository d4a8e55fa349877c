// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/speech/Synthesizer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>

extern "C" {
#include <flite/flite.h>
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_lexicon* cmu_lex_init(void);
}

namespace lexipond::speech {
namespace {

constexpr std::array kVoices = {Voice::Slt, Voice::Awb, Voice::Rms, Voice::Kal16};

// Flite's global state: its initialisation, the registered voices (each is
// registered once and kept for the process) and the CMU lexicon.
struct Flite {
    std::mutex lock;
    bool started = false;
    std::array<cst_voice*, kVoices.size()> voices{};
    cst_lexicon* lexicon = nullptr;

    void StartLocked() {
        if (started)
            return;
        flite_init();
        lexicon = cmu_lex_init();
        started = true;
    }
    cst_voice* VoiceLocked(Voice voice) {
        StartLocked();
        cst_voice*& slot = voices[static_cast<size_t>(voice)];
        if (!slot) {
            switch (voice) {
            case Voice::Slt:
                slot = register_cmu_us_slt(nullptr);
                break;
            case Voice::Awb:
                slot = register_cmu_us_awb(nullptr);
                break;
            case Voice::Rms:
                slot = register_cmu_us_rms(nullptr);
                break;
            case Voice::Kal16:
                slot = register_cmu_us_kal16(nullptr);
                break;
            }
        }
        return slot;
    }
};

Flite& Shared() {
    static Flite flite;
    return flite;
}

} // namespace

std::span<const Voice> AllVoices() {
    return kVoices;
}

const char* VoiceName(Voice voice) {
    switch (voice) {
    case Voice::Slt:
        return "cmu_us_slt";
    case Voice::Awb:
        return "cmu_us_awb";
    case Voice::Rms:
        return "cmu_us_rms";
    case Voice::Kal16:
        return "cmu_us_kal16";
    }
    return "";
}

std::optional<Voice> VoiceNamed(std::string_view name) {
    for (Voice voice : kVoices) {
        const std::string_view full = VoiceName(voice);
        if (name == full || name == full.substr(sizeof "cmu_us_" - 1))
            return voice;
    }
    return std::nullopt;
}

Synthesis Synthesize(std::string_view text, Voice voice, double rate) {
    Synthesis result;
    if (!(rate >= 0.25 && rate <= 4.0)) {
        result.outcome = SynthesisOutcome::RateOutOfRange;
        return result;
    }
    // Flite says a short pause, with its voice's noise in it, for text without
    // a letter or digit.
    if (std::none_of(text.begin(), text.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
        return result;
    const std::string copy(text);
    Flite& flite = Shared();
    std::lock_guard hold(flite.lock);
    cst_voice* v = flite.VoiceLocked(voice);
    // The voice is shared: its speed is set for this call, under the lock.
    feat_set_float(v->features, "duration_stretch", static_cast<float>(1.0 / rate));
    cst_wave* wave = flite_text_to_wave(copy.c_str(), v);
    if (wave && wave->num_samples > 0 && wave->num_channels == 1 && wave->sample_rate > 0) {
        result.audio.sampleRate = static_cast<uint32_t>(wave->sample_rate);
        result.audio.samples.assign(wave->samples, wave->samples + wave->num_samples);
        // Only sound counts, not a pause for what it cannot pronounce.
        for (int16_t s : result.audio.samples)
            if (s > 1000 || s < -1000) {
                result.outcome = SynthesisOutcome::Spoken;
                break;
            }
    }
    if (wave)
        delete_wave(wave);
    if (result.outcome != SynthesisOutcome::Spoken)
        result.audio = {};
    return result;
}

std::vector<std::string> FlitePhones(std::string_view word) {
    std::string lower;
    for (char c : word)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> phones;
    if (lower.empty())
        return phones;
    Flite& flite = Shared();
    std::lock_guard hold(flite.lock);
    flite.StartLocked();
    cst_val* list = lex_lookup(flite.lexicon, lower.c_str(), nullptr, nullptr);
    for (const cst_val* p = list; p; p = val_cdr(p)) {
        std::string phone = val_string(val_car(p));
        while (!phone.empty() && std::isdigit(static_cast<unsigned char>(phone.back())))
            phone.pop_back(); // stress
        if (phone == "pau" || phone.empty())
            continue;
        if (phone == "ax") // Flite's schwa; CMU writes it AH
            phone = "ah";
        for (char& c : phone)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        phones.push_back(phone);
    }
    if (list)
        delete_val(list);
    return phones;
}

} // namespace lexipond::speech
