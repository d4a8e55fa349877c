// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/layout/CardLayout.h"

#include <algorithm>
#include <cmath>

namespace lexipond {

namespace {

const ButtonPlace& PlaceOf(CardButton button) {
    switch (button) {
    case CardButton::Incorrect:
        return kIncorrectPlace;
    case CardButton::Skip:
        return kSkipPlace;
    default:
        return kCorrectPlace;
    }
}

bool Inside(const CardScale& scale, const ButtonPlace& place, int x, int y) {
    // Back into card pixels: the test is then the unscaled one, exact at scale 1.
    const double u = (x - scale.left) / scale.scale;
    const double v = (y - scale.top) / scale.scale;
    return u > place.left && u < place.left + place.width && v > place.top &&
           v < place.top + place.height;
}

} // namespace

CardScale FitCard(int width, int height) {
    CardScale fit;
    fit.scale = std::max(1.0, std::min(static_cast<double>(width) / kCardWidth,
                                       static_cast<double>(height) / kCardHeight));
    // Whole pixels, so that a scale of 1 keeps every edge where it always was.
    fit.left = std::max(0, static_cast<int>(std::floor((width - kCardWidth * fit.scale) / 2)));
    fit.top = std::max(0, static_cast<int>(std::floor((height - kCardHeight * fit.scale) / 2)));
    return fit;
}

CardArea ScaledPlace(const CardScale& scale, const ButtonPlace& place) {
    return {scale.left + scale.scale * place.left, scale.top + scale.scale * place.top,
            scale.left + scale.scale * (place.left + place.width),
            scale.top + scale.scale * (place.top + place.height)};
}

CardButton ButtonAt(const CardScale& scale, int x, int y) {
    for (CardButton button : {CardButton::Correct, CardButton::Incorrect, CardButton::Skip})
        if (Inside(scale, PlaceOf(button), x, y))
            return button;
    return CardButton::None;
}

CardPoint UnscaledPoint(CardButton button) {
    const ButtonPlace& place = PlaceOf(button);
    return {static_cast<uint16_t>(place.left + place.width / 2),
            static_cast<uint16_t>(place.top + place.height / 2)};
}

} // namespace lexipond
