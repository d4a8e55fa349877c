// lexipond-db end to end: the built program is run as a user or a script runs it.
#include "RecordFileTestSupport.h"

#include <functional>
#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace lexipond::testing;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

const std::string kHeader = "word,notes,total1,correct1,total2,correct2,total3,correct3,"
                            "total4,correct4,total5,correct5\n";
const std::string kZeros = ",,0,0,0,0,0,0,0,0,0,0\n";

class LexipondDbCli : public ::testing::Test {
  protected:
    Outcome Db(const std::vector<std::string>& args, const std::string& locale = "en_US.UTF-8") {
        std::string command = "LC_ALL=" + locale + " " + Quote(LEXIPOND_DB_EXE);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        command += " >" + Quote(folder_ / "out") + " 2>" + Quote(folder_ / "err");
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(folder_ / "out"),
                ReadBytes(folder_ / "err")};
    }
    std::string WordList(const std::string& content) {
        const std::string path = folder_ / ("list-" + std::to_string(lists_++) + ".txt");
        WriteBytes(path, content);
        return path;
    }
    TempFolder folder_;
    const std::string db_ = folder_ / "words.db";
    int lists_ = 0;
};

TEST_F(LexipondDbCli, ImportListCheckAndInfoOnTheShippedWordList) {
    const char* root = std::getenv("LEXIPOND_TEST_SOURCE_DIR");
    const std::string shipped = std::string(root ? root : ".") + "/resources/dImport.txt";
    Outcome run = Db({"import", db_, shipped});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "315 words added\n");

    run = Db({"list", db_});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 316);
    EXPECT_EQ(run.out.find(kHeader + "a" + kZeros), 0u);
    EXPECT_EQ(run.out.substr(run.out.size() - 4 - kZeros.size()), "your" + kZeros);
    // Alphabetical, not capitals first.
    EXPECT_NE(run.out.find("\nhurt" + kZeros + "I" + kZeros + "if" + kZeros), std::string::npos);
    EXPECT_EQ(Db({"check", db_}).status, 0);
    run = Db({"info", db_});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("live words: 315"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("valid:      yes"), std::string::npos) << run.out;
    EXPECT_EQ(Db({"import", db_, shipped}).out, "0 words added\n");
}

TEST_F(LexipondDbCli, ListQuotesFieldsInRootOrderAndSortFollowsTheLocale) {
    const std::string list = WordList("zebra\r\n\xC3\xB6l\r\nB\r\na,b\r\nsay \"hi\"\r\n");
    ASSERT_EQ(Db({"import", db_, list}, "C").status, 0);
    RecordFile file;
    file.fileName = db_;
    ASSERT_EQ(Reopen(file), 1);
    file.numberValue = -1;
    PutField(file, 0, TotalField(4));
    PutText(file, 0, "line one\nline two", kFieldNotes);
    CloseRecordFile(file);
    EXPECT_EQ(Db({"list", db_}).out,
              kHeader + "\"a,b\",\"line one\nline two\",0,0,0,0,0,0,0,0,4294967295,0\nB" + kZeros +
                  "\xC3\xB6l" + kZeros + "\"say \"\"hi\"\"\"" + kZeros + "zebra" + kZeros);
    const Outcome run = Db({"sort", db_}, "sv_SE.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "5 words sorted\n");
    const std::string sorted = Db({"list", db_}).out;
    EXPECT_EQ(sorted.substr(sorted.size() - 3 - kZeros.size()), "\xC3\xB6l" + kZeros)
        << "Swedish puts o-umlaut after z";
}

TEST_F(LexipondDbCli, UsageErrorsAndMissingFilesChangeNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frob", "x"}, {"list"}, {"list", "a", "b"}, {"import", "a"}, {"check", ""}}) {
        const Outcome run = Db(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(run.err.find("lexipond-db: "), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
    const Outcome help = Db({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("import FILE WORDLIST"), std::string::npos);

    for (const char* command : {"info", "list", "sort", "check"}) {
        const Outcome run = Db({command, db_});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("words.db"), std::string::npos) << command;
    }
    for (const std::string& list :
         {folder_ / "no-list.txt", folder_.Path(), std::string("/dev/zero")}) {
        const Outcome run = Db({"import", db_, list});
        EXPECT_EQ(run.status, 1) << list;
        EXPECT_FALSE(run.err.empty()) << list;
    }
    EXPECT_FALSE(fs::exists(db_));
}

TEST_F(LexipondDbCli, DamagedFilesAreNamedAndNeverChanged) {
    ASSERT_EQ(Db({"import", db_, WordList("dog\r\ncat\r\n")}).status, 0);
    const std::string valid = ReadBytes(db_);
    using Damage = std::function<void(std::string&)>;
    const std::tuple<const char*, Damage, const char*> rows[] = {
        {"empty", [](std::string& b) { b.clear(); }, "shorter than the 1444-byte header"},
        {"magic", [](std::string& b) { b[0] = 'd'; }, "magic"},
        {"field type", [](std::string& b) { PutWordAt(b, 1444 + 8 * 13, 14); },
         "field 14 has type"},
        {"capacity", [](std::string& b) { PutWordAt(b, 1360, 100000); }, "slots need"},
        {"unterminated word", [](std::string& b) { b[kArea + 4 + 63] = 'x'; }, "slot 0: field 1"},
    };
    const std::string list = WordList("new\r\n");
    for (const auto& [name, damage, reason] : rows) {
        SCOPED_TRACE(name);
        std::string bytes = valid;
        damage(bytes);
        WriteBytes(db_, bytes);
        Outcome run = Db({"check", db_});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        run = Db({"info", db_});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("valid:      no"), std::string::npos) << run.out;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"sort", db_}, {"import", db_, list}, {"list", db_}}) {
            run = Db(args);
            EXPECT_EQ(run.status, 1) << args[0];
            EXPECT_TRUE(run.out.empty()) << args[0] << ": " << run.out;
        }
        EXPECT_EQ(ReadBytes(db_), bytes) << "a damaged file was changed";
    }
}

} // namespace
} // namespace lexipond
