// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/PromptDialog.h"

#include "ui/common/AppIcon.h"
#include "ui/common/TextDisplay.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace lexipond {

namespace {

// The classic layout, in pixels of a 96-dpi desktop.
constexpr QSize kPromptSize(375, 198);
constexpr QRect kIconRect(6, 6, 32, 32);
constexpr QRect kMessageRect(52, 5, 315, 55);
constexpr QRect kFirstButtonRect(69, 70, 300, 57);
constexpr QRect kSecondButtonRect(69, 135, 300, 57);
constexpr int kSmallFontMode = 10;

class PromptDialog : public QDialog {
  public:
    PromptDialog(QWidget* owner, const PromptRequest& request)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowStaysOnTopHint) {
        setWindowTitle(QString::fromLatin1(kWindowTitle));
        setWindowIcon(ProgramIcon());
        setModal(true);
        setFixedSize(kPromptSize);

        auto* icon = new QLabel(this);
        icon->setGeometry(kIconRect);
        icon->setPixmap(ProgramIcon().pixmap(kIconRect.size()));

        const QFont large = CellHeightFont(20, 50);
        const QFont small = CellHeightFont(16, 50);

        auto* message = new QPlainTextEdit(this);
        message->setObjectName(QStringLiteral("message"));
        message->setGeometry(kMessageRect);
        message->setReadOnly(true);
        message->setFrameStyle(QFrame::NoFrame);
        message->setFocusPolicy(Qt::NoFocus);
        message->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        message->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        message->viewport()->setAutoFillBackground(false);
        message->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
        message->setFont(request.mode >= kSmallFontMode ? small : large);
        message->setPlainText(request.message);

        auto* first = new QPushButton(request.firstButton, this);
        first->setObjectName(QStringLiteral("firstButton"));
        first->setGeometry(kFirstButtonRect);
        first->setFont(large);
        first->setDefault(true);
        first->setAutoDefault(true);

        auto* second = new QPushButton(request.secondButton, this);
        second->setObjectName(QStringLiteral("secondButton"));
        second->setGeometry(kSecondButtonRect);
        second->setFont(large);
        second->setAutoDefault(true);

        connect(first, &QPushButton::clicked, this, [this] { done(1); });
        connect(second, &QPushButton::clicked, this, [this] { done(2); });
        first->setFocus();

        // Centred on the owner's screen (the desktop's when there is no owner).
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(screen->availableGeometry().center() - rect().center());
    }

  protected:
    // Esc and any close request from the window manager count as the second button.
    void reject() override { done(2); }
};

} // namespace

int RunPrompt(QWidget* owner, PromptRequest& request) {
    int result = 2;
    {
        PromptDialog dialog(owner, request);
        result = dialog.exec() == 1 ? 1 : 2;
    }
    request = PromptRequest{};
    return result;
}

} // namespace lexipond
