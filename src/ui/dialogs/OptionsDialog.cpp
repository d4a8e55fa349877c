// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptionsDialog.h"

#include "core/settings/Settings.h"
#include "core/tutor/WordStore.h"
#include "core/words/ImportWordFile.h"
#include "core/words/WordDetails.h"
#include "ui/common/AppContext.h"
#include "ui/common/CoreTexts.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/TextDisplay.h"
#include "ui/dialogs/ChooseTextFile.h"
#include "ui/speech/WordSpeaker.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace lexipond {

namespace {

// The transparency percentage. The arrows keep to 0..100, but any number may be
// typed: the formula stores everything above 100 as 100, and an empty box as 0.
class PercentBox final : public QSpinBox {
  public:
    explicit PercentBox(QWidget* parent) : QSpinBox(parent) {
        setRange(0, std::numeric_limits<int>::max());
        setGroupSeparatorShown(false);
    }

    // From a typed number above 100 the first step down goes to 99.
    void stepBy(int steps) override {
        const int64_t stepped = int64_t{std::min(value(), kArrowMaximum)} + steps;
        const int target = static_cast<int>(std::clamp<int64_t>(stepped, 0, kArrowMaximum));
        QSpinBox::stepBy(target - value());
    }

  protected:
    QValidator::State validate(QString& text, int&) const override {
        for (const QChar ch : text)
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                return QValidator::Invalid;
        return QValidator::Acceptable;
    }

    // Digits only; a number too large for the box counts as its largest.
    int valueFromText(const QString& text) const override {
        int64_t number = 0;
        for (const QChar ch : text) {
            number = number * 10 + (ch.unicode() - '0');
            if (number > maximum())
                return maximum();
        }
        return static_cast<int>(number);
    }

    StepEnabled stepEnabled() const override {
        StepEnabled enabled = StepNone;
        if (value() > 0)
            enabled |= StepDownEnabled;
        if (value() < kArrowMaximum)
            enabled |= StepUpEnabled;
        return enabled;
    }

  private:
    static constexpr int kArrowMaximum = 100;
};

constexpr char kNameTip[] = QT_TRANSLATE_NOOP(
    "OptionsDialog",
    "The name of the person being tutored. Past scores for each user are stored separately.");
constexpr char kLevelTip[] = QT_TRANSLATE_NOOP(
    "OptionsDialog",
    "How hard the words are; this is based on past records. On the harder settings Lexipond "
    "tries to pick words that the user doesn't know, on the easier settings it does the reverse.");
constexpr char kTransparencyTip[] = QT_TRANSLATE_NOOP(
    "OptionsDialog",
    "Lexipond transparency percentage (Will not change until 'Transparent' is toggled)");

class OptionsDialog final : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(OptionsDialog)

  public:
    OptionsDialog(AppContext& app, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), app_(app) {
        setObjectName(QStringLiteral("options"));
        setWindowTitle(tr("Lexipond Options"));
        if (owner != nullptr)
            setWindowModality(Qt::WindowModal);
        BuildControls();
        ShowValues();
        ShowLook();
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
        outer->addWidget(BuildAppearance(du));
        outer->addLayout(BuildButtons(du));
        setMinimumWidth(du.X(200));
    }

    // One numbered name field per user slot.
    QGroupBox* BuildUsers(const DialogUnits& du) {
        auto* users = new QGroupBox(tr("Users"), this);
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
            names_[user]->setToolTip(tr(kNameTip));
            names_[user]->setAccessibleName(tr("User %1").arg(user + 1));
            number->setBuddy(names_[user]);
            userGrid->addWidget(names_[user], user, 1);
        }
        return users;
    }

    // The difficulty level and the Import button.
    QGroupBox* BuildWordData(const DialogUnits& du) {
        auto* words = new QGroupBox(tr("Word Data"), this);
        auto* wordGrid = new QGridLayout(words);
        wordGrid->setHorizontalSpacing(du.X(2));
        wordGrid->setVerticalSpacing(du.Y(2));
        wordGrid->addWidget(new QLabel(tr("Difficulty Level"), words), 0, 0);
        level_ = new QComboBox(words);
        level_->setObjectName(QStringLiteral("levelList"));
        for (int level = 0; level < kLevelCount; ++level)
            level_->addItem(LevelName(level));
        level_->setFixedWidth(du.X(90));
        level_->setToolTip(tr(kLevelTip));
        // Its label, beside it: a screen reader reads it as the list's name.
        if (auto* label = qobject_cast<QLabel*>(wordGrid->itemAtPosition(0, 0)->widget()))
            label->setBuddy(level_);
        wordGrid->addWidget(level_, 0, 1, Qt::AlignLeft);
        auto* import = new QPushButton(tr("Import"), words);
        import->setObjectName(QStringLiteral("importButton"));
        import->setFixedSize(du.Size(50, 14));
        import->setAutoDefault(false);
        import->setToolTip(tr("Lets you add more words via a text file"));
        wordGrid->addWidget(import, 1, 1, Qt::AlignLeft);
        wordGrid->setColumnStretch(2, 1);
        connect(import, &QPushButton::clicked, this, [this] { Import(); });
        return words;
    }

    // Confirm Quit and the transparency percentage.
    QGroupBox* BuildMisc(const DialogUnits& du) {
        auto* misc = new QGroupBox(tr("Misc"), this);
        auto* miscGrid = new QGridLayout(misc);
        miscGrid->setVerticalSpacing(du.Y(2));
        confirmQuit_ = new QCheckBox(tr("Confirm Quit"), misc);
        confirmQuit_->setObjectName(QStringLiteral("confirmQuit"));
        confirmQuit_->setToolTip(tr("Confirm exit order prior to closing Lexipond"));
        miscGrid->addWidget(confirmQuit_, 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto* transparencyLabel = new QLabel(tr("Transparency"), misc);
        transparencyLabel->setAlignment(Qt::AlignCenter);
        miscGrid->addWidget(transparencyLabel, 0, 2, Qt::AlignHCenter);
        transparency_ = new PercentBox(misc);
        transparency_->setObjectName(QStringLiteral("transparency"));
        transparency_->setFixedWidth(du.X(50));
        transparency_->setToolTip(tr(kTransparencyTip));
        transparencyLabel->setBuddy(transparency_);
        miscGrid->addWidget(transparency_, 1, 2, Qt::AlignHCenter);
        miscGrid->setColumnStretch(1, 1);
        return misc;
    }

    // The card's colours, the word's typeface and case: shown at once, stored
    // in their own file (not with the other options, which wait for OK).
    QGroupBox* BuildAppearance(const DialogUnits& du) {
        auto* look = new QGroupBox(tr("Appearance"), this);
        auto* grid = new QGridLayout(look);
        grid->setHorizontalSpacing(du.X(4));
        grid->setVerticalSpacing(du.Y(2));
        scheme_ = new QComboBox(look);
        scheme_->setObjectName(QStringLiteral("colourScheme"));
        scheme_->addItem(tr("Classic"), static_cast<int>(ColourScheme::Classic));
        scheme_->addItem(tr("High contrast"), static_cast<int>(ColourScheme::HighContrast));
        scheme_->addItem(tr("Dark"), static_cast<int>(ColourScheme::Dark));
        auto* schemeLabel = new QLabel(tr("&Colours"), look);
        schemeLabel->setBuddy(scheme_);
        grid->addWidget(schemeLabel, 0, 0);
        grid->addWidget(scheme_, 0, 1);
        typeface_ = new QComboBox(look);
        typeface_->setObjectName(QStringLiteral("wordTypeface"));
        typeface_->addItem(tr("Standard"), QString());
        for (const QString& family : WordFamilies())
            typeface_->addItem(family, family);
        auto* typefaceLabel = new QLabel(tr("&Word typeface"), look);
        typefaceLabel->setBuddy(typeface_);
        grid->addWidget(typefaceLabel, 1, 0);
        grid->addWidget(typeface_, 1, 1);
        lowerCase_ = new QCheckBox(tr("Show words in &lower case"), look);
        lowerCase_->setObjectName(QStringLiteral("lowerCase"));
        grid->addWidget(lowerCase_, 2, 0, 1, 2);
        // The spoken word: the voice and its speed, and whether an Incorrect says it.
        voice_ = new QComboBox(look);
        voice_->setObjectName(QStringLiteral("voice"));
        const QString voiceNames[] = {tr("Woman (slt)"), tr("Man, Scottish (awb)"), tr("Man (rms)"),
                                      tr("Man, telephone quality (kal16)")};
        const QStringList voices = SpeechVoices();
        for (qsizetype i = 0; i < voices.size(); ++i)
            voice_->addItem(voiceNames[i], voices[i]);
        auto* voiceLabel = new QLabel(tr("&Voice"), look);
        voiceLabel->setBuddy(voice_);
        grid->addWidget(voiceLabel, 3, 0);
        grid->addWidget(voice_, 3, 1);
        rate_ = new QSpinBox(look);
        rate_->setObjectName(QStringLiteral("speechRate"));
        rate_->setRange(kLeastRatePercent, kMostRatePercent);
        rate_->setSingleStep(10);
        rate_->setSuffix(QStringLiteral(" %"));
        auto* rateLabel = new QLabel(tr("Speech &speed"), look);
        rateLabel->setBuddy(rate_);
        grid->addWidget(rateLabel, 4, 0);
        grid->addWidget(rate_, 4, 1);
        sayAfterIncorrect_ = new QCheckBox(tr("Say the word after &Incorrect"), look);
        sayAfterIncorrect_->setObjectName(QStringLiteral("sayAfterIncorrect"));
        grid->addWidget(sayAfterIncorrect_, 5, 0, 1, 2);
        if (!WordSpeaker::Available())
            for (QWidget* speech : std::initializer_list<QWidget*>{voice_, voiceLabel, rate_,
                                                                   rateLabel, sayAfterIncorrect_}) {
                speech->setEnabled(false);
                speech->setToolTip(WordSpeaker::WhyUnavailable());
            }
        grid->setColumnStretch(1, 1);
        return look;
    }

    void ShowLook() {
        const LookSettings& look = app_.look;
        scheme_->setCurrentIndex(std::max(0, scheme_->findData(static_cast<int>(look.scheme))));
        // A family no longer installed is still named, so that it is kept.
        int family = typeface_->findData(look.wordFamily);
        if (family < 0) {
            typeface_->addItem(look.wordFamily, look.wordFamily);
            family = typeface_->count() - 1;
        }
        typeface_->setCurrentIndex(family);
        lowerCase_->setChecked(look.lowerCase);
        voice_->setCurrentIndex(std::max(0, voice_->findData(look.voice)));
        rate_->setValue(look.ratePercent);
        sayAfterIncorrect_->setChecked(look.sayAfterIncorrect);
        const auto changed = [this] { TakeLook(); };
        connect(scheme_, &QComboBox::currentIndexChanged, this, changed);
        connect(typeface_, &QComboBox::currentIndexChanged, this, changed);
        connect(lowerCase_, &QCheckBox::toggled, this, changed);
        connect(voice_, &QComboBox::currentIndexChanged, this, changed);
        connect(rate_, &QSpinBox::valueChanged, this, changed);
        connect(sayAfterIncorrect_, &QCheckBox::toggled, this, changed);
    }

    void TakeLook() {
        LookSettings look;
        look.scheme = static_cast<ColourScheme>(scheme_->currentData().toInt());
        look.wordFamily = typeface_->currentData().toString();
        look.lowerCase = lowerCase_->isChecked();
        look.voice = voice_->currentData().toString();
        look.ratePercent = rate_->value();
        look.sayAfterIncorrect = sayAfterIncorrect_->isChecked();
        ChangeLook(app_, look);
    }

    // Help! and OK, on the right.
    QHBoxLayout* BuildButtons(const DialogUnits& du) {
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(du.X(3));
        buttons->addStretch(1);
        auto* help = new QPushButton(tr("Help!"), this);
        help->setObjectName(QStringLiteral("helpButton"));
        help->setFixedSize(du.Size(50, 14));
        help->setAutoDefault(false);
        help->setToolTip(tr("Shows the ReadMe"));
        auto* ok = new QPushButton(tr("OK"), this);
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
        for (int user = 0; user < kUserCount; ++user) {
            names_[user]->setText(DisplayUserName(settings, user));
            shownNames_[user] = names_[user]->text();
        }
        // Typing replaces the first name; Qt selects it by itself only after a Tab.
        names_[0]->setFocus();
        names_[0]->selectAll();
        transparency_->setValue(static_cast<int>(AlphaToPercent(settings.transparencyAlpha)));
        // A level outside the list shows no choice and is kept as it is.
        level_->setCurrentIndex(settings.level >= 0 && settings.level < kLevelCount ? settings.level
                                                                                    : -1);
    }

    void Import() {
        QString fileName;
        if (!ChooseTextFile(this, fileName, TextFileFilter()))
            return;
        ImportReport report;
        app_.store.ImportWordList(QFile::encodeName(fileName).constData(), &report);
        Tell(this, ImportResult(report, fileName));
    }

    static QString ImportResult(const ImportReport& report, const QString& fileName) {
        if (!report.opened)
            return tr("%1 could not be read.").arg(QDir::toNativeSeparators(fileName));
        QStringList parts;
        parts << (report.added == 1 ? tr("1 word added") : tr("%1 words added").arg(report.added));
        if (report.duplicates > 0)
            parts << tr("%1 already in the list").arg(report.duplicates);
        if (report.empty > 0)
            parts << (report.empty == 1 ? tr("1 empty line skipped")
                                        : tr("%1 empty lines skipped").arg(report.empty));
        if (report.failed > 0)
            parts << tr("%1 not added: the word list could not grow").arg(report.failed);
        return parts.join(tr("; "));
    }

    void Store() {
        OptionsChoices choices;
        choices.confirmQuit = confirmQuit_->isChecked() ? 1 : 0;
        // A name left as it was shown keeps its bytes, whatever their encoding.
        for (int user = 0; user < kUserCount; ++user)
            if (names_[user]->text() != shownNames_[user])
                choices.userNames[user] = StoredText(names_[user]->text());
        choices.level = level_->currentIndex(); // -1, no choice: the level stays
        choices.transparencyAlpha = PercentToAlpha(static_cast<uint32_t>(transparency_->value()));
        app_.store.StoreOptions(choices);
        accept();
    }

    AppContext& app_;
    QLineEdit* names_[kUserCount] = {};
    QString shownNames_[kUserCount];
    QComboBox* level_ = nullptr;
    QCheckBox* confirmQuit_ = nullptr;
    PercentBox* transparency_ = nullptr;
    QComboBox* scheme_ = nullptr;
    QComboBox* typeface_ = nullptr;
    QCheckBox* lowerCase_ = nullptr;
    QComboBox* voice_ = nullptr;
    QSpinBox* rate_ = nullptr;
    QCheckBox* sayAfterIncorrect_ = nullptr;
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
