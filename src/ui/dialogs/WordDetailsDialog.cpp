// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/WordDetailsDialog.h"

#include "core/settings/Settings.h"
#include "core/tutor/Commands.h"
#include "core/tutor/WordStore.h"
#include "core/words/WordDetails.h"
#include "ui/common/AppContext.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/TextDisplay.h"
#include "ui/dialogs/PromptDialog.h"
#include "ui/speech/WordSpeaker.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lexipond {

namespace {

// A title bar without a close box or system menu.
constexpr Qt::WindowFlags kCaptionOnly = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// Notes keep CR LF line ends in the database, as a Windows edit box writes them.
QString NotesForDisplay(const std::string& notes) {
    QString text = DisplayText(notes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string NotesForStore(const QString& text) {
    QString stored = text;
    stored.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return StoredText(stored);
}

QPushButton* MakeButton(const QString& text, const char* name, QSize size, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(size);
    return button;
}

// The word list as the combo box reads it: the stored bytes, turned into text
// only for the rows a view asks for, so a list of a million words opens without
// converting (or measuring) each one. Texts set through the box (a saved rename)
// are kept beside the bytes.
class WordListModel final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    void Reset(std::vector<std::string> words) {
        beginResetModel();
        words_ = std::move(words);
        edited_.clear();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(words_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount() ||
            (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        const auto found = edited_.constFind(index.row());
        return found != edited_.constEnd() ? *found : DisplayText(words_[index.row()]);
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || index.row() >= rowCount() ||
            (role != Qt::DisplayRole && role != Qt::EditRole))
            return false;
        edited_.insert(index.row(), value.toString());
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

  private:
    std::vector<std::string> words_;
    QHash<int, QString> edited_;
};

class WordDetailsDialog final : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(WordDetailsDialog)

  public:
    WordDetailsDialog(AppContext& app, QWidget* owner) : QDialog(owner, kCaptionOnly), app_(app) {
        setObjectName(QStringLiteral("wordDetails"));
        setWindowTitle(tr("Word Details"));
        if (owner != nullptr)
            setWindowModality(Qt::WindowModal);
        BuildControls();
    }

    // What happens when the dialog opens: a new word for -2, else the given slot.
    void Open(int32_t target) {
        FillWordList();
        ShowUserNames();
        if (target == kDetailsNewWord) {
            AddWord(false, false);
            if (index_ < 0)
                ShowWordDetails(); // no room for a new word: show nothing
            return;
        }
        index_ = IndexOfSlot(target);
        if (index_ < 0 && !slots_.empty())
            index_ = 0;
        ShowWordDetails();
    }

  protected:
    void accept() override {
        SaveShown(wordBox_->currentText());
        QDialog::accept();
    }

  private:
    void BuildControls() {
        const DialogUnits du(*this);
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(du.X(5), du.Y(5), du.X(5), du.Y(5));
        outer->setSpacing(du.Y(3));
        outer->addLayout(BuildWordAndTallies(du));
        outer->addSpacing(du.Y(4));
        outer->addWidget(new QLabel(tr("Notes:"), this));
        notes_ = new QPlainTextEdit(this);
        // "Notes:", just added above it, names it to a screen reader.
        if (auto* label = qobject_cast<QLabel*>(outer->itemAt(outer->count() - 1)->widget()))
            label->setBuddy(notes_);
        notes_->setObjectName(QStringLiteral("notesBox"));
        notes_->setTabChangesFocus(true);
        notes_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        notes_->setMinimumSize(du.Size(185, 50));
        notes_->setToolTip(tr("Notes about this word"));
        outer->addWidget(notes_, 1);
        outer->addLayout(BuildStepButtons(du));
        outer->addSpacing(du.Y(2));
        outer->addLayout(BuildClosingButtons(du));
        ConnectControls();
        resize(du.Size(200, 210).expandedTo(sizeHint()));
    }

    // The word field over the columns of the tally table, one row per user.
    QGridLayout* BuildWordAndTallies(const DialogUnits& du) {
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(du.X(5));
        grid->setVerticalSpacing(du.Y(4));
        grid->setColumnMinimumWidth(0, du.X(70));
        for (int column = 1; column <= 3; ++column)
            grid->setColumnMinimumWidth(column, du.X(30));

        grid->addWidget(new QLabel(tr("Word:"), this), 0, 0);
        wordBox_ = new QComboBox(this);
        wordBox_->setObjectName(QStringLiteral("wordBox"));
        wordBox_->setEditable(true);
        wordBox_->setInsertPolicy(QComboBox::NoInsert);
        // Enter must not jump to a list entry that happens to match the typed text.
        wordBox_->setDuplicatesEnabled(true);
        wordBox_->setCompleter(nullptr);
        wordBox_->setMaxVisibleItems(12);
        wordBox_->setMinimumWidth(du.X(110));
        // Sizing the box to its longest word would measure every word; the
        // column gives it its width instead, and every row is one line high.
        wordBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        wordBox_->setMinimumContentsLength(12);
        auto* view = new QListView(wordBox_);
        view->setUniformItemSizes(true);
        view->setLayoutMode(QListView::Batched);
        wordBox_->setView(view);
        words_ = new WordListModel(wordBox_);
        wordBox_->setModel(words_);
        wordBox_->setToolTip(tr("The word"));
        if (auto* label = qobject_cast<QLabel*>(grid->itemAtPosition(0, 0)->widget()))
            label->setBuddy(wordBox_); // "Word:"
        grid->addWidget(wordBox_, 0, 1, 1, 3);

        const QString heads[3] = {tr("Total"), tr("Correct"), tr("%")};
        for (int column = 0; column < 3; ++column) {
            auto* head = new QLabel(heads[column], this);
            head->setAlignment(Qt::AlignCenter);
            grid->addWidget(head, 1, column + 1);
        }
        for (int user = 0; user < kUserCount; ++user) {
            names_[user] = new QLabel(QString::number(user + 1), this);
            names_[user]->setObjectName(QStringLiteral("userName%1").arg(user + 1));
            names_[user]->setTextFormat(Qt::PlainText);
            names_[user]->setMaximumWidth(du.X(70));
            grid->addWidget(names_[user], user + 2, 0);
            const char* cellNames[3] = {"total%1", "correct%1", "percent%1"};
            for (int column = 0; column < 3; ++column) {
                auto* cell = new QLabel(this);
                cell->setObjectName(QString::fromLatin1(cellNames[column]).arg(user + 1));
                cell->setAlignment(Qt::AlignCenter);
                cells_[user][column] = cell;
                grid->addWidget(cell, user + 2, column + 1);
            }
        }
        return grid;
    }

    // < and > on the left, Delete, Copy and New on the right.
    QHBoxLayout* BuildStepButtons(const DialogUnits& du) {
        auto* steps = new QHBoxLayout;
        steps->setSpacing(du.X(5));
        auto* arrows = new QHBoxLayout;
        arrows->setSpacing(du.X(2));
        previous_ = MakeButton(QStringLiteral("<"), "previousButton", du.Size(17, 14), this);
        previous_->setToolTip(tr("Show the previous word"));
        previous_->setAccessibleName(tr("Previous word")); // "<" read aloud says nothing
        next_ = MakeButton(QStringLiteral(">"), "nextButton", du.Size(17, 14), this);
        next_->setToolTip(tr("Show the next word"));
        next_->setAccessibleName(tr("Next word"));
        arrows->addWidget(previous_);
        arrows->addWidget(next_);
        steps->addLayout(arrows);
        steps->addStretch(1);
        delete_ = MakeButton(tr("Delete"), "deleteButton", du.Size(45, 14), this);
        delete_->setToolTip(tr("Delete this word (This cannot be undone)"));
        copy_ = MakeButton(tr("Copy"), "copyButton", du.Size(45, 14), this);
        copy_->setToolTip(
            tr("Add a new word with the same details as this one (The data is not copied)"));
        new_ = MakeButton(tr("New"), "newButton", du.Size(45, 14), this);
        new_->setToolTip(tr("Add a new word"));
        steps->addWidget(delete_);
        steps->addWidget(copy_);
        steps->addWidget(new_);
        return steps;
    }

    QHBoxLayout* BuildClosingButtons(const DialogUnits& du) {
        auto* closing = new QHBoxLayout;
        closing->setSpacing(du.X(5));
        // The word in the field, aloud: how a new or odd word sounds.
        say_ = MakeButton(tr("Say"), "sayButton", du.Size(45, 14), this);
        say_->setToolTip(WordSpeaker::Available() ? tr("Say this word aloud")
                                                  : WordSpeaker::WhyUnavailable());
        say_->setEnabled(WordSpeaker::Available());
        closing->addWidget(say_);
        closing->addStretch(1);
        ok_ = MakeButton(tr("OK"), "okButton", du.Size(45, 14), this);
        ok_->setDefault(true);
        cancel_ = MakeButton(tr("Cancel"), "cancelButton", du.Size(45, 14), this);
        closing->addWidget(ok_);
        closing->addWidget(cancel_);
        return closing;
    }

    void ConnectControls() {
        connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
        connect(previous_, &QPushButton::clicked, this, [this] { Step(-1); });
        connect(next_, &QPushButton::clicked, this, [this] { Step(+1); });
        connect(delete_, &QPushButton::clicked, this, [this] { Delete(); });
        connect(copy_, &QPushButton::clicked, this, [this] { AddWord(true, true); });
        connect(new_, &QPushButton::clicked, this, [this] { AddWord(false, true); });
        connect(say_, &QPushButton::clicked, this, [this] {
            if (!speaker_)
                speaker_ = std::make_unique<WordSpeaker>(this);
            speaker_->Say(StoredText(wordBox_->currentText()), app_.look.voice,
                          app_.look.ratePercent);
        });
        // Only the user's choices arrive here; the list is filled with signals blocked.
        connect(wordBox_, &QComboBox::activated, this,
                [this](int index) { ChooseFromList(index); });
        // The list puts the chosen word into the field before telling us, so the
        // text typed for the word shown so far is followed as it is typed.
        connect(wordBox_->lineEdit(), &QLineEdit::textEdited, this,
                [this](const QString& text) { typedWord_ = text; });
    }

    int32_t IndexOfSlot(int32_t slot) const {
        for (size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i] == slot)
                return static_cast<int32_t>(i);
        }
        return -1;
    }

    int32_t Count() const { return static_cast<int32_t>(slots_.size()); }

    void FillWordList() {
        WordList list = app_.store.ListWords();
        slots_ = std::move(list.wordSlots);
        const QSignalBlocker blocker(wordBox_);
        words_->Reset(std::move(list.words));
    }

    void ShowUserNames() {
        // Only this thread writes the names: no need to keep the worker out.
        for (int user = 0; user < kUserCount; ++user)
            names_[user]->setText(DisplayUserName(app_.settings, user));
    }

    void ShowWordDetails() {
        WordDetails details;
        bool shown = false;
        if (index_ >= 0 && index_ < Count())
            shown = app_.store.OpenWord(slots_[index_], details);
        if (!shown)
            index_ = -1;
        {
            const QSignalBlocker blocker(wordBox_);
            wordBox_->setCurrentIndex(index_);
            // The field shows the word as stored, also when the list still has an
            // older text for it.
            wordBox_->setEditText(DisplayText(details.word));
        }
        typedWord_ = wordBox_->currentText();
        ShowTallies(shown ? &details : nullptr);
        notes_->setPlainText(NotesForDisplay(details.notes));
        // What the fields show now, and the bytes behind it: a field whose text
        // is still this is not written back, so old text in any encoding keeps
        // its bytes.
        shown_ = {typedWord_, notes_->toPlainText(), std::move(details.word),
                  std::move(details.notes)};
    }

    // The stored bytes of a field's text: as typed when it was edited, else as they were.
    std::string WordBytes(const QString& wordText) const {
        return wordText == shown_.word ? shown_.wordBytes : StoredText(wordText);
    }
    std::string NotesBytes() const {
        const QString text = notes_->toPlainText();
        return text == shown_.notes ? shown_.notesBytes : NotesForStore(text);
    }

    // Typing replaces the word on show (Qt selects a field's text by itself only
    // when Tab brings the focus there).
    void SelectWordForTyping() {
        wordBox_->setFocus(Qt::OtherFocusReason);
        wordBox_->lineEdit()->selectAll();
    }

    // Every cell empty without details.
    void ShowTallies(const WordDetails* details) {
        for (int user = 0; user < kUserCount; ++user) {
            if (details == nullptr) {
                for (QLabel* cell : cells_[user])
                    cell->clear();
                continue;
            }
            const uint32_t total = details->total[user];
            const uint32_t correct = details->correct[user];
            cells_[user][0]->setText(QString::number(total));
            cells_[user][1]->setText(QString::number(correct));
            cells_[user][2]->setText(QString::number(PercentCorrect(total, correct)));
        }
    }

    // Writes back what was edited of the word on show: the given word text and
    // the notes box. A field left as it was shown is not written.
    void SaveShown(const QString& wordText) {
        if (index_ < 0 || index_ >= Count())
            return;
        std::optional<std::string> word, notes;
        if (wordText != shown_.word)
            word = StoredText(wordText);
        if (notes_->toPlainText() != shown_.notes)
            notes = NotesForStore(notes_->toPlainText());
        if (!word && !notes)
            return;
        if (app_.store.SaveWord(slots_[index_], word, notes) && word) {
            const QSignalBlocker blocker(wordBox_);
            wordBox_->setItemText(index_,
                                  DisplayText(std::string(CutText(*word, kDetailsWordLimit))));
        }
    }

    void Step(int32_t step) {
        const int32_t next = StepIndex(index_, Count(), step);
        if (next < 0)
            return;
        SaveShown(wordBox_->currentText());
        index_ = next;
        ShowWordDetails();
    }

    void ChooseFromList(int index) {
        if (index < 0 || index >= Count())
            return;
        SaveShown(typedWord_);
        index_ = index;
        ShowWordDetails();
    }

    // New (copy false) or Copy (copy true). The opening for a new word skips the
    // first save: nothing is on show yet.
    void AddWord(bool copy, bool saveFirst) {
        const QString wordText = wordBox_->currentText();
        if (saveFirst)
            SaveShown(wordText);
        const int32_t slot = copy ? app_.store.AddCopyOf(WordBytes(wordText), NotesBytes())
                                  : app_.store.AddNewWord();
        if (slot < 0)
            return; // the dialog stays on the word it showed
        FillWordList();
        index_ = IndexOfSlot(slot);
        ShowWordDetails();
        SelectWordForTyping();
    }

    void Delete() {
        if (index_ < 0 || index_ >= Count())
            return;
        if (Count() <= 1) {
            PromptRequest refusal;
            refusal.mode = 11;
            refusal.message =
                tr("This is the last word, so it cannot be deleted. Add another word first.");
            refusal.firstButton = tr("Add a new word");
            refusal.secondButton = tr("Keep this word");
            if (RunPrompt(this, refusal) == 1)
                AddWord(false, true);
            return;
        }
        PromptRequest question;
        question.mode = 11;
        question.message = tr("Delete this word? This cannot be undone.");
        question.firstButton = tr("Yes, delete word");
        question.secondButton = tr("No, do not delete");
        if (RunPrompt(this, question) != 1)
            return;
        app_.store.DeleteWord(slots_[index_]);
        FillWordList();
        if (index_ > Count() - 1)
            index_ = Count() - 1;
        ShowWordDetails();
    }

    AppContext& app_;
    std::vector<int32_t> slots_; // list position -> slot
    int32_t index_ = -1;         // list position on show, -1 none
    QString typedWord_;          // the field's text for the word on show
    struct {
        QString word, notes;               // the texts as first shown
        std::string wordBytes, notesBytes; // the stored bytes they show
    } shown_;
    QComboBox* wordBox_ = nullptr;
    WordListModel* words_ = nullptr;
    QLabel* names_[kUserCount] = {};
    QLabel* cells_[kUserCount][3] = {};
    QPlainTextEdit* notes_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* say_ = nullptr;
    std::unique_ptr<WordSpeaker> speaker_; // made at the first Say
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace

void RunWordDetailsDialog(AppContext& app, QWidget* owner) {
    WordDetailsDialog dialog(app, owner);
    dialog.Open(app.store.DetailsTarget());
    dialog.exec();
}

} // namespace lexipond
