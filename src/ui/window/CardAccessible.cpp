// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/CardAccessible.h"

#include "core/layout/CardLayout.h"
#include "ui/window/MainWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPointer>
#include <QRectF>
#include <QWindow>
#include <array>
#include <cstdint>

namespace lexipond {

namespace {

constexpr int kWordPart = 0;
constexpr int kFirstScorePart = 1;
constexpr int kFirstButtonPart = kFirstScorePart + kScoreLineCount;
constexpr CardButton kButtons[] = {CardButton::Correct, CardButton::Incorrect, CardButton::Skip};
constexpr int kPartCount = kFirstButtonPart + 3;

CardButton ButtonOf(int part) {
    return part >= kFirstButtonPart && part < kPartCount ? kButtons[part - kFirstButtonPart]
                                                         : CardButton::None;
}

QString PartName(MainWindow& window, int part) {
    const MainWindowPainter& painter = window.Painter();
    if (part == kWordPart)
        return painter.ShownWordText();
    if (part < kFirstButtonPart) {
        const ScoreLineText line = painter.ScoreTexts()[part - kFirstScorePart];
        return line.label + QLatin1Char(' ') + line.value;
    }
    return painter.Caption(part - kFirstButtonPart);
}

// Where the painter draws a part, at the card's own size.
QRect CardRect(MainWindow& window, int part) {
    if (part == kWordPart)
        return layout::kWordPanel;
    if (part < kFirstButtonPart)
        return window.Painter().ScoreTexts()[part - kFirstScorePart].box;
    constexpr QRect buttons[] = {layout::kCorrectButton, layout::kIncorrectButton,
                                 layout::kSkipButton};
    return buttons[part - kFirstButtonPart];
}

// The part's area in the window as it is scaled now: every pixel it touches.
QRect WindowRect(MainWindow& window, int part) {
    const QRect card = CardRect(window, part);
    const ButtonPlace place{static_cast<uint16_t>(card.left()), static_cast<uint16_t>(card.top()),
                            static_cast<uint16_t>(card.width()),
                            static_cast<uint16_t>(card.height())};
    const CardArea area = ScaledPlace(FitCard(window.width(), window.height()), place);
    return QRectF(QPointF(area.left, area.top), QPointF(area.right, area.bottom)).toAlignedRect();
}

// One part of the card. It has no object of its own; the window's interface
// keeps it registered with Qt and deletes it with itself.
class CardPart final : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    CardPart(MainWindow* window, int part) : window_(window), part_(part) {}

    bool isValid() const override {
        const QAccessibleInterface* card = parent();
        return card != nullptr && card->isValid(); // not while the window is destroyed
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return window_ ? window_->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(window_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Name && isValid() ? PartName(*window_, part_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return QRect();
        const QRect inWindow = WindowRect(*window_, part_);
        return QRect(window_->mapToGlobal(inWindow.topLeft()), inWindow.size());
    }
    QAccessible::Role role() const override {
        return ButtonOf(part_) == CardButton::None ? QAccessible::StaticText : QAccessible::Button;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.invisible = !window_->isVisible();
        if (part_ == kWordPart) {
            state.focusable = true;
            state.focused = window_->isActiveWindow();
        }
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && ButtonOf(part_) != CardButton::None)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid() && QApplication::activeModalWidget() == nullptr)
            window_->PressCardButton(ButtonOf(part_));
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QPointer<MainWindow> window_;
    int part_;
};

class CardAccessible final : public QAccessibleWidget {
  public:
    explicit CardAccessible(MainWindow* window)
        : QAccessibleWidget(window, QAccessible::Window), window_(window) {
        // What there is now needs no telling.
        for (int part = 0; part < kFirstButtonPart; ++part)
            told_[part] = PartName(*window, part);
    }
    ~CardAccessible() override {
        for (QAccessible::Id id : ids_)
            QAccessible::deleteAccessibleInterface(id); // an id gone already is ignored
    }

    int childCount() const override { return kPartCount; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= kPartCount)
            return nullptr;
        if (QAccessibleInterface* part = QAccessible::accessibleInterface(ids_[index]))
            return part;
        auto* part = new CardPart(window_, index);
        ids_[index] = QAccessible::registerAccessibleInterface(part);
        return part;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int index = 0; index < kPartCount; ++index)
            if (ids_[index] != 0 && QAccessible::accessibleInterface(ids_[index]) == child)
                return index;
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        return isValid() && window_->isActiveWindow() ? child(kWordPart) : nullptr;
    }

    QList<int> AnnounceChanges() {
        QList<int> changed;
        for (int part = 0; part < kFirstButtonPart; ++part) {
            QString name = PartName(*window_, part);
            if (name == told_[part])
                continue;
            told_[part] = std::move(name);
            QAccessibleEvent event(window_, QAccessible::NameChanged);
            event.setChild(part);
            QAccessible::updateAccessibility(&event);
            changed.append(part);
        }
        return changed;
    }

  private:
    MainWindow* window_; // the widget() of this interface, which lives no longer
    mutable std::array<QAccessible::Id, kPartCount> ids_{};
    std::array<QString, kFirstButtonPart> told_;
};

QAccessibleInterface* MakeCardAccessible(const QString&, QObject* object) {
    auto* window = qobject_cast<MainWindow*>(object);
    return window ? new CardAccessible(window) : nullptr;
}

} // namespace

void InstallCardAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(MakeCardAccessible);
        return true;
    }();
    (void)installed;
}

QList<int> AnnounceCardChanges(MainWindow& window) {
    // Not only while QAccessible::isActive(): a screen reader that starts later
    // must not be told the changes of before as news.
    auto* card = dynamic_cast<CardAccessible*>(QAccessible::queryAccessibleInterface(&window));
    return card ? card->AnnounceChanges() : QList<int>();
}

} // namespace lexipond
