#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The Results Report: this run's answers, shown beside the main window and
// followed as they are given. Window thread only. It is not modal, so the main
// window stays usable; it reads the report through the word store every few
// seconds. The dialog deletes itself when closed; while it is open
// app.report points at it and its owner (the main window) deletes it at the
// latest.
#include <QRect>
#include <QSize>

class QWidget;

namespace lexipond {
struct AppContext;

// Opens the report, owned by owner (null only in tests). Does nothing while
// app.report is set.
void OpenResultsReport(AppContext& app, QWidget* owner);

// Where the report opens (frames included): beside the owner window, to its
// right or else to its left, level with its top, when one side has room; else
// at the edge of the screen on the side with more room. Never larger than the
// screen's available area, and always inside it. A null owner: centred.
QRect ReportPlace(const QRect& owner, QSize wanted, const QRect& available);

} // namespace lexipond
