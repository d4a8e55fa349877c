// Loading the settings and the words at start-up.
#include "TestSupport.h"
#include "core/lifecycle/Lifecycle.h"
#include "core/settings/SettingsFile.h"

#include <set>
#include <tuple>

namespace lexipond {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class StartupTest : public ::testing::Test {
  protected:
    void TearDown() override { CloseRecordFile(db); }
    StartupOutcome Load() {
        CloseRecordFile(db);
        return LoadSettingsAndWords(db, settings, {folder.Slash(), folder.Slash()}, dialogs);
    }

    TempFolder folder;
    const std::string file = folder / kSettingsFileName, words = folder / "LPDB.lbf",
                      list = folder / "dImport.txt";
    StartupDialogs dialogs{[this] { return ++welcomes; }, {}, [this] { ++missingImports; }};
    RecordFile db;
    SettingsBlock settings{};
    int welcomes = 0, missingImports = 0;
};

// Fewer than ten words are topped up from the word list, else the program ends;
// a damaged database is first kept under a name of its own.
TEST_F(StartupTest, WordsAreToppedUpFromTheWordListAndADamagedDatabaseIsKept) {
    WriteBytes(file, "JUNK!");
    const std::string damaged(5000, '\x7f');
    WriteBytes(DamagedFileName(words, time(nullptr)), "earlier"); // a taken name is not reused
    using enum StartupOutcome;
    // Words in the database (-1: a damaged file), words listed, their prefix, outcome,
    // live words afterwards.
    const std::tuple<const char*, int, int, const char*, StartupOutcome, uint32_t> rows[] = {
        {"five listed are there already", 5, 12, "word", Ready, 12},
        {"enough: no top-up", 10, 30, "new", Ready, 10},
        {"no word list", 4, 0, "", EndAfterMessage, 4},
        {"still too few", 4, 5, "new", EndAfterMessage, 9},
        {"a damaged database", -1, 15, "new", Ready, 15}};
    for (const auto& [name, have, listed, prefix, outcome, live] : rows) {
        SCOPED_TRACE(name);
        fs::remove(words);
        fs::remove(list);
        have < 0 ? WriteBytes(words, damaged) : MakeWordDatabase(words, NumberedWords(have));
        if (listed > 0)
            WriteWordList(list, listed, prefix);
        EXPECT_EQ(Load(), outcome) << have << " + " << listed;
        CloseRecordFile(db);
        EXPECT_EQ(LiveWords(words), live) << have << " + " << listed;
    }
    EXPECT_EQ(missingImports, 2);
    EXPECT_EQ(welcomes, 0); // a damaged settings file is no first run
    std::multiset<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        if (entry.path().filename().string().rfind("LPDB.lbf damaged-", 0) == 0)
            kept.insert(ReadBytes(entry.path().string()));
    EXPECT_EQ(kept, (std::multiset<std::string>{damaged, "earlier"}));
}

} // namespace
} // namespace lexipond
