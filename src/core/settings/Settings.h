#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The 1000-byte settings block, held in memory for the whole run and stored
// behind "WORD1" + three version digits in "dLexipond.dat". The program owns one
// block; the window thread changes it, and while the worker runs, both threads
// use it under TutorState::lock (the tutor reads the level and the user).
#include <bit>
#include <cstddef>
#include <cstdint>

namespace lexipond {

static_assert(std::endian::native == std::endian::little,
              "the settings block is stored as it lies in memory (little-endian)");

inline constexpr int32_t kNeverPlaced = 989898;
inline constexpr int kUserCount = 5;
inline constexpr int kUserNameSize = 100;
// The difficulty levels, easiest first; the stored level is an index into these names.
inline constexpr int kLevelCount = 7;
inline constexpr const char* kLevelNames[kLevelCount] = {"Easiest", "Easier", "Easy",   "Normal",
                                                         "Hard",    "Harder", "Hardest"};

// Our window system's equivalent of the placement record: 11 words, block offsets 48..91.
struct WindowPlacement {
    int32_t length;
    int32_t flags;
    int32_t showState;    // 1 normal, 2 minimised, 3 maximised
    int32_t minPositionX; // kNeverPlaced until a real window was placed
    int32_t minPositionY;
    int32_t maxPositionX;
    int32_t maxPositionY;
    int32_t normalLeft;
    int32_t normalTop;
    int32_t normalRight;
    int32_t normalBottom;
};

struct SettingsBlock {
    int32_t confirmQuit;
    int32_t onTop;
    int32_t transparent;
    int32_t transparencyAlpha;
    uint8_t unused16[4];
    int32_t level;
    int32_t currentUser;
    uint8_t unused28[20];
    WindowPlacement windowPlacement;
    char userNames[kUserCount][kUserNameSize];
    uint8_t unused592[408];
};

static_assert(sizeof(SettingsBlock) == 1000);
static_assert(offsetof(SettingsBlock, level) == 20);
static_assert(offsetof(SettingsBlock, currentUser) == 24);
static_assert(offsetof(SettingsBlock, windowPlacement) == 48);
static_assert(offsetof(SettingsBlock, windowPlacement) + offsetof(WindowPlacement, minPositionX) ==
              60);
static_assert(offsetof(SettingsBlock, userNames) == 92);
static_assert(offsetof(SettingsBlock, unused592) == 592);

} // namespace lexipond
