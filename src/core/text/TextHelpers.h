#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Zero-terminated byte-text and decimal helpers. They own nothing, never allocate
// and never check the destination's size: callers size their buffers for the
// longest text. Pure functions over the caller's bytes: any layer, any thread.
#include <cstdint>

namespace lexipond {

// Source first, destination second; returns the length copied.
uint32_t CopyText(const char* source, char* destination);
// destination needs at least 12 bytes.
void NumberToText(int32_t value, char* destination);
// Byte 2 first negates; every other byte counts as (c - 48) mod 256; wraps in 32 bits.
int32_t TextToNumber(const char* text);

} // namespace lexipond
