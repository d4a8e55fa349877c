#include "ui/dialogs/OptionsDialog.h"

#include "ui/dialogs/ChooseTextFile.h"
#include "ui/common/DialogUnits.h"
#include "core/words/ImportWordFile.h"
#include "core/words/WordDetails.h"
#include "ui/common/AppContext.h"
#include "core/settings/Settings.h"
#include "ui/common/TextDisplay.h"
#include "core/tutor/Tutoring.h"

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
#include <cstring>
#include <mutex>
#include <string>

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
        outer->addWidget(users);

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
        outer->addWidget(words);

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
        outer->addWidget(misc);

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
        outer->addLayout(buttons);

        connect(help, &QPushButton::clicked, this, [this] { OpenReadMe(app_); });
        connect(import, &QPushButton::clicked, this, [this] { Import(); });
        connect(ok, &QPushButton::clicked, this, [this] { Store(); });

        setMinimumWidth(du.X(200));
    }

    void ShowValues() {
        std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
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
        const QByteArray path = QFile::encodeName(fileName);
        // The worker may be sorting: the import waits for the database like everyone else.
        std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
        ImportWordFile(app_.db, path.constData());
    }

    void Store() {
        {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            SettingsBlock& settings = app_.settings;
            settings.confirmQuit = confirmQuit_->isChecked() ? 1 : 0;
            for (int user = 0; user < kUserCount; ++user) {
                const std::string typed = StoredText(names_[user]->text());
                const std::string_view name = CutText(typed, kUserNameLimit);
                std::memcpy(settings.userNames[user], name.data(), name.size());
                settings.userNames[user][name.size()] = '\0';
            }
            if (level_->currentIndex() >= 0)
                settings.level = level_->currentIndex();
            settings.transparencyAlpha =
                PercentToAlpha(static_cast<uint32_t>(transparency_->value()));
            SetUpUser(app_.tutor);
        }
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
    if (app.optionsOpen)
        return;
    app.optionsOpen = true;
    {
        OptionsDialog dialog(app, owner);
        dialog.exec();
    }
    app.optionsOpen = false;
}

} // namespace lexipond
