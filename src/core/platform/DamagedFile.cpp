// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/DamagedFile.h"

#include "core/platform/FileCopy.h"
#include "core/platform/Folders.h"

namespace lexipond::platform {

std::string LocalTimeStamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

std::string DamagedFileName(const std::string& path, std::time_t when) {
    return path + " damaged-" + LocalTimeStamp(when);
}

std::string KeepDamagedFile(const std::string& path) {
    std::string kept = DamagedFileName(path, std::time(nullptr));
    for (int attempt = 1; attempt < 100; ++attempt) {
        if (RenameFileNoReplace(path, kept))
            return kept;
        if (FileExists(kept))
            kept = DamagedFileName(path, std::time(nullptr)) + "-" + std::to_string(attempt);
        else
            break;
    }
    // The folder refused a rename: a copy keeps the bytes as well.
    return !FileExists(kept) && CopyFileReplacing(path, kept) ? kept : "";
}

} // namespace lexipond::platform
