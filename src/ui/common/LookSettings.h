#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// How the card looks: colour scheme, the word's typeface, lower-case display.
// Kept in a file of its own (lexipond.conf in the user's config folder, through
// QSettings), never in the settings block, whose bytes stay as they always were.
// A missing or damaged file, or any value not understood, gives the default.
#include <QColor>
#include <QString>

namespace lexipond {

enum class ColourScheme { Classic, HighContrast, Dark };

struct LookSettings {
    ColourScheme scheme = ColourScheme::Classic;
    QString wordFamily; // empty: the card's usual family
    bool lowerCase = false;
    // Speech: the word said after an Incorrect answer, the voice (Flite's
    // short name: slt, awb, rms, kal16) and the speed in percent (50..200).
    bool sayAfterIncorrect = false;
    QString voice = QStringLiteral("slt");
    int ratePercent = 100;
    bool operator==(const LookSettings&) const = default;
};

// The colours of one scheme. Classic is the card's colours as they always were.
struct CardColours {
    QColor background, panel, button, ink, outline;
};
CardColours ColoursOf(ColourScheme scheme);

// $XDG_CONFIG_HOME/Lexipond/lexipond.conf (or the platform's equivalent).
QString LookFilePath();
LookSettings LoadLook(const QString& path);
// Written whole or not at all: beside the file, then renamed over it.
bool SaveLook(const QString& path, const LookSettings& look);

// The word as shown: as stored, or in lower case.
QString ShownWord(const LookSettings& look, const QString& word);

inline constexpr int kLeastRatePercent = 50;
inline constexpr int kMostRatePercent = 200;
// The voices offered, in the order shown.
QStringList SpeechVoices();

// The installed families for the word, those made for early readers first
// (Andika, OpenDyslexic) when installed, then the rest in the system's order.
QStringList WordFamilies();

} // namespace lexipond
