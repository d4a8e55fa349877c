// SPDX-License-Identifier: GPL-3.0-or-later
// Every dialog to a screen reader: each control the keyboard reaches has a
// name, and a label with a mnemonic has the control it names as its buddy.
#include "DialogTestSupport.h"
#include "ui/dialogs/AboutBox.h"
#include "ui/dialogs/ChooseTextFile.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/dialogs/PromptDialog.h"
#include "ui/dialogs/ResultsReportDialog.h"
#include "ui/dialogs/WordDetailsDialog.h"

#include <QAccessible>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>

namespace lexipond::testing {
namespace {

struct DialogRow {
    const char* name;
    const char* shown; // its object name, or a button's (Shown)
    std::function<void(AppContext&)> open;
};
void PrintTo(const DialogRow& row, std::ostream* out) {
    *out << row.name;
}

// The name a control is given on purpose: its accessible name, the text of a
// label beside it whose buddy it is (Qt reads only a label with the same
// parent), or a button's caption. Else Qt reads a group box's title, the same
// for every control in the box, or on Linux a combo box's current text.
QString OwnName(QWidget* control) {
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    for (QLabel* label : control->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->buddy() == control)
            return label->text();
    auto* button = qobject_cast<QAbstractButton*>(control);
    return button ? button->text() : QString();
}

class DialogAccessible : public ::testing::TestWithParam<DialogRow>, public DialogWorld {};

TEST_P(DialogAccessible, EveryFocusableControlHasANameAndEveryMnemonicLabelABuddy) {
    AddWordRecord(db, "cat");
    bool checked = false;
    WhenShown(GetParam().shown, [&](QWidget* dialog) {
        checked = true;
        for (QWidget* control : dialog->findChildren<QWidget*>()) {
            if (!control->isVisibleTo(dialog) || !(control->focusPolicy() & Qt::TabFocus) ||
                control->focusProxy() != nullptr)
                continue;
            SCOPED_TRACE(std::string(control->metaObject()->className()) + " " +
                         control->objectName().toStdString());
            // A letter at least: "<" read aloud names nothing.
            EXPECT_TRUE(OwnName(control).contains(QRegularExpression(QStringLiteral("\\p{L}"))));
            EXPECT_FALSE(
                QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty());
        }
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->textFormat() != Qt::RichText &&
                QString(label->text()).remove(QStringLiteral("&&")).contains(QLatin1Char('&'))) {
                EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
            }
        }
        // Options takes no Esc: OK is its way out.
        if (auto* ok = dialog->findChild<QPushButton*>("okButton"))
            ok->click();
        else
            static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
    });
    GetParam().open(app);
    EXPECT_TRUE(QTest::qWaitFor([&] { return checked && Shown({}).isEmpty(); }));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogAccessible,
    ::testing::Values(
        DialogRow{"Options", "options", [](AppContext& a) { RunOptionsDialog(a, nullptr); }},
        DialogRow{"WordDetails", "wordDetails",
                  [](AppContext& a) { RunWordDetailsDialog(a, nullptr); }},
        DialogRow{"ResultsReport", "resultsReport",
                  [](AppContext& a) { OpenResultsReport(a, nullptr); }},
        DialogRow{"Prompt", "firstButton",
                  [](AppContext&) {
                      PromptRequest request{11, "Delete this word?", "Yes", "No"};
                      RunPrompt(nullptr, request);
                  }},
        DialogRow{"About", "aboutBox", [](AppContext& a) { RunAboutBox(a, nullptr); }},
        DialogRow{"FileChooser", "chooseTextFile",
                  [](AppContext&) {
                      QString file;
                      ChooseTextFile(nullptr, file, TextFileFilter());
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace lexipond::testing
