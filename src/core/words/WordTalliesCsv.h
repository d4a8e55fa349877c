#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The word list as CSV (RFC 4180, core/text/Csv.h): a header row naming each
// learner's two columns by the learner's name, then one row per word: the
// word, then each learner's answers and correct answers on it. Names and words
// keep their bytes. Pure functions; any thread.
#include "core/settings/Settings.h"
#include "core/words/WordDetails.h"

#include <string>

namespace lexipond {

// "word,<name 1> answers,<name 1> correct,...,<name 5> correct" and CR LF; a
// learner without a name is "User N".
std::string WordTalliesCsvHeader(const SettingsBlock& settings);
std::string WordTalliesCsvRow(const WordDetails& details);

} // namespace lexipond
