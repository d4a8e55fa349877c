#include "ui/dialogs/WordDetailsDialog.h"

#include "ui/common/DialogUnits.h"
#include "ui/dialogs/PromptDialog.h"
#include "core/words/WordDetails.h"
#include "core/recordfile/RecordFile.h"
#include "ui/common/AppContext.h"
#include "core/settings/Settings.h"
#include "ui/common/TextDisplay.h"
#include "core/tutor/Commands.h"

#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <mutex>
#include <string>
#include <vector>

namespace lexipond {

namespace {

constexpr int kReportRefreshMs = 5000;

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

class WordDetailsDialog final : public QDialog {
  public:
    WordDetailsDialog(AppContext& app, QWidget* owner) : QDialog(owner, kCaptionOnly), app_(app) {
        setObjectName(QStringLiteral("wordDetails"));
        setWindowTitle(QStringLiteral("Word Details"));
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

        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(du.X(5));
        grid->setVerticalSpacing(du.Y(4));
        grid->setColumnMinimumWidth(0, du.X(70));
        for (int column = 1; column <= 3; ++column)
            grid->setColumnMinimumWidth(column, du.X(30));

        auto* wordLabel = new QLabel(QStringLiteral("Word:"), this);
        grid->addWidget(wordLabel, 0, 0);
        wordBox_ = new QComboBox(this);
        wordBox_->setObjectName(QStringLiteral("wordBox"));
        wordBox_->setEditable(true);
        wordBox_->setInsertPolicy(QComboBox::NoInsert);
        // Enter must not jump to a list entry that happens to match the typed text.
        wordBox_->setDuplicatesEnabled(true);
        wordBox_->setCompleter(nullptr);
        wordBox_->setMaxVisibleItems(12);
        wordBox_->setMinimumWidth(du.X(110));
        wordBox_->setToolTip(QStringLiteral("The word"));
        grid->addWidget(wordBox_, 0, 1, 1, 3);

        const char* heads[3] = {"Total", "Correct", "%"};
        for (int column = 0; column < 3; ++column) {
            auto* head = new QLabel(QString::fromLatin1(heads[column]), this);
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
        outer->addLayout(grid);
        outer->addSpacing(du.Y(4));

        outer->addWidget(new QLabel(QStringLiteral("Notes:"), this));
        notes_ = new QPlainTextEdit(this);
        notes_->setObjectName(QStringLiteral("notesBox"));
        notes_->setTabChangesFocus(true);
        notes_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        notes_->setMinimumSize(du.Size(185, 50));
        notes_->setToolTip(QStringLiteral("Notes about this word"));
        outer->addWidget(notes_, 1);

        auto* steps = new QHBoxLayout;
        steps->setSpacing(du.X(5));
        auto* arrows = new QHBoxLayout;
        arrows->setSpacing(du.X(2));
        previous_ = MakeButton(QStringLiteral("<"), "previousButton", du.Size(17, 14), this);
        previous_->setToolTip(QStringLiteral("Show the previous word"));
        next_ = MakeButton(QStringLiteral(">"), "nextButton", du.Size(17, 14), this);
        next_->setToolTip(QStringLiteral("Show the next word"));
        arrows->addWidget(previous_);
        arrows->addWidget(next_);
        steps->addLayout(arrows);
        steps->addStretch(1);
        delete_ = MakeButton(QStringLiteral("Delete"), "deleteButton", du.Size(45, 14), this);
        delete_->setToolTip(QStringLiteral("Delete this word (This cannot be undone)"));
        copy_ = MakeButton(QStringLiteral("Copy"), "copyButton", du.Size(45, 14), this);
        copy_->setToolTip(QStringLiteral(
            "Add a new word with the same details as this one (The data is not copied)"));
        new_ = MakeButton(QStringLiteral("New"), "newButton", du.Size(45, 14), this);
        new_->setToolTip(QStringLiteral("Add a new word"));
        steps->addWidget(delete_);
        steps->addWidget(copy_);
        steps->addWidget(new_);
        outer->addLayout(steps);

        auto* closing = new QHBoxLayout;
        closing->setSpacing(du.X(5));
        closing->addStretch(1);
        auto* ok = MakeButton(QStringLiteral("OK"), "okButton", du.Size(45, 14), this);
        ok->setDefault(true);
        auto* cancel = MakeButton(QStringLiteral("Cancel"), "cancelButton", du.Size(45, 14), this);
        closing->addWidget(ok);
        closing->addWidget(cancel);
        outer->addSpacing(du.Y(2));
        outer->addLayout(closing);

        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(previous_, &QPushButton::clicked, this, [this] { Step(-1); });
        connect(next_, &QPushButton::clicked, this, [this] { Step(+1); });
        connect(delete_, &QPushButton::clicked, this, [this] { Delete(); });
        connect(copy_, &QPushButton::clicked, this, [this] { AddWord(true, true); });
        connect(new_, &QPushButton::clicked, this, [this] { AddWord(false, true); });
        // Only the user's choices arrive here; the list is filled with signals blocked.
        connect(wordBox_, &QComboBox::activated, this,
                [this](int index) { ChooseFromList(index); });
        // The list puts the chosen word into the field before telling us, so the
        // text typed for the word shown so far is followed as it is typed.
        connect(wordBox_->lineEdit(), &QLineEdit::textEdited, this,
                [this](const QString& text) { typedWord_ = text; });

        resize(du.Size(200, 210).expandedTo(sizeHint()));
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
        std::vector<std::string> words;
        {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            slots_ = LiveSlots(app_.db);
            words = SlotWords(app_.db, slots_);
        }
        const QSignalBlocker blocker(wordBox_);
        wordBox_->clear();
        for (const std::string& word : words)
            wordBox_->addItem(DisplayText(word));
    }

    void ShowUserNames() {
        std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
        for (int user = 0; user < kUserCount; ++user)
            names_[user]->setText(DisplayUserName(app_.settings, user));
    }

    void ShowWordDetails() {
        WordDetails details;
        bool shown = false;
        if (index_ >= 0 && index_ < Count()) {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            shown = ReadWordDetails(app_.db, slots_[index_], details);
            if (shown)
                app_.state.detailsTarget = slots_[index_];
        }
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
        for (int user = 0; user < kUserCount; ++user) {
            if (!shown) {
                for (QLabel* cell : cells_[user])
                    cell->clear();
                continue;
            }
            const uint32_t total = details.total[user];
            const uint32_t correct = details.correct[user];
            cells_[user][0]->setText(QString::number(total));
            cells_[user][1]->setText(QString::number(correct));
            cells_[user][2]->setText(QString::number(PercentCorrect(total, correct)));
        }
        notes_->setPlainText(NotesForDisplay(details.notes));
    }

    // Writes the word on show back with the given word text and the notes box.
    void SaveShown(const QString& wordText) {
        if (index_ < 0 || index_ >= Count())
            return;
        const std::string word = StoredText(wordText);
        const std::string notes = NotesForStore(notes_->toPlainText());
        bool saved = false;
        {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            saved = SaveWordDetails(app_.db, slots_[index_], word, notes);
        }
        if (saved) {
            const QSignalBlocker blocker(wordBox_);
            wordBox_->setItemText(index_,
                                  DisplayText(std::string(CutText(word, kDetailsWordLimit))));
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
        int32_t slot = -1;
        {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            slot = AddRecord(app_.db);
            if (slot < 0)
                return; // the dialog stays on the word it showed
            if (copy) {
                SaveWordDetails(app_.db, slot, StoredText(wordText),
                                NotesForStore(notes_->toPlainText()));
            }
            InitNewWordRecord(app_.db, slot, !copy);
        }
        FillWordList();
        index_ = IndexOfSlot(slot);
        ShowWordDetails();
    }

    void Delete() {
        if (index_ < 0 || index_ >= Count())
            return;
        if (Count() <= 1) {
            PromptRequest refusal;
            refusal.mode = 11;
            refusal.message =
                "This is the last word, so it cannot be deleted. Add another word first.";
            refusal.firstButton = "Add a new word";
            refusal.secondButton = "Keep this word";
            if (RunPrompt(this, refusal) == 1)
                AddWord(false, true);
            return;
        }
        PromptRequest question;
        question.mode = 11;
        question.message = "Delete this word? This cannot be undone.";
        question.firstButton = "Yes, delete word";
        question.secondButton = "No, do not delete";
        if (RunPrompt(this, question) != 1)
            return;
        {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            DeleteWordRecord(app_.db, slots_[index_]);
        }
        FillWordList();
        if (index_ > Count() - 1)
            index_ = Count() - 1;
        ShowWordDetails();
    }

    AppContext& app_;
    std::vector<int32_t> slots_; // list position -> slot
    int32_t index_ = -1;         // list position on show, -1 none
    QString typedWord_;          // the field's text for the word on show
    QComboBox* wordBox_ = nullptr;
    QLabel* names_[kUserCount] = {};
    QLabel* cells_[kUserCount][3] = {};
    QPlainTextEdit* notes_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* new_ = nullptr;
};

// The Results Report: this run's answers, followed as they are given.
class ResultsReportDialog final : public QDialog {
  public:
    explicit ResultsReportDialog(AppContext& app) : QDialog(nullptr, kCaptionOnly), app_(app) {
        setObjectName(QStringLiteral("resultsReport"));
        setWindowTitle(QStringLiteral("Results Report"));
        const DialogUnits du(*this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(du.X(5), du.Y(5), du.X(5), du.Y(5));
        layout->setSpacing(du.Y(10));
        text_ = new QPlainTextEdit(this);
        text_->setObjectName(QStringLiteral("reportText"));
        text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text_->setMinimumSize(du.Size(185, 100));
        layout->addWidget(text_, 1);
        auto* ok = new QPushButton(QStringLiteral("OK"), this);
        ok->setObjectName(QStringLiteral("okButton"));
        ok->setDefault(true);
        ok->setMinimumHeight(du.Y(30));
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
        connect(this, &QDialog::finished, this, [this] {
            timer_.stop();
            app_.reportOpen = false;
            deleteLater();
        });
        resize(du.Size(200, 370));
    }

    void Start() {
        app_.reportOpen = true;
        Refresh();
        timer_.start(kReportRefreshMs);
    }

  private:
    // Adds only what was answered since the last look, so the reader's place,
    // selection and typing stay as they are; the view follows the end only when
    // the reader is at the end.
    void Refresh() {
        std::string added;
        {
            std::lock_guard<std::recursive_mutex> guard(app_.state.lock);
            const char* buffer = app_.state.reportBuffer.get();
            const size_t length = app_.state.reportLength;
            if (length < shownLength_) { // the report never shrinks; start over if it did
                shownLength_ = 0;
                text_->clear();
            }
            if (length == shownLength_)
                return;
            added.assign(buffer + shownLength_, length - shownLength_);
            shownLength_ = length;
        }
        QString piece = DisplayText(added);
        piece.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QScrollBar* bar = text_->verticalScrollBar();
        const bool atEnd = bar->value() >= bar->maximum();
        const int position = bar->value();
        QTextCursor end(text_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(piece);
        bar->setValue(atEnd ? bar->maximum() : position);
    }

    AppContext& app_;
    QPlainTextEdit* text_ = nullptr;
    QTimer timer_;
    size_t shownLength_ = 0;
};

} // namespace

void RunWordDetailsDialog(AppContext& app, QWidget* owner) {
    WordDetailsDialog dialog(app, owner);
    dialog.Open(app.state.detailsTarget);
    dialog.exec();
}

void OpenResultsReport(AppContext& app) {
    if (app.reportOpen)
        return;
    auto* report = new ResultsReportDialog(app);
    report->Start();
    report->show();
    report->raise();
    report->activateWindow();
}

} // namespace lexipond
