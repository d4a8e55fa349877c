#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one instance of every long-lived object, and its start-up and
// end. main() makes one Program on the window thread and runs the event loop
// between Start and Finish; every member function belongs to that thread
// (SaveBeforeExit too: exit() runs it there). The program owns the word
// database, the settings, the tutoring state, the word store around them, the
// main window, the worker and the answer history, and ends the worker before
// the window it posts to. It holds the data folder's lock from Start to its end, and writes the
// settings file whenever a setting changes, not only at the end.
#include "core/history/HistoryOpen.h"
#include "core/lifecycle/Lifecycle.h"
#include "core/platform/DataLock.h"
#include "core/platform/Random.h"
#include "core/platform/SingleInstance.h"
#include "core/recordfile/RecordFile.h"
#include "core/settings/Settings.h"
#include "core/tutor/TutorState.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace lexipond {

class AnswerHistory;
struct AppContext;
class MainWindow;
class WindowWatch;
class Worker;
class WordStore;

// The tutor's way to the window: nothing reaches a window that does not exist
// yet, or that the program has let go of at exit. The worker reads the target
// when it posts, so it is atomic.
class WindowRelay final : public WindowPort {
  public:
    void Invalidate() override;
    void PostCommand(int command) override;
    void PostClose() override;
    std::atomic<WindowPort*> target = nullptr;
};

class Program {
    Q_DECLARE_TR_FUNCTIONS(Program)

  public:
    // programFolder: the folder of the executable, with a trailing '/'.
    explicit Program(std::string programFolder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Folders, the single instance, the data folder's lock, settings and words,
    // the window, the worker. false: the program must end now (another copy
    // runs or holds the data, no database, too few words, unusable data).
    // true with EndPending(): an end was asked for while starting; there is no
    // window and no worker, and EndOfSession saves.
    bool Start();
    // A termination signal. While Start runs (in one of its prompts) the end
    // is remembered, the open prompt closed, and Start goes on without asking
    // anything more; afterwards it is EndOfSession.
    void RequestEnd();
    bool EndPending() const { return endPending_; }
    // The end of the desktop session or a termination signal: saves at once,
    // without any question, and destroys the window (which ends the event loop).
    void EndOfSession();
    // The session manager's save, which comes at any time: the settings and
    // the word database reach the disk, and the run goes on.
    void SaveDuringSession();
    // The run ends by exit() from below (Qt ends the process when the display
    // is gone): stops the worker and saves without touching any window, with
    // the placement last stored. Does nothing before a successful Start.
    void SaveBeforeExit();
    // After the event loop: stops the worker and saves, unless that happened already.
    void Finish();

    MainWindow* Window() { return window_.get(); }
    AppContext& Context() { return *app_; }
    WordStore& Store() { return *store_; }
    // The answer history of the run (its OpenReport tells what became of the file).
    AnswerHistory& History() { return *history_; }
    const Folders& GetFolders() const { return folders_; }
    bool Saved() const { return saved_; }

    // How long a second copy waits for the first to end.
    std::chrono::milliseconds instanceWait = platform::kInstanceWait;

  private:
    StartupDialogs MakeStartupDialogs();
    static QString StartupText(const StartupMessage& message);
    // What to tell about the history file's open; empty when all is well.
    static QString HistoryOpenText(const HistoryOpenReport& report);
    static constexpr int kHistoryTellDelayMs = 300;
    // Writes the settings file: now, or when the block differs from what was last written.
    void WriteSettings();
    void SaveSettingsIfChanged();
    void StopWorkerAndSave();
    void JoinPruning();

    Folders folders_;
    RecordFile db_;
    SettingsBlock settings_{};
    TutorState state_;
    platform::SystemRandomSource random_;
    platform::SingleInstance instance_;
    platform::DataFolderLock dataLock_;
    std::thread pruning_; // old dated backups deleted while the run goes on
    WindowRelay relay_;
    std::unique_ptr<WordStore> store_;
    std::unique_ptr<AnswerHistory> history_; // started with the run, closed at its end
    std::unique_ptr<AppContext> app_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<WindowWatch> watch_;
    std::unique_ptr<Worker> worker_;
    // The block as last written, or as loaded; a difference is a change to save.
    SettingsBlock written_{};
    // The first save of a run keeps the file of the start as the " Bak"; later ones must not.
    bool settingsWrittenThisRun_ = false;
    bool starting_ = false;
    bool started_ = false;
    bool endPending_ = false;
    bool saved_ = false;
};

} // namespace lexipond
