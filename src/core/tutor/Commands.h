#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Command identifiers by which the menu, the window and the worker drive the main window.
namespace lexipond {

enum Command : int {
    CMD_HELP = 2000,
    CMD_OPTIONS = 2001,
    CMD_EXIT = 2002,
    CMD_ABOUT = 2003,
    CMD_REPORT = 2011,
    CMD_DESTROY = 2012,
    CMD_TRANSPARENT = 2013,
    CMD_ON_TOP = 2014,
    CMD_ADD_WORD = 2015,
    CMD_WORD_DETAILS = 2018,
    CMD_CORRECT = 2020,
    CMD_INCORRECT = 2021,
    CMD_SKIP = 2022,
    CMD_UNDO = 2023,
    CMD_USER_1 = 2200,
    CMD_USER_5 = 2204,
    CMD_LEVEL_EASIEST = 2210,
    CMD_LEVEL_HARDEST = 2216,
    CMD_EDIT_WORD = 2300,
};

enum WorkerRequest : int {
    RequestIdle = 0,
    RequestEditWord = 3,
    RequestAddWord = 5,
    RequestResort = 7,
    RequestDialogOpen = 999,
};

inline constexpr int kQuitFlagStop = 666;

// detailsTarget values other than a slot.
inline constexpr int kDetailsNewWord = -2;
inline constexpr int kDetailsReport = -3;

} // namespace lexipond
