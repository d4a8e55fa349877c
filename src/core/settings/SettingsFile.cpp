// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/SettingsFile.h"

#include "core/platform/FileCopy.h"
#include "core/platform/FileMapping.h"
#include "core/platform/Folders.h"
#include "core/text/TextHelpers.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace lexipond {

namespace {

constexpr char kMagic[] = "WORD1";
constexpr char kCurrentVersion[] = "100";
constexpr size_t kHeaderSize = 8;
constexpr char kDefaultNames[kUserCount][8] = {"Zov", "Quen", "Pelty", "Rondel", "Vimsa"};
constexpr int32_t kDefaultLevel = 3;
constexpr int32_t kDefaultAlpha = 75;
constexpr int kCurrentVersionNumber = 1000; // what the header's version counts as when current

struct Header {
    bool magicOk = false;
    bool current = false;
    int version = 0;
};

Header ReadHeader(std::FILE* file) {
    Header header;
    char bytes[kHeaderSize] = {};
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return header;
    const size_t got = std::fread(bytes, 1, kHeaderSize, file);
    if (got < 5 || std::memcmp(bytes, kMagic, 5) != 0)
        return header;
    header.magicOk = true;
    // The version is compared and converted as a text: what was read, up to a zero byte.
    char version[4] = {};
    std::memcpy(version, bytes + 5, got - 5);
    header.current = std::strcmp(version, kCurrentVersion) == 0;
    header.version = header.current ? kCurrentVersionNumber : TextToNumber(version);
    return header;
}

// Values that other code uses as indexes or window parameters are brought back
// into range, and every name gets its terminator, whatever the file held.
void RepairSettings(SettingsBlock& settings) {
    if (settings.level < 0 || settings.level >= kLevelCount)
        settings.level = kDefaultLevel;
    if (settings.currentUser < 0 || settings.currentUser >= kUserCount)
        settings.currentUser = 0;
    if (settings.transparencyAlpha < 0 || settings.transparencyAlpha > 255)
        settings.transparencyAlpha = kDefaultAlpha;
    for (auto& name : settings.userNames)
        if (!std::memchr(name, '\0', kUserNameSize))
            name[kUserNameSize - 1] = '\0';
}

// A block cut short by the end of the file: every field that did not arrive
// whole takes its default instead of a mix of file bytes and zeros.
void FillMissingFields(SettingsBlock& settings, const SettingsBlock& defaults, size_t present) {
    auto restore = [&](size_t offset, size_t size) {
        if (present < offset + size)
            std::memcpy(reinterpret_cast<char*>(&settings) + offset,
                        reinterpret_cast<const char*>(&defaults) + offset, size);
    };
    restore(offsetof(SettingsBlock, confirmQuit), 4);
    restore(offsetof(SettingsBlock, onTop), 4);
    restore(offsetof(SettingsBlock, transparent), 4);
    restore(offsetof(SettingsBlock, transparencyAlpha), 4);
    restore(offsetof(SettingsBlock, level), 4);
    restore(offsetof(SettingsBlock, currentUser), 4);
    restore(offsetof(SettingsBlock, windowPlacement), sizeof(WindowPlacement));
    for (size_t i = 0; i < kUserCount; ++i)
        restore(offsetof(SettingsBlock, userNames) + i * kUserNameSize, kUserNameSize);
}

} // namespace

std::string ResolveSettingsPath(const std::string& dataFolder, const std::string& programFolder,
                                const char* fileName) {
    std::string path = dataFolder + fileName;
    return platform::CanReadFile(path) ? path : programFolder + fileName;
}

void ApplyDefaultSettings(SettingsBlock& settings) {
    settings.windowPlacement.minPositionX = kNeverPlaced;
    settings.confirmQuit = 0;
    settings.level = kDefaultLevel;
    settings.transparencyAlpha = kDefaultAlpha;
    settings.currentUser = 0;
    settings.transparent = 0;
    settings.onTop = 0;
    for (int i = 0; i < kUserCount; ++i)
        CopyText(kDefaultNames[i], settings.userNames[i]);
}

void MigrateLevel(SettingsBlock& settings) {
    switch (settings.level) {
    case 1:
        settings.level = 2;
        break;
    case 3:
        settings.level = 4;
        break;
    case 4:
        settings.level = 6;
        break;
    default:
        break;
    }
}

SettingsLoadResult LoadSettingsFile(SettingsBlock& settings, const std::string& dataFolder,
                                    const std::string& programFolder) {
    const std::string path = ResolveSettingsPath(dataFolder, programFolder, kSettingsFileName);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        ApplyDefaultSettings(settings);
        return SettingsNotFound;
    }
    const Header header = ReadHeader(file);
    if (!header.magicOk) {
        std::fclose(file);
        ApplyDefaultSettings(settings);
        return SettingsBadMagic;
    }
    SettingsBlock loaded = settings;
    size_t present = 0;
    if (std::fseek(file, static_cast<long>(kHeaderSize), SEEK_SET) == 0)
        present = std::fread(&loaded, 1, sizeof(loaded), file);
    std::fclose(file);

    // Only a level that came from the old file is renumbered, never a default.
    const bool levelPresent = present >= offsetof(SettingsBlock, level) + sizeof(int32_t);
    if (!header.current && static_cast<unsigned>(header.version) < 100 && levelPresent)
        MigrateLevel(loaded);
    if (present < sizeof(loaded)) {
        SettingsBlock defaults = settings;
        ApplyDefaultSettings(defaults);
        FillMissingFields(loaded, defaults, present);
    }
    RepairSettings(loaded);
    settings = loaded;
    return SettingsLoaded;
}

bool SettingsFileIsWhole(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char bytes[kHeaderSize + sizeof(SettingsBlock) + 1];
    const size_t got = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    return got == kHeaderSize + sizeof(SettingsBlock) && std::memcmp(bytes, kMagic, 5) == 0;
}

bool SaveSettingsFile(const SettingsBlock& settings, const std::string& dataFolder, bool backUp) {
    const std::string path = dataFolder + kSettingsFileName;
    // The backup is a step of its own: its failure does not stop the save.
    if (backUp && SettingsFileIsWhole(path))
        platform::CopyFileReplacing(path, path + kBackupSuffix);
    return platform::ReplaceFileWith(path, [&settings](int fd) {
        char bytes[kHeaderSize + sizeof(SettingsBlock)];
        std::memcpy(bytes, "WORD1100", kHeaderSize);
        std::memcpy(bytes + kHeaderSize, &settings, sizeof(SettingsBlock));
        return platform::WriteFileBytes(platform::FileHandle{fd}, bytes, sizeof(bytes));
    });
}

} // namespace lexipond
