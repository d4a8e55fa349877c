#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the answer history's file for the writer (docs/history-file-format.md):
// the schema version and the migration to ours, and keeping a damaged file
// aside. The connection returned belongs to the thread that opened it.
#include "core/history/HistoryOpen.h"
#include "core/history/Sqlite.h"

#include <string>

namespace lexipond {

enum class Migration {
    Current,  // already at our version
    Migrated, // brought to our version (from 0: the empty file got the schema)
    NotOurs,  // version 0 but holding tables: some other program's database
    Newer,    // written by a later version: left as it is
    Failed,   // a statement failed; nothing changed (one transaction)
};

// Brings the schema to kHistorySchemaVersion in one transaction. reason says
// why it did not, in words for the user.
Migration MigrateHistory(sqlite3* db, std::string& reason);

// Opens (or creates) dataFolder + kHistoryFileName for writing, in WAL mode.
// A file that is not a database, fails PRAGMA quick_check, is not ours or is
// newer than this program is kept aside under its damaged name (with its
// write-ahead log) and a new one started. db is empty when Unavailable.
HistoryOpenReport OpenHistoryForWriting(const std::string& dataFolder, history::Connection& db);

} // namespace lexipond
