#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shutdown steps that need no window: the folders, loading the
// settings and the word database, and the shutdown save. The caller owns the
// RecordFile and the settings block; these run on the window thread, start-up
// before the worker starts and the shutdown save after it has been joined.
#include "core/platform/DamagedFile.h"

#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace lexipond {

class AnswerHistory;
struct RecordFile;
struct SettingsBlock;
class WordStore;

inline constexpr char kDefSetFileName[] = "DefSet.txt";
inline constexpr char kImportFileName[] = "dImport.txt";
inline constexpr char kReadMeFileName[] = "ReadMe.htm";
inline constexpr unsigned kMinimumWords = 10;

struct Folders {
    std::string programFolder; // with a trailing '/', or "" when unknown
    std::string dataFolder;    // with a trailing '/'
};

// The data folder for a given program folder: beside the program, unless
// "DefSet.txt" is there (and the program is not on removable media) or the
// program folder cannot be written to and holds no word database; then the
// per-user folder, created here.
Folders FindFolders(const std::string& programFolder);

// What start-up asks or tells; the window layer words it in the user's language.
enum class StartupNotice {
    DamagedOfferBackup, // path is damaged (reason): restore the backup named other?
    DamagedKeptAside,   // the database was damaged (reason), kept as other, a new one started
    CannotRead,         // the data cannot be used as it is: path cannot be read ...
    CannotKeepAside,
    CannotWrite,
    CannotMap,
    CannotOpen,
};

struct StartupMessage {
    StartupNotice notice = StartupNotice::CannotOpen;
    std::string path;   // the file or folder concerned (for DamagedOfferBackup its name)
    std::string reason; // why, as the middle of a sentence
    std::string other;  // the backup offered, or the name the damaged file is kept as
};

// The fixed reasons start-up gives (the others are the system's words or the
// format check's), listed so the window layer can translate them.
inline constexpr const char* kStartupReasons[] = {
    "it is not a file", "the folder refused a new name", "permission denied",
    "no memory",        "it changed while opening",      "not a whole settings file"};

// What start-up needs to ask or tell through the window layer. Every member
// may be empty: a question then takes its default answer, a message is skipped.
struct StartupDialogs {
    std::function<int()> welcome;           // the first-run prompt: 1 or 2
    std::function<void()> openReadMe;       // after "View ReadMe"
    std::function<void()> cannotFindImport; // "Cannot find dImport.txt"
    // A file is damaged and a good backup exists: true (the default) restores it.
    std::function<bool(const StartupMessage& message)> offerRestore;
    // The data cannot be used as it is (cannot be written, read or mapped): the
    // program tells why and ends without touching anything.
    std::function<void(const StartupMessage& message)> cannotUseData;
    // Something the user should know that needs no answer (a damaged database
    // was kept aside and a new one started).
    std::function<void(const StartupMessage& message)> tell;
};

enum class StartupOutcome {
    Ready,           // settings loaded, the database open with at least 10 words
    EndSilently,     // the database can be neither opened nor created
    EndAfterMessage, // too few words, or the data cannot be used; the message was shown
};

// "<name> damaged-YYYYMMDD-HHMMSS" (local time).
using platform::DamagedFileName;

// Settings, the first-run welcome, the word database and the filling from
// "dImport.txt" while fewer than 10 words are live. The caller holds the data
// folder's lock. A damaged settings file or database (one that fails the
// format check) is offered its newest good backup; a damaged file is always
// kept under DamagedFileName, never overwritten. A database that exists but
// cannot be read, written or mapped ends the start with a message and is
// left alone. A missing database is made and filled in one step: a kill
// leaves no database or a whole one.
StartupOutcome LoadSettingsAndWords(RecordFile& db, SettingsBlock& settings, const Folders& folders,
                                    const StartupDialogs& dialogs);

// Writes the settings (`firstSave`: with their backup), closes the word
// database, stamps its last-write time and, when it passes the format check
// (checked as it is copied), copies it to "<name> Bak" and keeps dated backups of both
// files (pruning them is PruneBackupsInBackground's job). The worker
// must have stopped: the caller joins it first, so the database is closed
// once, and no other thread touches it.
void ShutdownSave(RecordFile& db, const SettingsBlock& settings, const std::string& dataFolder,
                  bool firstSave = true);

// The answer history for the run: starts its writer, which opens (or makes, or
// keeps aside when damaged and makes anew) "history.sqlite" in the data folder
// on its own thread, and hands it to the store, so that every answer and undo
// from now on is written. Returns at once. What became of the file is
// history.OpenReport() (the window layer words it for the user); the tutor
// goes on whatever it was, without a history when it is Unavailable.
void StartAnswerHistory(AnswerHistory& history, WordStore& store, const std::string& dataFolder);

// At the end of the run, on the thread that started it: takes the history
// from the store, writes the rows still queued and closes the file (which
// merges its write-ahead log into it).
void FinishAnswerHistory(AnswerHistory& history, WordStore& store);

// Deletes the dated backups beyond what is kept (Backups.h) on a thread of its
// own, so that neither the start nor the end of a run waits for it. The
// caller joins the thread before it lets go of the data folder's lock.
std::thread PruneBackupsInBackground(const std::string& dataFolder);

// For a save in the middle of the run (the session manager asks for one at
// any time, not only at a logout): makes the word database's changes reach
// the disk and leaves it open. `lock` (may be null) is held meanwhile, so that
// the worker does not replace the file under it. true when the database is
// closed or was synced.
bool SyncWordDatabase(const RecordFile& db, std::recursive_mutex* lock);

// Removes what interrupted writes of earlier runs left in the data folder.
// Only while holding the data folder's lock.
void RemoveLeftovers(const std::string& dataFolder);

} // namespace lexipond
