#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file operations of the settings save and the shutdown save: backups, the
// safe replace and the time stamp. Each call opens and closes what it needs and
// keeps nothing; the program calls them from the window thread, after the worker
// has stopped using the files they touch.
#include <cstddef>
#include <functional>
#include <string>

namespace lexipond::platform {

// "<path>.part<pid>": the name of a replacement in progress.
std::string PartialFileName(const std::string& path);
// Removes what interrupted replacements of `path` left ("<path>.part<digits>").
// Only while holding the data lock, so that no other copy is writing one.
// Returns how many were removed.
int RemoveLeftoverPartialFiles(const std::string& path);

// Whether a replacement waits for its bytes to reach the disk before the
// rename. Either way a kill leaves the old file or the new one, never a mix;
// Synced also survives a power cut at once, Fast leaves that to the system's
// write-back: it swaps the names and removes the old file rather than renaming
// over it, since ext4 writes out a file renamed over another at once, which for
// a large copy costs as much as the copy. Use Fast only for files that are
// checked before they are trusted (a crash soon after may leave them empty).
enum class Durability { Synced, Fast };

// Makes a rename in the folder of `path` durable (the folder entry on disk).
void SyncFolderOf(const std::string& path);

// Puts a finished file in `target`'s place: (Synced: syncs it first), renames
// it over `target` in one step, (Synced: syncs the folder). false when the sync
// or the rename failed; `partial` is then still there for the caller to remove.
bool RenameIntoPlace(const std::string& partial, const std::string& target, Durability durability);

// Fills a new file beside `target` through `fill`, syncs it and renames it over
// `target`. A failure leaves `target` as it was and removes the partial file.
bool ReplaceFileWith(const std::string& target, const std::function<bool(int fd)>& fill,
                     Durability durability = Durability::Synced);

// Copies `from` over `to` by way of a temporary file in the target's folder, so
// an interrupted copy never leaves a half-written `to`. false when nothing was
// copied (source missing, disk full...); `to` is then as it was.
bool CopyFileReplacing(const std::string& from, const std::string& to,
                       Durability durability = Durability::Synced);

// Gives `to` the last-write time of `from`.
bool CopyLastWriteTime(const std::string& from, const std::string& to);

// Sets the file's last-write time to now; its access time stays as it was.
bool StampLastWriteTime(const std::string& path);

// Renames without ever replacing an existing `to`; false when it failed (the
// file then stays where it was).
bool RenameFileNoReplace(const std::string& from, const std::string& to);

} // namespace lexipond::platform
