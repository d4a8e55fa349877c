// SPDX-License-Identifier: GPL-3.0-or-later
// The card scaled to the window: how it fits, and which button a window pixel
// falls on at several sizes, edges included.
#include "core/layout/CardLayout.h"

#include <cmath>
#include <gtest/gtest.h>

namespace lexipond {
namespace {

TEST(CardLayout, FitsEvenlyCentredAndNeverShrinks) {
    const struct {
        int width, height;
        double scale;
        int left, top;
    } rows[] = {
        {604, 316, 1.0, 0, 0},      // the card's own size: untouched
        {1208, 632, 2.0, 0, 0},     // twice in both directions
        {1920, 632, 2.0, 356, 0},   // wide: the height decides, centred across
        {1208, 1000, 2.0, 0, 184},  // tall: the width decides, centred down
        {906, 474, 1.5, 0, 0},      // a scale between whole numbers
        {300, 200, 1.0, 0, 0},      // below the card's size: no shrinking
        {605, 316, 1.0, 0, 0},      // one more pixel across: centred on a whole pixel
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height);
        const CardScale fit = FitCard(row.width, row.height);
        EXPECT_DOUBLE_EQ(fit.scale, row.scale);
        EXPECT_EQ(fit.left, row.left);
        EXPECT_EQ(fit.top, row.top);
    }
}

TEST(CardLayout, AtTheCardsOwnSizeTheButtonsAreTheUnscaledOnesEdgesExcluded) {
    const CardScale one = FitCard(kCardWidth, kCardHeight);
    const struct {
        int x, y;
        CardButton button;
    } rows[] = {
        {15, 280, CardButton::None},       {16, 280, CardButton::Correct},
        {154, 301, CardButton::Correct},   {155, 280, CardButton::None},
        {80, 267, CardButton::None},       {80, 302, CardButton::None},
        {236, 268, CardButton::Incorrect}, {374, 301, CardButton::Incorrect},
        {451, 268, CardButton::Skip},      {589, 301, CardButton::Skip},
        {590, 280, CardButton::None},      {200, 280, CardButton::None},
        {-5, -5, CardButton::None},        {70000, 280, CardButton::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.x << "," << row.y);
        EXPECT_EQ(ButtonAt(one, row.x, row.y), row.button);
    }
}

TEST(CardLayout, EveryButtonIsFoundInsideItsScaledAreaAndNowhereOutside) {
    const CardButton buttons[] = {CardButton::Correct, CardButton::Incorrect, CardButton::Skip};
    const ButtonPlace* places[] = {&kCorrectPlace, &kIncorrectPlace, &kSkipPlace};
    for (const auto& size : {std::pair{604, 316}, std::pair{800, 600}, std::pair{700, 400}, std::pair{1208, 632},
                            std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        SCOPED_TRACE(testing::Message() << size.first << "x" << size.second);
        const CardScale fit = FitCard(size.first, size.second);
        for (int i = 0; i < 3; ++i) {
            const CardArea area = ScaledPlace(fit, *places[i]);
            EXPECT_NEAR(area.right - area.left, places[i]->width * fit.scale, 1e-9);
            // The first and last whole pixels strictly inside, and the ones past them.
            // The first and last whole pixels strictly inside, and the ones
            // past them. An edge within a hundredth of a whole pixel is left to
            // rounding in the product and not checked to the pixel.
            const auto onPixel = [](double edge) { return std::abs(edge - std::round(edge)) < 0.01; };
            const int x0 = static_cast<int>(std::floor(area.left)) + 1;
            const int x1 = static_cast<int>(std::ceil(area.right)) - 1;
            const int y0 = static_cast<int>(std::floor(area.top)) + 1;
            const int y1 = static_cast<int>(std::ceil(area.bottom)) - 1;
            const int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
            EXPECT_EQ(ButtonAt(fit, xm, ym), buttons[i]);
            if (!onPixel(area.left)) {
                EXPECT_EQ(ButtonAt(fit, x0, ym), buttons[i]);
                EXPECT_EQ(ButtonAt(fit, x0 - 1, ym), CardButton::None);
            }
            if (!onPixel(area.right)) {
                EXPECT_EQ(ButtonAt(fit, x1, ym), buttons[i]);
                EXPECT_EQ(ButtonAt(fit, x1 + 1, ym), CardButton::None);
            }
            if (!onPixel(area.top)) {
                EXPECT_EQ(ButtonAt(fit, xm, y0), buttons[i]);
                EXPECT_EQ(ButtonAt(fit, xm, y0 - 1), CardButton::None);
            }
            if (!onPixel(area.bottom)) {
                EXPECT_EQ(ButtonAt(fit, xm, y1), buttons[i]);
                EXPECT_EQ(ButtonAt(fit, xm, y1 + 1), CardButton::None);
            }
        }
    }
}

TEST(CardLayout, TheUnscaledPointOfAButtonIsThatButtonAtTheCardsOwnSize) {
    const CardScale one;
    for (CardButton button : {CardButton::Correct, CardButton::Incorrect, CardButton::Skip}) {
        const CardPoint point = UnscaledPoint(button);
        EXPECT_EQ(ButtonAt(one, point.x, point.y), button);
    }
}

} // namespace
} // namespace lexipond
