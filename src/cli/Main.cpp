// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db: keeps a Lexipond word database from the command line, for the
// adults who look after the data and for scripts.
#include "LexipondVersion.h"
#if LEXIPOND_WITH_CARDS
#include "ui/print/WordCards.h"
#endif
#include "core/history/HistoryCsv.h"
#include "core/history/HistoryOpen.h"
#include "core/history/HistoryQueries.h"
#include "core/lifecycle/Backups.h"
#include "core/platform/Collation.h"
#include "core/platform/DataLock.h"
#include "core/platform/FileCopy.h"
#include "core/platform/Folders.h"
#include "core/recordfile/AtomicUpdate.h"
#include "core/recordfile/PlaceRecords.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/settings/SettingsFile.h"
#include "core/speech/Wav.h"
#if LEXIPOND_WITH_SPEECH
#include "core/speech/Judge.h"
#include "core/speech/Synthesizer.h"
#endif
#include "core/words/DatabaseCheck.h"
#include "core/words/ImportWordFile.h"
#include "core/words/SortedImport.h"
#include "core/words/WordDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

using lexipond::words::CheckOutcome;
using lexipond::words::DatabaseFacts;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kUserSlots = 5; // tallies of user slots 1..5 in every record

constexpr char kHelp[] =
    "Usage: lexipond-db COMMAND FILE [WORDLIST]\n"
    "       lexipond-db backups|restore DATA_FOLDER [BACKUP]\n"
    "       lexipond-db history DATA_FOLDER [--csv]\n"
    "       lexipond-db cards FILE OUT.pdf [--per-page N]\n"
    "       lexipond-db say WORD OUT.wav [--voice NAME]\n"
    "       lexipond-db listen FILE WORD AUDIO.wav\n"
    "Looks after a Lexipond word database (the program keeps it as LPDB.lbf).\n"
    "\n"
    "Commands:\n"
    "  info FILE             capacity, live words, file size and whether the file is valid\n"
    "  list FILE             the words as CSV on standard output: word, notes, then the\n"
    "                        total and correct answers of user slots 1 to 5 in slot order\n"
    "                        (the header names the learners when dLexipond.dat is beside\n"
    "                        FILE)\n"
    "  import FILE WORDLIST  adds the words of a word list (one word a line; LF, CR LF\n"
    "                        and CR all end a line; empty lines and words already present\n"
    "                        are skipped), creating FILE when it does not exist, then\n"
    "                        sorts; prints how many words were added, then how many were\n"
    "                        already there and how many empty lines were skipped\n"
    "  sort FILE             puts the words in the word order of your locale\n"
    "  check FILE            checks every structural rule of the file; a damaged file\n"
    "                        gives a one-line reason and exit status 1\n"
    "  backups DATA_FOLDER   lists the dated backups kept in DATA_FOLDER/Backups, newest\n"
    "                        first (name, size), and the \" Bak\" files\n"
    "  restore DATA_FOLDER BACKUP\n"
    "                        puts a backup named as 'backups' lists it back in its file's\n"
    "                        place; the present file first becomes a dated backup\n"
    "  history DATA_FOLDER   each learner's answers from DATA_FOLDER/history.sqlite: how\n"
    "                        many and how many correct, words mastered (the last three\n"
    "                        answers correct) and the last four weeks, week by week\n"
    "  history DATA_FOLDER --csv\n"
    "                        the whole answer history as CSV (RFC 4180), one row per\n"
    "                        answer or undo\n"
    "  cards FILE OUT.pdf [--per-page N]\n"
    "                        word cards to print: every word of FILE in large type, N\n"
    "                        cards to a page (1, 2, 4 or 8; 4 unless told), as a PDF\n"
    "  say WORD OUT.wav [--voice NAME]\n"
    "                        speaks WORD into a WAV file with Flite; NAME is slt (unless\n"
    "                        told), awb, rms or kal16\n"
    "  listen FILE WORD AUDIO.wav\n"
    "                        judges whether AUDIO.wav (a WAV file, 8 to 48 kHz, PCM of 16,\n"
    "                        24 or 32 bits or float) says WORD, with FILE's words as the\n"
    "                        words it could be instead; prints Correct, Incorrect or\n"
    "                        No verdict, then what it heard; exit status 1 for no verdict\n"
    "  --help                shows this text\n"
    "  --version             shows the version\n"
    "\n"
    "Word order follows LC_ALL, LC_COLLATE or LANG (a language-neutral order when none\n"
    "is set or it is C or POSIX). A file that fails the check is never changed.\n"
    "import, sort and restore wait for nobody: while Lexipond uses the data they refuse\n"
    "with exit status 1. Each finishes whole or, when interrupted, leaves the file as it\n"
    "was.\n"
    "\n"
    "Exit status: 0 done, 1 missing or damaged file or failed operation, 2 usage error.\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "lexipond-db: %s\nTry 'lexipond-db --help'.\n", message.c_str());
    return kExitUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "lexipond-db: %s\n", message.c_str());
    return kExitFailed;
}

// Runs the structural check and turns a failure into its message.
bool Validate(const std::string& path, DatabaseFacts& facts, int& exitCode) {
    // The program's word placement, cut short by a kill, is finished first.
    lexipond::FinishPlacementAt(path);
    std::string reason;
    switch (lexipond::words::CheckWordDatabase(path, facts, reason)) {
    case CheckOutcome::Valid:
        return true;
    case CheckOutcome::Missing:
        exitCode = Fail("cannot read " + path + ": " + reason);
        return false;
    case CheckOutcome::Damaged:
        exitCode = Fail(path + " is damaged: " + reason);
        return false;
    }
    return false;
}

// The engine object is large (a 1 KiB text buffer); keep it off the stack.
struct OpenDatabase {
    std::unique_ptr<lexipond::RecordFile> file = std::make_unique<lexipond::RecordFile>();
    ~OpenDatabase() { lexipond::CloseRecordFile(*file); }
    bool Open(const std::string& path, bool writable) {
        using lexipond::Access;
        return lexipond::OpenRecordFile(*file, path,
                                        writable ? Access::ReadWrite : Access::ReadOnly) ==
               lexipond::OpenResult::Opened;
    }
};

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                          text.back() == ' ' || text.back() == '\t'));
    if (!quote)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// Validates the file and opens it; kExitOk when db is open, else the exit code.
// A file that does not validate is never opened, so never changed.
int OpenValidated(const std::string& path, bool writable, OpenDatabase& db) {
    DatabaseFacts facts;
    int exitCode = kExitOk;
    if (!Validate(path, facts, exitCode))
        return exitCode;
    if (!db.Open(path, writable))
        return Fail("cannot open " + path + (writable ? " for writing" : ""));
    return kExitOk;
}

#if LEXIPOND_WITH_CARDS || LEXIPOND_WITH_SPEECH
// Every live word of a valid database, in slot order (cards and listening).
int ReadLiveWords(const std::string& path, std::vector<std::string>& words) {
    OpenDatabase db;
    if (const int exitCode = OpenValidated(path, false, db); exitCode != kExitOk)
        return exitCode;
    lexipond::ForEachLiveRecord(*db.file, [&](int32_t slot) {
        words.push_back(lexipond::ReadText(*db.file, slot, lexipond::kFieldWord).value_or(""));
    });
    return kExitOk;
}
#endif

int RunCheck(const std::string& path) {
    DatabaseFacts facts;
    int exitCode = kExitOk;
    if (!Validate(path, facts, exitCode))
        return exitCode;
    std::printf("%s: valid word database, %u live words in %u slots\n", path.c_str(),
                facts.liveCount, facts.capacity);
    return kExitOk;
}

int RunInfo(const std::string& path) {
    DatabaseFacts facts;
    std::string reason;
    const CheckOutcome outcome = lexipond::words::CheckWordDatabase(path, facts, reason);
    if (outcome == CheckOutcome::Missing)
        return Fail("cannot read " + path + ": " + reason);
    std::printf("file:       %s\n", path.c_str());
    std::printf("size:       %llu bytes\n", static_cast<unsigned long long>(facts.fileSize));
    if (outcome == CheckOutcome::Damaged) {
        std::printf("valid:      no (%s)\n", reason.c_str());
        return Fail(path + " is damaged: " + reason);
    }
    std::printf("capacity:   %u slots\n", facts.capacity);
    std::printf("live words: %u\n", facts.liveCount);
    if (facts.usedCount != facts.liveCount)
        std::printf("other used: %u slots with unusual tags\n", facts.usedCount - facts.liveCount);
    std::printf("valid:      yes\n");
    return kExitOk;
}

// The learners' names from the settings file in the folder of `path`; none
// when there is no settings file there.
std::vector<std::string> LearnerNamesBeside(const std::string& path) {
    const std::string folder = lexipond::platform::FolderOfFile(path) + "/";
    lexipond::SettingsBlock settings{};
    if (lexipond::LoadSettingsFile(settings, folder, folder) != lexipond::SettingsLoaded)
        return {};
    std::vector<std::string> names;
    for (const auto& name : settings.userNames)
        names.emplace_back(name, strnlen(name, sizeof name));
    return names;
}

int RunList(const std::string& path) {
    OpenDatabase db;
    if (const int exitCode = OpenValidated(path, false, db); exitCode != kExitOk)
        return exitCode;
    lexipond::RecordFile& file = *db.file;
    const std::vector<std::string> names = LearnerNamesBeside(path);
    std::string out = "word,notes";
    for (uint32_t u = 1; u <= kUserSlots; ++u) {
        const std::string learner =
            names.empty() || names[u - 1].empty() ? std::string() : " (" + names[u - 1] + ")";
        out += ',' + CsvField("total" + std::to_string(u) + learner);
        out += ',' + CsvField("correct" + std::to_string(u) + learner);
    }
    out += '\n';
    lexipond::ForEachLiveRecord(file, [&](int32_t slot) {
        // The file passed the check, so every live record has all its fields.
        out += CsvField(lexipond::ReadText(file, slot, lexipond::kFieldWord).value_or(""));
        out += ',';
        out += CsvField(lexipond::ReadText(file, slot, lexipond::kFieldNotes).value_or(""));
        for (uint32_t u = 0; u < kUserSlots; ++u) {
            for (uint32_t field : {lexipond::TotalField(u), lexipond::CorrectField(u)}) {
                const int32_t tally = lexipond::ReadNumber(file, slot, field).value_or(0);
                // Tallies are counts: print them unsigned.
                out += ',' + std::to_string(static_cast<uint32_t>(tally));
            }
        }
        out += '\n';
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("cannot write the list");
    return kExitOk;
}

constexpr char kInUse[] = "Lexipond is using this database; close it first.";

// The data folder's lock, as the program takes it. kExitOk when held (or when
// the folder cannot be locked at all, as on some network file systems).
int LockDataFolder(const std::string& folder, lexipond::platform::DataFolderLock& lock) {
    using lexipond::platform::DataLockResult;
    if (lock.TryAcquire(folder) == DataLockResult::HeldByAnother)
        return Fail(kInUse);
    return kExitOk;
}

int RunSort(const std::string& path) {
    lexipond::platform::DataFolderLock lock;
    if (const int exitCode = LockDataFolder(lexipond::platform::FolderOfFile(path), lock))
        return exitCode;
    lexipond::platform::RemoveLeftoverPartialFiles(path);
    OpenDatabase db;
    if (const int exitCode = OpenValidated(path, true, db); exitCode != kExitOk)
        return exitCode;
    if (!lexipond::SortRecordsAtomically(*db.file, lexipond::kFieldWord,
                                         lexipond::platform::UserCollator()))
        return Fail("cannot sort " + path + ": the sorted copy could not be written beside it");
    std::printf("%u words sorted\n", db.file->liveCount);
    return kExitOk;
}

// Imports and sorts; false when the database could not take every word.
// changed: whether the file differs afterwards (new words, or a sort that moved).
bool ImportAndSort(lexipond::RecordFile& file, const std::string& wordList,
                   lexipond::ImportReport& report, bool& changed) {
    const auto& collator = lexipond::platform::UserCollator();
    report = {};
    lexipond::ImportWordFile(file, wordList.c_str(), collator, &report);
    changed = report.added > 0 || !lexipond::RecordsInOrder(file, lexipond::kFieldWord, collator);
    if (changed)
        lexipond::SortRecords(file, lexipond::kFieldWord, collator);
    return report.failed == 0;
}

// A new database (made, empty and private): the one-pass import writes the
// result over it, for CreateAtomically without a reopen. false when the
// database could not take every word.
bool ImportIntoNewDatabase(lexipond::RecordFile& made, const std::string& wordList,
                           lexipond::ImportReport& report) {
    lexipond::SortedImport import(lexipond::platform::UserCollator());
    switch (import.Prepare(made, wordList.c_str(), report)) {
    case lexipond::SortedImport::Plan::Unchanged:
        return true;
    case lexipond::SortedImport::Plan::NotApplicable: {
        bool changed = false;
        return ImportAndSort(made, wordList, report, changed);
    }
    case lexipond::SortedImport::Plan::Write:
        break;
    }
    // Write reads what it keeps of the old bytes from this copy, not from the
    // file it overwrites.
    // (The mapping goes stale: nothing reads it before it is closed.)
    const std::vector<uint8_t> empty(made.view, made.view + made.mappingHandle.length);
    return import.Write(empty.data(), empty.size(), made.fileHandle);
}

// An existing database: the one-pass import writes the result beside it when its
// records are in order and something is new; otherwise one by one on a copy and
// a sort. false when the file stayed as it was for want of room.
bool ImportIntoDatabase(lexipond::RecordFile& file, const std::string& wordList,
                        lexipond::ImportReport& report) {
    lexipond::SortedImport import(lexipond::platform::UserCollator());
    switch (import.Prepare(file, wordList.c_str(), report)) {
    case lexipond::SortedImport::Plan::Unchanged:
        return true; // nothing copied, nothing written
    case lexipond::SortedImport::Plan::Write:
        return lexipond::ReplaceAtomically(
                   file,
                   [&](lexipond::platform::FileHandle out) {
                       return import.Write(file.view, file.mappingHandle.length, out);
                   },
                   false) != lexipond::UpdateOutcome::Failed;
    case lexipond::SortedImport::Plan::NotApplicable:
        break;
    }
    bool whole = true;
    const auto outcome =
        lexipond::UpdateAtomically(file, [&](lexipond::RecordFile& copy, bool& changed) {
            whole = ImportAndSort(copy, wordList, report, changed);
            return whole;
        });
    return outcome != lexipond::UpdateOutcome::Failed;
}

int RunImport(const std::string& path, const std::string& wordList) {
    // A word list is a file: a device or pipe could feed the import forever.
    struct stat info {};
    if (::stat(wordList.c_str(), &info) != 0)
        return Fail("cannot read the word list " + wordList + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return Fail("the word list " + wordList + " is not a regular file");
    if (std::FILE* list = std::fopen(wordList.c_str(), "rb")) {
        std::fclose(list);
    } else {
        return Fail("cannot read the word list " + wordList + ": " + std::strerror(errno));
    }
    lexipond::platform::DataFolderLock lock;
    if (const int exitCode = LockDataFolder(lexipond::platform::FolderOfFile(path), lock))
        return exitCode;
    lexipond::platform::RemoveLeftoverPartialFiles(path);
    OpenDatabase db;
    lexipond::ImportReport report;
    bool whole = true;
    // Made, filled and sorted beside its name, then renamed: never half a database.
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        if (!lexipond::CreateAtomically(
                *db.file, path,
                [&](lexipond::RecordFile& made) {
                    return lexipond::CreateWordDatabase(made) &&
                           (whole = ImportIntoNewDatabase(made, wordList, report));
                },
                false))
            return Fail("cannot create " + path +
                        (whole ? "" : ": the database could not grow (is the disk full?)"));
    } else if (const int exitCode = OpenValidated(path, true, db); exitCode != kExitOk) {
        return exitCode;
    } else if (!ImportIntoDatabase(*db.file, wordList, report)) {
        return Fail("cannot import into " + path +
                    ": the new copy could not be written beside it (is the disk full?); "
                    "the database is as it was");
    }
    // The first line stays "N words added" for scripts; the other counts follow
    // only when there is something to say.
    std::printf("%u word%s added\n", report.added, report.added == 1 ? "" : "s");
    if (report.duplicates > 0)
        std::printf("%u already in the list\n", report.duplicates);
    if (report.empty > 0)
        std::printf("%u empty line%s skipped\n", report.empty, report.empty == 1 ? "" : "s");
    if (report.longLines > 0)
        std::fprintf(stderr, "lexipond-db: %u lines were longer than 1023 bytes\n",
                     report.longLines);
    return kExitOk;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

int RunBackups(const std::string& dataFolder) {
    const std::string folder = WithSlash(dataFolder);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Fail("no data folder " + dataFolder);
    int listed = 0;
    for (const char* name : {lexipond::kWordDatabaseName, "dLexipond.dat"}) {
        const std::string bak = folder + name + " Bak";
        if (::stat(bak.c_str(), &info) == 0) {
            std::printf("%s\t%lld bytes\n", (std::string(name) + " Bak").c_str(),
                        static_cast<long long>(info.st_size));
            ++listed;
        }
    }
    for (const lexipond::DatedBackup& backup : lexipond::ListBackups(folder)) {
        std::printf("%s\t%llu bytes\n", backup.name.c_str(),
                    static_cast<unsigned long long>(backup.size));
        ++listed;
    }
    if (listed == 0)
        std::printf("no backups in %s\n", dataFolder.c_str());
    return kExitOk;
}

int RunRestore(const std::string& dataFolder, const std::string& backup) {
    const std::string folder = WithSlash(dataFolder);
    lexipond::platform::DataFolderLock lock;
    if (const int exitCode = LockDataFolder(folder, lock))
        return exitCode;
    std::string detail;
    switch (lexipond::RestoreBackup(folder, backup, std::time(nullptr), detail)) {
    case lexipond::RestoreOutcome::Restored:
        std::printf("restored %s\n", backup.c_str());
        return kExitOk;
    case lexipond::RestoreOutcome::NoSuchBackup:
        return Fail(detail + " in " + dataFolder + " (see 'lexipond-db backups')");
    case lexipond::RestoreOutcome::Damaged:
    case lexipond::RestoreOutcome::Failed:
        break;
    }
    return Fail("nothing restored: " + detail);
}

// "24 of 30 correct (80%)", the percentage rounded down as the program's
// scores are; or "no answers".
std::string AnswersText(uint32_t correct, uint32_t answers) {
    if (answers == 0)
        return "no answers";
    return std::to_string(correct) + " of " + std::to_string(answers) + " correct (" +
           std::to_string(uint64_t{correct} * 100 / answers) + "%)";
}

// Opens DATA_FOLDER's history for reading; kExitOk when it is Ready.
int OpenHistory(const std::string& dataFolder, lexipond::HistoryReader& reader) {
    std::string reason;
    switch (reader.Open(WithSlash(dataFolder) + lexipond::kHistoryFileName, reason)) {
    case lexipond::HistoryRead::Ready:
        return kExitOk;
    case lexipond::HistoryRead::Missing:
        return Fail("no answer history in " + dataFolder + " (" + reason + ")");
    case lexipond::HistoryRead::Damaged:
    case lexipond::HistoryRead::Newer:
    case lexipond::HistoryRead::Failed:
        break;
    }
    return Fail(reason);
}

int RunHistoryCsv(const std::string& dataFolder) {
    lexipond::HistoryReader reader;
    if (const int exitCode = OpenHistory(dataFolder, reader))
        return exitCode;
    bool written = true;
    const bool read = lexipond::WriteHistoryCsv(reader, [&](std::string_view piece) {
        written = std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
        return written;
    });
    if (!written || std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("cannot write the history");
    if (!read)
        return Fail("cannot read the history: " + reader.Error());
    return kExitOk;
}

constexpr int kWeeksShown = 4;

int RunHistory(const std::string& dataFolder) {
    lexipond::HistoryReader reader;
    if (const int exitCode = OpenHistory(dataFolder, reader))
        return exitCode;
    const auto learners = reader.Learners();
    if (!learners)
        return Fail("cannot read the history: " + reader.Error());
    if (learners->empty())
        std::printf("no answers in the history yet\n");
    // This week (Monday to today) and the three before it, in local days.
    const int64_t today = *lexipond::DayNumber(lexipond::LocalDay(lexipond::HistoryNow()));
    const int64_t thisMonday = today - ((today + 3) % 7 + 7) % 7; // day 0 was a Thursday
    const int64_t firstMonday = thisMonday - 7 * (kWeeksShown - 1);
    const lexipond::DayRange weeks{lexipond::DayText(firstMonday), lexipond::DayText(today)};
    for (const lexipond::LearnerSummary& learner : *learners) {
        const auto tallies = reader.Weeks(learner.slot, weeks);
        if (!tallies)
            return Fail("cannot read the history: " + reader.Error());
        std::printf("Learner %d: %s\n", learner.slot + 1, learner.name.c_str());
        const uint32_t answers = learner.correct + learner.incorrect;
        std::printf("  answers:        %s, %u skipped\n",
                    AnswersText(learner.correct, answers).c_str(), learner.skipped);
        std::printf("  words mastered: %u\n", learner.mastered);
        std::printf("  last four weeks:\n");
        for (int week = 0; week < kWeeksShown; ++week) {
            const std::string monday = lexipond::DayText(firstMonday + 7 * week);
            lexipond::PeriodTally tally;
            for (const lexipond::PeriodTally& found : *tallies)
                if (found.start == monday)
                    tally = found;
            std::printf("    week of %s: %s\n", monday.c_str(),
                        AnswersText(tally.correct, tally.Answers()).c_str());
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("cannot write the summary");
    return kExitOk;
}

} // namespace

#if LEXIPOND_WITH_CARDS
int RunCards(const std::string& path, const std::string& pdf, int perPage) {
    std::vector<std::string> words;
    if (const int exitCode = ReadLiveWords(path, words); exitCode != kExitOk)
        return exitCode;
    int pages = 0;
    switch (lexipond::WriteWordCardsPdf(words, perPage, pdf, pages)) {
    case lexipond::CardsOutcome::Written:
        std::printf("%zu cards on %d pages\n", words.size(), pages);
        return kExitOk;
    case lexipond::CardsOutcome::NoWords:
        return Fail(path + " holds no words");
    case lexipond::CardsOutcome::BadPerPage:
        return UsageError("--per-page takes 1, 2, 4 or 8");
    case lexipond::CardsOutcome::CannotWrite:
        break;
    }
    return Fail("cannot write " + pdf);
}

#endif

#if LEXIPOND_WITH_SPEECH

int RunSay(const std::string& word, const std::string& wav, const std::string& voiceName) {
    const auto voice = lexipond::speech::VoiceNamed(voiceName);
    if (!voice)
        return UsageError("no voice '" + voiceName + "' (slt, awb, rms or kal16)");
    const lexipond::speech::Synthesis spoken = lexipond::speech::Synthesize(word, *voice);
    if (spoken.outcome != lexipond::speech::SynthesisOutcome::Spoken)
        return Fail("Flite says nothing for '" + word + "'");
    std::string reason;
    if (lexipond::speech::WriteWav(wav, spoken.audio, reason) !=
        lexipond::speech::WavWrite::Written)
        return Fail(reason);
    return kExitOk;
}

int RunListen(const std::string& path, const std::string& word, const std::string& wav) {
    namespace speech = lexipond::speech;
    speech::WavFile audio = speech::ReadWav(wav);
    if (audio.outcome != speech::WavRead::Read)
        return Fail(wav + ": " + audio.reason);
    std::vector<std::string> words;
    if (const int exitCode = ReadLiveWords(path, words); exitCode != kExitOk)
        return exitCode;
    speech::JudgeSetup setup = speech::JudgeSetup::Ready;
    auto judge = speech::Judge::Create(speech::kDefaultModelFolder, words, setup);
    switch (setup) {
    case speech::JudgeSetup::Ready:
        break;
    case speech::JudgeSetup::ModelMissing:
        return Fail(std::string("no speech model in ") + speech::kDefaultModelFolder +
                    " (the pocketsphinx-en-us package)");
    case speech::JudgeSetup::ModelUnusable:
        return Fail("the speech model could not be loaded");
    case speech::JudgeSetup::NoWords:
        return Fail(path + " has no word that can be pronounced");
    }
    const std::vector<int16_t> samples =
        speech::Resample(audio.audio.samples, audio.audio.sampleRate, 16000);
    const speech::Judgement judgement = judge->Hear(samples, word);
    if (judgement.reason == speech::Reason::CannotJudgeWord)
        return Fail("cannot judge '" + word + "': it is not a word of " + path +
                    " that can be pronounced");
    switch (judgement.verdict) {
    case speech::Verdict::Correct:
        std::printf("Correct %s\n", judgement.heard.c_str());
        return kExitOk;
    case speech::Verdict::Incorrect:
        std::printf("Incorrect %s\n", judgement.heard.c_str());
        return kExitOk;
    case speech::Verdict::NoVerdict:
        break;
    }
    std::printf("No verdict %s\n", judgement.reason == speech::Reason::Silence
                                       ? "(silence)"
                                       : judgement.heard.c_str());
    return kExitFailed;
}

#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::fputs("lexipond-db " LEXIPOND_VERSION "\n", stdout);
            return kExitOk;
        }
    }
    if (args.empty())
        return UsageError("no command given");
    const std::string command = args[0];
    args.erase(args.begin());
    bool csv = false;
    [[maybe_unused]] int perPage = 4;
#if LEXIPOND_WITH_CARDS
    if (command == "cards") {
        const auto flag = std::find(args.begin(), args.end(), "--per-page");
        if (flag != args.end()) {
            if (flag + 1 == args.end() ||
                !lexipond::IsCardsPerPage(std::atoi((flag + 1)->c_str())) ||
                (flag + 1)->size() != 1)
                return UsageError("--per-page takes 1, 2, 4 or 8");
            perPage = std::atoi((flag + 1)->c_str());
            args.erase(flag, flag + 2);
        }
    }
#endif
    std::string voice = "slt";
    if (command == "say") {
        const auto flag = std::find(args.begin(), args.end(), "--voice");
        if (flag != args.end()) {
            if (flag + 1 == args.end())
                return UsageError("--voice takes a name");
            voice = *(flag + 1);
            args.erase(flag, flag + 2);
        }
    }
    if (command == "history") {
        const auto flag = std::find(args.begin(), args.end(), "--csv");
        csv = flag != args.end();
        if (csv)
            args.erase(flag);
    }
    struct Command {
        const char* name;
        size_t arguments;
    };
    static constexpr Command kCommands[] = {
        {"info", 1},    {"list", 1},    {"sort", 1},  {"check", 1}, {"import", 2}, {"backups", 1},
        {"restore", 2}, {"history", 1}, {"cards", 2}, {"say", 2},   {"listen", 3}};
    const Command* found = nullptr;
    for (const Command& c : kCommands)
        if (command == c.name)
            found = &c;
    if (!found)
        return UsageError("unknown command '" + command + "'");
    if (args.size() != found->arguments)
        return UsageError(command + " takes " +
                          (command == "backups" || command == "history" ? std::string("DATA_FOLDER")
                           : command == "restore"  ? std::string("DATA_FOLDER BACKUP")
                           : command == "cards"    ? std::string("FILE OUT.pdf [--per-page N]")
                           : command == "say"      ? std::string("WORD OUT.wav [--voice NAME]")
                           : command == "listen"   ? std::string("FILE WORD AUDIO.wav")
                           : found->arguments == 1 ? std::string("FILE")
                                                   : std::string("FILE WORDLIST")));
    for (const std::string& arg : args)
        if (arg.empty())
            return UsageError("an empty file name");

    if (command == "info")
        return RunInfo(args[0]);
    if (command == "list")
        return RunList(args[0]);
    if (command == "sort")
        return RunSort(args[0]);
    if (command == "check")
        return RunCheck(args[0]);
    if (command == "backups")
        return RunBackups(args[0]);
    if (command == "restore")
        return RunRestore(args[0], args[1]);
    if (command == "history")
        return csv ? RunHistoryCsv(args[0]) : RunHistory(args[0]);
#if LEXIPOND_WITH_CARDS
    if (command == "cards")
        return RunCards(args[0], args[1], perPage);
#else
    if (command == "cards")
        return Fail("this lexipond-db was built without Qt, so it makes no cards");
#endif
#if LEXIPOND_WITH_SPEECH
    if (command == "say")
        return RunSay(args[0], args[1], voice);
    if (command == "listen")
        return RunListen(args[0], args[1], args[2]);
#else
    if (command == "say" || command == "listen")
        return Fail("this lexipond-db was built without Flite and PocketSphinx, so it has no "
                    "speech");
#endif
    return RunImport(args[0], args[1]);
}
