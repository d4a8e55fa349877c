// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test support for tests that start real programs: starting one with extra
// environment (output kept or dropped) and waiting for it within a limit, so
// that a broken program fails a test instead of hanging it.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lexipond::testing {

enum class Output { Keep, Drop };

// Starts argv[0] with argv, this process's environment plus `env`. 0 when it failed.
inline pid_t Spawn(std::vector<std::string> argv, const std::map<std::string, std::string>& env = {},
                   Output output = Output::Keep) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!env.count(text.substr(0, text.find('='))))
            entries.push_back(text);
    }
    for (const auto& [name, value] : env)
        entries.push_back(name + "=" + value);
    std::vector<char*> envp, args;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == Output::Drop) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

// Waits at most `limit` for a child to end and returns its wait status; a
// child still running then is killed, and the result is -1.
inline int WaitEnd(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

inline bool ExitedWith(int status, int code) {
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

} // namespace lexipond::testing
