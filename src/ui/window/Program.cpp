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
#include <QTimer>
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
size_t AskInBox(QMessageBox::Icon icon, const QString& message,
                const std::vector<QString>& buttons) {
    QMessageBox box(icon, QString::fromLatin1(kWindowTitle), message, QMessageBox::NoButton);
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

// The fixed reasons are translated; the system's and the format check's are shown as given.
QString ReasonText(const std::string& reason) {
    for (const char* known : kStartupReasons)
        if (reason == known)
            return QCoreApplication::translate("StartupReason", known);
    return DisplayText(reason);
}

} // namespace

QString Program::HistoryOpenText(const HistoryOpenReport& report) {
    switch (report.outcome) {
    case HistoryOpen::Opened:
    case HistoryOpen::Created:
        break;
    case HistoryOpen::SetAsideAndNew:
        return tr("The answer history could not be used (%1). It is kept as \"%2\" and a new "
                  "history is started; the tutor goes on as before.")
            .arg(DisplayText(report.reason),
                 DisplayText(report.keptAs.substr(report.keptAs.find_last_of('/') + 1)));
    case HistoryOpen::Unavailable:
        return tr("This session's answers cannot be kept in the answer history (%1). The tutor "
                  "goes on without it.")
            .arg(DisplayText(report.reason));
    }
    return QString();
}

// Words what start-up asks or tells in the user's language.
QString Program::StartupText(const StartupMessage& message) {
    const QString path = DisplayText(message.path), reason = ReasonText(message.reason),
                  other = DisplayText(message.other);
    const QString closing = tr("Lexipond will close so that nothing is lost.");
    switch (message.notice) {
    case StartupNotice::DamagedOfferBackup:
        return tr("%1 is damaged (%2). Restore the backup \"%3\"? The damaged file is kept "
                  "beside it either way.")
            .arg(path, reason, other);
    case StartupNotice::DamagedKeptAside:
        return tr("%1 was damaged (%2). It is kept as \"%3\" and a new word list is started.")
            .arg(path, reason, other);
    case StartupNotice::CannotRead:
        return tr("%1 cannot be read (%2).").arg(path, reason) + QLatin1Char(' ') + closing;
    case StartupNotice::CannotKeepAside:
        return tr("%1 cannot be kept aside (%2).").arg(path, reason) + QLatin1Char(' ') + closing;
    case StartupNotice::CannotWrite:
        return tr("%1 cannot be written (%2).").arg(path, reason) + QLatin1Char(' ') + closing;
    case StartupNotice::CannotMap:
        return tr("%1 cannot be mapped into memory (%2).").arg(path, reason) + QLatin1Char(' ') +
               closing;
    case StartupNotice::CannotOpen:
        break;
    }
    return tr("%1 cannot be opened (%2).").arg(path, reason) + QLatin1Char(' ') + closing;
}

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
        request.message = tr("Thanks for trying Lexipond. We hope you like it.");
        request.firstButton = tr("Start");
        request.secondButton = tr("View ReadMe");
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
                        tr("Cannot find dImport.txt"), QMessageBox::Ok);
        box.exec();
    };
    dialogs.offerRestore = [this](const StartupMessage& message) {
        const size_t answer = endPending_ ? 0
                                          : AskInBox(QMessageBox::Question, StartupText(message),
                                                     {tr("Restore"), tr("Keep as it is")});
        return endPending_ || answer == 0;
    };
    dialogs.cannotUseData = [this](const StartupMessage& message) {
        if (!endPending_)
            AskInBox(QMessageBox::Warning, StartupText(message), {tr("Close")});
    };
    dialogs.tell = [this](const StartupMessage& message) {
        if (!endPending_)
            Tell(nullptr, StartupText(message));
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

    // What became of the history file is told once it is known, over the
    // window: its open runs on the writer's thread and the tutor never waits for it.
    QTimer::singleShot(kHistoryTellDelayMs, window, [this, window] {
        if (window->IsDestroyed() || endPending_)
            return;
        const QString message = HistoryOpenText(history_->OpenReport());
        if (!message.isEmpty())
            Tell(window, message);
    });

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
