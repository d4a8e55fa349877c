#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// WAV files in and out. Reading is strict: RIFF/WAVE with a "fmt " chunk before
// its "data" chunk, every chunk inside the file, PCM of 16, 24 or 32 bits or
// IEEE float of 32 or 64 bits (plain or WAVE_FORMAT_EXTENSIBLE), 1 to 8
// channels at 8 to 48 kHz; the channels are averaged to mono 16-bit. Anything
// else is refused with a one-line reason. Writing makes mono 16-bit PCM.
// Any thread; nothing is kept between calls.
#include "core/speech/Pcm.h"

#include <string>

namespace lexipond::speech {

enum class WavRead {
    Read,
    CannotOpen,  // no such file, or it cannot be read
    Damaged,     // not a well-formed WAV file; reason says what is wrong
    Unsupported, // well-formed, but a format this reader does not take
};

struct WavFile {
    WavRead outcome = WavRead::CannotOpen;
    std::string reason; // empty when read
    PcmAudio audio;     // mono
};

WavFile ReadWav(const std::string& path);

enum class WavWrite { Written, Failed };

// Writes `audio` as mono 16-bit PCM, replacing the file; reason says why not.
WavWrite WriteWav(const std::string& path, const PcmAudio& audio, std::string& reason);

} // namespace lexipond::speech
