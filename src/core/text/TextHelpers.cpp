// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/TextHelpers.h"

namespace lexipond {

uint32_t CopyText(const char* source, char* destination) {
    uint32_t n = 0;
    while ((destination[n] = source[n]) != '\0')
        ++n;
    return n;
}

void NumberToText(int32_t value, char* destination) {
    // Work on the magnitude as unsigned so that -2^31 needs no special case.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char* out = destination;
    if (value < 0)
        *out++ = '-';
    while (n > 0)
        *out++ = digits[--n];
    *out = '\0';
}

int32_t TextToNumber(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    bool negate = false;
    if (*p == 2) {
        negate = true;
        ++p;
    }
    uint32_t value = 0;
    for (; *p != 0; ++p)
        value = value * 10u + static_cast<uint8_t>(*p - 48u);
    if (negate)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

} // namespace lexipond
