// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/HistoryFile.h"

#include "core/platform/DamagedFile.h"
#include "core/platform/FileCopy.h"
#include "core/platform/FileMapping.h"
#include "core/platform/Folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace lexipond {

namespace {

using history::Connection;
using history::ErrorText;
using history::Execute;
using history::Statement;

// Step n brings the schema from version n to n + 1. Each runs inside the
// migration's one transaction, with the version it sets.
constexpr const char* kMigrationSteps[kHistorySchemaVersion] = {
    R"(CREATE TABLE answers (
           id             INTEGER PRIMARY KEY,
           at_utc         INTEGER NOT NULL,
           utc_offset_min INTEGER NOT NULL,
           learner_slot   INTEGER NOT NULL CHECK (learner_slot BETWEEN 0 AND 4),
           learner_name   BLOB    NOT NULL,
           word           BLOB    NOT NULL,
           answer         TEXT    NOT NULL CHECK (answer IN ('Correct', 'Incorrect', 'Skip')),
           undoes         INTEGER REFERENCES answers (id),
           level          INTEGER NOT NULL,
           judged_by      TEXT    NOT NULL CHECK (judged_by IN ('click', 'key', 'listening')),
           heard          TEXT);
       CREATE INDEX answers_by_learner_time ON answers (learner_slot, at_utc);
       CREATE INDEX answers_by_learner_word ON answers (learner_slot, word, id);
       CREATE UNIQUE INDEX answers_undone ON answers (undoes) WHERE undoes IS NOT NULL;
       PRAGMA user_version = 1;)",
};

// The log files SQLite keeps beside a database, by the suffix of their names.
// A log left beside a new file of the old name would be played into it.
constexpr const char* kLogSuffixes[] = {"-wal", "-journal"};
constexpr char kIndexSuffix[] = "-shm"; // rebuilt from the log: never worth keeping

enum class Attempt { Ready, Damaged, Unavailable };

bool IsDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// A failed statement (its preparation included, where a file that is no
// database first shows): damage when SQLite says so, else the file cannot be used.
Attempt Failure(sqlite3* db, std::string& reason) {
    const int code = sqlite3_extended_errcode(db);
    if ((code & 0xff) == SQLITE_NOTADB) {
        reason = "it is not a database";
        return Attempt::Damaged;
    }
    reason = (IsDamage(code) ? "" : "it cannot be used: ") + ErrorText(db);
    return IsDamage(code) ? Attempt::Damaged : Attempt::Unavailable;
}

bool IsEmptyFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && info.st_size == 0;
}

// Whether a file that is there and not empty starts with a whole SQLite
// header. SQLite itself takes a file shorter than a page for an empty
// database (and deletes its log): it would write over it.
bool HasDatabaseHeader(const std::string& path) {
    static constexpr char kMagic[] = "SQLite format 3"; // and its terminator: 16 bytes
    constexpr size_t kHeaderSize = 100;
    char header[kHeaderSize] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return true; // unreadable: SQLite will say why
    const size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    return got == kHeaderSize && std::memcmp(header, kMagic, sizeof kMagic) == 0;
}

Attempt TryOpen(const std::string& path, Connection& db, std::string& reason, bool& created) {
    created = !platform::FileExists(path) || IsEmptyFile(path);
    if (!created && !HasDatabaseHeader(path)) {
        reason = "it is not a database";
        return Attempt::Damaged;
    }
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db.reset(raw);
    if (opened != SQLITE_OK) {
        reason = "it cannot be opened: " + ErrorText(raw);
        return Attempt::Unavailable;
    }
    sqlite3_extended_result_codes(raw, 1);
    // A file we may not write is opened read-only without a word.
    if (sqlite3_db_readonly(raw, "main") == 1) {
        reason = "it cannot be written";
        return Attempt::Unavailable;
    }
    sqlite3_busy_timeout(raw, 5000); // lexipond-db may be reading
    // Nothing is written before the file is known to be ours: one that is
    // not is kept aside byte for byte.
    if (!created) {
        Statement check(raw, "PRAGMA quick_check");
        if (check.Step() != SQLITE_ROW)
            return Failure(raw, reason);
        if (const std::string verdict = check.Bytes(0); verdict != "ok") {
            reason = "it fails its check: " + verdict;
            return Attempt::Damaged;
        }
    }
    switch (MigrateHistory(raw, reason)) {
    case Migration::Current:
    case Migration::Migrated:
        break;
    case Migration::NotOurs:
    case Migration::Newer:
        return Attempt::Damaged;
    case Migration::Failed:
        // The check passed: a failure here is the disk's or the folder's.
        reason = "it cannot be used: " + reason;
        return Attempt::Unavailable;
    }
    {
        // WAL: a commit appends to the log, and a kill at any moment leaves
        // the last whole commit; readers never block the writer. A file keeps
        // its mode, so this changes the file only when it was just made.
        Statement mode(raw, "PRAGMA journal_mode = WAL");
        if (mode.Step() != SQLITE_ROW)
            return Failure(raw, reason);
        if (mode.Bytes(0) != "wal") {
            reason = "it cannot keep a write-ahead log";
            return Attempt::Unavailable;
        }
    }
    // NORMAL, not FULL: with the log, NORMAL still never damages the file and
    // loses nothing when the program is killed (a commit is in the system's
    // cache at once); only a power cut may cost the last answers before the
    // next checkpoint. FULL would wait for the disk after every answer.
    if (Execute(raw, "PRAGMA synchronous = NORMAL") != SQLITE_OK)
        return Failure(raw, reason);
    return Attempt::Ready;
}

// Keeps the damaged file and its log aside together (the log under the kept
// name, where SQLite looks for it), so that nothing of it is lost and nothing
// of it is played into the new file. "" when the file could not be kept.
std::string SetAside(const std::string& path) {
    const std::string kept = platform::KeepDamagedFile(path);
    if (kept.empty())
        return "";
    for (const char* suffix : kLogSuffixes)
        if (platform::FileExists(path + suffix) &&
            !platform::RenameFileNoReplace(path + suffix, kept + suffix))
            platform::RemoveFile((path + suffix).c_str());
    platform::RemoveFile((path + kIndexSuffix).c_str());
    return kept;
}

// A log without its database (the file was deleted or emptied) is kept
// aside too: SQLite would play it into a new file, or delete it.
void SetAsideOrphanLogs(const std::string& path) {
    if (platform::FileExists(path) && !IsEmptyFile(path))
        return;
    for (const char* suffix : kLogSuffixes)
        if (platform::FileExists(path + suffix) && platform::KeepDamagedFile(path + suffix).empty())
            platform::RemoveFile((path + suffix).c_str());
    platform::RemoveFile((path + kIndexSuffix).c_str());
}

// The schema version, or nullopt when it cannot be read.
std::optional<int64_t> SchemaVersion(sqlite3* db) {
    Statement version(db, "PRAGMA user_version");
    if (version.Step() != SQLITE_ROW)
        return std::nullopt;
    return version.Int(0);
}

// Whether the file holds no table, index or view yet; nullopt when unknown.
std::optional<bool> SchemaIsEmpty(sqlite3* db) {
    Statement tables(db, "SELECT count(*) FROM sqlite_schema");
    if (tables.Step() != SQLITE_ROW)
        return std::nullopt;
    return tables.Int(0) == 0;
}

} // namespace

Migration MigrateHistory(sqlite3* db, std::string& reason) {
    const std::optional<int64_t> version = SchemaVersion(db);
    if (!version) {
        reason = ErrorText(db);
        return Migration::Failed;
    }
    const int64_t found = *version;
    if (found == kHistorySchemaVersion)
        return Migration::Current;
    if (found > kHistorySchemaVersion) {
        reason = "it was written by a newer Lexipond (history version " + std::to_string(found) +
                 "; this one knows up to " + std::to_string(kHistorySchemaVersion) + ")";
        return Migration::Newer;
    }
    if (found < 0) {
        reason = "its version number is not one of Lexipond's";
        return Migration::NotOurs;
    }
    if (Execute(db, "BEGIN IMMEDIATE") != SQLITE_OK) {
        reason = ErrorText(db);
        return Migration::Failed;
    }
    if (found == 0) {
        // Version 0 is the empty file SQLite makes; anything in it is not ours.
        const std::optional<bool> empty = SchemaIsEmpty(db);
        if (empty != true) {
            reason = empty ? "it holds another program's tables" : ErrorText(db);
            Execute(db, "ROLLBACK");
            return empty ? Migration::NotOurs : Migration::Failed;
        }
    }
    for (int64_t step = found; step < kHistorySchemaVersion; ++step) {
        if (Execute(db, kMigrationSteps[step]) != SQLITE_OK) {
            reason = ErrorText(db);
            Execute(db, "ROLLBACK");
            return Migration::Failed;
        }
    }
    if (Execute(db, "COMMIT") != SQLITE_OK) {
        reason = ErrorText(db);
        Execute(db, "ROLLBACK");
        return Migration::Failed;
    }
    return Migration::Migrated;
}

HistoryOpenReport OpenHistoryForWriting(const std::string& dataFolder, Connection& db) {
    const std::string path = dataFolder + kHistoryFileName;
    HistoryOpenReport report;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        report.reason = path + " is not a file";
        return report;
    }
    SetAsideOrphanLogs(path);
    bool created = false;
    std::string reason;
    switch (TryOpen(path, db, reason, created)) {
    case Attempt::Ready:
        report.outcome = created ? HistoryOpen::Created : HistoryOpen::Opened;
        return report;
    case Attempt::Unavailable:
        db.reset();
        report.reason = reason;
        return report;
    case Attempt::Damaged:
        break;
    }
    db.reset(); // closed before it is renamed: its log is merged or left whole
    report.reason = reason;
    report.keptAs = SetAside(path);
    if (report.keptAs.empty()) {
        report.reason += "; it could not be kept aside: " + std::string(std::strerror(errno));
        return report;
    }
    std::string again;
    if (TryOpen(path, db, again, created) != Attempt::Ready) {
        db.reset();
        report.reason += "; a new one could not be made: " + again;
        return report;
    }
    report.outcome = HistoryOpen::SetAsideAndNew;
    return report;
}

} // namespace lexipond
