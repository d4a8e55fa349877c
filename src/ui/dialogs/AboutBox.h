#pragma once
class QWidget;

namespace lexipond {
struct AppContext;

// "About Lexipond", modal, owned by the main window; does nothing while it is open.
void RunAboutBox(AppContext& app, QWidget* owner);

} // namespace lexipond
