// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the settings file: loading gives usable values and keeps the
// file's bytes where they are sound, and a save writes a file that loads back
// to the same block.
#include "FuzzSupport.h"
#include "core/settings/SettingsFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace lexipond;

void Check(bool condition, const char* what) {
    fuzz::Check(condition, "settings", what);
}

struct Workspace {
    fuzz::ScratchFolder scratch{"settings"};
    const std::filesystem::path& folder = scratch.path;
    std::string data;
    std::string program;
    Workspace() {
        std::filesystem::create_directories(folder / "data");
        std::filesystem::create_directories(folder / "program");
        data = (folder / "data").string() + "/";
        program = (folder / "program").string() + "/";
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Workspace space;
    const std::string path = space.data + kSettingsFileName;
    fuzz::WriteInput(path, data, size);
    SettingsBlock block{};
    const SettingsLoadResult result = LoadSettingsFile(block, space.data, space.program);
    const bool magic = size >= 5 && std::memcmp(data, "WORD1", 5) == 0;
    Check(result == (magic ? SettingsLoaded : SettingsBadMagic), "wrong load result");
    Check(block.level >= 0 && block.level <= 6, "level out of range");
    Check(block.currentUser >= 0 && block.currentUser <= 4, "user out of range");
    Check(block.transparencyAlpha >= 0 && block.transparencyAlpha <= 255, "alpha out of range");
    for (const auto& name : block.userNames)
        Check(std::memchr(name, 0, kUserNameSize) != nullptr, "unterminated name");
    // Unused bytes come from the file when it holds them, else stay zero.
    const auto* bytes = reinterpret_cast<const uint8_t*>(&block);
    for (size_t offset : {size_t{16}, size_t{30}, size_t{600}, size_t{999}}) {
        const uint8_t expected = magic && size > 8 + offset ? data[8 + offset] : 0;
        Check(bytes[offset] == expected, "an unused byte changed");
    }

    Check(SaveSettingsFile(block, space.data), "save failed");
    Check(std::filesystem::file_size(path) == 1008, "saved file has the wrong size");
    SettingsBlock again{};
    Check(LoadSettingsFile(again, space.data, space.program) == SettingsLoaded, "reload failed");
    Check(std::memcmp(&again, &block, sizeof block) == 0, "reload differs from the save");
    return 0;
}
