#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The core's fixed English texts in the user's language: level names, answer
// names, start-up reasons, scores and the Results Report's verdicts. The core
// keeps its bytes (the report and the files stay as they are); only what the
// window shows is translated. Pure functions; window thread (they read the
// installed translators).
#include "core/tutor/TutorState.h"

#include <QString>
#include <cstdint>
#include <string>

namespace lexipond {

QString LevelName(int level);
QString AnswerName(AnswerKind kind);
// A start-up reason: the fixed ones translated, the system's and the format
// check's shown as given.
QString StartupReason(const std::string& reason);
// "7 of 9 (77%)", with the core's rounding.
QString ScoreText(uint32_t part, uint32_t whole);
// Report lines ("word, Correct") with the verdict at each line's end translated;
// a word that itself holds ", Correct" keeps it, as only the end is read.
QString ReportForDisplay(QString lines);

} // namespace lexipond
