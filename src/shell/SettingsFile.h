#pragma once
// Loading and saving "dLexipond.dat": "WORD1" + three version digits + the block.
#include <cstdio>
#include <string>

#include "shell/Settings.h"

namespace lexipond {

inline constexpr char kSettingsFileName[] = "dLexipond.dat";

enum SettingsLoadResult {
    SettingsLoaded,   // read from a well-formed file (old levels migrated)
    SettingsNotFound, // defaults applied; the caller shows the first-run welcome
    SettingsBadMagic, // defaults applied; no welcome
};

// dataFolder and programFolder end with '/'.
std::string ResolveSettingsPath(const std::string& dataFolder, const std::string& programFolder,
                                const char* fileName);
int CheckSettingsHeader(std::FILE* file); // 1001 wrong magic, 1000 version "100", else the version
void ApplyDefaultSettings(SettingsBlock& settings);
void MigrateLevel(SettingsBlock& settings);
SettingsLoadResult LoadSettingsFile(SettingsBlock& settings, const std::string& dataFolder,
                                    const std::string& programFolder);
// Backs the old file up as "<name> Bak", then replaces the file safely. true when written.
bool SaveSettingsFile(const SettingsBlock& settings, const std::string& dataFolder);

} // namespace lexipond
