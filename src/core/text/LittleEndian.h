#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// 32-bit little-endian words in byte buffers: every integer of the record file is
// stored this way, whatever the machine's own order. Pure functions over the
// caller's bytes: any layer, any thread.
#include <cstdint>

namespace lexipond {

inline uint32_t LoadLE32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

inline void StoreLE32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
    bytes[2] = static_cast<uint8_t>(value >> 16);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}

} // namespace lexipond
