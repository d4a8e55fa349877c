// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/LookSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QSettings>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace lexipond {

namespace {

const char kSchemeKey[] = "Appearance/scheme";
const char kFamilyKey[] = "Appearance/wordTypeface";
const char kLowerKey[] = "Appearance/lowerCase";
const char kSayKey[] = "Speech/sayAfterIncorrect";
const char kVoiceKey[] = "Speech/voice";
const char kRateKey[] = "Speech/rate";
// A family name longer than this is damage, not a font.
constexpr qsizetype kLongestFamily = 200;

struct SchemeName {
    ColourScheme scheme;
    const char* name;
};
constexpr SchemeName kSchemeNames[] = {{ColourScheme::Classic, "classic"},
                                       {ColourScheme::HighContrast, "high-contrast"},
                                       {ColourScheme::Dark, "dark"}};

} // namespace

CardColours ColoursOf(ColourScheme scheme) {
    switch (scheme) {
    case ColourScheme::HighContrast:
        // Yellow on black, white outlines: the strongest contrast that still
        // tells the buttons from the panels.
        return {Qt::black, Qt::black, QColor(0, 0, 110), QColor(255, 255, 0), Qt::white};
    case ColourScheme::Dark:
        return {QColor(24, 24, 28), QColor(48, 50, 56), QColor(72, 76, 88), QColor(236, 236, 236),
                QColor(130, 134, 146)};
    default:
        return {Qt::white, QColor(213, 215, 183), QColor(245, 247, 215), Qt::black, Qt::black};
    }
}

QString LookFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Lexipond/lexipond.conf");
}

LookSettings LoadLook(const QString& path) {
    LookSettings look;
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        return look;
    const QString scheme = file.value(QString::fromLatin1(kSchemeKey)).toString();
    for (const SchemeName& known : kSchemeNames)
        if (scheme == QLatin1String(known.name))
            look.scheme = known.scheme;
    const QVariant family = file.value(QString::fromLatin1(kFamilyKey));
    if (family.typeId() == QMetaType::QString && family.toString().size() <= kLongestFamily)
        look.wordFamily = family.toString();
    // Only the two words written here count; anything else is the default.
    const QString lower = file.value(QString::fromLatin1(kLowerKey)).toString();
    look.lowerCase = lower == QLatin1String("true");
    look.sayAfterIncorrect =
        file.value(QString::fromLatin1(kSayKey)).toString() == QLatin1String("true");
    const QString voice = file.value(QString::fromLatin1(kVoiceKey)).toString();
    if (SpeechVoices().contains(voice))
        look.voice = voice;
    bool number = false;
    const int rate = file.value(QString::fromLatin1(kRateKey)).toString().toInt(&number);
    if (number && rate >= kLeastRatePercent && rate <= kMostRatePercent)
        look.ratePercent = rate;
    return look;
}

bool SaveLook(const QString& path, const LookSettings& look) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Written beside the file and renamed over it: whole or not at all, and a
    // damaged file is replaced rather than mended (QSettings refuses to write
    // into a file it cannot parse).
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    {
        QSettings file(fresh, QSettings::IniFormat);
        for (const SchemeName& known : kSchemeNames)
            if (known.scheme == look.scheme)
                file.setValue(QString::fromLatin1(kSchemeKey), QString::fromLatin1(known.name));
        file.setValue(QString::fromLatin1(kFamilyKey), look.wordFamily);
        file.setValue(QString::fromLatin1(kLowerKey),
                      look.lowerCase ? QStringLiteral("true") : QStringLiteral("false"));
        file.setValue(QString::fromLatin1(kSayKey),
                      look.sayAfterIncorrect ? QStringLiteral("true") : QStringLiteral("false"));
        file.setValue(QString::fromLatin1(kVoiceKey), look.voice);
        file.setValue(QString::fromLatin1(kRateKey), QString::number(look.ratePercent));
        file.sync();
        if (file.status() != QSettings::NoError) {
            QFile::remove(fresh);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(fresh).toStdString(),
                            QFile::encodeName(path).toStdString(), error);
    if (error)
        QFile::remove(fresh);
    return !error;
}

QString ShownWord(const LookSettings& look, const QString& word) {
    return look.lowerCase ? word.toLower() : word;
}

QStringList SpeechVoices() {
    return {QStringLiteral("slt"), QStringLiteral("awb"), QStringLiteral("rms"),
            QStringLiteral("kal16")};
}

QStringList WordFamilies() {
    QStringList families = QFontDatabase::families();
    QStringList first;
    for (const QString& reader : {QStringLiteral("Andika"), QStringLiteral("OpenDyslexic")})
        if (families.removeAll(reader) > 0)
            first << reader;
    return first + families;
}

} // namespace lexipond
