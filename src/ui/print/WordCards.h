#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Word cards on paper: one big word per card, 1, 2, 4 or 8 cards to a page,
// with dashed lines to cut along. The pages go to any paged device (a printer
// chosen in the print dialog, or a PDF). The interface names no Qt type, so
// lexipond-db can make a PDF without a window; the words are byte text as
// stored and show as the window shows them. Any one thread at a time.
#include <string>
#include <vector>

class QPagedPaintDevice;

namespace lexipond {

inline constexpr int kCardsPerPageChoices[] = {1, 2, 4, 8};

bool IsCardsPerPage(int perPage);

// Paints the cards on device, a new page after every perPage words; returns the
// number of pages. perPage must be one of kCardsPerPageChoices.
int PaintWordCards(QPagedPaintDevice& device, const std::vector<std::string>& words, int perPage);

enum class CardsOutcome {
    Written,
    NoWords,     // nothing to print: no file is made
    BadPerPage,  // perPage is not 1, 2, 4 or 8
    CannotWrite, // the PDF could not be made; an older file of that name is kept
};

// Writes the cards as a PDF at pdfPath, whole or not at all (a new file
// renamed over the old). Makes a window-less application when none exists.
// pages receives the page count.
CardsOutcome WriteWordCardsPdf(const std::vector<std::string>& words, int perPage,
                               const std::string& pdfPath, int& pages);

} // namespace lexipond
