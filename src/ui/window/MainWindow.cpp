// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/MainWindow.h"

#include "core/layout/CardLayout.h"
#include "core/settings/Settings.h"
#include "core/tutor/Commands.h"
#include "core/tutor/WordStore.h"
#include "ui/common/AppContext.h"
#include "ui/common/AppIcon.h"
#include "ui/common/CoreTexts.h"
#include "ui/common/TextDisplay.h"
#include "ui/dialogs/AboutBox.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/dialogs/PromptDialog.h"
#include "ui/dialogs/ResultsReportDialog.h"
#include "ui/dialogs/WordDetailsDialog.h"
#include "ui/progress/ProgressWindow.h"
#include "ui/speech/WordListener.h"
#include "ui/speech/WordSpeaker.h"
#include "ui/window/CardAccessible.h"
#include "ui/window/ListeningMode.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace lexipond {

namespace {

constexpr int kPlacementLength = 44;
constexpr int kShowNormal = 1;
constexpr int kShowMinimised = 2;
constexpr int kShowMaximised = 3;
// Below this the window could not be found again to switch translucency off.
constexpr int kLeastAlpha = 26;
constexpr int kRepaintRetryMs = 30;
// The menu's Full Screen: no command of the tutor's, run by the window itself.
constexpr int kFullScreenItem = -1;
constexpr int kProgressItem = -2;
constexpr int kSayItem = -3;
constexpr int kListenItem = -4;
// A stored size beyond this is damage, not a screen.
constexpr int kLargestStoredSide = 16384;

QAction* AddCommand(QMenu& menu, const QString& text, int command) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    return action;
}

QAction* AddCheckable(QMenu& menu, const QString& text, int command, bool checked) {
    QAction* action = AddCommand(menu, text, command);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

// The answer keys, easy to hit blind; the menu shows the same names.
int KeyCommand(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    if (event.key() == Qt::Key_Z && mods == Qt::ControlModifier)
        return CMD_UNDO; // Ctrl+Shift+Z is left alone: elsewhere it means Redo
    // Shift is let through: Caps Lock's C and a held Shift are still C.
    if ((mods & ~Qt::ShiftModifier) != Qt::NoModifier)
        return 0;
    switch (event.key()) {
    case Qt::Key_Right:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_C:
        return CMD_CORRECT;
    case Qt::Key_Left:
    case Qt::Key_X:
        return CMD_INCORRECT;
    case Qt::Key_Space:
    case Qt::Key_Down:
        return CMD_SKIP;
    default:
        return 0;
    }
}

} // namespace

MainWindow::MainWindow(AppContext& app)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      app_(app) {
    // Before anything asks Qt for this window's accessible interface (a
    // screen reader may, as soon as the title is set).
    InstallCardAccessible();
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(ProgramIcon());
    setObjectName(QStringLiteral("mainWindow"));
    // Every paint covers the whole client area from the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // The right-button release and the keys (keyPressEvent) open the menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::NoFocus);
    resize(layout::kClientSize);
    // Larger is fine (the card scales with the window); smaller would hide part of it.
    setMinimumSize(layout::kClientSize);
    listening_ = std::make_unique<ListeningMode>(app_, this);
    listening_->afterIncorrect = [this](const std::string& word) { AfterIncorrect(word); };

    // Window-wide keys, so that they work although the window takes no focus.
    auto* fullScreen = new QAction(this);
    fullScreen->setShortcut(Qt::Key_F11);
    fullScreen->setShortcutContext(Qt::WindowShortcut);
    connect(fullScreen, &QAction::triggered, this, [this] { ToggleFullScreen(); });
    addAction(fullScreen);
    auto* leave = new QAction(this);
    leave->setShortcut(Qt::Key_Escape);
    leave->setShortcutContext(Qt::WindowShortcut);
    connect(leave, &QAction::triggered, this, [this] {
        if (isFullScreen())
            ToggleFullScreen();
    });
    addAction(leave);

    painter_.SetLook(app_.look);
    app_.lookChanged = [this] {
        painter_.SetLook(app_.look);
        update();
    };

    if (app_.settings.transparent != 0)
        ApplyTransparency(app_.settings.transparencyAlpha);
    ApplyOnTop(app_.settings.onTop == 1);
}

MainWindow::~MainWindow() {
    app_.lookChanged = nullptr; // the context outlives the window
}

void MainWindow::Invalidate() {
    if (QThread::currentThread() == thread())
        update();
    else
        Post([this] { update(); });
}

void MainWindow::PostCommand(int command) {
    Post([this, command] { OnCommand(command); });
}

void MainWindow::PostClose() {
    Post([this] {
        if (!destroyed_)
            OnCommand(CMD_EXIT);
    });
}

void MainWindow::Post(std::function<void()> task) {
    posted_.Push(std::move(task));
    // By name, so that nothing of ours is made on the calling thread for Qt to
    // hand over: the task itself crosses through posted_.
    QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
}

void MainWindow::RunPosted() {
    if (auto task = posted_.Take())
        (*task)(); // may run a modal loop, in which the next posted tasks run
}

void MainWindow::OnCommand(int command) {
    WordStore& store = app_.store;
    switch (command) {
    case CMD_HELP:
        OpenReadMe(app_);
        break;
    case CMD_OPTIONS:
        if (!app_.options) {
            RunOptionsDialog(app_, this);
            update();
        }
        break;
    case CMD_ABOUT:
        RunAboutBox(app_, this);
        break;
    case CMD_EXIT:
        ExitSequence();
        break;
    case CMD_REPORT:
        OpenResultsReport(app_, this);
        break;
    case CMD_DESTROY:
        DestroyWindow();
        break;
    case CMD_TRANSPARENT:
        ToggleTransparent();
        break;
    case CMD_ON_TOP:
        ToggleOnTop();
        break;
    case CMD_ADD_WORD:
        store.RequestAdd(); // refused while another request is in hand
        break;
    case CMD_EDIT_WORD:
        store.RequestEdit();
        break;
    case CMD_CORRECT:
        store.Answer(AnswerKind::Correct);
        break;
    case CMD_INCORRECT: {
        const std::string answered = store.WordOnShow();
        store.Answer(AnswerKind::Incorrect);
        AfterIncorrect(answered);
        break;
    }
    case CMD_SKIP:
        store.Answer(AnswerKind::Skip);
        break;
    case CMD_UNDO:
        UndoAnswer();
        break;
    case CMD_WORD_DETAILS:
        store.RunWordDetails([this] { RunWordDetailsDialog(app_, this); });
        update();
        break;
    default:
        if (command >= CMD_USER_1 && command <= CMD_USER_5)
            store.ChooseUser(command - CMD_USER_1);
        else if (command >= CMD_LEVEL_EASIEST && command <= CMD_LEVEL_HARDEST)
            store.ChooseLevel(command - CMD_LEVEL_EASIEST);
        break;
    }
    if (!destroyed_)
        emit commandDone();
}

void MainWindow::ExitSequence() {
    if (destroyed_)
        return;
    // Once a stop is under way (the worker's close comes back here) nothing is asked again.
    const bool stopping = app_.store.StopRequested();
    if (!stopping && app_.settings.confirmQuit != 0) {
        PromptRequest request;
        request.mode = 11;
        request.message = tr("Are you sure that you want to exit Lexipond?");
        request.firstButton = tr("Yes, close please");
        request.secondButton = tr("No, keep running");
        if (RunPrompt(this, request) != 1 || destroyed_)
            return;
    }
    if (!stopping)
        StorePlacement();
    if (app_.store.RequestStop())
        DestroyWindow();
}

void MainWindow::DestroyWindow() {
    if (destroyed_)
        return;
    destroyed_ = true;
    listening_->Stop();
    hide();
    emit windowDestroyed();
}

void MainWindow::UndoAnswer() {
    const std::optional<AnswerStep> step = app_.store.LastAnswer();
    if (!step || app_.store.Undo() != UndoOutcome::WordGone)
        return;
    PromptRequest request;
    request.mode = 11;
    request.message = tr("\"%1\" was deleted or renamed after that answer, so the answer cannot be "
                         "taken back, nor any answer before it. The Report shows what is counted.")
                          .arg(DisplayText(step->word));
    request.firstButton = tr("OK");
    request.secondButton = tr("Report");
    if (RunPrompt(this, request) == 2 && !destroyed_)
        OnCommand(CMD_REPORT);
}

void MainWindow::ToggleTransparent() {
    if (app_.settings.transparent != 0) {
        setWindowOpacity(1.0);
        app_.settings.transparent = 0;
    } else {
        ApplyTransparency(app_.settings.transparencyAlpha);
        app_.settings.transparent = 1;
    }
}

void MainWindow::ToggleOnTop() {
    app_.settings.onTop = app_.settings.onTop == 0 ? 1 : 0;
    ApplyOnTop(app_.settings.onTop == 1);
}

void MainWindow::ToggleFullScreen() {
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void MainWindow::ApplyTransparency(int alpha) {
    setWindowOpacity(std::clamp(alpha, kLeastAlpha, 255) / 255.0);
}

void MainWindow::ApplyOnTop(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on); // hides a visible window
    if (wasVisible && !destroyed_)
        show();
}

void MainWindow::BuildContextMenu(QMenu& menu) {
    const SettingsBlock& settings = app_.settings;

    auto* users = new QMenu(tr("User"), &menu);
    for (int i = 0; i < kUserCount; ++i)
        AddCheckable(*users, DisplayUserName(settings, i), CMD_USER_1 + i,
                     settings.currentUser == i);
    auto* levels = new QMenu(tr("Level"), &menu);
    for (int i = 0; i < kLevelCount; ++i)
        AddCheckable(*levels, LevelName(i), CMD_LEVEL_EASIEST + i, settings.level == i);

    if (!app_.report) {
        QString word = DisplayText(app_.store.WordOnShow());
        // "&" would turn the next letter into a shortcut mark.
        word.replace(QLatin1Char('&'), QStringLiteral("&&"));
        AddCommand(menu, tr("Edit %1").arg(word), CMD_EDIT_WORD);
        AddCommand(menu, tr("Add Word"), CMD_ADD_WORD);
        AddCommand(menu, tr("Report"), CMD_REPORT);
        menu.addSeparator();
    }
    menu.addMenu(users);
    menu.addMenu(levels);
    menu.addSeparator();
    AddCheckable(menu, tr("Transparent"), CMD_TRANSPARENT, settings.transparent == 1);
    AddCheckable(menu, tr("On Top"), CMD_ON_TOP, settings.onTop == 1);
    QAction* fullScreen = AddCheckable(menu, tr("Full Screen"), kFullScreenItem, isFullScreen());
    fullScreen->setShortcut(Qt::Key_F11); // shown beside the item; the window's key runs it
    fullScreen->setShortcutContext(Qt::WidgetShortcut);
    menu.addSeparator();
    AddCommand(menu, tr("Options..."), CMD_OPTIONS);
    AddCommand(menu, tr("About"), CMD_ABOUT);
    AddCommand(menu, tr("Help"), CMD_HELP);
    AddCommand(menu, tr("Exit"), CMD_EXIT);

    // The keyboard's answers, at the end so that every other item keeps its place.
    menu.addSeparator();
    AddCommand(menu, tr("Correct\tRight, Enter, C"), CMD_CORRECT);
    AddCommand(menu, tr("Incorrect\tLeft, X"), CMD_INCORRECT);
    AddCommand(menu, tr("Skip\tSpace, Down"), CMD_SKIP);
    const std::optional<AnswerStep> last = app_.store.LastAnswer();
    QString undo = tr("Undo");
    if (last) {
        undo = tr("Undo: %1, %2").arg(DisplayText(last->word), AnswerName(last->kind));
        undo.replace(QLatin1Char('&'), QStringLiteral("&&"));
    }
    AddCommand(menu, undo + QStringLiteral("\tCtrl+Z"), CMD_UNDO)->setEnabled(last.has_value());
    QAction* say = AddCommand(menu, tr("Say the word\tS"), kSayItem);
    if (!WordSpeaker::Available()) {
        say->setEnabled(false);
        say->setToolTip(WordSpeaker::WhyUnavailable());
        menu.setToolTipsVisible(true);
    }
    QAction* listen = AddCheckable(menu, tr("Listen\tL"), kListenItem, listening_->IsOn());
    if (!WordListener::Available()) {
        listen->setEnabled(false);
        listen->setToolTip(WordListener::WhyUnavailable());
        menu.setToolTipsVisible(true);
    }
    menu.addSeparator();
    AddCommand(menu, tr("Progress..."), kProgressItem);
}

void MainWindow::ShowContextMenu(const QPoint& globalPos) {
    int chosen = 0;
    {
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("contextMenu"));
        BuildContextMenu(menu);
        activateWindow();
        // The menu's right edge at the cursor.
        QAction* action = menu.exec(globalPos - QPoint(menu.sizeHint().width(), 0));
        if (action)
            chosen = action->data().toInt();
    }
    if (chosen == kFullScreenItem)
        ToggleFullScreen();
    else if (chosen == kProgressItem)
        OpenProgressWindow(app_, this);
    else if (chosen == kSayItem)
        SayWordOnShow();
    else if (chosen == kListenItem)
        ToggleListening();
    else if (chosen != 0)
        OnCommand(chosen);
}

void MainWindow::StorePlacement() {
    WindowPlacement& placement = app_.settings.windowPlacement;
    QRect normal = normalGeometry();
    if (!normal.isValid())
        normal = geometry();
    placement.length = kPlacementLength;
    placement.flags = 0;
    placement.showState = isMinimized()   ? kShowMinimised
                          : isMaximized() ? kShowMaximised
                                          : kShowNormal;
    placement.minPositionX = -1;
    placement.minPositionY = -1;
    placement.maxPositionX = -1;
    placement.maxPositionY = -1;
    placement.normalLeft = normal.left();
    placement.normalTop = normal.top();
    placement.normalRight = normal.left() + normal.width();
    placement.normalBottom = normal.top() + normal.height();
}

void MainWindow::PlaceAndShow() {
    const WindowPlacement& placement = app_.settings.windowPlacement;
    QScreen* primary = QGuiApplication::primaryScreen();
    const QRect desktop = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    if (placement.minPositionX == kNeverPlaced) {
        resize(layout::kClientSize);
        move(desktop.center() - QPoint(width() / 2, height() / 2));
        show();
        StorePlacement();
        return;
    }
    // 64-bit arithmetic: a damaged file may hold anything.
    const int64_t width = int64_t{placement.normalRight} - placement.normalLeft;
    const int64_t height = int64_t{placement.normalBottom} - placement.normalTop;
    QRect stored(placement.normalLeft, placement.normalTop,
                 static_cast<int>(
                     std::clamp<int64_t>(width, layout::kClientSize.width(), kLargestStoredSide)),
                 static_cast<int>(std::clamp<int64_t>(height, layout::kClientSize.height(),
                                                      kLargestStoredSide)));
    if (width <= 0 || height <= 0)
        stored.setSize(layout::kClientSize);
    // A window placed on a screen that is gone comes back in the middle.
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(stored);
    if (!onScreen)
        stored.moveCenter(desktop.center());
    setGeometry(stored);
    switch (placement.showState) {
    case kShowMinimised:
        showMinimized();
        break;
    case kShowMaximised:
        showMaximized();
        break;
    default:
        show();
        break;
    }
}

void MainWindow::paintEvent(QPaintEvent*) {
    if (!painter_.TakeSnapshot(app_.store) && !repaintPending_) {
        // The worker holds the state for a moment (a re-sort): show the last
        // picture now and the new one shortly.
        repaintPending_ = true;
        QTimer::singleShot(kRepaintRetryMs, this, [this] {
            repaintPending_ = false;
            update();
        });
    }
    QPainter target(this);
    painter_.Paint(target);
    listening_->WordShown(painter_.Snapshot().wordBytes);
    AnnounceCardChanges(*this);
    if (onWordPainted && !painter_.Snapshot().word.isEmpty()) {
        auto hook = std::move(onWordPainted);
        onWordPainted = nullptr;
        hook();
    }
}

void MainWindow::resizeEvent(QResizeEvent*) {
    painter_.Resize(size(), devicePixelRatioF());
    listening_->Place();
    update();
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        // The button is found on the scaled card; the answer then takes the
        // same way as a click at the card's own size. A release after a drag
        // outside the window falls on no button.
        PressCardButton(ButtonAt(FitCard(width(), height()), at.x(), at.y()));
    } else if (event->button() == Qt::RightButton) {
        ShowContextMenu(event->globalPosition().toPoint());
    }
}

WordSpeaker& MainWindow::EnsureSpeaker() {
    if (!speaker_) {
        speaker_ = std::make_unique<WordSpeaker>(this);
        connect(speaker_.get(), &WordSpeaker::playing, this, [this](int samples, int rate) {
            listening_->HoldFor(rate > 0 ? int(int64_t{samples} * 1000 / rate) : 0);
        });
    }
    return *speaker_;
}

void MainWindow::SayWordOnShow() {
    EnsureSpeaker().Say(app_.store.WordOnShow(), app_.look.voice, app_.look.ratePercent);
}

void MainWindow::ToggleListening() {
    if (!listening_->IsOn() && !WordListener::Available()) {
        // The key cannot show the menu's tooltip: say it once.
        if (!std::exchange(toldNoListening_, true))
            Tell(this, WordListener::WhyUnavailable());
        return;
    }
    listening_->Toggle();
}

void MainWindow::PressCardButton(CardButton button) {
    if (button == CardButton::None)
        return;
    const std::string answered = app_.store.WordOnShow();
    const CardPoint point = UnscaledPoint(button);
    app_.store.Click(point.x, point.y);
    if (button == CardButton::Incorrect)
        AfterIncorrect(answered);
}

void MainWindow::AfterIncorrect(const std::string& word) {
    if (!app_.look.sayAfterIncorrect || word.empty())
        return;
    EnsureSpeaker().Say(word, app_.look.voice, app_.look.ratePercent);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey) {
        // Over the card, where a right click would open it.
        ShowContextMenu(mapToGlobal(rect().center()));
        return;
    }
    if (event->key() == Qt::Key_S && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            SayWordOnShow();
        return;
    }
    if (event->key() == Qt::Key_L && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            ToggleListening();
        return;
    }
    const int command = KeyCommand(*event);
    if (command == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    // A held key repeats: one answer per press, so a slow release tallies nothing twice.
    if (!event->isAutoRepeat())
        OnCommand(command);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (destroyed_) {
        event->accept();
        return;
    }
    // The close box takes the same way as the menu's Exit.
    event->ignore();
    PostCommand(CMD_EXIT);
}

} // namespace lexipond
