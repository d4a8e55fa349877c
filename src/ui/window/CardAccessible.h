#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The card as a screen reader sees it. The main window paints its word, scores
// and answer buttons itself, so to Qt it is one blank widget; its accessible
// interface gives it these children, in reading order:
//   0     the word (StaticText), named as shown: in the look's case, never cut;
//   1..4  the score lines (StaticText), each named by its label and its value
//         as painted ("Total: 7 of 9 (77%)");
//   5..7  Correct, Incorrect and Skip (Button), named by their captions as
//         painted; their press action is MainWindow::PressCardButton, the
//         way of a click.
// A child's rect is its painted area scaled to the window as core/layout scales
// it for the painter and the clicks, in screen coordinates. The names are read
// from the painter's last snapshot, so a screen reader hears what was painted;
// after each paint a word or score line whose name changed sends NameChanged.
// While the window is active the word has the focus: the keys answer it. A press
// is refused while a modal dialog is open, as the click is then. Window thread only.
#include <QList>

namespace lexipond {

class MainWindow;

// Makes Qt ask here for every MainWindow's interface. More calls do no harm.
void InstallCardAccessible();

// After a paint: NameChanged for each word or score line whose name is not the
// one last told (Qt passes it on only when assistive technology listens).
// Returns the child indexes told.
QList<int> AnnounceCardChanges(MainWindow& window);

} // namespace lexipond
