// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/recordfile/AtomicUpdate.h"

#include "core/platform/FileCopy.h"
#include "core/platform/FileMapping.h"
#include "core/recordfile/RecordFile.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexipond {

namespace {

// The real file behind a link, so the rename replaces the file and not the link.
std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The copy keeps the original's mode, and its owner when we may set it (root
// changing a user's database must not leave that user a file they cannot write).
void KeepOwnership(platform::FileHandle copy, platform::FileHandle original) {
    struct stat info {};
    if (fstat(original.fd, &info) != 0)
        return;
    (void)!fchmod(copy.fd, info.st_mode & 07777);
    if (geteuid() == 0)
        (void)!fchown(copy.fd, info.st_uid, info.st_gid);
}

// Closes the finished copy and puts it in `target`'s place.
bool Publish(RecordFile& copy, const std::string& partial, const std::string& target) {
    CloseRecordFile(copy);
    return platform::RenameIntoPlace(partial, target, platform::Durability::Synced);
}

} // namespace

UpdateOutcome UpdateAtomically(RecordFile& file, const RecordFileChange& change) {
    if (!file.view || !file.mappingHandle.writable)
        return UpdateOutcome::Failed;
    const std::string target = ResolvedPath(file.fileName);
    const std::string partial = platform::PartialFileName(target);

    platform::FileHandle out = platform::CreateFileAlways(partial.c_str());
    bool copied = static_cast<bool>(out);
    if (copied) {
        KeepOwnership(out, file.fileHandle);
        copied = platform::WriteFileBytes(out, file.view, file.mappingHandle.length);
        platform::CloseFile(out);
    }
    RecordFile copy;
    bool changed = true;
    copy.privateCopy = true;
    const bool done = copied &&
                      OpenRecordFile(copy, partial, Access::ReadWrite) == OpenResult::Opened &&
                      change(copy, changed) && copy.view;
    if (!done || !changed) {
        CloseRecordFile(copy);
        platform::RemoveFile(partial.c_str());
        return done ? UpdateOutcome::Unchanged : UpdateOutcome::Failed;
    }
    if (!Publish(copy, partial, target)) {
        platform::RemoveFile(partial.c_str());
        return UpdateOutcome::Failed;
    }
    // The old file's pages stay mapped until this reopen swaps them for the result.
    const std::string name = file.fileName;
    OpenRecordFile(file, name, Access::ReadWrite);
    return file.view ? UpdateOutcome::Replaced : UpdateOutcome::Failed;
}

UpdateOutcome ReplaceAtomically(RecordFile& file,
                                const std::function<bool(platform::FileHandle out)>& write,
                                bool reopen) {
    if (!file.view || !file.mappingHandle.writable)
        return UpdateOutcome::Failed;
    const std::string target = ResolvedPath(file.fileName);
    const std::string partial = platform::PartialFileName(target);
    platform::FileHandle out = platform::CreateFileAlways(partial.c_str());
    if (!out)
        return UpdateOutcome::Failed;
    KeepOwnership(out, file.fileHandle);
    const bool written = write(out);
    platform::CloseFile(out);
    if (!written || !platform::RenameIntoPlace(partial, target, platform::Durability::Synced)) {
        platform::RemoveFile(partial.c_str());
        return UpdateOutcome::Failed;
    }
    if (!reopen) {
        CloseRecordFile(file);
        return UpdateOutcome::Replaced;
    }
    const std::string name = file.fileName;
    OpenRecordFile(file, name, Access::ReadWrite);
    return file.view ? UpdateOutcome::Replaced : UpdateOutcome::Failed;
}

bool CreateAtomically(RecordFile& file, const std::string& path,
                      const std::function<bool(RecordFile& file)>& build, bool reopen) {
    CloseRecordFile(file);
    const std::string partial = platform::PartialFileName(path);
    RecordFile made;
    made.fileName = partial;
    made.privateCopy = true;
    if (!build(made) || !made.view || !Publish(made, partial, path)) {
        CloseRecordFile(made);
        platform::RemoveFile(partial.c_str());
        return false;
    }
    return !reopen || OpenRecordFile(file, path, Access::ReadWrite) == OpenResult::Opened;
}

} // namespace lexipond
