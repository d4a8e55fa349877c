#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one top-level window: paints the tutor, takes the answer clicks
// and the context menu, and runs the commands. It lives on the window thread,
// is owned by Program and owns the dialogs it opens (the Results Report too).
// Only the WindowPort calls may come from another thread (the worker); they are
// queued to the window. Everything it shows or changes of the tutor goes
// through app.store.
#include "core/layout/CardLayout.h"
#include "core/platform/TaskQueue.h"
#include "core/tutor/TutorState.h"
#include "ui/window/MainWindowPainter.h"

#include <QWidget>
#include <functional>
#include <memory>

class QMenu;

namespace lexipond {

struct AppContext;
class WordSpeaker;
class ListeningMode;

class MainWindow final : public QWidget, public WindowPort {
    Q_OBJECT
  public:
    // Applies Transparent and On Top before the window is first shown.
    explicit MainWindow(AppContext& app);
    ~MainWindow() override;

    // WindowPort: safe from any thread; everything is queued to this window's thread.
    void Invalidate() override;
    void PostCommand(int command) override;
    void PostClose() override;

    // One command of the menu, the window or the worker.
    void OnCommand(int command);
    // An answer button pressed: the one way of a left click on it and of a
    // screen reader's press. None does nothing.
    void PressCardButton(CardButton button);
    // The key S and the menu's "Say the word": the word on show, aloud.
    void SayWordOnShow();
    // Says the word just answered Incorrect, when the look asks for it.
    void AfterIncorrect(const std::string& word);
    // Made at the first request; null before.
    WordSpeaker* Speaker() { return speaker_.get(); }
    // The key L and the menu's "Listen": the reader's voice answers, or no longer.
    void ToggleListening();
    ListeningMode& Listening() { return *listening_; }
    // Fills an empty menu with the context menu's items as things stand now.
    void BuildContextMenu(QMenu& menu);
    // Opens the context menu with its right edge at globalPos and runs the choice.
    void ShowContextMenu(const QPoint& globalPos);

    // Shows the window centred (first run, then its placement is stored) or at
    // the stored placement.
    void PlaceAndShow();
    void StorePlacement();

    // F11, Esc (leaving only) and the menu's Full Screen: the card fills the screen.
    void ToggleFullScreen();

    void ApplyTransparency(int alpha);
    void ApplyOnTop(bool on);

    // The window's end: hidden for good; windowDestroyed() tells the owner.
    void DestroyWindow();
    bool IsDestroyed() const { return destroyed_; }

    MainWindowPainter& Painter() { return painter_; }
    // Called once, after the first paint that showed a word.
    std::function<void()> onWordPainted;

  signals:
    void windowDestroyed();
    // After every command: it may have changed the settings.
    void commandDone();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The speaker, made at the first request.
    WordSpeaker& EnsureSpeaker();
    // Queues a task for this window's thread; one queued RunPosted runs it, in
    // the order posted.
    void Post(std::function<void()> task);
    Q_INVOKABLE void RunPosted();
    void ExitSequence();
    void ToggleTransparent();
    void ToggleOnTop();
    void UndoAnswer();

    AppContext& app_;
    MainWindowPainter painter_;
    bool destroyed_ = false;
    bool repaintPending_ = false;
    platform::TaskQueue posted_; // filled by the worker, emptied by RunPosted
    std::unique_ptr<WordSpeaker> speaker_;
    std::unique_ptr<ListeningMode> listening_;
    bool toldNoListening_ = false;
};

} // namespace lexipond
