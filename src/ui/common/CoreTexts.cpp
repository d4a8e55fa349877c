// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/CoreTexts.h"

#include "core/lifecycle/Lifecycle.h"
#include "core/settings/Settings.h"
#include "core/tutor/Tutoring.h"
#include "ui/common/TextDisplay.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstring>

namespace lexipond {

namespace {

// lupdate reads these; the core's arrays hold the same texts.
[[maybe_unused]] constexpr const char* kLevelTexts[] = {
    QT_TRANSLATE_NOOP("Level", "Easiest"), QT_TRANSLATE_NOOP("Level", "Easier"),
    QT_TRANSLATE_NOOP("Level", "Easy"),    QT_TRANSLATE_NOOP("Level", "Normal"),
    QT_TRANSLATE_NOOP("Level", "Hard"),    QT_TRANSLATE_NOOP("Level", "Harder"),
    QT_TRANSLATE_NOOP("Level", "Hardest")};
[[maybe_unused]] constexpr const char* kReasonTexts[] = {
    QT_TRANSLATE_NOOP("StartupReason", "it is not a file"),
    QT_TRANSLATE_NOOP("StartupReason", "the folder refused a new name"),
    QT_TRANSLATE_NOOP("StartupReason", "permission denied"),
    QT_TRANSLATE_NOOP("StartupReason", "no memory"),
    QT_TRANSLATE_NOOP("StartupReason", "it changed while opening"),
    QT_TRANSLATE_NOOP("StartupReason", "not a whole settings file")};

} // namespace

QString LevelName(int level) {
    if (level < 0 || level >= kLevelCount)
        return QString();
    return QCoreApplication::translate("Level", kLevelNames[level]);
}

QString AnswerName(AnswerKind kind) {
    switch (kind) {
    case AnswerKind::Correct:
        return QCoreApplication::translate("Answer", "Correct");
    case AnswerKind::Incorrect:
        return QCoreApplication::translate("Answer", "Incorrect");
    case AnswerKind::Skip:
        break;
    }
    return QCoreApplication::translate("Answer", "Skip");
}

QString StartupReason(const std::string& reason) {
    for (const char* known : kStartupReasons)
        if (reason == known)
            return QCoreApplication::translate("StartupReason", known);
    return DisplayText(reason);
}

QString ScoreText(uint32_t part, uint32_t whole) {
    return QCoreApplication::translate("Score", "%1 of %2 (%3%)")
        .arg(part)
        .arg(whole)
        .arg(WholePercent(part, whole));
}

QString ReportForDisplay(QString lines) {
    const QString correct = QStringLiteral(", Correct"), incorrect = QStringLiteral(", Incorrect");
    const QString correctShown = QStringLiteral(", ") + AnswerName(AnswerKind::Correct);
    const QString incorrectShown = QStringLiteral(", ") + AnswerName(AnswerKind::Incorrect);
    if (correctShown == correct && incorrectShown == incorrect)
        return lines;
    QStringList parts = lines.split(QLatin1Char('\n'));
    for (QString& line : parts) {
        const bool cr = line.endsWith(QLatin1Char('\r'));
        if (cr)
            line.chop(1);
        if (line.endsWith(correct))
            line = line.chopped(correct.size()) + correctShown;
        else if (line.endsWith(incorrect))
            line = line.chopped(incorrect.size()) + incorrectShown;
        if (cr)
            line += QLatin1Char('\r');
    }
    return parts.join(QLatin1Char('\n'));
}

} // namespace lexipond
