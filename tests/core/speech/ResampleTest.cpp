// SPDX-License-Identifier: GPL-3.0-or-later
// The resampler keeps a tone's pitch and loudness and removes what the lower
// rate cannot carry.
#include "core/speech/Pcm.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace lexipond::speech {
namespace {

std::vector<int16_t> Tone(double hertz, uint32_t rate, double seconds) {
    std::vector<int16_t> samples(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(
            std::lround(10000 * std::sin(2 * std::numbers::pi * hertz * i / rate)));
    return samples;
}

// RMS away from the edges, and the tone's strength at `hertz` (a single DFT bin).
double Rms(const std::vector<int16_t>& s) {
    double sum = 0;
    for (size_t i = s.size() / 4; i < 3 * s.size() / 4; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(s.size() / 2));
}

double Strength(const std::vector<int16_t>& s, double hertz, uint32_t rate) {
    double re = 0, im = 0;
    for (size_t i = s.size() / 4; i < 3 * s.size() / 4; ++i) {
        re += s[i] * std::cos(2 * std::numbers::pi * hertz * i / rate);
        im += s[i] * std::sin(2 * std::numbers::pi * hertz * i / rate);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(s.size() / 2);
}

TEST(Resample, ToneKeepsItsPitchAndLoudnessUpAndDown) {
    for (uint32_t from : {8000u, 22050u, 44100u, 48000u}) {
        SCOPED_TRACE(from);
        const std::vector<int16_t> out = Resample(Tone(1000, from, 0.5), from, 16000);
        EXPECT_NEAR(static_cast<double>(out.size()), 8000, 1);
        EXPECT_NEAR(Strength(out, 1000, 16000), 10000, 300);
        EXPECT_NEAR(Rms(out), 10000 / std::sqrt(2), 300);
    }
}

TEST(Resample, WhatTheLowerRateCannotCarryIsRemoved) {
    // 11 kHz is above 16 kHz's Nyquist frequency: it must not fold down to 5 kHz.
    const std::vector<int16_t> out = Resample(Tone(11000, 44100, 0.5), 44100, 16000);
    EXPECT_LT(Rms(out), 150);
}

TEST(Resample, SameRateCopiesAndNoRateGivesNothing) {
    const std::vector<int16_t> in = {1, 2, 3};
    EXPECT_EQ(Resample(in, 16000, 16000), in);
    EXPECT_TRUE(Resample(in, 0, 16000).empty());
    EXPECT_TRUE(Resample(in, 16000, 0).empty());
}

} // namespace
} // namespace lexipond::speech
