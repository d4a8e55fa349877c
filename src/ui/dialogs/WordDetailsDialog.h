#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The Word Details dialog: one word's text, notes and every user's tallies, with
// steps through the list, Delete, Copy and New. Window thread only, run from
// CMD_WORD_DETAILS inside the request protocol (WordStore::RunWordDetails), so
// the worker does not sort while it is open. It owns nothing beyond its
// controls; every read and write of the word database goes through app.store,
// and changes are stored as they are made (Cancel only skips saving the word
// on show).
class QWidget;

namespace lexipond {
struct AppContext;

// Runs the dialog modally (window-modal to owner; owner may be null in tests)
// on app.store.DetailsTarget(): a slot, or kDetailsNewWord for a new word.
void RunWordDetailsDialog(AppContext& app, QWidget* owner);

} // namespace lexipond
