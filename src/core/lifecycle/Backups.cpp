// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/lifecycle/Backups.h"

#include "core/platform/FileCopy.h"
#include "core/platform/Folders.h"
#include "core/settings/SettingsFile.h"
#include "core/words/DatabaseCheck.h"
#include "core/words/WordDatabase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace lexipond {

namespace {

constexpr size_t kStampLength = 15; // YYYYMMDD-HHMMSS
constexpr std::time_t kWeek = 7 * 24 * 60 * 60;

const char* const kBackedUpFiles[] = {kWordDatabaseName, kSettingsFileName};

std::string BackupsFolder(const std::string& dataFolder) {
    return dataFolder + kBackupsFolderName + "/";
}

// The time in a "YYYYMMDD-HHMMSS" stamp (local time); -1 when it is none.
std::time_t ParseStamp(const std::string& stamp) {
    if (stamp.size() != kStampLength || stamp[8] != '-')
        return -1;
    for (size_t i = 0; i < kStampLength; ++i)
        if (i != 8 && (stamp[i] < '0' || stamp[i] > '9'))
            return -1;
    std::tm local{};
    local.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
    local.tm_mon = std::stoi(stamp.substr(4, 2)) - 1;
    local.tm_mday = std::stoi(stamp.substr(6, 2));
    local.tm_hour = std::stoi(stamp.substr(9, 2));
    local.tm_min = std::stoi(stamp.substr(11, 2));
    local.tm_sec = std::stoi(stamp.substr(13, 2));
    local.tm_isdst = -1;
    return std::mktime(&local);
}

bool SameState(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_size == y.st_size &&
           x.st_mtim.tv_sec == y.st_mtim.tv_sec && x.st_mtim.tv_nsec == y.st_mtim.tv_nsec;
}

// A hard link where the file system has them, else a copy (which keeps the
// source's last-write time, so that "unchanged" can still be told).
bool LinkOrCopy(const std::string& source, const std::string& target) {
    if (link(source.c_str(), target.c_str()) == 0)
        return true;
    if (!platform::CopyFileReplacing(source, target))
        return false;
    struct stat info {};
    if (stat(source.c_str(), &info) == 0) {
        const timespec times[2] = {info.st_atim, info.st_mtim};
        utimensat(AT_FDCWD, target.c_str(), times, 0);
    }
    return true;
}

} // namespace

std::string DatedBackupName(const std::string& fileName, std::time_t when) {
    return fileName + " " + LocalTimeStamp(when);
}

std::vector<DatedBackup> ListBackups(const std::string& dataFolder) {
    std::vector<DatedBackup> backups;
    const std::string folder = BackupsFolder(dataFolder);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return backups;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        for (const char* fileName : kBackedUpFiles) {
            const size_t prefix = std::strlen(fileName);
            if (name.size() != prefix + 1 + kStampLength || name.compare(0, prefix, fileName) != 0 ||
                name[prefix] != ' ')
                continue;
            const std::time_t when = ParseStamp(name.substr(prefix + 1));
            struct stat info {};
            if (when < 0 || stat((folder + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;
            backups.push_back({name, folder + name, fileName, when, uint64_t(info.st_size)});
        }
    }
    closedir(dir);
    std::sort(backups.begin(), backups.end(), [](const DatedBackup& a, const DatedBackup& b) {
        return a.when != b.when ? a.when > b.when : a.name > b.name;
    });
    return backups;
}

bool KeepDatedBackup(const std::string& dataFolder, const std::string& source,
                     const std::string& fileName, std::time_t when) {
    for (const DatedBackup& backup : ListBackups(dataFolder))
        if (backup.fileName == fileName) {
            if (SameState(backup.path, source))
                return true; // nothing changed since that copy
            break;
        }
    const std::string folder = BackupsFolder(dataFolder);
    if (!platform::CreateFolders(folder))
        return false;
    std::string target = folder + DatedBackupName(fileName, when);
    // Two saves within one second: the later one takes the next free second.
    for (std::time_t later = when; platform::FileExists(target) && later < when + 60;)
        target = folder + DatedBackupName(fileName, ++later);
    return !platform::FileExists(target) && LinkOrCopy(source, target);
}

int PruneBackups(const std::string& dataFolder, std::time_t now) {
    std::map<std::string, std::vector<DatedBackup>> byFile;
    for (DatedBackup& backup : ListBackups(dataFolder)) // newest first
        byFile[backup.fileName].push_back(std::move(backup));
    int removed = 0;
    for (auto& [fileName, backups] : byFile) {
        std::set<std::time_t> weeksKept; // week number counted back from now
        for (size_t i = 0; i < backups.size(); ++i) {
            const std::time_t age = now - backups[i].when;
            const std::time_t week = age < 0 ? 0 : age / kWeek;
            const bool recent = i < size_t(kRecentBackupsKept);
            const bool weekly = week < kWeeklyBackupsKept && weeksKept.insert(week).second;
            if (!recent && !weekly && unlink(backups[i].path.c_str()) == 0)
                ++removed;
        }
    }
    return removed;
}

bool BackupPassesCheck(const std::string& path, const std::string& fileName, std::string& reason) {
    if (fileName == kWordDatabaseName) {
        words::DatabaseFacts facts;
        return words::CheckWordDatabase(path, facts, reason) == words::CheckOutcome::Valid;
    }
    if (!SettingsFileIsWhole(path)) {
        reason = "is not a whole settings file";
        return false;
    }
    return true;
}

RestoreOutcome RestoreBackup(const std::string& dataFolder, const std::string& backupName,
                             std::time_t now, std::string& detail) {
    std::string source, fileName;
    for (const DatedBackup& backup : ListBackups(dataFolder))
        if (backup.name == backupName)
            source = backup.path, fileName = backup.fileName;
    for (const char* file : kBackedUpFiles)
        if (source.empty() && backupName == std::string(file) + kBackupSuffix &&
            platform::FileExists(dataFolder + backupName))
            source = dataFolder + backupName, fileName = file;
    if (source.empty()) {
        detail = "no backup named '" + backupName + "'";
        return RestoreOutcome::NoSuchBackup;
    }
    if (!BackupPassesCheck(source, fileName, detail)) {
        detail = backupName + " " + detail;
        return RestoreOutcome::Damaged;
    }
    const std::string target = dataFolder + fileName;
    // The present file is replaced by a rename below, never written, so a link keeps it.
    if (platform::FileExists(target) && !KeepDatedBackup(dataFolder, target, fileName, now)) {
        detail = "the present " + fileName + " could not be kept as a backup";
        return RestoreOutcome::Failed;
    }
    if (!platform::CopyFileReplacing(source, target)) {
        detail = "the copy failed (is the disk full?)";
        return RestoreOutcome::Failed;
    }
    return RestoreOutcome::Restored;
}

} // namespace lexipond
