#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Byte text as the window shows it: valid UTF-8 reads as UTF-8, every other
// byte as the Windows-1252 character of that byte, so old lists typed in an
// 8-bit code page still show their accented letters. Pure conversions that own
// nothing; any thread may call them, the font only after the QApplication exists.
#include <QFont>
#include <QString>
#include <string>

namespace lexipond {

struct SettingsBlock;

QString DisplayText(const char* bytes);
QString DisplayText(const std::string& bytes);
// A user's name from the settings block, read no further than its field.
QString DisplayUserName(const SettingsBlock& settings, int user);
// What a text typed into the window is stored as (UTF-8).
std::string StoredText(const QString& text);

// A font (of the family, "Arial" unless told) whose line (ascent + descent) is
// cellHeight pixels, the way the classic desktop sizes fonts by cell height;
// weight on the 1..1000 scale.
QFont CellHeightFont(int cellHeight, int weight, const QString& family = QStringLiteral("Arial"));

} // namespace lexipond
