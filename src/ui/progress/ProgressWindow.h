#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The Progress window: for one learner and a range of days (the last four
// weeks at first), a chart of the answers and the accuracy per day or week,
// the words mastered and the words that need work, each a sortable list; and
// from there the CSV export and the printed cards and report. It reads the
// answer history through a reader of its own (never the writer's connection)
// and the words through the store. Window thread only; one at a time, owned by
// its owner window, not modal.
class QWidget;

namespace lexipond {

struct AppContext;

// Opens the window, or raises the one that is open.
void OpenProgressWindow(AppContext& app, QWidget* owner);

} // namespace lexipond
