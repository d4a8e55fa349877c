#pragma once
// Helpers shared by the engine's source files; not for callers of the engine.
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"

#include <cstdint>
#include <cstring>

namespace lexipond::detail {

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

inline bool IsMapped(const RecordFile& file) {
    return file.view != nullptr;
}

inline bool IsWritableMapping(const RecordFile& file) {
    return file.view != nullptr && file.mappingHandle.writable;
}

// Open in direct mode: a file handle and no view.
inline bool IsDirect(const RecordFile& file) {
    return file.view == nullptr && static_cast<bool>(file.fileHandle);
}

inline bool SlotInRange(const RecordFile& file, int32_t slot) {
    return slot >= 0 && static_cast<uint32_t>(slot) < file.capacity;
}

inline bool FieldInRange(const RecordFile& file, uint32_t field) {
    return field >= 1 && field <= file.fields.size();
}

// Only for slots below capacity of a mapped file: open checked that they lie in the view.
inline uint8_t* SlotAddress(const RecordFile& file, uint32_t slot) {
    return file.view + file.recordAreaOffset +
           static_cast<uint64_t>(slot) * static_cast<uint64_t>(file.recordSize);
}

inline uint32_t ReadTag(const RecordFile& file, uint32_t slot) {
    return LoadLE32(SlotAddress(file, slot));
}

inline bool IsUsedTag(uint32_t tag) {
    return tag > 9;
}
inline bool IsTakeableTag(uint32_t tag) {
    return tag == RecordEmpty || tag == RecordDeleted;
}

// Stores a tag and keeps the tallies and the free-slot hint in step.
inline void WriteTag(RecordFile& file, uint32_t slot, uint32_t tag) {
    uint8_t* at = SlotAddress(file, slot);
    const uint32_t old = LoadLE32(at);
    file.usedTally += (IsUsedTag(tag) ? 1u : 0u) - (IsUsedTag(old) ? 1u : 0u);
    file.liveTally += (tag == RecordLive ? 1u : 0u) - (old == RecordLive ? 1u : 0u);
    if (IsTakeableTag(tag) && slot < file.freeHint)
        file.freeHint = slot;
    StoreLE32(at, tag);
}

// Scans every tag once and sets the tallies and the hint from what is there.
void RescanTags(RecordFile& file);

} // namespace lexipond::detail
