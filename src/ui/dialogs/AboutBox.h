#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// "About Lexipond": the program's name, version and purpose. Window thread
// only; it reads and owns nothing but its own controls.
class QWidget;

namespace lexipond {
struct AppContext;

// Runs the box modally, owned by owner; app.about points at it while it runs.
// Does nothing while one is open.
void RunAboutBox(AppContext& app, QWidget* owner);

} // namespace lexipond
