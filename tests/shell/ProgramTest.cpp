// The whole program object: first and later runs, the single instance, the
// missing word list, the data folder, and the end-of-session save.
#include "shell/Program.h"

#include "WidgetTestSupport.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "shell/SettingsFile.h"
#include "shell/TerminationSignals.h"
#include "tutor/Commands.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

namespace lexipond {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using namespace testing;

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::permissions(runtime.Path(), fs::perms::owner_all, fs::perm_options::replace);
        const char* source = std::getenv("LEXIPOND_TEST_SOURCE_DIR");
        importList = std::string(source ? source : LEXIPOND_SOURCE_DIR) + "/resources/dImport.txt";
        ASSERT_TRUE(fs::exists(importList));
    }
    void CopyImportList() { fs::copy_file(importList, program / "dImport.txt"); }
    std::unique_ptr<Program> Make() {
        auto made = std::make_unique<Program>(program.Slash());
        made->instanceWait = 200ms;
        return made;
    }
    // Any dialog that opens fails the test.
    std::unique_ptr<OpenWatch> FailOnAnyModal() {
        return WhenOpens([](QWidget* widget) {
            ADD_FAILURE() << "unexpected dialog: " << widget->windowTitle().toStdString();
            widget->close();
        });
    }

    TempFolder program, home, runtime;
    ScopedEnv homeEnv{"HOME", home.Path()};
    ScopedEnv dataEnv{"XDG_DATA_HOME", home / "data"};
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()};
    std::string importList;
};

TEST_F(ProgramTest, FirstRunWelcomesThenALaterRunRestoresTheWindow) {
    CopyImportList();
    QPoint moved;
    {
        auto first = Make();
        QString welcome;
        auto ran = WhenOpens([&welcome](QWidget* prompt) {
            welcome = prompt->findChild<QWidget*>(QStringLiteral("message"))
                          ->property("plainText")
                          .toString();
            prompt->findChild<QPushButton*>(QStringLiteral("firstButton"))->click();
        });
        ASSERT_TRUE(first->Start());
        EXPECT_TRUE(ran->Ran());
        EXPECT_EQ(welcome, QStringLiteral("Thanks for trying Lexipond. We hope you like it."));
        MainWindow* window = first->Window();
        ASSERT_TRUE(window->isVisible());
        ASSERT_TRUE(WaitFor([&] {
            std::lock_guard<std::recursive_mutex> guard(first->Context().state.lock);
            return first->Context().state.currentWord[0] != '\0';
        }));
        EXPECT_GE(first->Context().db.liveCount, 10u);

        window->move(40, 50);
        QApplication::processEvents();
        moved = window->geometry().topLeft();
        QSignalSpy destroyed(window, &MainWindow::windowDestroyed);
        window->OnCommand(CMD_EXIT);
        ASSERT_TRUE(WaitFor([&] { return destroyed.count() > 0; }));
        first->Context().settings.confirmQuit = 1; // the end of a session asks nothing
        first->Finish();
    }
    const std::string settingsAfterFirst = ReadBytes(program / "dLexipond.dat");
    ASSERT_EQ(settingsAfterFirst.size(), 1008u);
    EXPECT_EQ(settingsAfterFirst[8], 1); // confirmQuit
    EXPECT_EQ(ReadBytes(program / "LPDB.lbf Bak"), ReadBytes(program / "LPDB.lbf"));

    auto later = Make();
    auto unexpected = FailOnAnyModal();
    ASSERT_TRUE(later->Start());
    EXPECT_FALSE(unexpected->Ran());
    EXPECT_EQ(later->Window()->geometry().topLeft(), moved);
    later->EndOfSession();
    EXPECT_TRUE(later->Saved());
    EXPECT_TRUE(later->Window()->IsDestroyed());
    EXPECT_EQ(later->Context().db.view, nullptr);
    later->Finish(); // nothing more: saved once
    EXPECT_EQ(ReadBytes(program / "dLexipond.dat Bak"), settingsAfterFirst);
}

TEST_F(ProgramTest, SecondInstanceEndsAfterItsWaitTouchingNothing) {
    CopyImportList();
    platform::SingleInstance running;
    ASSERT_TRUE(running.Acquire(platform::InstanceLockPath(platform::kInstanceName), 0ms));
    auto second = Make();
    auto unexpected = FailOnAnyModal();
    EXPECT_FALSE(second->Start());
    EXPECT_EQ(second->Window(), nullptr);
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf"));
    EXPECT_FALSE(fs::exists(program / "dLexipond.dat"));
}

TEST_F(ProgramTest, MissingWordListTellsAndEnds) {
    WriteBytes(program / "dLexipond.dat", "WORD1100"); // not a first run
    QString caption, text;
    auto ran = WhenOpens([&](QWidget* box) {
        caption = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    auto p = Make();
    EXPECT_FALSE(p->Start());
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(caption, QStringLiteral("Lexipond.exe"));
    EXPECT_EQ(text, QStringLiteral("Cannot find dImport.txt"));
    EXPECT_EQ(p->Window(), nullptr);
}

TEST_F(ProgramTest, DefSetKeepsTheDataInTheUsersFolder) {
    CopyImportList();
    WriteBytes(program / "DefSet.txt", "");
    ScopedEnv relative("XDG_DATA_HOME", "relative/data"); // not absolute: ignored

    const std::string oldSettings = "WORD1100" + std::string(1000, '\0');
    WriteBytes(program / "dLexipond.dat", oldSettings);
    auto p = Make();
    ASSERT_TRUE(p->Start());
    p->EndOfSession();
    const std::string data = home / ".local/share/Hollet/Lexipond/";
    EXPECT_EQ(p->GetFolders().dataFolder, data);
    for (const char* name : {"LPDB.lbf", "LPDB.lbf Bak", "dLexipond.dat"})
        EXPECT_TRUE(fs::exists(data + name)) << name;
    EXPECT_FALSE(fs::exists(program / "LPDB.lbf"));
    // Read from the program folder, written to the data folder.
    EXPECT_EQ(ReadBytes(program / "dLexipond.dat"), oldSettings);
    EXPECT_EQ(ReadBytes(data + "dLexipond.dat").size(), 1008u);
}

TEST(TerminationSignals, EachTerminationSignalArrivesAsAQtSignal) {
    TerminationSignals terminations;
    ASSERT_TRUE(terminations.Installed());
    QSignalSpy spy(&terminations, &TerminationSignals::terminationRequested);
    for (int number : {SIGTERM, SIGHUP, SIGINT}) {
        spy.clear();
        raise(number); // the handler writes to the pipe; the process lives on
        ASSERT_TRUE(WaitFor([&] { return spy.count() > 0; })) << number;
        EXPECT_EQ(spy.takeFirst().at(0).toInt(), number);
    }
}

} // namespace
} // namespace lexipond
