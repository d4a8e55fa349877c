#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program and its data live. Folder texts end with '/'. Stateless
// questions to the file system, asked at start-up from the window thread (and by
// the settings file when it picks its folder); any thread may ask.
#include <string>

namespace lexipond::platform {

// The folder of the running executable, symlinks resolved; "" when unknown.
std::string ExecutableFolder();

// Everything up to and including the last '/'; a text without '/' stays whole.
std::string FolderOfPath(const std::string& path);
// The folder a file lives in, without the trailing '/': "." for a bare name,
// "/" for a file at the root.
std::string FolderOfFile(const std::string& path);

// The per-user data folder: $XDG_DATA_HOME (or ~/.local/share) + "/Hollet/Lexipond/".
// Not created here.
std::string UserDataFolder();

// Creates the folder and its missing parents. true when it exists afterwards.
bool CreateFolders(const std::string& folder);

// Best effort: true when the path lies on a device the kernel calls removable
// (or one attached through USB). false when it cannot tell.
bool IsOnRemovableMedia(const std::string& path);

bool FileExists(const std::string& path);  // a regular file (or link to one)
bool CanReadFile(const std::string& path); // opened for reading, closed at once
bool FolderIsWritable(const std::string& folder);

} // namespace lexipond::platform
