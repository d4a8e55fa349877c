// The Options dialog, driven through its controls.
#include "dialogs/OptionsDialog.h"

#include "DialogTestSupport.h"
#include "dialogs/ChooseTextFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

namespace lexipond::testing {
namespace {

QWidget* FindOptions() {
    return FindWindow(QStringLiteral("options"));
}

QSpinBox* Transparency(QWidget* dialog) {
    return dialog->findChild<QSpinBox*>(QStringLiteral("transparency"));
}
QLineEdit* NameBox(QWidget* dialog, int user) {
    return dialog->findChild<QLineEdit*>(QStringLiteral("userName%1").arg(user));
}

class OptionsDialogTest : public DialogTest {
  protected:
    void RunOptions(std::function<void(QWidget*)> script) {
        WhenShown(FindOptions, script);
        RunOptionsDialog(*app, nullptr);
    }
};

struct AlphaRow {
    int32_t alphaBefore;
    int shown; // the percentage the box shows
    int typed; // -1: leave the box alone
    int32_t alphaAfter;
};
void PrintTo(const AlphaRow& row, std::ostream* out) {
    *out << "alpha " << row.alphaBefore << " typed " << row.typed;
}

class TransparencyTest : public OptionsDialogTest,
                         public ::testing::WithParamInterface<AlphaRow> {};

TEST_P(TransparencyTest, BoxShowsPercentageAndOkStoresAlpha) {
    const AlphaRow& row = GetParam();
    settings.transparencyAlpha = row.alphaBefore;
    RunOptions([&](QWidget* dialog) {
        QSpinBox* box = Transparency(dialog);
        EXPECT_EQ(box->text(), QString::number(row.shown));
        if (row.typed >= 0) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(box, QString::number(row.typed));
        }
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(settings.transparencyAlpha, row.alphaAfter);
}

// The formulas' other values are covered where they are computed.
INSTANTIATE_TEST_SUITE_P(Rows, TransparencyTest,
                         ::testing::Values(AlphaRow{75, 71, -1, 76}, AlphaRow{255, 0, -1, 255},
                                           AlphaRow{5, 99, -1, 5}, AlphaRow{75, 71, 0, 255},
                                           AlphaRow{75, 71, 100, 5}));

TEST_F(OptionsDialogTest, OkStoresNamesCutSafelyAndResetsTheSession) {
    AddWords({"apple", "bird"});
    state.sessionTotal = 4;
    state.sessionCorrect = 3;
    settings.level = 3;
    const QString longName(120, QLatin1Char('n'));
    const QString accented =
        QString(98, QLatin1Char('a')) + QChar(0xE9); // 99 characters, 100 bytes
    RunOptions([&](QWidget* dialog) {
        EXPECT_EQ(NameBox(dialog, 1)->text(), "Zov");
        EXPECT_EQ(NameBox(dialog, 5)->text(), "Vimsa");
        NameBox(dialog, 1)->setFocus();
        QTest::keyClick(NameBox(dialog, 1), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(NameBox(dialog, 1), longName);
        NameBox(dialog, 2)->setText(accented);
        NameBox(dialog, 3)->clear();
        dialog->findChild<QComboBox*>(QStringLiteral("levelList"))->setCurrentIndex(6);
        QTest::mouseClick(dialog->findChild<QCheckBox*>(QStringLiteral("confirmQuit")),
                          Qt::LeftButton);
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(std::string(settings.userNames[0]), std::string(99, 'n'));
    EXPECT_EQ(std::string(settings.userNames[1]), std::string(98, 'a'));
    EXPECT_EQ(std::string(settings.userNames[2]), "");
    EXPECT_EQ(std::string(settings.userNames[3]), "Rondel");
    EXPECT_EQ(settings.level, 6);
    EXPECT_EQ(settings.confirmQuit, 1);
    EXPECT_EQ(state.sessionTotal, 0u);
    EXPECT_EQ(state.sessionCorrect, 0u);
    EXPECT_EQ(std::string(state.currentUserName), std::string(99, 'n'));
    EXPECT_FALSE(app->optionsOpen);
}

TEST_F(OptionsDialogTest, OnlyOkCloses) {
    settings.confirmQuit = 1;
    RunOptions([&](QWidget* dialog) {
        EXPECT_TRUE(app->optionsOpen);
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        EXPECT_TRUE(dialog->isVisible());
        RunOptionsDialog(*app, nullptr); // a second Options while open: nothing
        int shown = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            shown += widget->isVisible() && widget->objectName() == "options";
        EXPECT_EQ(shown, 1);
        QTest::mouseClick(dialog->findChild<QCheckBox*>(QStringLiteral("confirmQuit")),
                          Qt::LeftButton);
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(settings.confirmQuit, 0);
}

TEST_F(OptionsDialogTest, ImportAddsTheWordsAtOnce) {
    AddWords({"apple", "bird"});
    const QString list = QString::fromStdString(Folder() + "/list.txt");
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("cat\r\ndog\r\napple\r\n");
    }
    std::vector<std::string> wordsBeforeOk;
    RunOptions([&](QWidget* dialog) {
        WhenShown([] { return FindWindow(QStringLiteral("chooseTextFile")); },
                  [&](QWidget* chooser) {
                      auto* files = static_cast<QFileDialog*>(chooser);
                      EXPECT_EQ(files->windowTitle(), "Lexipond 1.9");
                      EXPECT_EQ(files->nameFilters(),
                                (QStringList{"Text Files (*.txt *.log)", "All Files (*)"}));
                      files->selectFile(list);
                      QMetaObject::invokeMethod(files, "accept");
                  });
        Button(dialog, "importButton")->click();
        wordsBeforeOk = Words();
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(wordsBeforeOk, (std::vector<std::string>{"apple", "bird", "cat", "dog"}));
}

TEST_F(OptionsDialogTest, CancelledChoiceImportsNothing) {
    AddWords({"apple"});
    RunOptions([&](QWidget* dialog) {
        WhenShown([] { return FindWindow(QStringLiteral("chooseTextFile")); },
                  [](QWidget* chooser) { static_cast<QFileDialog*>(chooser)->reject(); });
        Button(dialog, "importButton")->click();
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(Words(), std::vector<std::string>{"apple"});
}

TEST(ChooseTextFileTest, ReadableSuggestionIsTheFirstSelection) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("words.log"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString chosen = path;
    QString selected;
    WhenShown([] { return FindWindow(QStringLiteral("chooseTextFile")); },
              [&](QWidget* chooser) {
                  auto* files = static_cast<QFileDialog*>(chooser);
                  selected = files->selectedFiles().value(0);
                  QMetaObject::invokeMethod(files, "accept");
              });
    EXPECT_TRUE(ChooseTextFile(nullptr, chosen, QString::fromLatin1(kTextFileFilter)));
    EXPECT_EQ(selected, path);
    EXPECT_EQ(chosen, path);
}

} // namespace
} // namespace lexipond::testing
