// lexipond-db end to end: the built program is run the way a user or a script
// runs it, and its output, exit status and the database file are checked.
#include "recordfile/RecordFile.h"
#include "recordfile/RecordFileTestSupport.h"
#include "recordfile/WordDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace lexipond {
namespace {

using namespace lexipond::testing;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class LexipondDbCli : public ::testing::Test {
  protected:
    Outcome Db(const std::vector<std::string>& args, const std::string& locale = "en_US.UTF-8") {
        std::string command = "LC_ALL=" + locale + " " + Quote(LEXIPOND_DB_EXE);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        const std::string out = folder_.File("stdout");
        const std::string err = folder_.File("stderr");
        command += " >" + Quote(out) + " 2>" + Quote(err);
        Outcome run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadText(out);
        run.err = ReadText(err);
        return run;
    }

    std::string WordList(const std::string& content) {
        const std::string path = folder_.File("list-" + std::to_string(lists_++) + ".txt");
        WriteBytes(path, std::vector<uint8_t>(content.begin(), content.end()));
        return path;
    }

    std::string Resource(const std::string& name) const {
        const char* root = std::getenv("LEXIPOND_TEST_SOURCE_DIR");
        return std::string(root ? root : ".") + "/resources/" + name;
    }

    TempFolder folder_;
    int lists_ = 0;
};

TEST_F(LexipondDbCli, ImportThenListTheShippedWordListAsANewUserWould) {
    const std::string db = folder_.File("words.db");
    Outcome run = Db({"import", db, Resource("dImport.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "315 words added\n");

    run = Db({"list", db});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 316u);
    EXPECT_EQ(lines[0], "word,notes,total1,correct1,total2,correct2,total3,correct3,total4,"
                        "correct4,total5,correct5");
    EXPECT_EQ(lines[1], "a,,0,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(lines.back(), "your,,0,0,0,0,0,0,0,0,0,0");
    // Alphabetical, not capitals first: "I" sits between "hurt" and "if".
    const auto at = [&lines](const std::string& word) {
        return std::find(lines.begin(), lines.end(), word + ",,0,0,0,0,0,0,0,0,0,0") -
               lines.begin();
    };
    EXPECT_EQ(at("I"), at("hurt") + 1);
    EXPECT_EQ(at("if"), at("I") + 1);

    run = Db({"check", db});
    EXPECT_EQ(run.status, 0) << run.err;
    run = Db({"info", db});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("live words: 315"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("valid:      yes"), std::string::npos) << run.out;

    run = Db({"import", db, Resource("dImport.txt")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0 words added\n");
}

TEST_F(LexipondDbCli, ListQuotesFieldsAndPrintsTalliesUnsigned) {
    const std::string db = folder_.File("words.db");
    ASSERT_EQ(Db({"import", db, WordList("a,b\r\nsay \"hi\"\r\n lead\r\nplain\r\n")}).status, 0);
    {
        RecordFile file;
        file.fileName = db;
        file.writable = 1;
        ASSERT_EQ(OpenRecordFile(file), 1);
        const int32_t slot = FindRecordByTag(file, RecordLive, 0);
        file.numberValue = -1;
        PutField(file, slot, TotalField(4));
        std::strcpy(file.textValue, "line one\nline two");
        PutField(file, slot, kFieldNotes);
        CloseRecordFile(file);
    }
    const Outcome run = Db({"list", db});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\" lead\",\"line one\nline two\",0,0,0,0,0,0,0,0,4294967295,0\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\n\"a,b\",,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n\"say \"\"hi\"\"\",,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nplain,,"), std::string::npos) << run.out;
}

TEST_F(LexipondDbCli, SortFollowsTheLocaleAndTheRootOrderUnderC) {
    const std::string db = folder_.File("words.db");
    ASSERT_EQ(Db({"import", db, WordList("zebra\r\n\xC3\xB6l\r\nB\r\na\r\n")}, "C").status, 0);
    const std::vector<std::string> before = Lines(Db({"list", db}).out);
    EXPECT_EQ(
        std::vector<std::string>(before.begin() + 1, before.end()),
        (std::vector<std::string>{"a,,0,0,0,0,0,0,0,0,0,0", "B,,0,0,0,0,0,0,0,0,0,0",
                                  "\xC3\xB6l,,0,0,0,0,0,0,0,0,0,0", "zebra,,0,0,0,0,0,0,0,0,0,0"}));
    const Outcome run = Db({"sort", db}, "sv_SE.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "4 words sorted\n");
    const std::vector<std::string> lines = Lines(Db({"list", db}).out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], "\xC3\xB6l,,0,0,0,0,0,0,0,0,0,0") << "Swedish puts o-umlaut after z";
}

TEST_F(LexipondDbCli, UsageErrorsExitWithTwoAndHelpDocumentsEveryCommand) {
    const std::vector<std::vector<std::string>> bad = {
        {}, {"frob", "x"}, {"list"}, {"list", "a", "b"}, {"import", "a"}, {"check", ""}};
    for (const auto& args : bad) {
        const Outcome run = Db(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(run.err.find("lexipond-db: "), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
    const Outcome help = Db({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"info FILE", "list FILE", "import FILE WORDLIST", "sort FILE",
                             "check FILE", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST_F(LexipondDbCli, MissingFilesAreReportedAndNothingIsCreated) {
    const std::string db = folder_.File("none.db");
    for (const char* command : {"info", "list", "sort", "check"}) {
        const Outcome run = Db({command, db});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("none.db"), std::string::npos) << command;
    }
    const Outcome run = Db({"import", db, folder_.File("no-list.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no-list.txt"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(db));
    // A directory or a device is not a word list.
    for (const std::string& list : {folder_.File(""), std::string("/dev/zero")}) {
        const Outcome refused = Db({"import", db, list});
        EXPECT_EQ(refused.status, 1) << list;
        EXPECT_NE(refused.err.find("not a regular file"), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(std::filesystem::exists(db));
}

TEST_F(LexipondDbCli, DamagedFilesAreNamedAndNeverChanged) {
    const std::string good = folder_.File("good.db");
    ASSERT_EQ(Db({"import", good, WordList("dog\r\ncat\r\n")}).status, 0);
    const std::vector<uint8_t> valid = ReadBytes(good);
    const uint32_t slot0 = 1556;
    struct Row {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* reason;
    };
    const Row rows[] = {
        {"empty", [](auto& b) { b.clear(); }, "shorter than the 1444-byte header"},
        {"cut header", [](auto& b) { b.resize(1000); }, "shorter than the 1444-byte header"},
        {"magic", [](auto& b) { b[0] = 'd'; }, "magic"},
        {"version", [](auto& b) { b[7] = '1'; }, "version"},
        {"field count", [](auto& b) { PutWordAt(b, 1356, 13); }, "13 fields"},
        {"field type", [](auto& b) { PutWordAt(b, 1444 + 8 * 13, 14); }, "field 14 has type"},
        {"field offset", [](auto& b) { PutWordAt(b, 1444 + 8 * 2 + 4, 1630); }, "offset 1630"},
        {"capacity beyond the file", [](auto& b) { PutWordAt(b, 1360, 100000); }, "slots need"},
        {"capacity zero", [](auto& b) { PutWordAt(b, 1360, 0); }, "capacity is 0"},
        {"unterminated word", [&](auto& b) { b[slot0 + 4 + 63] = 'x'; }, "slot 0: field 1"},
        {"unterminated notes", [&](auto& b) { b[slot0 + 415] = 'x'; }, "slot 0: field 14"},
    };
    const std::string list = WordList("new\r\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string db = folder_.File("damaged.db");
        std::vector<uint8_t> bytes = valid;
        row.damage(bytes);
        WriteBytes(db, bytes);

        Outcome run = Db({"check", db});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
        run = Db({"info", db});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("valid:      no"), std::string::npos) << run.out;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"sort", db}, {"import", db, list}, {"list", db}}) {
            run = Db(args);
            EXPECT_EQ(run.status, 1) << args[0];
            EXPECT_TRUE(run.out.empty()) << args[0] << ": " << run.out;
        }
        EXPECT_EQ(ReadBytes(db), bytes) << "a damaged file was changed";
    }
}

} // namespace
} // namespace lexipond
