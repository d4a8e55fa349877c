#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the engine's source files; not for callers of the engine.
// They check nothing: each states what its caller must have checked.
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"
#include "core/text/LittleEndian.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace lexipond::detail {

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

// A field's bytes in a slot below capacity of a mapped file; open checked that every
// field lies inside its slot.
inline uint8_t* FieldAddress(const RecordFile& file, uint32_t slot, const FieldLayout& layout) {
    return file.view + layout.offset + static_cast<uint64_t>(slot) * file.recordSize;
}

// A number field's value: the low 1, 2 or 4 bytes by type, zero-extended.
inline int32_t NumberAt(const uint8_t* bytes, uint32_t type) {
    if (type == 0)
        return bytes[0];
    if (type == 1)
        return static_cast<int32_t>(bytes[0] | (bytes[1] << 8));
    return static_cast<int32_t>(LoadLE32(bytes));
}

// A text field's text: its bytes up to the first zero, at most size - 1 of them.
inline std::string_view TextAt(const uint8_t* bytes, const FieldLayout& layout) {
    const auto* text = reinterpret_cast<const char*>(bytes);
    return std::string_view(text, strnlen(text, layout.size - 1));
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

// Direct mode: appends count zeroed slots at the end of the file (the header's
// capacity is the caller's to raise). False when not in direct mode or not written.
bool AppendEmptyRecords(RecordFile& file, uint32_t count);

} // namespace lexipond::detail
