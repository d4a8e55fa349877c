#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// "Lexipond Options": the users' names, the level, Import, Confirm Quit, the
// transparency and the card's Appearance (applied and stored as it changes).
// Window thread only. It owns nothing beyond its controls; OK stores the
// choices through app.store (which starts the user's session afresh), Import
// adds a word list through it at once, and OK is the only way out.
class QWidget;

namespace lexipond {
struct AppContext;

// Runs the dialog modally (window-modal to owner; owner may be null in tests);
// app.options points at it while it runs. Does nothing while one is open.
void RunOptionsDialog(AppContext& app, QWidget* owner);

} // namespace lexipond
