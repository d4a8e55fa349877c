// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/words/WordTalliesCsv.h"

#include "core/text/Csv.h"

#include <cstring>

namespace lexipond {

std::string WordTalliesCsvHeader(const SettingsBlock& settings) {
    std::string out;
    AppendCsvField(out, "word");
    for (int user = 0; user < kUserCount; ++user) {
        // A damaged block may lack the terminator.
        std::string name(settings.userNames[user],
                         strnlen(settings.userNames[user], kUserNameSize));
        if (name.empty())
            name = "User " + std::to_string(user + 1);
        out += ',';
        AppendCsvField(out, name + " answers");
        out += ',';
        AppendCsvField(out, name + " correct");
    }
    out += "\r\n";
    return out;
}

std::string WordTalliesCsvRow(const WordDetails& details) {
    std::string out;
    AppendCsvField(out, details.word);
    for (int user = 0; user < kUserCount; ++user) {
        out += ',';
        out += std::to_string(details.total[user]);
        out += ',';
        out += std::to_string(details.correct[user]);
    }
    out += "\r\n";
    return out;
}

} // namespace lexipond
