#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The progress report on paper: one page with what a Progress window shows
// (the learner's name, the range of days, the chart, the words mastered and
// the words that need work), for a printer or a PDF. Window thread only.
class QPagedPaintDevice;
class QWidget;

namespace lexipond {

// progressWindow is a window made by OpenProgressWindow.
void PaintProgressReport(QWidget& progressWindow, QPagedPaintDevice& device);

} // namespace lexipond
