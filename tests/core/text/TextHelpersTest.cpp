// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-text and decimal helpers.
#include "core/text/TextHelpers.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>

namespace lexipond {
namespace {

TEST(TextHelpers, NumbersGoToAndFromDecimalText) {
    for (const int32_t value : {0, 1000, -5, INT_MIN, INT_MAX}) {
        char out[12];
        NumberToText(value, out);
        EXPECT_STREQ(out, std::to_string(value).c_str());
    }
    // A leading byte 2 negates; every other byte counts as (c - 48) mod 256; 32-bit wrap.
    const std::pair<const char*, int32_t> rows[] = {
        {"007", 7},      {"", 0},
        {"1a", 59},      {"-", 253},
        {"\00212", -12}, {"99999999999", static_cast<int32_t>(99999999999ull & 0xffffffffu)}};
    for (const auto& [text, value] : rows)
        EXPECT_EQ(TextToNumber(text), value) << text;
}

} // namespace
} // namespace lexipond
