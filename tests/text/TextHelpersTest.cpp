// Byte-text and decimal helpers.
#include "text/TextHelpers.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace lexipond {
namespace {

TEST(TextHelpers, CopiesWriteExactlyTheirBytesAndOneTerminator) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CopyText("", buffer), 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0x", 2));
    EXPECT_EQ(CopyText("7 of 9 (77", buffer), 10u);
    AppendText(buffer, "%)");
    EXPECT_STREQ(buffer, "7 of 9 (77%)");
    EXPECT_EQ(TextLength(buffer), 12u);

    const char withZero[] = {'a', 'b', '\0', 'c', 'd'};
    std::memset(buffer, 'x', sizeof buffer);
    CopyTextPiece(withZero, buffer, 1, 3); // count bytes, zeros included
    EXPECT_EQ(std::string(buffer, 5), std::string("b\0c\0x", 5));
    CopyTextPiece("abcdef", buffer, 2, 0);
    EXPECT_STREQ(buffer, "");
    std::memset(buffer, '.', sizeof buffer);
    CopyBytes("123456789", buffer, 7);
    EXPECT_EQ(std::string(buffer, 8), "1234567.");
}

TEST(TextHelpers, NumbersGoToAndFromDecimalText) {
    const struct {
        int32_t value;
        const char* text;
    } rows[] = {
        {0, "0"}, {1000, "1000"}, {-5, "-5"}, {INT_MIN, "-2147483648"}, {INT_MAX, "2147483647"}};
    for (const auto& row : rows) {
        char out[12];
        std::memset(out, 'x', sizeof out);
        NumberToText(row.value, out);
        EXPECT_STREQ(out, row.text);
    }
    // A leading byte 2 negates; every other byte counts as (c - 48) mod 256; 32-bit wrap.
    EXPECT_EQ(TextToNumber("007"), 7);
    EXPECT_EQ(TextToNumber(""), 0);
    EXPECT_EQ(TextToNumber("1a"), 59);
    EXPECT_EQ(TextToNumber("-"), 253);
    EXPECT_EQ(TextToNumber("\00212"), -12);
    EXPECT_EQ(TextToNumber("99999999999"), static_cast<int32_t>(99999999999ull & 0xffffffffu));
}

} // namespace
} // namespace lexipond
