#pragma once
// Whole-file operations of the settings save and the shutdown save: backups, the
// safe replace and the time stamp. Each call opens and closes what it needs and
// keeps nothing; the program calls them from the window thread, after the worker
// has stopped using the files they touch.
#include <cstddef>
#include <functional>
#include <string>

namespace lexipond::platform {

// Fills a new file beside `target` through `fill`, syncs it and renames it over
// `target`. A failure leaves `target` as it was and removes the partial file.
bool ReplaceFileWith(const std::string& target, const std::function<bool(int fd)>& fill);

// Copies `from` over `to` by way of a temporary file in the target's folder, so
// an interrupted copy never leaves a half-written `to`. false when nothing was
// copied (source missing, disk full...); `to` is then as it was.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Sets the file's last-write time to now; its access time stays as it was.
bool StampLastWriteTime(const std::string& path);

// Renames without ever replacing an existing `to`; false when it failed (the
// file then stays where it was).
bool RenameFileNoReplace(const std::string& from, const std::string& to);

} // namespace lexipond::platform
