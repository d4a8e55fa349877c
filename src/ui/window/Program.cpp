// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/Program.h"

#include "core/history/AnswerHistory.h"
#include "core/platform/Folders.h"
#include "core/settings/SettingsFile.h"
#include "core/tutor/WordStore.h"
#include "core/tutor/Worker.h"
#include "ui/common/AppContext.h"
#include "ui/common/AppIcon.h"
#include "ui/common/TextDisplay.h"
#include "ui/dialogs/PromptDialog.h"
#include "ui/window/MainWindow.h"
#include "ui/window/WindowWatch.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstring>
#include <vector>

namespace lexipond {

void WindowRelay::Invalidate() {
    if (WindowPort* window = target.load())
        window->Invalidate();
}
void WindowRelay::PostCommand(int command) {
    if (WindowPort* window = target.load())
        window->PostCommand(command);
}
void WindowRelay::PostClose() {
    if (WindowPort* window = target.load())
        window->PostClose();
}

namespace {

// A start-up message box with the prompts' caption. The first button is the
// default (Enter), the last the answer of Esc or a close. Returns the index of
// the button chosen.
size_t AskInBox(QMessageBox::Icon icon, const std::string& message,
                const std::vector<QString>& buttons) {
    QMessageBox box(icon, QString::fromLatin1(kWindowTitle), DisplayText(message),
                    QMessageBox::NoButton);
    box.setWindowIcon(ProgramIcon());
    // No main window yet to keep it in sight.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    std::vector<QPushButton*> made;
    for (const QString& text : buttons)
        made.push_back(
            box.addButton(text, made.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    box.setDefaultButton(made.front());
    box.setEscapeButton(made.back());
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i])
            return i;
    return made.size() - 1;
}

} // namespace

Program::Program(std::string programFolder) {
    folders_ = FindFolders(programFolder);
    store_ = std::make_unique<WordStore>(db_, settings_, state_, random_, relay_);
    history_ = std::make_unique<AnswerHistory>();
    app_ = std::unique_ptr<AppContext>(
        new AppContext{*store_, settings_, folders_.programFolder, folders_.dataFolder});
    app_->lookFile = LookFilePath();
    app_->look = LoadLook(app_->lookFile);
}

Program::~Program() {
    JoinPruning();
    watch_.reset();
    // The worker must be gone before the window it posts to.
    worker_.reset();
    FinishAnswerHistory(*history_, *store_);
    relay_.target = nullptr;
    window_.reset();
}

StartupDialogs Program::MakeStartupDialogs() {
    // Once an end is asked for, every question takes its default answer
    // unasked and no message is shown: nobody is there to read it.
    StartupDialogs dialogs;
    dialogs.welcome = [this] {
        if (endPending_)
            return 1;
        PromptRequest request;
        request.mode = 0;
        request.message = "Thanks for trying Lexipond. We hope you like it.";
        request.firstButton = "Start";
        request.secondButton = "View ReadMe";
        const int answer = RunPrompt(nullptr, request);
        return endPending_ ? 1 : answer;
    };
    dialogs.openReadMe = [this] {
        if (!endPending_)
            OpenReadMe(*app_);
    };
    dialogs.cannotFindImport = [this] {
        if (endPending_)
            return;
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lexipond.exe"),
                        QStringLiteral("Cannot find dImport.txt"), QMessageBox::Ok);
        box.exec();
    };
    dialogs.offerRestore = [this](const std::string& message) {
        const size_t answer = endPending_ ? 0
                                          : AskInBox(QMessageBox::Question, message,
                                                     {tr("Restore"), tr("Keep as it is")});
        return endPending_ || answer == 0;
    };
    dialogs.cannotUseData = [this](const std::string& message) {
        if (!endPending_)
            AskInBox(QMessageBox::Warning, message, {tr("Close")});
    };
    dialogs.tell = [this](const std::string& message) {
        if (!endPending_)
            Tell(nullptr, DisplayText(message));
    };
    return dialogs;
}

bool Program::Start() {
    if (!instance_.Acquire(platform::InstanceLockPath(platform::kInstanceName), instanceWait))
        return false;
    // The runtime folder differs between users and logins; the data folder is
    // what every copy shares. A folder that takes no lock at all is used as before.
    switch (dataLock_.Acquire(folders_.dataFolder, instanceWait)) {
    case platform::DataLockResult::HeldByAnother:
        return false;
    case platform::DataLockResult::Acquired:
        RemoveLeftovers(folders_.dataFolder);
        pruning_ = PruneBackupsInBackground(folders_.dataFolder);
        break;
    case platform::DataLockResult::Unavailable:
        break;
    }

    starting_ = true;
    const StartupOutcome outcome =
        LoadSettingsAndWords(db_, settings_, folders_, MakeStartupDialogs());
    starting_ = false;
    if (outcome != StartupOutcome::Ready)
        return false;
    started_ = true;
    if (endPending_)
        return true; // EndOfSession saves; nothing to show
    StartAnswerHistory(*history_, *store_, folders_.dataFolder);

    window_ = std::make_unique<MainWindow>(*app_);
    relay_.target = window_.get(); // before the worker starts, so it sees the window
    window_->PlaceAndShow();
    written_ = settings_;
    MainWindow* window = window_.get();
    QObject::connect(window, &MainWindow::commandDone, window, [this] { SaveSettingsIfChanged(); });
    watch_ = std::make_unique<WindowWatch>(*window);
    QObject::connect(watch_.get(), &WindowWatch::placementSettled, window, [this, window] {
        if (!window->IsDestroyed()) {
            window->StorePlacement();
            SaveSettingsIfChanged();
        }
    });
    // Nothing could close a window that is gone: end as on a termination signal.
    QObject::connect(watch_.get(), &WindowWatch::nativeWindowLost, window,
                     [this] { EndOfSession(); });

    worker_ = std::make_unique<Worker>(store_->Core());
    if (!worker_->Start()) {
        // Without the worker no word would ever be shown: save and end.
        worker_.reset();
        StopWorkerAndSave();
        return false;
    }
    return true;
}

void Program::RequestEnd() {
    if (!starting_) {
        EndOfSession();
        return;
    }
    // Saving now would cut into the start: Start goes on, then the end saves.
    endPending_ = true;
    if (auto* prompt = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        prompt->reject();
}

void Program::WriteSettings() {
    // SaveSettingsFile keeps the " Bak" only from a whole file.
    if (SaveSettingsFile(settings_, folders_.dataFolder, !settingsWrittenThisRun_)) {
        settingsWrittenThisRun_ = true;
        written_ = settings_;
    }
}

void Program::SaveSettingsIfChanged() {
    if (!started_ || saved_ || std::memcmp(&settings_, &written_, sizeof settings_) == 0)
        return;
    WriteSettings();
}

void Program::SaveDuringSession() {
    if (!started_ || saved_)
        return;
    if (window_ && !window_->IsDestroyed())
        window_->StorePlacement();
    WriteSettings();
    SyncWordDatabase(db_, &store_->Core().lock);
}

void Program::StopWorkerAndSave() {
    if (saved_ || !started_)
        return;
    if (worker_) {
        worker_->Stop();
        worker_->Join(); // the worker's own close of the database is complete after this
    }
    FinishAnswerHistory(*history_, *store_);
    // The worker is gone (or never ran): no other thread is left to keep out.
    ShutdownSave(db_, settings_, folders_.dataFolder, !settingsWrittenThisRun_);
    JoinPruning();
    saved_ = true;
}

void Program::EndOfSession() {
    if (saved_ || !started_)
        return;
    if (window_ && !window_->IsDestroyed())
        window_->StorePlacement();
    StopWorkerAndSave();
    if (window_)
        window_->DestroyWindow();
}

void Program::SaveBeforeExit() {
    if (!started_ || saved_)
        return;
    // The window's display may be gone: the worker's last posts go nowhere.
    relay_.target = nullptr;
    StopWorkerAndSave();
}

void Program::Finish() {
    StopWorkerAndSave();
}

void Program::JoinPruning() {
    // Old backups go while the data lock is still ours.
    if (pruning_.joinable())
        pruning_.join();
}

} // namespace lexipond
