#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The tutoring state shared by the window thread and the worker, and the small
// interfaces through which the core reaches the window and the random source.
// WordStore (WordStore.h) owns the lock that guards this state and says who may
// touch what from which thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/platform/Event.h"
#include "core/platform/Random.h"

namespace lexipond {

struct RecordFile;
struct SettingsBlock;

inline constexpr uint32_t kReportBufferSize = 10'240'000;
inline constexpr uint32_t kReportTextLimit = 10'000'000;

struct TutorState {
    int32_t currentRecord = -1;
    char currentWord[300] = {};
    char currentUserName[100] = {};
    uint32_t wordTotal = 0;
    uint32_t wordCorrect = 0;
    uint32_t userTotal = 0;
    uint32_t userCorrect = 0;
    uint32_t sessionTotal = 0;
    uint32_t sessionCorrect = 0;
    uint32_t randomState = 0;

    std::atomic<int32_t> workerRequest{0};
    std::atomic<int32_t> quitFlag{0};
    std::atomic<int32_t> detailsTarget{0};
    platform::Event wakeEvent{false};
    platform::Event idleEvent{true};

    // Zero-terminated text of this run's answers; allocated once, zero-filled.
    std::unique_ptr<char[]> reportBuffer{new char[kReportBufferSize]()};
    uint32_t reportLength = 0; // cached length of the text in reportBuffer
};

// What the core asks of the main window. The Qt layer implements it; tests use a recorder.
class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual void Invalidate() = 0;            // repaint without erasing
    virtual void PostCommand(int command) = 0; // queued WM_COMMAND equivalent
    virtual void PostClose() = 0;              // queued WM_CLOSE equivalent
};

// Everything a tutoring operation works on, owned elsewhere; WordStore makes
// the one Tutor of a word database, around its own lock.
struct Tutor {
    RecordFile& db;
    SettingsBlock& settings;
    TutorState& state;
    RandomSource& random;
    WindowPort& window;
    std::recursive_mutex& lock; // WordStore's; see WordStore.h for what it covers
};

} // namespace lexipond
