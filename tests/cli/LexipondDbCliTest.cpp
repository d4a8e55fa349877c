// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db end to end: the built program run as a user or a script runs it.
#include "CliSupport.h"
#include "core/lifecycle/Backups.h"
#include "core/platform/DataLock.h"
#include "core/recordfile/RecordFileTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace lexipond::testing;

class LexipondDbCli : public ::testing::Test {
  protected:
    // Runs the program and gives back its exit status; its output lands in out_ and err_.
    int Db(const std::vector<std::string>& args) {
        return RunLexipondDb(folder_, args, out_, err_, "LC_ALL=en_US.UTF-8");
    }
    TempFolder folder_;
    const std::string db_ = folder_ / "words.db";
    std::string out_, err_;
};

TEST_F(LexipondDbCli, ImportListAndCheckTheShippedWordList) {
    const char* root = std::getenv("LEXIPOND_TEST_SOURCE_DIR");
    const std::string shipped = std::string(root ? root : ".") + "/resources/dImport.txt";
    const std::string zeros = ",,0,0,0,0,0,0,0,0,0,0\n";
    ASSERT_EQ(Db({"import", db_, shipped}), 0) << err_;
    EXPECT_EQ(out_, "315 words added\n");
    ASSERT_EQ(Db({"list", db_}), 0) << err_;
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 316);
    EXPECT_EQ(out_.find("word,notes,total1,correct1,"), 0u);
    // Alphabetical, not capitals first.
    EXPECT_NE(out_.find("\nhurt" + zeros + "I" + zeros + "if" + zeros), std::string::npos);
    EXPECT_EQ(Db({"check", db_}), 0) << err_;
    EXPECT_NE(out_.find("valid word database, 315 live words"), std::string::npos) << out_;
    EXPECT_EQ(Db({"info", db_}), 0) << err_;
    EXPECT_NE(out_.find("live words: 315\nvalid:      yes\n"), std::string::npos) << out_;
}

TEST_F(LexipondDbCli, ImportTellsWhatBecameOfTheLinesWhateverTheirLineEnds) {
    const std::string list = folder_ / "list.txt";
    const struct {
        const char* name;
        std::string content, printed;
    } rows[] = {
        {"LF, a duplicate and an empty line", "dog\ncat\n\ndog\n",
         "2 words added\n1 already in the list\n1 empty line skipped\n"},
        {"CR, the last line without a line end", "emu\r\r\rcat",
         "1 word added\n1 already in the list\n2 empty lines skipped\n"},
    };
    for (const auto& row : rows) { // one database, growing
        SCOPED_TRACE(row.name);
        WriteBytes(list, row.content);
        ASSERT_EQ(Db({"import", db_, list}), 0) << err_;
        EXPECT_EQ(out_, row.printed);
    }
    EXPECT_EQ(LiveWords(db_), 3u);
}

TEST_F(LexipondDbCli, UsageErrorsExitWithTwoAndCreateNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frob", db_}, {"list"}, {"list", db_, db_}, {"import", db_}})
        EXPECT_EQ(Db(args), 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(Db({"list", db_}), 1) << "a missing file";
    EXPECT_FALSE(fs::exists(db_));
}

TEST_F(LexipondDbCli, DamagedFilesAreNamedAndNeverChanged) {
    const std::string list = folder_ / "list.txt";
    WriteBytes(list, "dog\r\ncat\r\n");
    ASSERT_EQ(Db({"import", db_, list}), 0);
    std::string unterminated = ReadBytes(db_);
    unterminated[kArea + 4 + 63] = 'x'; // the first word runs through its field
    using Row = std::pair<std::string, const char*>;
    for (const auto& [bytes, reason] :
         {Row{"", "shorter than the 1444-byte header"}, Row{unterminated, "slot 0: field 1"}}) {
        WriteBytes(db_, bytes);
        EXPECT_EQ(Db({"check", db_}), 1) << reason;
        EXPECT_NE(err_.find(reason), std::string::npos) << err_;
        EXPECT_EQ(Db({"info", db_}), 1) << reason;
        EXPECT_NE(out_.find("valid:      no ("), std::string::npos) << out_;
        EXPECT_EQ(Db({"sort", db_}), 1) << reason;
        EXPECT_EQ(Db({"import", db_, list}), 1) << reason;
        EXPECT_EQ(ReadBytes(db_), bytes) << reason << ": a damaged file was changed";
    }
}

TEST_F(LexipondDbCli, ImportingKnownWordsLeavesTheFileAloneAndAnyImportEndsInOrder) {
    const std::string list = folder_ / "list.txt";
    WriteWordList(list, 500);
    ASSERT_EQ(Db({"import", db_, list}), 0) << err_;
    const std::string before = ReadBytes(db_);
    struct stat was {};
    ASSERT_EQ(::stat(db_.c_str(), &was), 0);
    ASSERT_EQ(Db({"import", db_, list}), 0) << err_;
    EXPECT_EQ(out_, "0 words added\n500 already in the list\n");
    struct stat now {};
    ASSERT_EQ(::stat(db_.c_str(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino) << "the file was replaced";
    EXPECT_EQ(now.st_mtim.tv_sec, was.st_mtim.tv_sec);
    EXPECT_EQ(now.st_mtim.tv_nsec, was.st_mtim.tv_nsec);
    EXPECT_TRUE(ReadBytes(db_) == before);

    // Records out of order (as another program may leave them) end in order
    // after a sort or any import.
    for (const bool sort : {true, false}) {
        SCOPED_TRACE(sort ? "sort" : "import");
        MakeWordDatabase(db_, {"emu", "cat", "Dog"});
        WriteBytes(list, "ant\ncat\n");
        ASSERT_EQ(sort ? Db({"sort", db_}) : Db({"import", db_, list}), 0) << err_;
        EXPECT_EQ(out_, sort ? "3 words sorted\n" : "1 word added\n1 already in the list\n");
        ASSERT_EQ(Db({"list", db_}), 0) << err_;
        std::string words;
        for (size_t at = out_.find('\n'); at != std::string::npos && at + 1 < out_.size();
             at = out_.find('\n', at + 1))
            words += out_.substr(at + 1, out_.find(',', at) - at - 1) + " ";
        EXPECT_EQ(words, sort ? "cat Dog emu " : "ant cat Dog emu ");
    }
}

TEST_F(LexipondDbCli, WritingCommandsRefuseWhileTheDataIsInUseAndTouchNothing) {
    const std::string list = folder_ / "list.txt";
    WriteWordList(list, 12);
    ASSERT_EQ(Db({"import", db_, list}), 0) << err_;
    const std::string before = ReadBytes(db_);
    platform::DataFolderLock program; // as the running program holds it
    ASSERT_EQ(program.TryAcquire(folder_.Path()), platform::DataLockResult::Acquired);
    WriteWordList(list, 20, "more");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"import", db_, list}, {"sort", db_}, {"restore", folder_.Path(), "LPDB.lbf Bak"}}) {
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(Db(args), 1);
        EXPECT_EQ(err_, "lexipond-db: Lexipond is using this database; close it first.\n");
    }
    EXPECT_EQ(Db({"check", db_}), 0) << "reading needs no lock";
    EXPECT_TRUE(ReadBytes(db_) == before);
    program.Release();
    EXPECT_EQ(Db({"import", db_, list}), 0) << err_;
    EXPECT_EQ(LiveWords(db_), 32u);
}

TEST_F(LexipondDbCli, BackupsAreListedAndRestoredKeepingThePresentFile) {
    const std::string list = folder_ / "list.txt";
    const std::string db = folder_ / "LPDB.lbf";
    WriteWordList(list, 15, "old");
    ASSERT_EQ(Db({"import", db, list}), 0) << err_;
    fs::create_directories(folder_ / "Backups");
    const std::string name = DatedBackupName("LPDB.lbf", 1'800'000'000);
    fs::copy_file(db, folder_ / ("Backups/" + name));
    WriteWordList(list, 5, "new");
    ASSERT_EQ(Db({"import", db, list}), 0) << err_;

    ASSERT_EQ(Db({"backups", folder_.Path()}), 0) << err_;
    EXPECT_NE(out_.find(name + "\t"), std::string::npos) << out_;
    EXPECT_EQ(Db({"restore", folder_.Path(), "LPDB.lbf 19990101-000000"}), 1);
    ASSERT_EQ(Db({"restore", folder_.Path(), name}), 0) << err_;
    EXPECT_EQ(LiveWords(db), 15u);
    ASSERT_EQ(Db({"backups", folder_.Path()}), 0);
    EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 2)
        << "the file before the restore was kept: " << out_;
}

// Cards of every word, without a display: 20 words at 8 a page make 3 pages.
TEST_F(LexipondDbCli, CardsMakeAPdfOfEveryWordWithoutADisplay) {
    MakeWordDatabase(db_, NumberedWords(20));
    const std::string pdf = folder_ / "cards.pdf";
    ASSERT_EQ(Db({"cards", db_, pdf, "--per-page", "8"}), 0) << err_;
    EXPECT_EQ(out_, "20 cards on 3 pages\n");
    const std::string bytes = ReadBytes(pdf);
    size_t pages = 0;
    for (size_t at = bytes.find("/Type /Page"); at != std::string::npos;
         at = bytes.find("/Type /Page", at + 1))
        pages += bytes.compare(at + 11, 1, "s") != 0;
    EXPECT_EQ(pages, 3u);
    EXPECT_EQ(Db({"cards", db_, pdf, "--per-page", "3"}), 2) << "only 1, 2, 4 or 8";
    EXPECT_EQ(ReadBytes(pdf), bytes) << "a refused run leaves the PDF as it was";
}

} // namespace
} // namespace lexipond
