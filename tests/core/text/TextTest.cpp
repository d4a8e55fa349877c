// SPDX-License-Identifier: GPL-3.0-or-later
// The UTF-8 cut (whole characters only, and bytes outside valid UTF-8 as characters
// of their own) and the decimal helpers.
#include "core/text/TextHelpers.h"
#include "core/text/Utf8.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>

namespace lexipond {
namespace {

TEST(Utf8, CutTextKeepsWholeCharactersAndCountsStrayBytesOnTheirOwn) {
    const struct {
        const char* name;
        std::string text;
        uint32_t limit;
        std::string cut;
    } rows[] = {
        {"shorter than the limit", "abc", 5, "abc"},
        {"as long as the limit", "abcde", 5, "abcde"},
        {"ASCII past the limit", "abcdef", 5, "abcde"},
        {"nothing kept at limit 0", "abc", 0, ""},
        {"e acute across the limit", "abcd\xC3\xA9", 5, "abcd"},
        {"e acute just fits", "abc\xC3\xA9z", 5, "abc\xC3\xA9"},
        {"euro sign across the limit", "abc\xE2\x82\xAC", 5, "abc"},
        {"four bytes across the limit", "ab\xF0\x9F\x98\x80", 5, "ab"},
        {"Windows-1252 bytes, one each", "abcd\xE9\xE9", 5, "abcd\xE9"},
        {"a lead byte whose tail is missing", "abcd\xE2\x82", 5, "abcd\xE2"},
        {"an overlong form is no sequence", "abcd\xE0\x80\x80", 5, "abcd\xE0"},
        {"a surrogate is no sequence", "abc\xED\xA0\x80", 5, "abc\xED\xA0"},
        {"beyond U+10FFFF is no sequence", "abc\xF4\x90\x80\x80", 5, "abc\xF4\x90"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CutText(row.text, row.limit), row.cut);
    }
}

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
