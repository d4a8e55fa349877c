#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A scratch folder for one benchmark run, removed at exit.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace lexipond::bench {

// Made once and never destroyed, so that the clean-up at exit (which runs after
// static destructors) can still use it.
inline const std::filesystem::path& BenchFolder() {
    static const auto* folder = [] {
        auto* path = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                               ("lexipond-bench-" + std::to_string(::getpid())));
        std::filesystem::create_directories(*path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(BenchFolder(), ignored);
        });
        return path;
    }();
    return *folder;
}

} // namespace lexipond::bench
