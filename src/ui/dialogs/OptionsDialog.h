#pragma once
class QWidget;

namespace lexipond {
struct AppContext;

// Runs "Lexipond Options" modally; does nothing while app.optionsOpen is set.
void RunOptionsDialog(AppContext& app, QWidget* owner);

} // namespace lexipond
