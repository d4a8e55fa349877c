#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving "dLexipond.dat": "WORD1" + three version digits + the block.
// Works on the caller's block and keeps nothing. Start-up loads before the
// worker runs; the program saves on the window thread, the block's only writer,
// whenever a setting changes and at the end.
#include "core/settings/Settings.h"

#include <string>

namespace lexipond {

inline constexpr char kSettingsFileName[] = "dLexipond.dat";
inline constexpr char kBackupSuffix[] = " Bak";

enum SettingsLoadResult {
    SettingsLoaded,   // read from a well-formed file (old levels migrated)
    SettingsNotFound, // defaults applied; the caller shows the first-run welcome
    SettingsBadMagic, // defaults applied; no welcome
};

// dataFolder and programFolder end with '/'. The data folder's file when it can
// be opened for reading, else the program folder's (whether it exists or not).
std::string ResolveSettingsPath(const std::string& dataFolder, const std::string& programFolder,
                                const char* fileName);
// Sets the documented defaults; every other byte of the block is left alone.
void ApplyDefaultSettings(SettingsBlock& settings);
// Renumbers the level of a file older than version 100.
void MigrateLevel(SettingsBlock& settings);
// Loads into settings, which holds the block's starting bytes (all zero at start-up).
SettingsLoadResult LoadSettingsFile(SettingsBlock& settings, const std::string& dataFolder,
                                    const std::string& programFolder);
// Whether the file at path is a settings file as this program writes it: 1008
// bytes starting with "WORD1". Only such a file may become a backup.
bool SettingsFileIsWhole(const std::string& path);

// When `backUp` is set and the old file is whole, copies it to "<name> Bak"
// first (a damaged old file never replaces a good backup). Then writes the new
// file beside the old one and renames it into place, so an interrupted save
// leaves a whole file. true when the new file is in place. Always writes to
// the data folder.
bool SaveSettingsFile(const SettingsBlock& settings, const std::string& dataFolder,
                      bool backUp = true);

} // namespace lexipond
