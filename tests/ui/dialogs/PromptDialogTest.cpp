// SPDX-License-Identifier: GPL-3.0-or-later
// The two-button prompt, answered through its buttons and the keyboard.
#include "ui/dialogs/PromptDialog.h"

#include "DialogTestSupport.h"

#include <QTest>

namespace lexipond::testing {
namespace {

TEST(Prompt, EachButtonAndEscGiveTheirResult) {
    const struct {
        const char* name;
        std::function<void(QWidget*)> answer;
        int result;
    } rows[] = {
        {"first button", [](QWidget* p) { p->findChild<QPushButton*>("firstButton")->click(); }, 1},
        {"second button", [](QWidget* p) { p->findChild<QPushButton*>("secondButton")->click(); },
         2},
        {"Esc", [](QWidget* p) { QTest::keyClick(p, Qt::Key_Escape); }, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PromptRequest request{11, "Delete this word?", "Yes, delete word", "No, do not delete"};
        WhenShown("firstButton", row.answer);
        EXPECT_EQ(RunPrompt(nullptr, request), row.result);
        EXPECT_TRUE(request.message.isEmpty()) << "the request is reset afterwards";
    }
}

} // namespace
} // namespace lexipond::testing
