#pragma once
// Start-up and shutdown steps that need no window: the folders, loading the
// settings and the word database, and the shutdown save. The caller owns the
// RecordFile and the settings block; these run on the window thread, start-up
// before the worker starts and the shutdown save after it has been joined.
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

namespace lexipond {

struct RecordFile;
struct SettingsBlock;

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
// program folder cannot be written to; then the per-user folder, created here.
Folders FindFolders(const std::string& programFolder);

// What start-up needs to ask or tell through the window layer.
struct StartupDialogs {
    std::function<int()> welcome;           // the first-run prompt: 1 or 2
    std::function<void()> openReadMe;       // after "View ReadMe"
    std::function<void()> cannotFindImport; // "Cannot find dImport.txt"
};

enum class StartupOutcome {
    Ready,           // settings loaded, the database open with at least 10 words
    EndSilently,     // the database can be neither opened nor created
    EndAfterMessage, // too few words; the message was shown
};

// "<name> damaged-YYYYMMDD-HHMMSS" (local time).
std::string DamagedFileName(const std::string& path, std::time_t when);

// Settings, the first-run welcome, the word database (a file that exists but
// does not open is first kept under DamagedFileName, never overwritten), and
// the filling from "dImport.txt" while fewer than 10 words are live.
StartupOutcome LoadSettingsAndWords(RecordFile& db, SettingsBlock& settings, const Folders& folders,
                                    const StartupDialogs& dialogs);

// Writes the settings (with their backup), closes the word database, stamps its
// last-write time and copies it to "<name> Bak". The worker must have stopped:
// the caller joins it first, so the database is closed once. `lock` (may be
// null) is held around the close.
void ShutdownSave(RecordFile& db, const SettingsBlock& settings, const std::string& dataFolder,
                  std::recursive_mutex* lock);

} // namespace lexipond
