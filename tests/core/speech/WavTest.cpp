// SPDX-License-Identifier: GPL-3.0-or-later
// WAV files: what we write reads back; the formats people record in are taken
// and mixed to mono; damaged and unsupported files are refused with a reason.
#include "core/speech/Wav.h"

#include "TestSupport.h"

#include <cstring>

namespace lexipond::speech {
namespace {

using namespace lexipond::testing;

void Put(std::string& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A canonical header and data chunk; the sample bytes are the caller's.
std::string WavBytes(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
                     const std::string& data) {
    std::string bytes = "RIFF";
    Put(bytes, static_cast<uint32_t>(36 + data.size()), 4);
    bytes += "WAVEfmt ";
    Put(bytes, 16, 4);
    Put(bytes, format, 2);
    Put(bytes, channels, 2);
    Put(bytes, rate, 4);
    Put(bytes, rate * channels * (bits / 8), 4);
    Put(bytes, channels * (bits / 8), 2);
    Put(bytes, bits, 2);
    bytes += "data";
    Put(bytes, static_cast<uint32_t>(data.size()), 4);
    return bytes + data;
}

TEST(Wav, WhatIsWrittenReadsBack) {
    TempFolder folder;
    const PcmAudio audio{{0, 1, -1, 32767, -32768, 1234}, 22050};
    std::string reason;
    ASSERT_EQ(WriteWav(folder / "a.wav", audio, reason), WavWrite::Written) << reason;
    const WavFile read = ReadWav(folder / "a.wav");
    ASSERT_EQ(read.outcome, WavRead::Read) << read.reason;
    EXPECT_EQ(read.audio.samples, audio.samples);
    EXPECT_EQ(read.audio.sampleRate, 22050u);
    EXPECT_EQ(WriteWav(folder / "no/such/folder.wav", audio, reason), WavWrite::Failed);
}

TEST(Wav, WideAndFloatSamplesAndStereoBecomeMono16Bit) {
    TempFolder folder;
    std::string stereo24; // left half scale, right silent: mono is a quarter scale
    Put(stereo24, 0x400000, 3);
    Put(stereo24, 0, 3);
    std::string float32;
    float half = -0.5f;
    uint32_t raw;
    std::memcpy(&raw, &half, 4);
    Put(float32, raw, 4);
    std::string pcm32;
    Put(pcm32, 0x20000000, 4); // a quarter scale
    const struct {
        const char* name;
        std::string bytes;
        int16_t sample;
    } rows[] = {{"24-bit stereo", WavBytes(1, 2, 48000, 24, stereo24), 8192},
                {"32-bit float", WavBytes(3, 1, 8000, 32, float32), -16384},
                {"32-bit PCM", WavBytes(1, 1, 44100, 32, pcm32), 8192}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(folder / "x.wav", row.bytes);
        const WavFile read = ReadWav(folder / "x.wav");
        ASSERT_EQ(read.outcome, WavRead::Read) << read.reason;
        ASSERT_EQ(read.audio.samples.size(), 1u);
        EXPECT_EQ(read.audio.samples[0], row.sample);
    }
}

TEST(Wav, DamagedAndUnsupportedFilesAreRefusedWithAReason) {
    TempFolder folder;
    const std::string good = WavBytes(1, 1, 16000, 16, std::string(8, '\1'));
    const std::string dataFirst = good.substr(0, 12) + good.substr(36) + good.substr(12, 24);
    std::string oddBlock = good;
    oddBlock[32] = 3; // block size 3 for one 16-bit channel
    const struct {
        const char* name;
        std::string bytes;
        WavRead outcome;
        const char* reason;
    } rows[] = {
        {"cut short", good.substr(0, good.size() - 3), WavRead::Damaged, "cut short"},
        {"not RIFF", "RIFX" + good.substr(4), WavRead::Damaged, "not a RIFF/WAVE file"},
        {"empty", "", WavRead::Damaged, "not a RIFF/WAVE file"},
        {"data first", dataFirst, WavRead::Damaged, "before the fmt chunk"},
        {"block size", oddBlock, WavRead::Damaged, "block size"},
        {"odd data size", WavBytes(1, 1, 16000, 16, std::string(3, '\1')), WavRead::Damaged,
         "ends inside a sample"},
        {"no data", good.substr(0, 36), WavRead::Damaged, "no data chunk"},
        {"8-bit", WavBytes(1, 1, 16000, 8, "ab"), WavRead::Unsupported, "8-bit PCM"},
        {"96 kHz", WavBytes(1, 1, 96000, 16, "ab"), WavRead::Unsupported, "96000 Hz"},
        {"A-law", WavBytes(6, 1, 8000, 16, "ab"), WavRead::Unsupported, "sample format 6"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes = row.bytes;
        if (std::string(row.name) == "no data") // the header still claims the whole file
            bytes.replace(4, 4, std::string("\x1c\0\0\0", 4));
        WriteBytes(folder / "x.wav", bytes);
        const WavFile read = ReadWav(folder / "x.wav");
        EXPECT_EQ(read.outcome, row.outcome);
        EXPECT_NE(read.reason.find(row.reason), std::string::npos) << read.reason;
        EXPECT_TRUE(read.audio.samples.empty());
    }
    EXPECT_EQ(ReadWav(folder / "missing.wav").outcome, WavRead::CannotOpen);
}

} // namespace
} // namespace lexipond::speech
