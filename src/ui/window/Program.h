#pragma once
// The program's one instance of every long-lived object, and its start-up and
// end. main() makes one Program on the window thread and runs the event loop
// between Start and Finish; every member function belongs to that thread. The
// program owns the word database, the settings, the tutoring state, the word
// store around them, the main window and the worker, and ends the worker
// before the window it posts to.
#include "core/platform/Random.h"
#include "core/platform/SingleInstance.h"
#include "core/recordfile/RecordFile.h"
#include "core/lifecycle/Lifecycle.h"
#include "core/settings/Settings.h"
#include "core/tutor/TutorState.h"

#include <chrono>
#include <memory>
#include <string>

namespace lexipond {

struct AppContext;
class MainWindow;
class Worker;
class WordStore;

// The tutor's way to the window: nothing reaches a window that does not exist yet.
class WindowRelay final : public WindowPort {
  public:
    void Invalidate() override;
    void PostCommand(int command) override;
    void PostClose() override;
    WindowPort* target = nullptr;
};

class Program {
  public:
    // programFolder: the folder of the executable, with a trailing '/'.
    explicit Program(std::string programFolder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Folders, the single instance, settings and words, the window, the worker.
    // false: the program must end now (another copy runs, no database, too few words).
    bool Start();
    // The end of the desktop session or a termination signal: saves at once,
    // without any question, and destroys the window (which ends the event loop).
    void EndOfSession();
    // After the event loop: stops the worker and saves, unless that happened already.
    void Finish();

    MainWindow* Window() { return window_.get(); }
    AppContext& Context() { return *app_; }
    WordStore& Store() { return *store_; }
    const Folders& GetFolders() const { return folders_; }
    bool Saved() const { return saved_; }

    // How long a second copy waits for the first to end.
    std::chrono::milliseconds instanceWait = platform::kInstanceWait;

  private:
    void StopWorkerAndSave();

    Folders folders_;
    RecordFile db_;
    SettingsBlock settings_{};
    TutorState state_;
    platform::SystemRandomSource random_;
    platform::SingleInstance instance_;
    WindowRelay relay_;
    std::unique_ptr<WordStore> store_;
    std::unique_ptr<AppContext> app_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Worker> worker_;
    bool saved_ = false;
};

} // namespace lexipond
