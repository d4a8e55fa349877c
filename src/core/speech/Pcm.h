#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Mono 16-bit PCM, the one sound format the speech code passes around: the
// synthesizer makes it, the judge hears it at 16 kHz, WAV files are read into
// it. A plain value: any thread.
#include <cstdint>
#include <span>
#include <vector>

namespace lexipond::speech {

struct PcmAudio {
    std::vector<int16_t> samples;
    uint32_t sampleRate = 0; // samples a second
};

// Band-limited rate change (windowed sinc, Blackman window, 16 zero crossings
// each side; the pass band ends at 95% of the lower rate's Nyquist frequency).
// Written here rather than taken from a library: it is 50 lines and runs once
// per utterance. A rate of 0 on either side gives no samples.
std::vector<int16_t> Resample(std::span<const int16_t> samples, uint32_t fromRate, uint32_t toRate);

} // namespace lexipond::speech
