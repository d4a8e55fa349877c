// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the answer history: a missing file is made, a good one kept, and a
// damaged, foreign or newer one is kept aside whole (with its log) while a new
// one takes its place; where no file can be written the tutor goes on without.

#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <filesystem>

namespace lexipond {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class HistoryFileTest : public ::testing::Test {
  protected:
    // Opens the folder's history as the program does, writes one row and closes it.
    HistoryOpenReport OpenAndWrite(const std::string& word) {
        AnswerHistory history;
        history.Start(folder.Slash());
        const HistoryOpenReport report = history.OpenReport();
        history.Append(MakeRow(1'000'000, 0, 0, "Zov", word, HistoryAnswer::Correct));
        history.Close();
        return report;
    }
    std::vector<std::string> Words() {
        std::vector<std::string> words;
        for (const HistoryRow& row : ReadHistoryRows(path))
            words.push_back(row.word);
        return words;
    }
    // The files beside the history whose names start with its damaged name.
    std::map<std::string, std::string> KeptAside() {
        std::map<std::string, std::string> kept;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("history.sqlite damaged-", 0) == 0)
                kept[name.substr(std::string("history.sqlite damaged-YYYYMMDD-HHMMSS").size())] =
                    ReadBytes(entry.path().string());
        }
        return kept;
    }

    TempFolder folder;
    const std::string path = folder / kHistoryFileName;
};

TEST_F(HistoryFileTest, AMissingFileIsMadeAndAGoodOneKeepsItsRows) {
    const HistoryOpenReport made = OpenAndWrite("first");
    EXPECT_EQ(made.outcome, HistoryOpen::Created) << made.reason;
    const HistoryOpenReport opened = OpenAndWrite("second");
    EXPECT_EQ(opened.outcome, HistoryOpen::Opened) << opened.reason;
    EXPECT_EQ(Words(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(RunSql(path, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(RunSql(path, "PRAGMA user_version"), std::to_string(kHistorySchemaVersion));
    EXPECT_FALSE(fs::exists(path + "-wal")) << "a clean close merges the log";
    EXPECT_TRUE(KeptAside().empty());
}

TEST_F(HistoryFileTest, AnUnusableFileIsKeptAsideWholeAndANewOneWorks) {
    const auto goodHistory = [&] {
        fs::remove(path);
        OpenAndWrite("old");
        // Several pages, so that a cut loses some.
        RunSql(path,
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
               "INSERT INTO answers (at_utc, utc_offset_min, learner_slot, learner_name, "
               "word, answer, level, judged_by) "
               "SELECT 1, 0, 0, 'Zov', 'word number ' || i, 'Correct', 3, 'key' FROM n");
    };
    const struct {
        const char* name;
        std::function<void()> damage;
        const char* reasonPart;
    } rows[] = {
        {"garbage bytes", [&] { WriteBytes(path, std::string(5000, '\x7f')); }, "not a database"},
        {"a few garbage bytes", [&] { WriteBytes(path, "not SQLite"); }, "not a database"},
        {"a truncated file",
         [&] {
             goodHistory();
             fs::resize_file(path, fs::file_size(path) / 2);
         },
         ""},
        {"a newer schema",
         [&] {
             goodHistory();
             RunSql(path, "PRAGMA user_version = " + std::to_string(kHistorySchemaVersion + 1));
         },
         "newer Lexipond"},
        {"another program's database",
         [&] {
             fs::remove(path);
             RunSql(path, "CREATE TABLE recipes (name TEXT)");
         },
         "another program"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(folder.Path());
        fs::create_directory(folder.Path());
        row.damage();
        const std::string before = ReadBytes(path);
        const HistoryOpenReport report = OpenAndWrite("new");
        EXPECT_EQ(report.outcome, HistoryOpen::SetAsideAndNew);
        EXPECT_NE(report.reason.find(row.reasonPart), std::string::npos) << report.reason;
        EXPECT_TRUE(KeptAside() == (std::map<std::string, std::string>{{"", before}}))
            << "not kept aside byte for byte";
        EXPECT_EQ(Words(), std::vector<std::string>{"new"});
        EXPECT_EQ(RunSql(path, "PRAGMA integrity_check"), "ok");
    }
}

// A log left by a kill belongs to its file: it goes aside with it, and is
// never played into the new file that takes the name.
TEST_F(HistoryFileTest, TheLogOfADamagedFileGoesAsideWithIt) {
    OpenAndWrite("old");
    // A writer that dies with its commits still in the log.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db,
                 "PRAGMA wal_autocheckpoint = 0; INSERT INTO answers (at_utc, utc_offset_min, "
                 "learner_slot, learner_name, word, answer, level, judged_by) VALUES (1, 0, 0, "
                 "'Zov', 'in the log', 'Correct', 3, 'key')",
                 nullptr, nullptr, nullptr);
    const std::string log = ReadBytes(path + "-wal");
    ASSERT_FALSE(log.empty());
    sqlite3_close(db); // merges and removes the log; put it back as a kill leaves it
    WriteBytes(path + "-wal", log);
    WriteBytes(path, "not a database at all, but long enough to be read as a header, it is");

    EXPECT_EQ(OpenAndWrite("new").outcome, HistoryOpen::SetAsideAndNew);
    EXPECT_EQ(Words(), std::vector<std::string>{"new"});
    const auto kept = KeptAside();
    ASSERT_EQ(kept.count("-wal"), 1u);
    EXPECT_TRUE(kept.at("-wal") == log) << "the log's bytes differ";
}

TEST_F(HistoryFileTest, WithoutAFolderToWriteInTheHistoryIsUnavailableAndTakesRowsQuietly) {
    WriteBytes(folder / "file", "a file, not a folder");
    AnswerHistory history;
    history.Start(folder / "file/");
    const HistoryOpenReport report = history.OpenReport();
    EXPECT_EQ(report.outcome, HistoryOpen::Unavailable);
    EXPECT_FALSE(report.reason.empty());
    EXPECT_NE(history.Append(MakeRow(1, 0, 0, "Zov", "cat", HistoryAnswer::Correct)), 0u);
    history.Flush();
    EXPECT_EQ(history.Committed(), 0u);
    EXPECT_EQ(history.Dropped(), 1u);
}

} // namespace
} // namespace lexipond
