#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged files are never overwritten: each is moved aside under a dated name
// of its own ("<name> damaged-YYYYMMDD-HHMMSS", local time) and the user told,
// so that nothing in it is lost when a new file takes its name. Used for the
// word database, the settings and the answer history; no state between calls.
#include <ctime>
#include <string>

namespace lexipond::platform {

// "YYYYMMDD-HHMMSS" in local time: the stamp in the names of kept copies.
std::string LocalTimeStamp(std::time_t when);

// "<path> damaged-YYYYMMDD-HHMMSS" (local time).
std::string DamagedFileName(const std::string& path, std::time_t when);

// Moves the file at path aside under DamagedFileName (with "-1", "-2"... when
// that name is taken), or copies it there when the folder refuses the rename.
// Returns the name it is kept under, or "" when it could not be kept.
std::string KeepDamagedFile(const std::string& path);

} // namespace lexipond::platform
