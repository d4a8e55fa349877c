#pragma once
// Zero-terminated byte-text and decimal helpers. They never allocate and never
// check the destination's size: callers size their buffers for the longest text.
#include <cstdint>

namespace lexipond {

uint32_t TextLength(const char* text);
// Source first, destination second; returns the length copied.
uint32_t CopyText(const char* source, char* destination);
// Destination first.
void AppendText(char* destination, const char* source);
// Copies exactly count bytes from source + start and terminates at destination + count.
void CopyTextPiece(const char* source, char* destination, uint32_t start, uint32_t count);
void CopyBytes(const void* source, void* destination, uint32_t count);
// destination needs at least 12 bytes.
void NumberToText(int32_t value, char* destination);
// Byte 2 first negates; every other byte counts as (c - 48) mod 256; wraps in 32 bits.
int32_t TextToNumber(const char* text);

} // namespace lexipond
