#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Dated copies of the word database and the settings in the data folder's
// "Backups" folder, beside the two " Bak" files: the newest 10 of each file
// and the newest of each of the last 8 weeks are kept. A copy is a hard link
// to a file that is never written again (a fresh " Bak", or a file about to
// be replaced), so keeping one costs no time at any size; a copy is made only
// where the folder cannot link.
//
// Callers hold the data folder's lock (the program for its run, lexipond-db
// for restore). No thread of its own; no state between calls.
#include "core/platform/DamagedFile.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace lexipond {

inline constexpr char kBackupsFolderName[] = "Backups";
inline constexpr int kRecentBackupsKept = 10;
inline constexpr int kWeeklyBackupsKept = 8;

struct DatedBackup {
    std::string name;     // "LPDB.lbf 20261207-101500": what the user names to restore
    std::string path;     // full path inside the Backups folder
    std::string fileName; // the file it is a copy of: "LPDB.lbf" or "dLexipond.dat"
    std::time_t when = 0; // local time in its name
    uint64_t size = 0;
};

// "YYYYMMDD-HHMMSS" in local time: the stamp in the names of kept copies.
using platform::LocalTimeStamp;

// "<fileName> YYYYMMDD-HHMMSS" in local time.
std::string DatedBackupName(const std::string& fileName, std::time_t when);

// Every dated backup in the data folder (ending in '/'), newest first.
std::vector<DatedBackup> ListBackups(const std::string& dataFolder);

// Keeps `source` as the dated backup of fileName taken at `when`, unless the
// newest dated backup of that file has the same size and last-write time
// (nothing changed since). `source` must not be written afterwards (it is
// linked, not copied). true when a backup of that state exists afterwards.
bool KeepDatedBackup(const std::string& dataFolder, const std::string& source,
                     const std::string& fileName, std::time_t when);

// Deletes the dated backups beyond the newest 10 of each file and the newest
// of each of the 8 weeks before `now`. Returns how many were deleted.
int PruneBackups(const std::string& dataFolder, std::time_t now);

enum class RestoreOutcome {
    Restored,     // the backup is in the file's place; the file before is a dated backup
    NoSuchBackup, // no backup of that name
    Damaged,      // the backup itself fails the file's check; nothing changed
    Failed,       // the copy could not be made (disk full...); nothing changed
};

// Puts the named dated backup (or a " Bak" file, named "LPDB.lbf Bak") in its
// file's place in the data folder, after keeping the present file as a dated
// backup taken at `now`. detail says why when it is not Restored.
RestoreOutcome RestoreBackup(const std::string& dataFolder, const std::string& backupName,
                             std::time_t now, std::string& detail);

// Whether a file is a good copy of the file it backs up: a word database that
// passes the format check, a settings file of the right size and magic.
bool BackupPassesCheck(const std::string& path, const std::string& fileName, std::string& reason);

} // namespace lexipond
