// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db say and listen end to end: exit status 0 for a verdict, 1 for no
// verdict or a file it cannot use, 2 for usage. Skipped, saying why, without
// speech in the build or the model on the machine.
#include "TestSupport.h"

#include <sys/wait.h>

namespace lexipond {
namespace {

using namespace lexipond::testing;

class SpeechCli : public ::testing::Test {
  protected:
    void SetUp() override {
#if !LEXIPOND_WITH_SPEECH
        GTEST_SKIP() << "built without Flite and PocketSphinx: lexipond-db has no speech";
#else
        if (!fs::exists("/usr/share/pocketsphinx/model/en-us"))
            GTEST_SKIP() << "no speech model (install pocketsphinx-en-us)";
        WriteBytes(folder_ / "list.txt", "dog\nelephant\nyellow\nseven\nplease\n");
        ASSERT_EQ(Db({"import", db_, folder_ / "list.txt"}), 0) << err_;
#endif
    }
    int Db(const std::vector<std::string>& args) {
        std::string command = "'" LEXIPOND_DB_EXE "'";
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        command += " >'" + (folder_ / "out") + "' 2>'" + (folder_ / "err") + "'";
        const int raw = std::system(command.c_str());
        out_ = ReadBytes(folder_ / "out");
        err_ = ReadBytes(folder_ / "err");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    TempFolder folder_;
    const std::string db_ = folder_ / "words.db";
    std::string out_, err_;
};

TEST_F(SpeechCli, SayThenListenGivesAVerdictEitherWay) {
    const std::string wav = folder_ / "elephant.wav";
    ASSERT_EQ(Db({"say", "elephant", wav, "--voice", "kal16"}), 0) << err_;
    EXPECT_EQ(Db({"listen", db_, "elephant", wav}), 0) << err_;
    EXPECT_EQ(out_, "Correct elephant\n");
    EXPECT_EQ(Db({"listen", db_, "dog", wav}), 0) << err_;
    EXPECT_EQ(out_, "Incorrect elephant\n");
}

TEST_F(SpeechCli, NoVerdictAndUnusableFilesExitWithOne) {
    // One second of silence, 44.1 kHz stereo.
    std::string silence = "RIFF";
    const auto put = [&](uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            silence += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(36 + 176400, 4);
    silence += "WAVEfmt ";
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(176400, 4), put(4, 2), put(16, 2);
    silence += "data";
    put(176400, 4);
    silence += std::string(176400, '\0');
    WriteBytes(folder_ / "silence.wav", silence);
    EXPECT_EQ(Db({"listen", db_, "dog", folder_ / "silence.wav"}), 1);
    EXPECT_EQ(out_.rfind("No verdict", 0), 0u) << out_;

    WriteBytes(folder_ / "cut.wav", silence.substr(0, 100));
    EXPECT_EQ(Db({"listen", db_, "dog", folder_ / "cut.wav"}), 1);
    EXPECT_NE(err_.find("cut short"), std::string::npos) << err_;
    EXPECT_EQ(Db({"listen", db_, "zebra", folder_ / "silence.wav"}), 1) << "not in the list";
    EXPECT_EQ(Db({"listen", folder_ / "none.db", "dog", folder_ / "silence.wav"}), 1);
    EXPECT_EQ(Db({"say", "dog", folder_ / "no/folder.wav"}), 1);
}

TEST_F(SpeechCli, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"say", "dog"},
             {"say", "dog", folder_ / "a.wav", "--voice"},
             {"say", "dog", folder_ / "a.wav", "--voice", "nobody"},
             {"listen", db_, "dog"}})
        EXPECT_EQ(Db(args), 2) << args.back();
    EXPECT_FALSE(fs::exists(folder_ / "a.wav"));
}

} // namespace
} // namespace lexipond
