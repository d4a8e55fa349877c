// The Options dialog, driven through its controls.
#include "dialogs/OptionsDialog.h"

#include "DialogTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

namespace lexipond::testing {
namespace {

class OptionsDialogTest : public DialogTest {
  protected:
    void RunOptions(std::function<void(QWidget*)> script) {
        WhenShown("options", std::move(script));
        RunOptionsDialog(app, nullptr);
    }
    static void Retype(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }
};

TEST_F(OptionsDialogTest, TransparencyShowsAPercentageAndOkStoresItsAlpha) {
    struct {
        int32_t alphaBefore;
        const char* shown;
        const char* typed; // null: leave the box alone
        int32_t alphaAfter;
    } const rows[] = {{75, "71", nullptr, 76}, {255, "0", "100", 5}, {75, "71", "0", 255}};
    for (const auto& row : rows) {
        settings.transparencyAlpha = row.alphaBefore;
        RunOptions([&](QWidget* dialog) {
            auto* box = dialog->findChild<QSpinBox*>("transparency");
            EXPECT_EQ(box->text(), row.shown);
            if (row.typed)
                Retype(box, row.typed);
            Button(dialog, "okButton")->click();
        });
        EXPECT_EQ(settings.transparencyAlpha, row.alphaAfter) << row.alphaBefore;
    }
}

TEST_F(OptionsDialogTest, OkStoresNamesCutSafelyAndResetsTheSession) {
    state.sessionTotal = 4;
    state.sessionCorrect = 3;
    const auto name = [](QWidget* dialog, int user) {
        return dialog->findChild<QLineEdit*>(QStringLiteral("userName%1").arg(user));
    };
    RunOptions([&](QWidget* dialog) {
        EXPECT_EQ(name(dialog, 4)->text(), "Rondel");
        Retype(name(dialog, 1), QString(120, 'n'));
        name(dialog, 2)->setText(QString(98, 'a') + QChar(0xE9)); // 99 characters, 100 bytes
        name(dialog, 3)->clear();
        dialog->findChild<QComboBox*>("levelList")->setCurrentIndex(6);
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(std::string(settings.userNames[0]), std::string(99, 'n'));
    EXPECT_EQ(std::string(settings.userNames[1]), std::string(98, 'a'));
    EXPECT_EQ(std::string(settings.userNames[2]), "");
    EXPECT_EQ(std::string(settings.userNames[3]), "Rondel");
    EXPECT_EQ(settings.level, 6);
    EXPECT_EQ(state.sessionTotal + state.sessionCorrect, 0u);
    EXPECT_EQ(std::string(state.currentUserName), std::string(99, 'n'));
}

TEST_F(OptionsDialogTest, OnlyOkClosesAndASecondOptionsDoesNothing) {
    settings.confirmQuit = 1;
    RunOptions([&](QWidget* dialog) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        EXPECT_TRUE(dialog->isVisible());
        RunOptionsDialog(app, nullptr);
        int shown = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            shown += widget->isVisible() && widget->objectName() == "options";
        EXPECT_EQ(shown, 1);
        QTest::mouseClick(dialog->findChild<QCheckBox*>("confirmQuit"), Qt::LeftButton);
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(settings.confirmQuit, 0);
    EXPECT_FALSE(app.optionsOpen);
}

TEST_F(OptionsDialogTest, ImportAddsTheWordsAtOnce) {
    AddWords({"apple", "bird"});
    const std::string list = folder / "list.txt";
    WriteBytes(list, "cat\r\ndog\r\napple\r\n");
    std::vector<std::string> wordsBeforeOk;
    RunOptions([&](QWidget* dialog) {
        WhenShown("chooseTextFile", [&](QWidget* chooser) {
            static_cast<QFileDialog*>(chooser)->selectFile(QString::fromStdString(list));
            QMetaObject::invokeMethod(chooser, "accept");
        });
        Button(dialog, "importButton")->click();
        wordsBeforeOk = Words();
        Button(dialog, "okButton")->click();
    });
    EXPECT_EQ(wordsBeforeOk, (std::vector<std::string>{"apple", "bird", "cat", "dog"}));
}

} // namespace
} // namespace lexipond::testing
