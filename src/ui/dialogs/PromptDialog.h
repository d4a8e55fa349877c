#pragma once
// The two-button prompt: the caller fills a PromptRequest, runs the dialog and
// reads the answer (1 first button or Enter, 2 second button or Esc).
#include <string>

class QWidget;

namespace lexipond {

struct PromptRequest {
    int mode = 0; // 0 large message font, 11 small message font
    std::string message;
    std::string firstButton;
    std::string secondButton;
};

// Runs the prompt modally (always on top, no close box); resets the request afterwards.
int RunPrompt(QWidget* owner, PromptRequest& request);

} // namespace lexipond
