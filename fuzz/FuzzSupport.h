#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a scratch folder for the run, writing the input to
// a file, and a failed check that stops the fuzzer with a reason.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace lexipond::fuzz {

inline void Check(bool condition, const char* target, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s fuzz: %s\n", target, what);
        std::abort();
    }
}

// A fresh folder, removed with everything in it when the run ends.
struct ScratchFolder {
    std::filesystem::path path;
    explicit ScratchFolder(const char* target) {
        std::string pattern = std::string("/tmp/lexipond-") + target + "-fuzz-XXXXXX";
        Check(::mkdtemp(pattern.data()) != nullptr, target, "no temporary folder");
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

// Replaces the file at path with exactly the input bytes; false when it could not.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, out) == size;
    return std::fclose(out) == 0 && ok;
}

} // namespace lexipond::fuzz
