// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/HistoryRow.h"

#include <ctime>

namespace lexipond {

namespace {

constexpr std::string_view kAnswerNames[] = {"Correct", "Incorrect", "Skip"};
constexpr std::string_view kJudgedByNames[] = {"click", "key", "listening"};

} // namespace

std::string_view AnswerName(HistoryAnswer answer) {
    return kAnswerNames[static_cast<int>(answer)];
}

std::string_view JudgedByName(JudgedBy judgedBy) {
    return kJudgedByNames[static_cast<int>(judgedBy)];
}

std::optional<HistoryAnswer> AnswerFromName(std::string_view name) {
    for (int i = 0; i < 3; ++i)
        if (kAnswerNames[i] == name)
            return static_cast<HistoryAnswer>(i);
    return std::nullopt;
}

std::optional<JudgedBy> JudgedByFromName(std::string_view name) {
    for (int i = 0; i < 3; ++i)
        if (kJudgedByNames[i] == name)
            return static_cast<JudgedBy>(i);
    return std::nullopt;
}

HistoryTime HistoryNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<int64_t>(now), static_cast<int32_t>(local.tm_gmtoff / 60)};
}

std::string IsoUtcText(int64_t utcSeconds) {
    const std::time_t when = static_cast<std::time_t>(utcSeconds);
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace lexipond
