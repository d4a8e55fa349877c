#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The open-file chooser for word list files: a modal dialog on the window
// thread, owned by the call that runs it. It reads nothing but the file names.
#include <QString>

class QWidget;

namespace lexipond {

// Text files first; "All Files" also shows names without an extension.
QString TextFileFilter();

// fileName holds a suggested file on entry (the chooser starts in the user's
// documents folder when it cannot be opened) and the chosen file on return.
// Returns true when the user chose a file, false when the choice was cancelled.
bool ChooseTextFile(QWidget* owner, QString& fileName, const QString& filter);

} // namespace lexipond
