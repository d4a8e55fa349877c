// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/speech/Endpointer.h"

#include <algorithm>
#include <cmath>

namespace lexipond::speech {

double LevelDbfs(std::span<const int16_t> samples) {
    if (samples.empty())
        return -96;
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    const double rms = std::sqrt(sum / double(samples.size())) / 32768.0;
    return std::max(-96.0, 20 * std::log10(std::max(rms, 1e-9)));
}

Endpointer::Endpointer(uint32_t sampleRate, EndpointSettings settings)
    : rate_(std::max<uint32_t>(sampleRate, 100)), settings_(settings),
      frameSamples_(rate_ / 100) {
    word_.sampleRate = rate_;
}

void Endpointer::Restart() {
    state_ = Endpoint::Waiting;
    partial_.clear();
    lead_.clear();
    word_.samples.clear();
    wordLevels_.clear();
    loudFrames_ = quietFrames_ = waitedFrames_ = wordFrames_ = 0;
}

Endpoint Endpointer::Feed(std::span<const int16_t> samples) {
    while (!samples.empty() && (state_ == Endpoint::Waiting || state_ == Endpoint::Speaking)) {
        const size_t take = std::min(samples.size(), frameSamples_ - partial_.size());
        partial_.insert(partial_.end(), samples.begin(), samples.begin() + long(take));
        samples = samples.subspan(take);
        if (partial_.size() == frameSamples_) {
            Frame(partial_);
            partial_.clear();
        }
    }
    return state_;
}

void Endpointer::Frame(std::span<const int16_t> frame) {
    const double level = LevelDbfs(frame);
    if (!floorKnown_) {
        floorDb_ = level;
        floorKnown_ = true;
    }
    const auto frames = [](int ms) { return std::max(1, ms / 10); };
    const double loudAt = std::max(settings_.minSpeechDbfs, floorDb_ + settings_.aboveNoiseDb);
    // The end needs less: a word fades out well below where it began.
    const double quietBelow = std::max(settings_.minSpeechDbfs, floorDb_ + settings_.aboveNoiseDb / 2);

    if (state_ == Endpoint::Waiting) {
        // The floor follows a quieter room at once and a louder one slowly, so
        // a steady hum becomes the floor while a word does not.
        floorDb_ = level < floorDb_ ? level : floorDb_ + 0.02 * (level - floorDb_);
        lead_.insert(lead_.end(), frame.begin(), frame.end());
        // The lead before the word, and the loud frames that begin it.
        const size_t leadKeep =
            size_t(frames(settings_.leadMs) + frames(settings_.startMs)) * frameSamples_;
        if (lead_.size() > leadKeep + frameSamples_)
            lead_.erase(lead_.begin(), lead_.end() - long(leadKeep));
        loudFrames_ = level >= loudAt ? loudFrames_ + 1 : 0;
        if (loudFrames_ >= frames(settings_.startMs)) {
            state_ = Endpoint::Speaking;
            word_.samples = lead_; // the lead holds the loud frames too
            wordFrames_ = loudFrames_;
            wordLevels_.assign(size_t(loudFrames_), level);
            quietFrames_ = 0;
            lead_.clear();
        } else if (++waitedFrames_ >= frames(settings_.waitMs)) {
            state_ = Endpoint::TimedOut;
        }
        return;
    }
    word_.samples.insert(word_.samples.end(), frame.begin(), frame.end());
    ++wordFrames_;
    wordLevels_.push_back(level);
    quietFrames_ = level < quietBelow ? quietFrames_ + 1 : 0;
    if (quietFrames_ >= frames(settings_.endQuietMs)) {
        state_ = Endpoint::Word;
    } else if (wordFrames_ >= frames(settings_.maxWordMs)) {
        // No word is this long: a fan or a hum has started. Its middle level is
        // the room's new floor, or every wait would hear it as a word again.
        std::nth_element(wordLevels_.begin(), wordLevels_.begin() + long(wordLevels_.size() / 2),
                         wordLevels_.end());
        floorDb_ = wordLevels_[wordLevels_.size() / 2];
        state_ = Endpoint::Word;
    }
}

} // namespace lexipond::speech
