#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon and caption, shared by every window. Window thread only
// (after the QApplication exists); the icon is made once, from the resources
// built into the program, and kept until the end.
#include "LexipondVersion.h"

#include <QIcon>

namespace lexipond {

// The program's icon at 16, 32 and 48 pixels.
QIcon ProgramIcon();
// The caption of the main window, the prompts and the file chooser.
inline constexpr char kWindowTitle[] = "Lexipond " LEXIPOND_VERSION;

} // namespace lexipond
