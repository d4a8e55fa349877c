#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Finds one spoken word in a stream of sound, the way listening hears the
// microphone: it waits for sound clearly above the room's own noise, keeps it
// (with a little from before, so the word's first sound is not cut), and ends
// the word after a stretch of quiet. Nothing heard for a while is a timeout.
// Written here rather than taken from PocketSphinx, whose voice detection
// runs inside a decoder fed as the sound arrives; the judge decodes a whole
// word once it has ended. Any sample rate; 10 ms frames. One thread at a time.
#include "core/speech/Pcm.h"

#include <cstdint>
#include <span>
#include <vector>

namespace lexipond::speech {

struct EndpointSettings {
    double minSpeechDbfs = -45; // quieter is never speech (the judge's silence)
    double aboveNoiseDb = 12;   // speech stands this far above the noise floor
    int startMs = 50;           // this long loud begins a word
    int endQuietMs = 400;       // this long quiet ends it (a pause inside a word is shorter)
    int leadMs = 250;           // kept from before the start
    int maxWordMs = 4000;       // a longer sound is cut here, judged, and taken as the new floor
    int waitMs = 10000;         // nothing heard this long: a timeout
};

enum class Endpoint {
    Waiting,  // for a word to begin
    Speaking, // a word has begun
    Word,     // a word has ended: Word() has it; Restart to hear the next
    TimedOut, // nothing heard for settings.waitMs; Restart to wait again
};

class Endpointer {
  public:
    explicit Endpointer(uint32_t sampleRate, EndpointSettings settings = {});

    // Takes the next samples; returns where things stand after them. Once a
    // word has ended or the wait timed out, samples are ignored until Restart.
    Endpoint Feed(std::span<const int16_t> samples);
    // The word's samples, from the lead before its start to the end of the quiet after it.
    const PcmAudio& Word() const { return word_; }
    // Waits for a new word; the noise floor learnt so far is kept.
    void Restart();

  private:
    void Frame(std::span<const int16_t> frame);

    uint32_t rate_;
    EndpointSettings settings_;
    size_t frameSamples_;
    std::vector<int16_t> partial_; // an incomplete frame, kept for the next Feed
    std::vector<int16_t> lead_;    // the last leadMs while waiting
    PcmAudio word_;
    Endpoint state_ = Endpoint::Waiting;
    double floorDb_ = 0;
    bool floorKnown_ = false;
    std::vector<double> wordLevels_; // each frame's level since the word began
    int loudFrames_ = 0, quietFrames_ = 0, waitedFrames_ = 0, wordFrames_ = 0;
};

// The loudness of samples: RMS in dB below full scale, -96 for digital silence.
double LevelDbfs(std::span<const int16_t> samples);

} // namespace lexipond::speech
