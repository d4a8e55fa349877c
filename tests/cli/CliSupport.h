#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// lexipond-db run as a user or a script runs it, its output kept in files of
// the test's folder.
#include "TestSupport.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace lexipond::testing {

// Runs the built program with args (after `prefix`, e.g. "LC_ALL=C") and gives
// back its exit status, or -1 when it did not exit; out and err receive its output.
inline int RunLexipondDb(const TempFolder& folder, const std::vector<std::string>& args,
                         std::string& out, std::string& err, const std::string& prefix = "") {
    std::string command = prefix + " '" LEXIPOND_DB_EXE "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'"; // the tests' own paths hold no quote
    command += " >'" + (folder / "out") + "' 2>'" + (folder / "err") + "'";
    const int raw = std::system(command.c_str());
    out = ReadBytes(folder / "out");
    err = ReadBytes(folder / "err");
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace lexipond::testing
