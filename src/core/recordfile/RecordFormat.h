#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Byte layout of a record file; docs/record-file-format.md has the same table in prose.
// All integers in the file are 32-bit little-endian. Constants only: the engine uses
// them to read and write files, the word database check to read one on its own.
#include <cstdint>

namespace lexipond::recordformat {

inline constexpr char kMagic[4] = {'D', 'A', 'T', 'A'};
inline constexpr char kVersion[4] = {'1', '0', '0', '0'};

// Header: 1444 bytes.
inline constexpr uint32_t kMagicOffset = 0;
inline constexpr uint32_t kVersionOffset = 4;
inline constexpr uint32_t kDescriptionOffset = 8; // 300 bytes of text, zero in the word database
inline constexpr uint32_t kDescriptionSize = 300;
inline constexpr uint32_t kWordAt608Offset = 608;   // written as 1
inline constexpr uint32_t kWordAt676Offset = 676;   // written as 0
inline constexpr uint32_t kWordAt744Offset = 744;   // written as 0
inline constexpr uint32_t kWordAt748Offset = 748;   // written as 0
inline constexpr uint32_t kWordAt1352Offset = 1352; // written as 2
inline constexpr uint32_t kFieldCountOffset = 1356;
inline constexpr uint32_t kCapacityOffset = 1360;
inline constexpr uint32_t kWordAt1364Offset = 1364; // written as 2
inline constexpr uint32_t kWordAt1432Offset = 1432; // written as 0
inline constexpr uint32_t kWordAt1436Offset = 1436; // written as 0
inline constexpr uint32_t kWordAt1440Offset = 1440; // written as 0
inline constexpr uint32_t kHeaderSize = 1444;

inline constexpr uint32_t kWordAt608Value = 1;
inline constexpr uint32_t kWordAt1352Value = 2;
inline constexpr uint32_t kWordAt1364Value = 2;

// Field table: one entry per field right behind the header.
inline constexpr uint32_t kFieldTableOffset = kHeaderSize;
inline constexpr uint32_t kFieldEntrySize = 8; // type code, then the field's offset in slot 0
inline constexpr uint32_t kFieldEntryTypeOffset = 0;
inline constexpr uint32_t kFieldEntryOffsetOffset = 4;

// Slots: a 4-byte tag, then the fields in order without padding.
inline constexpr uint32_t kTagSize = 4;

// Creation.
inline constexpr uint32_t kInitialCapacity = 10;
inline constexpr uint32_t kFieldTableRoom = 5000; // zero bytes written behind the header
inline constexpr uint32_t kInitialZeroSlots = 15; // slots zeroed by the layout step

// Resizing.
inline constexpr uint32_t kGrowMinimum = 10; // at least this many slots per growth
inline constexpr uint32_t kGrowDivisor = 16; // grow by used / 16 slots
inline constexpr uint32_t kGrowAbovePercent = 90;
inline constexpr uint32_t kGrowBelowFree = 10;
inline constexpr uint32_t kShrinkBelowPercent = 70;
inline constexpr uint32_t kShrinkAboveCapacity = 50;
inline constexpr uint32_t kShrinkSmallStep = 10;     // capacity 100 or less
inline constexpr uint32_t kShrinkLargeNumerator = 3; // capacity above 100: 3/16
inline constexpr uint32_t kShrinkLargeAboveCapacity = 100;

// Field type codes: below 10 numbers, 10 and above text.
inline constexpr uint32_t kFirstTextType = 10;
constexpr bool IsTextType(uint32_t type) {
    return type >= kFirstTextType;
}
inline constexpr uint32_t kTypeWord = 12;  // 64-byte text
inline constexpr uint32_t kTypeInt32 = 2;  // 4-byte number
inline constexpr uint32_t kTypeNotes = 13; // 300-byte text

// Slots are addressed by signed 32-bit numbers.
inline constexpr uint32_t kMaxCapacity = 0x7FFFFFFF;

} // namespace lexipond::recordformat
