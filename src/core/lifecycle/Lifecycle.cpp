#include "core/lifecycle/Lifecycle.h"

#include "core/words/ImportWordFile.h"
#include "core/platform/FileCopy.h"
#include "core/platform/Folders.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"
#include "core/settings/SettingsFile.h"

namespace lexipond {

Folders FindFolders(const std::string& programFolder) {
    Folders folders{programFolder, programFolder};
    if (platform::IsOnRemovableMedia(programFolder))
        return folders; // a stick carries its data with it
    bool perUser = platform::CanReadFile(programFolder + kDefSetFileName) ||
                   !platform::FolderIsWritable(programFolder);
    if (perUser) {
        folders.dataFolder = platform::UserDataFolder();
        platform::CreateFolders(folders.dataFolder); // a failure shows when the database is made
    }
    return folders;
}

std::string DamagedFileName(const std::string& path, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return path + " damaged-" + stamp;
}

namespace {

// Moves an unreadable database aside so that nothing in it is lost when a new
// one takes its name. false when it could not be kept.
bool KeepDamagedDatabase(const std::string& path) {
    std::string kept = DamagedFileName(path, std::time(nullptr));
    for (int attempt = 1; attempt < 100; ++attempt) {
        if (platform::RenameFileNoReplace(path, kept))
            return true;
        if (platform::FileExists(kept))
            kept = DamagedFileName(path, std::time(nullptr)) + "-" + std::to_string(attempt);
        else
            break;
    }
    // The folder refused a rename: a copy keeps the bytes as well.
    return !platform::FileExists(kept) && platform::CopyFileReplacing(path, kept);
}

bool OpenOrCreateDatabase(RecordFile& db, const std::string& path) {
    if (OpenRecordFile(db, path, Access::ReadWrite) == OpenResult::Opened)
        return true;
    if (platform::FileExists(path) && !KeepDamagedDatabase(path))
        return false;
    db.fileName = path;
    CreateWordDatabase(db);
    return db.view != nullptr;
}

} // namespace

StartupOutcome LoadSettingsAndWords(RecordFile& db, SettingsBlock& settings, const Folders& folders,
                                    const StartupDialogs& dialogs) {
    if (LoadSettingsFile(settings, folders.dataFolder, folders.programFolder) == SettingsNotFound) {
        if (dialogs.welcome && dialogs.welcome() == 2 && dialogs.openReadMe)
            dialogs.openReadMe();
    }
    if (!OpenOrCreateDatabase(db, folders.dataFolder + kWordDatabaseName))
        return StartupOutcome::EndSilently;
    if (db.liveCount < kMinimumWords) {
        ImportWordFile(db, (folders.programFolder + kImportFileName).c_str());
        SortRecords(db, kFieldWord);
    }
    if (db.liveCount < kMinimumWords) {
        if (dialogs.cannotFindImport)
            dialogs.cannotFindImport();
        CloseRecordFile(db);
        return StartupOutcome::EndAfterMessage;
    }
    return StartupOutcome::Ready;
}

void ShutdownSave(RecordFile& db, const SettingsBlock& settings, const std::string& dataFolder,
                  std::recursive_mutex* lock) {
    SaveSettingsFile(settings, dataFolder);
    {
        std::unique_lock<std::recursive_mutex> guard;
        if (lock)
            guard = std::unique_lock<std::recursive_mutex>(*lock);
        CloseRecordFile(db);
    }
    if (db.fileName.empty())
        return;
    platform::StampLastWriteTime(db.fileName);
    platform::CopyFileReplacing(db.fileName, db.fileName + kBackupSuffix);
}

} // namespace lexipond
