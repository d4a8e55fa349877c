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
    std::function<void(DialogWorld&)> open;
    const char* closeButton; // null: done(Rejected)
};

std::ostream& operator<<(std::ostream& out, const DialogRow& row) {
    return out << row.name;
}

// The name a control is given on purpose: its accessible name, the text of a
// label beside it whose buddy it is (Qt reads only a label with the same
// parent), or a button's caption. Without one Qt reads a group box's title,
// the same for every control in the box, and on Linux a combo box's current
// text; neither names the control.
QString OwnName(QWidget* control) {
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    if (QWidget* parent = control->parentWidget())
        for (QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (label->buddy() == control)
                return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    return QString();
}

class DialogAccessible : public ::testing::TestWithParam<DialogRow>, public DialogWorld {};

TEST_P(DialogAccessible, EveryFocusableControlIsNamedAndMnemonicLabelsHaveBuddies) {
    const DialogRow& row = GetParam();
    AddWordRecord(db, "cat");
    bool checked = false;
    WhenShown(row.shown, [&](QWidget* dialog) {
        checked = true;
        for (QWidget* control : dialog->findChildren<QWidget*>()) {
            if (!control->isVisibleTo(dialog) || !(control->focusPolicy() & Qt::TabFocus) ||
                control->focusProxy() != nullptr)
                continue;
            const std::string what = std::string(control->metaObject()->className()) + " \"" +
                                     control->objectName().toStdString() + "\"";
            // A letter at least: "<" read aloud is no name.
            EXPECT_TRUE(OwnName(control).contains(QRegularExpression(QStringLiteral("\\p{L}"))))
                << what << " has no name of its own";
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
            EXPECT_FALSE(read == nullptr || read->text(QAccessible::Name).isEmpty())
                << what << " has no accessible name";
        }
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            const QString text = QString(label->text()).remove(QStringLiteral("&&"));
            if (label->textFormat() != Qt::RichText && text.contains(QLatin1Char('&'))) {
                EXPECT_NE(label->buddy(), nullptr)
                    << "the label \"" << label->text().toStdString() << "\" has no buddy";
            }
        }
        if (row.closeButton)
            dialog->findChild<QPushButton*>(row.closeButton)->click();
        else
            static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
    });
    row.open(*this);
    EXPECT_TRUE(QTest::qWaitFor([&] { return checked && Shown({}).isEmpty(); }));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogAccessible,
    ::testing::Values(
        DialogRow{"Options", "options", [](DialogWorld& w) { RunOptionsDialog(w.app, nullptr); },
                  "okButton"},
        DialogRow{"WordDetails", "wordDetails",
                  [](DialogWorld& w) { RunWordDetailsDialog(w.app, nullptr); }, "cancelButton"},
        DialogRow{"ResultsReport", "resultsReport",
                  [](DialogWorld& w) { OpenResultsReport(w.app, nullptr); }, "okButton"},
        DialogRow{"Prompt", "firstButton",
                  [](DialogWorld&) {
                      PromptRequest request{11, "Delete this word?", "Yes", "No"};
                      RunPrompt(nullptr, request);
                  },
                  "secondButton"},
        DialogRow{"About", "aboutBox", [](DialogWorld& w) { RunAboutBox(w.app, nullptr); },
                  nullptr},
        DialogRow{"FileChooser", "chooseTextFile",
                  [](DialogWorld&) {
                      QString file;
                      ChooseTextFile(nullptr, file, TextFileFilter());
                  },
                  nullptr}),
    [](const ::testing::TestParamInfo<DialogRow>& info) { return std::string(info.param.name); });

} // namespace
} // namespace lexipond::testing
