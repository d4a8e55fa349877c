// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/progress/ProgressWindow.h"

#include "core/history/HistoryCsv.h"
#include "core/history/HistoryOpen.h"
#include "core/history/HistoryQueries.h"
#include "core/settings/Settings.h"
#include "core/tutor/WordStore.h"
#include "ui/common/AppContext.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/TextDisplay.h"
#include "ui/print/WordCards.h"
#include "ui/progress/ProgressReport.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedBarSeries>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <map>

namespace lexipond {

namespace {

// How many words the "need work" list shows.
constexpr size_t kNeedsWorkShown = 50;

// A list whose numbers sort as numbers and whose words keep their bytes.
QTreeWidget* MakeWordList(QWidget* parent, const QStringList& headers, const QString& name) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setSortingEnabled(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformRowHeights(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    return list;
}

QTreeWidgetItem* AddWord(QTreeWidget* list, const std::string& word) {
    auto* item = new QTreeWidgetItem(list);
    item->setText(0, DisplayText(word));
    item->setData(0, Qt::UserRole, QByteArray::fromStdString(word));
    return item;
}

std::string DayOf(const QDate& date) {
    return date.toString(Qt::ISODate).toStdString();
}

// Monday on or before a day number (day 0, 1970-01-01, was a Thursday).
int64_t MondayOf(int64_t day) {
    const int64_t sinceMonday = ((day + 3) % 7 + 7) % 7;
    return day - sinceMonday;
}

class ProgressWindow final : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(ProgressWindow)

  public:
    ProgressWindow(AppContext& app, QWidget* owner)
        : QDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::WindowMinMaxButtonsHint),
          app_(app) {
        setObjectName(QStringLiteral("progress"));
        setWindowTitle(tr("Progress"));
        setAttribute(Qt::WA_DeleteOnClose);
        Build();
        connect(this, &QDialog::finished, this, [this] { app_.progress = nullptr; });
    }

    // Reads the history afresh and shows the chosen learner and range.
    void Refresh() {
        if (!readerReady_) {
            std::string reason;
            const HistoryRead read = reader_.Open(app_.dataFolder + kHistoryFileName, reason);
            readerReady_ = read == HistoryRead::Ready;
            if (!readerReady_) {
                status_->setText(
                    read == HistoryRead::Missing
                        ? tr("No answers are recorded yet.")
                        : tr("The answer history cannot be read (%1).").arg(DisplayText(reason)));
                status_->show();
                ShowFigures({}, {}, {});
                return;
            }
        }
        const int32_t learner = learner_->currentIndex();
        DayRange range{DayOf(from_->date()), DayOf(to_->date())};
        if (from_->date() > to_->date())
            std::swap(range.first, range.last);
        const bool weeks = weeks_ = period_->currentIndex() == 1;
        auto periods = weeks ? reader_.Weeks(learner, range) : reader_.Days(learner, range);
        auto mastered = reader_.MasteredWords(learner, range.last);
        auto needsWork = reader_.WordsNeedingWork(learner, range, kNeedsWorkShown);
        if (!periods || !mastered || !needsWork) {
            status_->setText(
                tr("The answer history cannot be read (%1).").arg(DisplayText(reader_.Error())));
            status_->show();
            ShowFigures({}, {}, {});
            return;
        }
        status_->hide();
        ShowFigures(Filled(*periods, range, weeks), *mastered, *needsWork);
    }

  protected:
    // Back from answering at the card: the figures take in the new answers.
    void changeEvent(QEvent* event) override {
        QDialog::changeEvent(event);
        if (event->type() == QEvent::ActivationChange && isActiveWindow() && shownOnce_)
            Refresh();
    }
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        shownOnce_ = true;
    }

  private:
    void Build() {
        const DialogUnits du(*this);
        auto* outer = new QVBoxLayout(this);

        auto* choices = new QHBoxLayout;
        learner_ = new QComboBox(this);
        learner_->setObjectName(QStringLiteral("learner"));
        for (int user = 0; user < kUserCount; ++user)
            learner_->addItem(DisplayUserName(app_.settings, user));
        learner_->setCurrentIndex(app_.settings.currentUser >= 0 &&
                                          app_.settings.currentUser < kUserCount
                                      ? app_.settings.currentUser
                                      : 0);
        auto* learnerLabel = new QLabel(tr("&Learner"), this);
        learnerLabel->setBuddy(learner_);
        const QDate today = QDate::currentDate();
        from_ = new QDateEdit(today.addDays(-27), this);
        from_->setObjectName(QStringLiteral("fromDay"));
        to_ = new QDateEdit(today, this);
        to_->setObjectName(QStringLiteral("toDay"));
        for (QDateEdit* edit : {from_, to_})
            edit->setCalendarPopup(true);
        auto* fromLabel = new QLabel(tr("&From"), this);
        fromLabel->setBuddy(from_);
        auto* toLabel = new QLabel(tr("&To"), this);
        toLabel->setBuddy(to_);
        period_ = new QComboBox(this);
        period_->setObjectName(QStringLiteral("period"));
        period_->addItems({tr("Per day"), tr("Per week")});
        period_->setAccessibleName(tr("Period"));
        for (QWidget* widget : std::initializer_list<QWidget*>{learnerLabel, learner_, fromLabel,
                                                               from_, toLabel, to_, period_}) {
            if (qobject_cast<QLabel*>(widget) || widget == period_)
                choices->addSpacing(du.X(4));
            choices->addWidget(widget);
            // Qt sizes a short label with an underlined mnemonic a pixel or two narrow.
            if (auto* label = qobject_cast<QLabel*>(widget))
                label->setMinimumWidth(label->sizeHint().width() + du.X(2));
        }
        choices->addStretch(1);
        outer->addLayout(choices);

        status_ = new QLabel(this);
        status_->setObjectName(QStringLiteral("status"));
        status_->hide();
        outer->addWidget(status_);

        chart_ = new QChartView(this);
        chart_->setObjectName(QStringLiteral("chart"));
        chart_->setRenderHint(QPainter::Antialiasing);
        chart_->setMinimumSize(du.Size(300, 140));
        chart_->setAccessibleName(tr("Answers and accuracy"));
        outer->addWidget(chart_, 1);

        auto* lists = new QGridLayout;
        auto* masteredLabel =
            new QLabel(tr("Words &mastered (the last three answers correct)"), this);
        mastered_ = MakeWordList(this, {tr("Word")}, QStringLiteral("mastered"));
        masteredLabel->setBuddy(mastered_);
        mastered_->setAccessibleName(tr("Words mastered"));
        auto* needsLabel = new QLabel(tr("Words that &need work (most missed)"), this);
        needsWork_ = MakeWordList(this, {tr("Word"), tr("Incorrect"), tr("Answers")},
                                  QStringLiteral("needsWork"));
        needsLabel->setBuddy(needsWork_);
        needsWork_->setAccessibleName(tr("Words that need work"));
        lists->addWidget(masteredLabel, 0, 0);
        lists->addWidget(needsLabel, 0, 1);
        lists->addWidget(mastered_, 1, 0);
        lists->addWidget(needsWork_, 1, 1);
        outer->addLayout(lists, 1);

        auto* buttons = new QHBoxLayout;
        auto* exportButton = new QPushButton(tr("&Export..."), this);
        exportButton->setObjectName(QStringLiteral("exportButton"));
        auto* exportMenu = new QMenu(exportButton);
        exportMenu->addAction(tr("The answer history (CSV)..."), this, [this] { ExportHistory(); });
        exportMenu->addAction(tr("The word list with every learner's tallies (CSV)..."), this,
                              [this] { ExportWords(); });
        exportButton->setMenu(exportMenu);
        auto* printButton = new QPushButton(tr("&Print..."), this);
        printButton->setObjectName(QStringLiteral("printButton"));
        auto* printMenu = new QMenu(printButton);
        printMenu->addAction(tr("Cards of every word..."), this,
                             [this] { PrintCards(AllWords()); });
        printMenu->addAction(tr("Cards of the words that need work..."), this,
                             [this] { PrintCards(ListedWords(needsWork_, false)); });
        selectedCards_ = printMenu->addAction(tr("Cards of the selected words..."), this, [this] {
            std::vector<std::string> words = ListedWords(mastered_, true);
            for (std::string& word : ListedWords(needsWork_, true))
                words.push_back(std::move(word));
            PrintCards(words);
        });
        printMenu->addAction(tr("This progress report..."), this, [this] { PrintReport(); });
        connect(printMenu, &QMenu::aboutToShow, this, [this] {
            selectedCards_->setEnabled(!mastered_->selectedItems().isEmpty() ||
                                       !needsWork_->selectedItems().isEmpty());
        });
        printButton->setMenu(printMenu);
        auto* close = new QPushButton(tr("Close"), this);
        close->setObjectName(QStringLiteral("closeButton"));
        connect(close, &QPushButton::clicked, this, &QDialog::close);
        buttons->addWidget(exportButton);
        buttons->addWidget(printButton);
        buttons->addStretch(1);
        buttons->addWidget(close);
        outer->addLayout(buttons);

        connect(learner_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
        connect(period_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
        connect(from_, &QDateEdit::dateChanged, this, [this] { Refresh(); });
        connect(to_, &QDateEdit::dateChanged, this, [this] { Refresh(); });
        resize(du.Size(420, 330));
    }

    // Every day (or week) of the range, those without answers too, so the
    // chart's axis runs evenly.
    static std::vector<PeriodTally> Filled(const std::vector<PeriodTally>& found,
                                           const DayRange& range, bool weeks) {
        const std::optional<int64_t> first = DayNumber(range.first), last = DayNumber(range.last);
        if (!first || !last)
            return found;
        std::map<std::string, PeriodTally> byStart;
        for (const PeriodTally& tally : found)
            byStart[tally.start] = tally;
        std::vector<PeriodTally> all;
        const int64_t step = weeks ? 7 : 1;
        for (int64_t day = weeks ? MondayOf(*first) : *first; day <= *last; day += step) {
            const std::string start = DayText(day);
            const auto it = byStart.find(start);
            all.push_back(it != byStart.end() ? it->second : PeriodTally{start, 0, 0, 0});
        }
        return all;
    }

    // A day is named by its number alone, so four weeks of them fit across
    // the chart; a week by its Monday's day and month. The axis wants every name
    // different: a day a month or more after the first carries that many
    // zero-width spaces, which show as nothing.
    static QString PeriodLabel(const QDate& start, const std::string& first, bool weeks) {
        if (weeks)
            return QLocale().toString(start, QStringLiteral("d MMM"));
        const QDate from = QDate::fromString(QString::fromStdString(first), Qt::ISODate);
        const int months = (start.year() - from.year()) * 12 + start.month() - from.month();
        return QString::number(start.day()) + QString(std::max(0, months), QChar(0x200B));
    }

    void ShowFigures(const std::vector<PeriodTally>& periods,
                     const std::vector<std::string>& mastered,
                     const std::vector<WordTally>& needsWork) {
        auto* chart = new QChart;
        chart->setTitle(tr("%1: answers and accuracy").arg(learner_->currentText()));
        auto* correct = new QBarSet(tr("Correct"));
        correct->setColor(QColor(0x3b, 0x8e, 0x3a));
        auto* incorrect = new QBarSet(tr("Incorrect"));
        incorrect->setColor(QColor(0xc6, 0x3d, 0x2f));
        auto* accuracy = new QLineSeries;
        accuracy->setName(tr("Accuracy (%)"));
        QStringList categories;
        for (size_t i = 0; i < periods.size(); ++i) {
            const PeriodTally& period = periods[i];
            *correct << period.correct;
            *incorrect << period.incorrect;
            if (period.Answers() > 0)
                accuracy->append(static_cast<qreal>(i), 100.0 * period.correct / period.Answers());
            const QDate start =
                QDate::fromString(QString::fromStdString(period.start), Qt::ISODate);
            categories << PeriodLabel(start, periods.front().start, weeks_);
        }
        auto* bars = new QStackedBarSeries;
        bars->append(correct);
        bars->append(incorrect);
        chart->addSeries(bars);
        chart->addSeries(accuracy);
        auto* periodsAxis = new QBarCategoryAxis;
        periodsAxis->append(categories);
        if (!periods.empty())
            periodsAxis->setTitleText(
                tr("%1 to %2")
                    .arg(QLocale().toString(
                             QDate::fromString(QString::fromStdString(periods.front().start),
                                               Qt::ISODate),
                             QLocale::ShortFormat),
                         QLocale().toString(to_->date(), QLocale::ShortFormat)));
        auto* countAxis = new QValueAxis;
        countAxis->setLabelFormat(QStringLiteral("%d"));
        countAxis->setTitleText(tr("Answers"));
        uint32_t most = 0;
        for (const PeriodTally& period : periods)
            most = std::max(most, period.Answers());
        countAxis->setRange(0, std::max<uint32_t>(most, 4));
        countAxis->applyNiceNumbers();
        auto* percentAxis = new QValueAxis;
        percentAxis->setRange(0, 100);
        percentAxis->setLabelFormat(QStringLiteral("%d%%"));
        percentAxis->setTitleText(tr("Accuracy"));
        chart->addAxis(periodsAxis, Qt::AlignBottom);
        chart->addAxis(countAxis, Qt::AlignLeft);
        chart->addAxis(percentAxis, Qt::AlignRight);
        bars->attachAxis(periodsAxis);
        bars->attachAxis(countAxis);
        accuracy->attachAxis(periodsAxis);
        accuracy->attachAxis(percentAxis);
        chart->legend()->setAlignment(Qt::AlignBottom);
        QChart* old = chart_->chart();
        chart_->setChart(chart);
        delete old;

        mastered_->setSortingEnabled(false);
        mastered_->clear();
        for (const std::string& word : mastered)
            AddWord(mastered_, word);
        mastered_->setSortingEnabled(true);
        mastered_->sortByColumn(0, Qt::AscendingOrder);
        needsWork_->setSortingEnabled(false);
        needsWork_->clear();
        for (const WordTally& tally : needsWork) {
            QTreeWidgetItem* item = AddWord(needsWork_, tally.word);
            item->setData(1, Qt::DisplayRole, tally.incorrect);
            item->setData(2, Qt::DisplayRole, tally.answers);
        }
        needsWork_->setSortingEnabled(true);
        needsWork_->sortByColumn(1, Qt::DescendingOrder);
    }

    // The words of a list, in the order shown (only the selected ones when asked).
    static std::vector<std::string> ListedWords(QTreeWidget* list, bool selectedOnly) {
        std::vector<std::string> words;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            if (!selectedOnly || item->isSelected())
                words.push_back(item->data(0, Qt::UserRole).toByteArray().toStdString());
        }
        return words;
    }

    std::vector<std::string> AllWords() { return app_.store.ListWords().words; }

    QString AskSavePath(const QString& caption, const QString& suggested) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(this, caption, folder + QLatin1Char('/') + suggested,
                                            tr("CSV files (*.csv);;All files (*)"));
    }

    // Writes a file whole or not at all, and tells the user when it failed.
    void WriteFile(const QString& path,
                   const std::function<bool(const std::function<bool(std::string_view)>&)>& fill) {
        QSaveFile file(path);
        bool written = file.open(QIODevice::WriteOnly);
        if (written)
            written = fill([&file](std::string_view piece) {
                return file.write(piece.data(), static_cast<qint64>(piece.size())) ==
                       static_cast<qint64>(piece.size());
            });
        if (written)
            written = file.commit();
        else
            file.cancelWriting();
        if (!written)
            Tell(this, tr("%1 could not be written. Nothing was changed there.")
                           .arg(QDir::toNativeSeparators(path)));
    }

    void ExportHistory() {
        if (!readerReady_) {
            Tell(this, tr("No answers are recorded yet."));
            return;
        }
        const QString path =
            AskSavePath(tr("Export the answer history"), QStringLiteral("lexipond-history.csv"));
        if (!path.isEmpty())
            WriteFile(path, [this](const auto& write) { return WriteHistoryCsv(reader_, write); });
    }

    void ExportWords() {
        const QString path =
            AskSavePath(tr("Export the word list"), QStringLiteral("lexipond-words.csv"));
        if (path.isEmpty())
            return;
        const std::string csv = app_.store.WordTalliesCsv();
        WriteFile(path, [&csv](const auto& write) { return write(csv); });
    }

    void PrintCards(const std::vector<std::string>& words) {
        if (words.empty()) {
            Tell(this, tr("There are no words to print."));
            return;
        }
        bool chosen = false;
        const QString perPage = QInputDialog::getItem(
            this, tr("Word cards"), tr("Cards per page:"),
            {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("8")}, 2,
            false, &chosen);
        if (!chosen)
            return;
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(tr("Word cards"));
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            PaintWordCards(printer, words, perPage.toInt());
    }

    void PrintReport() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(tr("Progress of %1").arg(learner_->currentText()));
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            PaintProgressReport(*this, printer);
    }

    AppContext& app_;
    HistoryReader reader_;
    bool readerReady_ = false;
    bool weeks_ = false; // the chart shows weeks, not days
    bool shownOnce_ = false;
    QComboBox* learner_ = nullptr;
    QComboBox* period_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QLabel* status_ = nullptr;
    QChartView* chart_ = nullptr;
    QTreeWidget* mastered_ = nullptr;
    QTreeWidget* needsWork_ = nullptr;
    QAction* selectedCards_ = nullptr;
};

} // namespace

void OpenProgressWindow(AppContext& app, QWidget* owner) {
    if (app.progress) {
        app.progress->raise();
        app.progress->activateWindow();
        return;
    }
    auto* window = new ProgressWindow(app, owner);
    app.progress = window;
    window->Refresh();
    window->show();
}

} // namespace lexipond
