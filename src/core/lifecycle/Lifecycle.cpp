// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/lifecycle/Lifecycle.h"

#include "core/history/AnswerHistory.h"
#include "core/lifecycle/Backups.h"
#include "core/platform/DamagedFile.h"
#include "core/platform/FileCopy.h"
#include "core/platform/FileMapping.h"
#include "core/platform/Folders.h"
#include "core/recordfile/AtomicUpdate.h"
#include "core/recordfile/PlaceRecords.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/WordStore.h"
#include "core/words/DatabaseCheck.h"
#include "core/words/ImportWordFile.h"
#include "core/words/WordDatabase.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexipond {

Folders FindFolders(const std::string& programFolder) {
    Folders folders{programFolder, programFolder};
    if (platform::IsOnRemovableMedia(programFolder))
        return folders; // a stick carries its data with it
    // A read-only program folder moves the data to the user's folder, unless
    // the learners' database is already there: it must never be hidden.
    const bool perUser = platform::CanReadFile(programFolder + kDefSetFileName) ||
                         (!platform::FolderIsWritable(programFolder) &&
                          !platform::FileExists(programFolder + kWordDatabaseName));
    if (perUser) {
        folders.dataFolder = platform::UserDataFolder();
        platform::CreateFolders(folders.dataFolder); // a failure shows when the database is made
    }
    return folders;
}

void RemoveLeftovers(const std::string& dataFolder) {
    for (const char* name : {kWordDatabaseName, kSettingsFileName})
        for (const char* suffix : {"", kBackupSuffix})
            platform::RemoveLeftoverPartialFiles(dataFolder + name + suffix);
}

namespace {

// A reason as the middle of a sentence: "Permission denied" -> "permission denied".
std::string Lowercased(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// The system's reason for an error number, as the middle of a sentence.
std::string Reason(int error) {
    return Lowercased(std::strerror(error));
}

StartupMessage CannotMessage(const std::string& path, StartupNotice what,
                             const std::string& reason) {
    return {what, path, reason, {}};
}

// The newest good copy of fileName: its " Bak", else the newest dated backup.
std::string NewestGoodBackup(const std::string& dataFolder, const std::string& fileName) {
    std::string reason;
    const std::string bak = dataFolder + fileName + kBackupSuffix;
    if (platform::FileExists(bak) && BackupPassesCheck(bak, fileName, reason))
        return bak;
    for (const DatedBackup& backup : ListBackups(dataFolder))
        if (backup.fileName == fileName && BackupPassesCheck(backup.path, fileName, reason))
            return backup.path;
    return "";
}

std::string ShortName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Offers the newest good backup of a damaged file; on yes the damaged file is
// kept aside and the backup takes its place. true when the backup is in place.
bool OfferRestore(const std::string& dataFolder, const std::string& fileName,
                  const std::string& reason, const StartupDialogs& dialogs) {
    const std::string backup = NewestGoodBackup(dataFolder, fileName);
    if (backup.empty())
        return false;
    const StartupMessage message{StartupNotice::DamagedOfferBackup, fileName, reason,
                                 ShortName(backup)};
    if (dialogs.offerRestore && !dialogs.offerRestore(message))
        return false;
    const std::string path = dataFolder + fileName;
    return !platform::KeepDamagedFile(path).empty() && platform::CopyFileReplacing(backup, path);
}

void RestoreDamagedSettings(const std::string& dataFolder, const StartupDialogs& dialogs) {
    const std::string path = dataFolder + kSettingsFileName;
    if (platform::FileExists(path) && !SettingsFileIsWhole(path))
        OfferRestore(dataFolder, kSettingsFileName, "not a whole settings file", dialogs);
}

// Creates the database and fills it from the word list as one step.
bool CreateFilledDatabase(RecordFile& db, const std::string& path, const std::string& wordList) {
    return CreateAtomically(db, path, [&wordList](RecordFile& made) {
        if (!CreateWordDatabase(made))
            return false;
        ImportWordFile(made, wordList.c_str());
        SortRecords(made, kFieldWord);
        // Too few words: no database at all, so the next start tries again.
        return made.liveCount >= kMinimumWords;
    });
}

enum class OpenStep { Opened, Missing, Ended };

// Opens an existing database, or tells why it cannot be used. A damaged one
// is offered its backup, or kept aside and reported as missing.
OpenStep OpenExistingDatabase(RecordFile& db, const std::string& dataFolder,
                              const StartupDialogs& dialogs) {
    const std::string path = dataFolder + kWordDatabaseName;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? OpenStep::Missing : OpenStep::Ended;
    const auto end = [&dialogs](const StartupMessage& message) {
        if (dialogs.cannotUseData)
            dialogs.cannotUseData(message);
        return OpenStep::Ended;
    };
    if (!S_ISREG(info.st_mode))
        return end(CannotMessage(path, StartupNotice::CannotRead, "it is not a file"));

    // A word placement that a kill cut short is finished before the check reads the file.
    FinishPlacementAt(path);
    words::DatabaseFacts facts;
    std::string reason;
    const words::CheckOutcome checked = words::CheckWordDatabase(path, facts, reason);
    if (checked == words::CheckOutcome::Missing) // there, but it cannot be read
        return end(CannotMessage(path, StartupNotice::CannotRead, Lowercased(reason)));
    if (checked == words::CheckOutcome::Damaged) {
        if (!OfferRestore(dataFolder, kWordDatabaseName, reason, dialogs)) {
            const std::string kept = platform::KeepDamagedFile(path);
            if (kept.empty())
                return end(CannotMessage(path, StartupNotice::CannotKeepAside,
                                         "the folder refused a new name"));
            if (dialogs.tell)
                dialogs.tell(
                    {StartupNotice::DamagedKeptAside, kWordDatabaseName, reason, ShortName(kept)});
            return OpenStep::Missing;
        }
    }
    // The folder is written during the run too (backups, all-or-nothing sorts).
    if (access(dataFolder.c_str(), W_OK) != 0)
        return end(CannotMessage(dataFolder, StartupNotice::CannotWrite, Reason(errno)));
    errno = 0;
    switch (OpenRecordFile(db, path, Access::ReadWrite)) {
    case OpenResult::Opened:
        break;
    case OpenResult::NotPermitted:
        return end(CannotMessage(path, StartupNotice::CannotWrite,
                                 errno ? Reason(errno) : "permission denied"));
    case OpenResult::NotMappable:
        return end(
            CannotMessage(path, StartupNotice::CannotMap, errno ? Reason(errno) : "no memory"));
    default:
        return end(CannotMessage(path, StartupNotice::CannotOpen,
                                 errno ? Reason(errno) : "it changed while opening"));
    }
    return OpenStep::Opened;
}

// Tops a database with fewer than ten words up from the word list, in one step.
void TopUpDatabase(RecordFile& db, const std::string& wordList) {
    UpdateAtomically(db, [&wordList](RecordFile& copy, bool& changed) {
        changed = ImportWordFile(copy, wordList.c_str()) > 0;
        if (changed)
            SortRecords(copy, kFieldWord);
        return true;
    });
}

} // namespace

StartupOutcome LoadSettingsAndWords(RecordFile& db, SettingsBlock& settings, const Folders& folders,
                                    const StartupDialogs& dialogs) {
    RestoreDamagedSettings(folders.dataFolder, dialogs);
    if (LoadSettingsFile(settings, folders.dataFolder, folders.programFolder) == SettingsNotFound) {
        if (dialogs.welcome && dialogs.welcome() == 2 && dialogs.openReadMe)
            dialogs.openReadMe();
    }
    const std::string path = folders.dataFolder + kWordDatabaseName;
    const std::string wordList = folders.programFolder + kImportFileName;
    switch (OpenExistingDatabase(db, folders.dataFolder, dialogs)) {
    case OpenStep::Ended:
        return StartupOutcome::EndAfterMessage;
    case OpenStep::Missing:
        if (!CreateFilledDatabase(db, path, wordList)) {
            // Nothing to fill it with, or the folder takes no file: end as before.
            db.fileName = path;
            if (platform::FileExists(wordList) && !platform::FolderIsWritable(folders.dataFolder))
                return StartupOutcome::EndSilently;
        }
        break;
    case OpenStep::Opened:
        if (db.liveCount < kMinimumWords)
            TopUpDatabase(db, wordList);
        break;
    }
    if (!db.view || db.liveCount < kMinimumWords) {
        if (dialogs.cannotFindImport)
            dialogs.cannotFindImport();
        CloseRecordFile(db);
        return StartupOutcome::EndAfterMessage;
    }
    return StartupOutcome::Ready;
}

bool SyncWordDatabase(const RecordFile& db, std::recursive_mutex* lock) {
    std::unique_lock<std::recursive_mutex> guard;
    if (lock)
        guard = std::unique_lock<std::recursive_mutex>(*lock);
    // fsync also writes the pages changed through the mapping: Linux keeps one
    // page cache for both.
    return !db.fileHandle || platform::SyncFile(db.fileHandle);
}

void ShutdownSave(RecordFile& db, const SettingsBlock& settings, const std::string& dataFolder,
                  bool firstSave) {
    SaveSettingsFile(settings, dataFolder, firstSave);
    CloseRecordFile(db);
    const std::time_t now = std::time(nullptr);
    const std::string settingsPath = dataFolder + kSettingsFileName;
    // The settings file is only ever replaced, never written in place, so it can be linked.
    if (SettingsFileIsWhole(settingsPath))
        KeepDatedBackup(dataFolder, settingsPath, kSettingsFileName, now);
    if (!db.fileName.empty()) {
        platform::StampLastWriteTime(db.fileName);
        // Only a good database becomes a backup: a worse copy never replaces a
        // better one. Checked while it is copied, so a large file is read once.
        const std::string bak = db.fileName + kBackupSuffix;
        std::string reason;
        if (words::CopyCheckedWordDatabase(db.fileName, bak, reason) ==
                words::CheckOutcome::Valid &&
            platform::CopyLastWriteTime(db.fileName, bak))
            KeepDatedBackup(dataFolder, bak, kWordDatabaseName, now);
    }
}

void StartAnswerHistory(AnswerHistory& history, WordStore& store, const std::string& dataFolder) {
    history.Start(dataFolder);
    store.SetHistory(&history);
}

void FinishAnswerHistory(AnswerHistory& history, WordStore& store) {
    store.SetHistory(nullptr);
    history.Close();
}

std::thread PruneBackupsInBackground(const std::string& dataFolder) {
    // Deleting an old copy of a large database takes a while: not at the end.
    return std::thread([dataFolder] { PruneBackups(dataFolder, std::time(nullptr)); });
}

} // namespace lexipond
