// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/Utf8.h"

namespace lexipond {

uint32_t Utf8LeadLength(uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF4)
        return 4;
    return 0;
}

size_t Utf8SequenceLength(const unsigned char* bytes, size_t remaining) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80)
        return 1;
    const uint32_t length = Utf8LeadLength(lead);
    if (length == 0 || remaining < length)
        return 0;
    for (uint32_t i = 1; i < length; ++i)
        if (!IsUtf8Continuation(bytes[i]))
            return 0;
    // The second byte's range rules out overlong forms, surrogates and code
    // points above U+10FFFF.
    if ((lead == 0xE0 && bytes[1] < 0xA0) || (lead == 0xED && bytes[1] > 0x9F) ||
        (lead == 0xF0 && bytes[1] < 0x90) || (lead == 0xF4 && bytes[1] > 0x8F))
        return 0;
    return length;
}

std::string_view CutText(std::string_view text, uint32_t limit) {
    if (text.size() <= limit)
        return text;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t cut = 0;
    while (cut < limit) {
        const size_t length = Utf8SequenceLength(bytes + cut, text.size() - cut);
        const size_t step = length == 0 ? 1 : length;
        if (cut + step > limit)
            break;
        cut += step;
    }
    return text.substr(0, cut);
}

} // namespace lexipond
