// lexipond-db: keeps a Lexipond word database from the command line, for the
// adults who look after the data and for scripts.
#include "core/words/DatabaseCheck.h"
#include "core/words/ImportWordFile.h"
#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/SortRecords.h"
#include "core/words/WordDatabase.h"

#include "LexipondVersion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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
    "Looks after a Lexipond word database (the program keeps it as LPDB.lbf).\n"
    "\n"
    "Commands:\n"
    "  info FILE             capacity, live words, file size and whether the file is valid\n"
    "  list FILE             the words as CSV on standard output: word, notes, then the\n"
    "                        total and correct answers of user slots 1 to 5 in slot order\n"
    "  import FILE WORDLIST  adds the words of a word list (one word a line; a line ends\n"
    "                        with CR or CR LF; empty lines and words already present are\n"
    "                        skipped), creating FILE when it does not exist, then sorts;\n"
    "                        prints how many words were added\n"
    "  sort FILE             puts the words in the word order of your locale\n"
    "  check FILE            checks every structural rule of the file; a damaged file\n"
    "                        gives a one-line reason and exit status 1\n"
    "  --help                shows this text\n"
    "  --version             shows the version\n"
    "\n"
    "Word order follows LC_ALL, LC_COLLATE or LANG (a language-neutral order when none\n"
    "is set or it is C or POSIX). A file that fails the check is never changed.\n"
    "Close Lexipond before changing its database with import or sort.\n"
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

int RunList(const std::string& path) {
    OpenDatabase db;
    if (const int exitCode = OpenValidated(path, false, db); exitCode != kExitOk)
        return exitCode;
    lexipond::RecordFile& file = *db.file;
    std::string out = "word,notes";
    for (uint32_t u = 1; u <= kUserSlots; ++u)
        out += ",total" + std::to_string(u) + ",correct" + std::to_string(u);
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

int RunSort(const std::string& path) {
    OpenDatabase db;
    if (const int exitCode = OpenValidated(path, true, db); exitCode != kExitOk)
        return exitCode;
    lexipond::SortRecords(*db.file, lexipond::kFieldWord, lexipond::platform::UserCollator());
    std::printf("%u words sorted\n", db.file->liveCount);
    return kExitOk;
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
    OpenDatabase db;
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        db.file->fileName = path;
        if (!lexipond::CreateWordDatabase(*db.file))
            return Fail("cannot create " + path);
    } else if (const int exitCode = OpenValidated(path, true, db); exitCode != kExitOk) {
        return exitCode;
    }
    lexipond::ImportReport report;
    const auto& collator = lexipond::platform::UserCollator();
    lexipond::ImportWordFile(*db.file, wordList.c_str(), collator, &report);
    lexipond::SortRecords(*db.file, lexipond::kFieldWord, collator);
    std::printf("%u word%s added\n", report.added, report.added == 1 ? "" : "s");
    if (report.longLines > 0)
        std::fprintf(stderr, "lexipond-db: %u lines were longer than 1023 bytes\n",
                     report.longLines);
    if (report.failed > 0)
        return Fail(std::to_string(report.failed) +
                    " words could not be added: the database could not grow");
    return kExitOk;
}

} // namespace

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
    struct Command {
        const char* name;
        size_t arguments;
    };
    static constexpr Command kCommands[] = {
        {"info", 1}, {"list", 1}, {"sort", 1}, {"check", 1}, {"import", 2}};
    const Command* found = nullptr;
    for (const Command& c : kCommands)
        if (command == c.name)
            found = &c;
    if (!found)
        return UsageError("unknown command '" + command + "'");
    if (args.size() != found->arguments)
        return UsageError(command + " takes " +
                          (found->arguments == 1 ? std::string("FILE") : "FILE WORDLIST"));
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
    return RunImport(args[0], args[1]);
}
