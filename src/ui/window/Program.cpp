#include "ui/window/Program.h"

#include "ui/dialogs/PromptDialog.h"
#include "core/platform/Folders.h"
#include "ui/common/AppContext.h"
#include "ui/window/MainWindow.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"

#include <QMessageBox>

namespace lexipond {

void WindowRelay::Invalidate() {
    if (target)
        target->Invalidate();
}
void WindowRelay::PostCommand(int command) {
    if (target)
        target->PostCommand(command);
}
void WindowRelay::PostClose() {
    if (target)
        target->PostClose();
}

Program::Program(std::string programFolder) {
    folders_ = FindFolders(programFolder);
    store_ = std::make_unique<WordStore>(db_, settings_, state_, random_, relay_);
    app_ = std::unique_ptr<AppContext>(
        new AppContext{*store_, settings_, folders_.programFolder, folders_.dataFolder});
}

Program::~Program() {
    // The worker must be gone before the window it posts to.
    worker_.reset();
    relay_.target = nullptr;
    window_.reset();
}

bool Program::Start() {
    if (!instance_.Acquire(platform::InstanceLockPath(platform::kInstanceName), instanceWait))
        return false;

    StartupDialogs dialogs;
    dialogs.welcome = [] {
        PromptRequest request;
        request.mode = 0;
        request.message = "Thanks for trying Lexipond. We hope you like it.";
        request.firstButton = "Start";
        request.secondButton = "View ReadMe";
        return RunPrompt(nullptr, request);
    };
    dialogs.openReadMe = [this] { OpenReadMe(*app_); };
    dialogs.cannotFindImport = [] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lexipond.exe"),
                        QStringLiteral("Cannot find dImport.txt"), QMessageBox::Ok);
        box.exec();
    };
    if (LoadSettingsAndWords(db_, settings_, folders_, dialogs) != StartupOutcome::Ready)
        return false;

    window_ = std::make_unique<MainWindow>(*app_);
    relay_.target = window_.get(); // before the worker starts, so it sees the window
    window_->PlaceAndShow();
    worker_ = std::make_unique<Worker>(store_->Core());
    if (!worker_->Start()) {
        // Without the worker no word would ever be shown: save and end.
        worker_.reset();
        StopWorkerAndSave();
        return false;
    }
    return true;
}

void Program::StopWorkerAndSave() {
    if (saved_)
        return;
    if (worker_) {
        worker_->Stop();
        worker_->Join(); // the worker's own close of the database is complete after this
    }
    // The worker is gone (or never ran): no other thread is left to keep out.
    ShutdownSave(db_, settings_, folders_.dataFolder, nullptr);
    saved_ = true;
}

void Program::EndOfSession() {
    if (saved_)
        return;
    if (window_ && !window_->IsDestroyed())
        window_->StorePlacement();
    StopWorkerAndSave();
    if (window_)
        window_->DestroyWindow();
}

void Program::Finish() {
    StopWorkerAndSave();
}

} // namespace lexipond
