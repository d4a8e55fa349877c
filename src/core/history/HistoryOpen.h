#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The answer history's file, "history.sqlite" in the data folder beside the
// word database (docs/history-file-format.md), and what became of it when the
// program opened it: what the window layer needs to tell the user.
#include <string>

namespace lexipond {

inline constexpr char kHistoryFileName[] = "history.sqlite";
// PRAGMA user_version of the schema this program writes.
inline constexpr int kHistorySchemaVersion = 1;

enum class HistoryOpen {
    Opened,         // the file was there and good
    Created,        // there was none: a new one was made
    SetAsideAndNew, // it was damaged, not ours or newer: kept aside, a new one made
    Unavailable,    // no history this run (the folder or file cannot be written)
};

struct HistoryOpenReport {
    HistoryOpen outcome = HistoryOpen::Unavailable;
    std::string reason; // why it was set aside, or is unavailable; "" otherwise
    std::string keptAs; // SetAsideAndNew: where the old file is now
};


} // namespace lexipond
