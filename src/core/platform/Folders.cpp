// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Folders.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace lexipond::platform {

namespace fs = std::filesystem;

std::string ExecutableFolder() {
    std::error_code error;
    fs::path exe = fs::canonical("/proc/self/exe", error);
    if (error)
        return {};
    return FolderOfPath(exe.string());
}

std::string FolderOfPath(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return path;
    return path.substr(0, slash + 1);
}

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

bool ReadsOne(const fs::path& file) {
    std::FILE* f = std::fopen(file.c_str(), "re");
    if (!f)
        return false;
    int c = std::fgetc(f);
    std::fclose(f);
    return c == '1';
}

} // namespace

std::string UserDataFolder() {
    std::string base;
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else
        base = HomeFolder() + "/.local/share";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/Hollet/Lexipond/";
}

bool CreateFolders(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    return fs::is_directory(folder, error);
}

bool IsOnRemovableMedia(const std::string& path) {
    struct stat info {};
    if (stat(path.empty() ? "." : path.c_str(), &info) != 0)
        return false;
    std::error_code error;
    std::string link = "/sys/dev/block/" + std::to_string(major(info.st_dev)) + ":" +
                       std::to_string(minor(info.st_dev));
    fs::path device = fs::canonical(link, error);
    if (error)
        return false; // no block device behind it (tmpfs, network, overlay...)
    if (device.string().find("/usb") != std::string::npos)
        return true;
    // A partition has no "removable" of its own; its disk (the parent) has.
    for (fs::path dir = device; !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
        if (fs::exists(dir / "removable", error))
            return ReadsOne(dir / "removable");
        if (dir.parent_path().filename() == "block")
            break;
    }
    return false;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CanReadFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

bool FolderIsWritable(const std::string& folder) {
    return access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

std::string FolderOfFile(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace lexipond::platform
