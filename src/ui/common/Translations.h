#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The user's language: installs our translation built into the program and
// Qt's own (its dialogs' buttons) for the first of the user's languages that
// has one (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG). English needs none. Call
// once on the window thread after the QApplication exists and before any
// window is made; the translators live until the application ends.
class QCoreApplication;

namespace lexipond {

// Returns true when a translation of ours was installed.
bool InstallTranslations(QCoreApplication& application);

} // namespace lexipond
