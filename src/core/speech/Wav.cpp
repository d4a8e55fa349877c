// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/speech/Wav.h"

#include "core/text/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace lexipond::speech {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// Longer than any spoken word needs; keeps a hostile header from asking for gigabytes.
constexpr size_t kLargestFile = 256u << 20;

uint16_t Load16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

WavFile Refuse(WavRead outcome, std::string reason) {
    WavFile file;
    file.outcome = outcome;
    file.reason = std::move(reason);
    return file;
}

struct Format {
    uint16_t code = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

// One sample scaled to [-1, 1].
double SampleAt(const uint8_t* at, const Format& format) {
    if (format.code == kFormatFloat) {
        if (format.bits == 32) {
            float value;
            const uint32_t raw = LoadLE32(at);
            std::memcpy(&value, &raw, sizeof value);
            return std::isfinite(value) ? value : 0.0;
        }
        double value;
        const uint64_t raw = LoadLE32(at) | (static_cast<uint64_t>(LoadLE32(at + 4)) << 32);
        std::memcpy(&value, &raw, sizeof value);
        return std::isfinite(value) ? value : 0.0;
    }
    switch (format.bits) {
    case 16:
        return static_cast<int16_t>(Load16(at)) / 32768.0;
    case 24: {
        const auto raw = static_cast<int32_t>((at[0] << 8) | (at[1] << 16) |
                                              (static_cast<uint32_t>(at[2]) << 24));
        return raw / 2147483648.0;
    }
    default:
        return static_cast<int32_t>(LoadLE32(at)) / 2147483648.0;
    }
}

// Checks a "fmt " chunk's body; empty when it is one this reader takes.
std::pair<WavRead, std::string> CheckFormat(const uint8_t* body, uint32_t size, Format& format) {
    if (size < 16)
        return {WavRead::Damaged, "the fmt chunk is " + std::to_string(size) + " bytes, under 16"};
    format.code = Load16(body);
    format.channels = Load16(body + 2);
    format.rate = LoadLE32(body + 4);
    const uint32_t byteRate = LoadLE32(body + 8);
    format.blockAlign = Load16(body + 12);
    format.bits = Load16(body + 14);
    if (format.code == kFormatExtensible) {
        if (size < 40)
            return {WavRead::Damaged,
                    "an extensible fmt chunk of " + std::to_string(size) + " bytes, under 40"};
        format.code = Load16(body + 24); // the sub-format GUID starts with the format code
    }
    if (format.code != kFormatPcm && format.code != kFormatFloat)
        return {WavRead::Unsupported, "sample format " + std::to_string(format.code) +
                                          " (only PCM and IEEE float are read)"};
    const bool bitsTaken = format.code == kFormatPcm
                               ? format.bits == 16 || format.bits == 24 || format.bits == 32
                               : format.bits == 32 || format.bits == 64;
    if (!bitsTaken)
        return {WavRead::Unsupported, std::to_string(format.bits) + "-bit " +
                                          (format.code == kFormatPcm ? "PCM" : "float") +
                                          " samples"};
    if (format.channels == 0)
        return {WavRead::Damaged, "the fmt chunk names no channels"};
    if (format.channels > 8)
        return {WavRead::Unsupported, std::to_string(format.channels) + " channels"};
    if (format.blockAlign != format.channels * (format.bits / 8))
        return {WavRead::Damaged, "block size " + std::to_string(format.blockAlign) +
                                      " does not fit the channels and sample size"};
    if (format.rate < 8000 || format.rate > 48000)
        return {WavRead::Unsupported,
                "sample rate " + std::to_string(format.rate) + " Hz (8000 to 48000 are read)"};
    if (byteRate != format.rate * format.blockAlign)
        return {WavRead::Damaged, "the byte rate does not match the sample rate"};
    return {WavRead::Read, {}};
}

} // namespace

WavFile ReadWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return Refuse(WavRead::CannotOpen, "cannot open " + path + ": " + std::strerror(errno));
    const auto length = static_cast<size_t>(std::max<std::streamoff>(0, in.tellg()));
    if (length > kLargestFile)
        return Refuse(WavRead::Unsupported, "larger than 256 MiB");
    std::vector<uint8_t> bytes(length);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length)))
        return Refuse(WavRead::CannotOpen, "cannot read " + path);

    if (length < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return Refuse(WavRead::Damaged, "not a RIFF/WAVE file");
    const uint64_t riffEnd = 8 + static_cast<uint64_t>(LoadLE32(bytes.data() + 4));
    if (riffEnd > length)
        return Refuse(WavRead::Damaged, "cut short: the header promises " +
                                            std::to_string(riffEnd) + " bytes, the file has " +
                                            std::to_string(length));
    Format format;
    bool haveFormat = false;
    uint64_t at = 12;
    while (at + 8 <= riffEnd) {
        const uint8_t* header = bytes.data() + at;
        const uint32_t size = LoadLE32(header + 4);
        const uint64_t bodyAt = at + 8;
        const std::string id(reinterpret_cast<const char*>(header), 4);
        if (bodyAt + size > riffEnd)
            return Refuse(WavRead::Damaged, "cut short: the " + id + " chunk runs past the end");
        if (id == "fmt ") {
            auto [outcome, reason] = CheckFormat(bytes.data() + bodyAt, size, format);
            if (outcome != WavRead::Read)
                return Refuse(outcome, reason);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return Refuse(WavRead::Damaged, "the data chunk comes before the fmt chunk");
            if (size % format.blockAlign != 0)
                return Refuse(WavRead::Damaged, "the data chunk ends inside a sample");
            WavFile file;
            file.outcome = WavRead::Read;
            file.audio.sampleRate = format.rate;
            const size_t frames = size / format.blockAlign;
            file.audio.samples.resize(frames);
            const size_t width = format.bits / 8;
            for (size_t f = 0; f < frames; ++f) {
                const uint8_t* frame = bytes.data() + bodyAt + f * format.blockAlign;
                double sum = 0;
                for (size_t c = 0; c < format.channels; ++c)
                    sum += SampleAt(frame + c * width, format);
                const double mono = std::clamp(sum / format.channels, -1.0, 1.0);
                file.audio.samples[f] =
                    static_cast<int16_t>(std::clamp(std::lround(mono * 32768.0), -32768L, 32767L));
            }
            return file;
        }
        at = bodyAt + size + (size & 1); // chunks are padded to an even length
    }
    return Refuse(WavRead::Damaged, haveFormat ? "no data chunk" : "no fmt chunk");
}

WavWrite WriteWav(const std::string& path, const PcmAudio& audio, std::string& reason) {
    const uint64_t dataSize = audio.samples.size() * 2;
    if (dataSize > 0xFFFFFFFFu - 36 || audio.sampleRate == 0) {
        reason = audio.sampleRate == 0 ? "no sample rate" : "too long for a WAV file";
        return WavWrite::Failed;
    }
    std::vector<uint8_t> bytes(44 + dataSize);
    uint8_t* h = bytes.data();
    std::memcpy(h, "RIFF", 4);
    StoreLE32(h + 4, static_cast<uint32_t>(36 + dataSize));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    StoreLE32(h + 16, 16);
    StoreLE32(h + 20, kFormatPcm | (1u << 16)); // PCM, one channel
    StoreLE32(h + 24, audio.sampleRate);
    StoreLE32(h + 28, audio.sampleRate * 2);
    StoreLE32(h + 32, 2 | (16u << 16)); // block size 2, 16 bits
    std::memcpy(h + 36, "data", 4);
    StoreLE32(h + 40, static_cast<uint32_t>(dataSize));
    for (size_t i = 0; i < audio.samples.size(); ++i) {
        const auto value = static_cast<uint16_t>(audio.samples[i]);
        h[44 + 2 * i] = static_cast<uint8_t>(value);
        h[45 + 2 * i] = static_cast<uint8_t>(value >> 8);
    }
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        reason = "cannot create " + path + ": " + std::strerror(errno);
        return WavWrite::Failed;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        reason = "cannot write " + path;
        return WavWrite::Failed;
    }
    return WavWrite::Written;
}

} // namespace lexipond::speech
