#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The card at any window size: the fixed layout (604 by 316, the answer buttons
// of core/tutor/Tutoring.h) scaled evenly to fill the window and centred in it.
// The painter draws through this scale and the window reads clicks through it,
// so what is painted and what is clicked cannot drift apart.
#include "core/tutor/Tutoring.h"

#include <cstdint>

namespace lexipond {

inline constexpr int kCardWidth = 604;
inline constexpr int kCardHeight = 316;

// Window pixel = offset + scale * card pixel. At the card's own size: 1 and 0.
struct CardScale {
    double scale = 1.0;
    int left = 0, top = 0;
};

// The largest even scale at which the card fits width by height, never below
// 1 (the window does not shrink below the card), centred on whole pixels.
CardScale FitCard(int width, int height);

enum class CardButton { None, Correct, Incorrect, Skip };

// A scaled area in window pixels, edges as real numbers (they may fall between pixels).
struct CardArea {
    double left, top, right, bottom;
};
CardArea ScaledPlace(const CardScale& scale, const ButtonPlace& place);

// The button under window pixel (x, y): strictly inside its scaled area, as
// HandleClick takes a click strictly inside the unscaled one.
CardButton ButtonAt(const CardScale& scale, int x, int y);

// A point of the unscaled layout that HandleClick takes as this button: its
// centre. A click found at any size goes on through HandleClick from here.
struct CardPoint {
    uint16_t x, y;
};
CardPoint UnscaledPoint(CardButton button);

} // namespace lexipond
