#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The two-button prompt: the caller fills a PromptRequest, runs the dialog and
// reads the answer (1 first button or Enter, 2 second button or Esc). Window
// thread only; the dialog lives for the call that runs it and touches nothing
// but the request, so it may be run before the word store exists (start-up).
#include <QString>

class QWidget;

namespace lexipond {

struct PromptRequest {
    int mode = 0; // 0 large message font, 11 small message font
    QString message;
    QString firstButton;
    QString secondButton;
};

// Runs the prompt modally (always on top, no close box); resets the request afterwards.
int RunPrompt(QWidget* owner, PromptRequest& request);

} // namespace lexipond
