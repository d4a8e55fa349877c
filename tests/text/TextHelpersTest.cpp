#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "text/TextHelpers.h"

using namespace lexipond;

TEST(TextHelpers, LengthCopyAndAppend) {
    EXPECT_EQ(TextLength(""), 0u);
    EXPECT_EQ(TextLength("Word:"), 5u);

    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CopyText("", buffer), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x') << "CopyText wrote past the terminator";

    CopyText("7 of 9 (77", buffer);
    AppendText(buffer, "%)");
    EXPECT_STREQ(buffer, "7 of 9 (77%)");
}

TEST(TextHelpers, CopyTextPieceCopiesExactlyCountBytesThroughZeros) {
    char out[16];
    CopyTextPiece("abcdef", out, 2, 3);
    EXPECT_STREQ(out, "cde");
    CopyTextPiece("abcdef", out, 2, 0);
    EXPECT_STREQ(out, "");

    const char withZero[] = {'a', '\0', 'b', 'c'};
    char raw[8];
    std::memset(raw, 'x', sizeof raw);
    CopyTextPiece(withZero, raw, 0, 4);
    EXPECT_EQ(raw[2], 'b');
    EXPECT_EQ(raw[3], 'c');
    EXPECT_EQ(raw[4], '\0');
    EXPECT_EQ(raw[5], 'x');
}

struct NumberRow {
    int32_t value;
    const char* text;
};

class NumberToTextRows : public ::testing::TestWithParam<NumberRow> {};

TEST_P(NumberToTextRows, WritesPlainDecimal) {
    char out[12];
    std::memset(out, 'x', sizeof out);
    NumberToText(GetParam().value, out);
    EXPECT_STREQ(out, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, NumberToTextRows,
                         ::testing::Values(NumberRow{0, "0"}, NumberRow{1000, "1000"},
                                           NumberRow{-5, "-5"},
                                           NumberRow{static_cast<int32_t>(4294967295u), "-1"},
                                           NumberRow{INT32_MIN, "-2147483648"},
                                           NumberRow{INT32_MAX, "2147483647"}));

TEST(TextHelpers, TextToNumberKeepsItsByteRule) {
    EXPECT_EQ(TextToNumber("100"), 100);
    EXPECT_EQ(TextToNumber("007"), 7);
    EXPECT_EQ(TextToNumber("1a"), 59);
    EXPECT_EQ(TextToNumber(""), 0);
    EXPECT_EQ(TextToNumber("-"), 253);
    EXPECT_EQ(TextToNumber(" "), 240);
    const char negative[] = {2, '1', '2', 0};
    EXPECT_EQ(TextToNumber(negative), -12);
    // Eleven nines wrap in 32 bits rather than saturating.
    EXPECT_EQ(TextToNumber("99999999999"), static_cast<int32_t>(99999999999ull & 0xffffffffu));
}

TEST(TextHelpers, CopyBytesCopiesEveryTailLength) {
    for (uint32_t n = 0; n <= 9; ++n) {
        char src[9] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
        char dst[10];
        std::memset(dst, '.', sizeof dst);
        CopyBytes(src, dst, n);
        EXPECT_EQ(std::string(dst, n), std::string(src, n));
        EXPECT_EQ(dst[n], '.') << "count " << n;
    }
}
