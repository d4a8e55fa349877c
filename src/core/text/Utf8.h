#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 in byte texts. Words and notes may also come from older lists typed in a
// single-byte code page (Windows-1252), so a byte that does not start a valid
// sequence counts as a character of its own and is never dropped or merged.
// Pure functions over the caller's bytes: any layer, any thread.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lexipond {

inline bool IsUtf8Continuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The length (2, 3 or 4) that a lead byte announces; 0 for a byte that starts no
// multi-byte sequence (ASCII, continuation bytes, C0, C1, F5..FF).
uint32_t Utf8LeadLength(uint8_t byte);

// Length of the well-formed UTF-8 sequence at bytes (RFC 3629: no overlongs, no
// surrogates, nothing above U+10FFFF): 1 for ASCII, 0 when none starts there.
// remaining is how many bytes may be looked at; at least 1.
size_t Utf8SequenceLength(const unsigned char* bytes, size_t remaining);

// The UTF-8 cut: the longest prefix of text that holds at most limit bytes and
// does not end inside a valid multi-byte sequence.
std::string_view CutText(std::string_view text, uint32_t limit);

} // namespace lexipond
