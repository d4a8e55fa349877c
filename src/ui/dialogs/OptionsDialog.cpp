// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptionsDialog.h"

#include "core/settings/Settings.h"
#include "core/tutor/WordStore.h"
#include "core/words/WordDetails.h"
#include "ui/common/AppContext.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/TextDisplay.h"
#include "ui/dialogs/ChooseTextFile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lexipond {

namespace {

constexpr char kNameTip[] =
    "The name of the person being tutored. Past scores for each user are stored separately.";
constexpr char kLevelTip[] =
    "How hard the words are; this is based on past records. On the harder settings Lexipond "
    "tries to pick words that the user doesn't know, on the easier settings it does the reverse.";
constexpr char kTransparencyTip[] =
    "Lexipond transparency percentage (Will not change until 'Transparent' is toggled)";

class OptionsDialog final : public QDialog {
  public:
    OptionsDialog(AppContext& app, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
        setObjectName(QStringLiteral("options"));
        setWindowTitle(QStringLiteral("Lexipond Options"));
        if (owner != nullptr)
            setWindowModality(Qt::WindowModal);
        BuildControls();
        ShowValues();
    }

    // OK is the only way out: Esc and the window manager's close do nothing.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }

  private:
    void BuildControls() {
        const DialogUnits du(*this);
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(du.X(3), du.Y(3), du.X(3), du.Y(3));
        outer->setSpacing(du.Y(3));
        outer->addWidget(BuildUsers(du));
        outer->addWidget(BuildWordData(du));
        outer->addWidget(BuildMisc(du));
        outer->addLayout(BuildButtons(du));
        setMinimumWidth(du.X(200));
    }

    // One numbered name field per user slot.
    QGroupBox* BuildUsers(const DialogUnits& du) {
        auto* users = new QGroupBox(QStringLiteral("Users"), this);
        auto* userGrid = new QGridLayout(users);
        userGrid->setHorizontalSpacing(du.X(9));
        userGrid->setVerticalSpacing(du.Y(2));
        for (int user = 0; user < kUserCount; ++user) {
            auto* number = new QLabel(QString::number(user + 1), users);
            number->setFixedWidth(du.X(12));
            userGrid->addWidget(number, user, 0);
            names_[user] = new QLineEdit(users);
            names_[user]->setObjectName(QStringLiteral("userName%1").arg(user + 1));
            names_[user]->setMinimumWidth(du.X(160));
            names_[user]->setToolTip(QString::fromLatin1(kNameTip));
            userGrid->addWidget(names_[user], user, 1);
        }
        return users;
    }

    // The difficulty level and the Import button.
    QGroupBox* BuildWordData(const DialogUnits& du) {
        auto* words = new QGroupBox(QStringLiteral("Word Data"), this);
        auto* wordGrid = new QGridLayout(words);
        wordGrid->setHorizontalSpacing(du.X(2));
        wordGrid->setVerticalSpacing(du.Y(2));
        wordGrid->addWidget(new QLabel(QStringLiteral("Difficulty Level"), words), 0, 0);
        level_ = new QComboBox(words);
        level_->setObjectName(QStringLiteral("levelList"));
        for (const char* name : kLevelNames)
            level_->addItem(QString::fromLatin1(name));
        level_->setFixedWidth(du.X(90));
        level_->setToolTip(QString::fromLatin1(kLevelTip));
        wordGrid->addWidget(level_, 0, 1, Qt::AlignLeft);
        auto* import = new QPushButton(QStringLiteral("Import"), words);
        import->setObjectName(QStringLiteral("importButton"));
        import->setFixedSize(du.Size(50, 14));
        import->setAutoDefault(false);
        import->setToolTip(QStringLiteral("Lets you add more words via a text file"));
        wordGrid->addWidget(import, 1, 1, Qt::AlignLeft);
        wordGrid->setColumnStretch(2, 1);
        connect(import, &QPushButton::clicked, this, [this] { Import(); });
        return words;
    }

    // Confirm Quit and the transparency percentage.
    QGroupBox* BuildMisc(const DialogUnits& du) {
        auto* misc = new QGroupBox(QStringLiteral("Misc"), this);
        auto* miscGrid = new QGridLayout(misc);
        miscGrid->setVerticalSpacing(du.Y(2));
        confirmQuit_ = new QCheckBox(QStringLiteral("Confirm Quit"), misc);
        confirmQuit_->setObjectName(QStringLiteral("confirmQuit"));
        confirmQuit_->setToolTip(QStringLiteral("Confirm exit order prior to closing Lexipond"));
        miscGrid->addWidget(confirmQuit_, 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto* transparencyLabel = new QLabel(QStringLiteral("Transparency"), misc);
        transparencyLabel->setAlignment(Qt::AlignCenter);
        miscGrid->addWidget(transparencyLabel, 0, 2, Qt::AlignHCenter);
        transparency_ = new QSpinBox(misc);
        transparency_->setObjectName(QStringLiteral("transparency"));
        transparency_->setRange(0, 100);
        transparency_->setGroupSeparatorShown(false);
        transparency_->setFixedWidth(du.X(50));
        transparency_->setToolTip(QString::fromLatin1(kTransparencyTip));
        miscGrid->addWidget(transparency_, 1, 2, Qt::AlignHCenter);
        miscGrid->setColumnStretch(1, 1);
        return misc;
    }

    // Help! and OK, on the right.
    QHBoxLayout* BuildButtons(const DialogUnits& du) {
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(du.X(3));
        buttons->addStretch(1);
        auto* help = new QPushButton(QStringLiteral("Help!"), this);
        help->setObjectName(QStringLiteral("helpButton"));
        help->setFixedSize(du.Size(50, 14));
        help->setAutoDefault(false);
        help->setToolTip(QStringLiteral("Shows the ReadMe"));
        auto* ok = new QPushButton(QStringLiteral("OK"), this);
        ok->setObjectName(QStringLiteral("okButton"));
        ok->setFixedSize(du.Size(50, 14));
        ok->setDefault(true);
        buttons->addWidget(help);
        buttons->addWidget(ok);
        connect(help, &QPushButton::clicked, this, [this] { OpenReadMe(app_); });
        connect(ok, &QPushButton::clicked, this, [this] { Store(); });
        return buttons;
    }

    // Only this thread writes the settings: they are read without the store.
    void ShowValues() {
        const SettingsBlock& settings = app_.settings;
        confirmQuit_->setChecked(settings.confirmQuit != 0);
        for (int user = 0; user < kUserCount; ++user)
            names_[user]->setText(DisplayUserName(settings, user));
        transparency_->setValue(static_cast<int>(AlphaToPercent(settings.transparencyAlpha)));
        // A level outside the list shows no choice and is kept as it is.
        level_->setCurrentIndex(settings.level >= 0 && settings.level < kLevelCount ? settings.level
                                                                                    : -1);
    }

    void Import() {
        QString fileName;
        if (!ChooseTextFile(this, fileName, QString::fromLatin1(kTextFileFilter)))
            return;
        app_.store.ImportWordList(QFile::encodeName(fileName).constData());
    }

    void Store() {
        OptionsChoices choices;
        choices.confirmQuit = confirmQuit_->isChecked() ? 1 : 0;
        for (int user = 0; user < kUserCount; ++user)
            choices.userNames[user] = StoredText(names_[user]->text());
        choices.level = level_->currentIndex(); // -1, no choice: the level stays
        choices.transparencyAlpha = PercentToAlpha(static_cast<uint32_t>(transparency_->value()));
        app_.store.StoreOptions(choices);
        accept();
    }

    AppContext& app_;
    QLineEdit* names_[kUserCount] = {};
    QComboBox* level_ = nullptr;
    QCheckBox* confirmQuit_ = nullptr;
    QSpinBox* transparency_ = nullptr;
};

} // namespace

void RunOptionsDialog(AppContext& app, QWidget* owner) {
    if (app.options)
        return;
    OptionsDialog dialog(app, owner);
    app.options = &dialog; // back to null when the dialog is gone
    dialog.exec();
}

} // namespace lexipond
