// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, creating, closing, resizing and compacting record files.
#include "core/recordfile/RecordFile.h"

#include "core/recordfile/AtomicUpdate.h"

#include "core/recordfile/PlaceRecords.h"
#include "core/recordfile/RecordFileInternal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace lexipond {

namespace fmt = recordformat;
using fmt::IsTextType;

namespace {

constexpr uint64_t kUint32Max = std::numeric_limits<uint32_t>::max();

// The largest field count whose record area offset still fits in 32 bits.
constexpr uint32_t kMaxFieldCount = (kUint32Max - fmt::kHeaderSize) / fmt::kFieldEntrySize;

// What the header and field table say, before anything is copied into the object.
struct Layout {
    uint32_t fieldCount = 0;
    uint32_t capacity = 0;
    uint32_t recordAreaOffset = 0;
    uint32_t recordSize = 0;
    std::vector<FieldLayout> fields;
};

// Checks the magic, the version and the two counts. fileSize bounds the field table:
// a table that runs past the end of the file is damage, not a layout.
OpenResult ReadHeader(const uint8_t* header, uint64_t fileSize, Layout& layout) {
    if (std::memcmp(header + fmt::kMagicOffset, fmt::kMagic, 4) != 0)
        return OpenResult::BadMagic;
    if (std::memcmp(header + fmt::kVersionOffset, fmt::kVersion, 4) != 0)
        return OpenResult::BadVersion;
    layout.fieldCount = LoadLE32(header + fmt::kFieldCountOffset);
    layout.capacity = LoadLE32(header + fmt::kCapacityOffset);
    if (layout.fieldCount == 0 || layout.fieldCount > kMaxFieldCount)
        return OpenResult::BadFieldCount;
    if (layout.capacity > fmt::kMaxCapacity)
        return OpenResult::CapacityTooLarge;
    const uint64_t tableEnd = static_cast<uint64_t>(fmt::kFieldTableOffset) +
                              static_cast<uint64_t>(fmt::kFieldEntrySize) * layout.fieldCount;
    if (tableEnd > fileSize)
        return OpenResult::FieldTableCut;
    layout.recordAreaOffset = static_cast<uint32_t>(tableEnd);
    return OpenResult::Opened;
}

// Sums the field sizes and checks each field: a text field must fit the text buffer,
// and its stored offset must lie inside the slot behind the tag, so that no field
// access can reach a tag or leave its slot.
OpenResult ReadFieldTable(const uint8_t* table, Layout& layout) {
    layout.fields.resize(layout.fieldCount);
    uint64_t recordSize = fmt::kTagSize;
    for (uint32_t f = 0; f < layout.fieldCount; ++f) {
        const uint8_t* entry = table + static_cast<uint64_t>(f) * fmt::kFieldEntrySize;
        FieldLayout& field = layout.fields[f];
        field.type = LoadLE32(entry + fmt::kFieldEntryTypeOffset);
        field.offset = LoadLE32(entry + fmt::kFieldEntryOffsetOffset);
        field.size = FieldTypeSize(field.type);
        if (IsTextType(field.type) && field.size > kTextBufferSize)
            return OpenResult::TextFieldTooWide;
        recordSize += field.size;
    }
    if (recordSize > kUint32Max)
        return OpenResult::RecordTooLarge;
    layout.recordSize = static_cast<uint32_t>(recordSize);
    const uint64_t slotStart = layout.recordAreaOffset;
    const uint64_t slotEnd = slotStart + recordSize;
    for (const FieldLayout& field : layout.fields) {
        if (field.offset < slotStart + fmt::kTagSize ||
            static_cast<uint64_t>(field.offset) + field.size > slotEnd)
            return OpenResult::FieldOutsideSlot;
    }
    return OpenResult::Opened;
}

// The file must hold every declared slot. Divides instead of multiplying so a huge
// capacity cannot overflow the check.
OpenResult SlotsFit(const Layout& layout, uint64_t fileSize) {
    const bool fit = fileSize >= layout.recordAreaOffset &&
                     layout.capacity <= (fileSize - layout.recordAreaOffset) / layout.recordSize;
    return fit ? OpenResult::Opened : OpenResult::SlotsCut;
}

OpenResult ResultOf(platform::OpenFailure failure) {
    switch (failure) {
    case platform::OpenFailure::Missing:
        return OpenResult::Missing;
    case platform::OpenFailure::NotPermitted:
        return OpenResult::NotPermitted;
    case platform::OpenFailure::NotAFile:
        return OpenResult::NotAFile;
    case platform::OpenFailure::Other:
        break;
    }
    return OpenResult::CannotOpen;
}

void AdoptLayout(RecordFile& file, Layout&& layout) {
    file.fieldCount = layout.fieldCount;
    file.capacity = layout.capacity;
    file.fieldTableOffset = fmt::kFieldTableOffset;
    file.recordAreaOffset = layout.recordAreaOffset;
    file.recordSize = layout.recordSize;
    file.fields = std::move(layout.fields);
}

// Every open first closes what is open, then takes the caller's path and access.
platform::FileHandle CloseAndOpenExisting(RecordFile& file, std::string&& path, Access access,
                                          OpenResult& result) {
    CloseRecordFile(file);
    file.fileName = std::move(path);
    file.writable = access == Access::ReadWrite ? 1 : 0;
    platform::OpenFailure failure = platform::OpenFailure::Other;
    platform::FileHandle handle =
        platform::OpenExistingFile(file.fileName.c_str(), access == Access::ReadWrite, &failure);
    result = handle ? OpenResult::Opened : ResultOf(failure);
    return handle;
}

OpenResult OpenMapped(RecordFile& file, std::string path, Access access, bool countTags);

// Reopens the file by its own name; the resizing steps work through this.
OpenResult Reopen(RecordFile& file, bool mapped) {
    std::string path = file.fileName;
    return mapped ? OpenRecordFile(file, std::move(path), Access::ReadWrite)
                  : OpenRecordFileDirect(file, std::move(path), Access::ReadWrite);
}

bool WriteWordAt(platform::FileHandle handle, uint64_t offset, uint32_t value) {
    uint8_t bytes[4];
    StoreLE32(bytes, value);
    return platform::SeekFile(handle, offset) && platform::WriteFileBytes(handle, bytes, 4);
}

uint32_t GrowStep(uint32_t used) {
    return std::max(used / fmt::kGrowDivisor, fmt::kGrowMinimum);
}

// Reopens in direct mode, adds slots at the end of the file and only then raises the
// header's capacity: a write that fails part-way (a full disk) leaves the old capacity
// and every record as they were.
void GrowFile(RecordFile& file, uint32_t used) {
    if (Reopen(file, false) != OpenResult::Opened)
        return;
    const uint32_t step = GrowStep(used);
    const uint64_t grown = static_cast<uint64_t>(file.capacity) + step;
    uint64_t oldLength = 0;
    // Bytes behind the last slot become slots: they must be zero, not whatever a
    // stray tail holds (in a file we wrote they are zero already).
    const uint64_t areaEnd = static_cast<uint64_t>(file.recordAreaOffset) +
                             static_cast<uint64_t>(file.capacity) * file.recordSize;
    if (grown <= fmt::kMaxCapacity && platform::SeekFileEnd(file.fileHandle, oldLength) &&
        (oldLength <= areaEnd || (platform::SeekFile(file.fileHandle, areaEnd) &&
                                  platform::WriteZeroBytes(file.fileHandle, oldLength - areaEnd)))) {
        if (detail::AppendEmptyRecords(file, step) &&
            WriteWordAt(file.fileHandle, fmt::kCapacityOffset, static_cast<uint32_t>(grown))) {
            file.capacity = static_cast<uint32_t>(grown);
        } else {
            // Put the old capacity back in case the header write went part-way, and
            // drop whatever part of the new slots reached the disk.
            WriteWordAt(file.fileHandle, fmt::kCapacityOffset, file.capacity);
            platform::TruncateFile(file.fileHandle, oldLength);
        }
    }
    CloseRecordFile(file);
}

// After a growth the tallies and the free-slot hint still hold: the new slots
// are zero. Reopening without the tag scan saves a pass over the whole file
// per growth step, which made a large import quadratic in effect.
void ReopenAfterGrowth(RecordFile& file) {
    const uint32_t used = file.usedTally, live = file.liveTally, hint = file.freeHint;
    std::string path = file.fileName;
    if (OpenMapped(file, std::move(path), Access::ReadWrite, false) != OpenResult::Opened)
        return;
    file.usedTally = used;
    file.liveTally = live;
    file.freeHint = std::min(hint, file.capacity);
    file.liveCount = live;
}

uint32_t ShrinkStep(uint32_t capacity) {
    if (capacity <= fmt::kShrinkLargeAboveCapacity)
        return fmt::kShrinkSmallStep;
    return static_cast<uint32_t>(static_cast<uint64_t>(capacity) * fmt::kShrinkLargeNumerator /
                                 fmt::kGrowDivisor);
}

// Lowers the header's capacity before cutting the file: if the cut fails the file is
// merely longer than it needs to be, which is valid.
void ShrinkFile(RecordFile& file) {
    if (Reopen(file, false) != OpenResult::Opened)
        return;
    const uint32_t step = ShrinkStep(file.capacity);
    const uint32_t shrunk = file.capacity - step;
    if (WriteWordAt(file.fileHandle, fmt::kCapacityOffset, shrunk)) {
        file.capacity = shrunk;
        platform::TruncateFile(file.fileHandle,
                               static_cast<uint64_t>(file.recordAreaOffset) +
                                   static_cast<uint64_t>(shrunk) * file.recordSize);
    }
    CloseRecordFile(file);
}

} // namespace

namespace detail {

void RescanTags(RecordFile& file) {
    uint32_t live = 0;
    uint32_t used = 0;
    uint32_t firstFree = file.capacity;
    for (uint32_t slot = 0; slot < file.capacity; ++slot) {
        const uint32_t tag = ReadTag(file, slot);
        live += tag == RecordLive ? 1 : 0;
        used += IsUsedTag(tag) ? 1 : 0;
        if (firstFree == file.capacity && IsTakeableTag(tag))
            firstFree = slot;
    }
    file.liveTally = live;
    file.usedTally = used;
    file.freeHint = firstFree;
}

bool AppendEmptyRecords(RecordFile& file, uint32_t count) {
    if (!IsDirect(file))
        return false;
    uint64_t end = 0;
    return platform::SeekFileEnd(file.fileHandle, end) &&
           platform::WriteZeroBytes(file.fileHandle,
                                    static_cast<uint64_t>(count) * file.recordSize);
}

} // namespace detail

uint32_t FieldTypeSize(uint32_t typeCode) {
    static constexpr std::array<uint32_t, 16> kSizes = {1,  2,  4, 8,  16, 64,  64,   64,
                                                        64, 64, 4, 16, 64, 300, 1000, 5000};
    return typeCode < kSizes.size() ? kSizes[typeCode] : 64;
}

void CloseRecordFile(RecordFile& file) {
    platform::UnmapFile(file.mappingHandle);
    file.view = nullptr;
    platform::CloseFile(file.fileHandle);
    file.writable = 0;
    file.fields.clear();
}

OpenResult OpenRecordFile(RecordFile& file, std::string path, Access access) {
    return OpenMapped(file, std::move(path), access, true);
}

namespace {

OpenResult OpenMapped(RecordFile& file, std::string path, Access access, bool countTags) {
    OpenResult result = OpenResult::Opened;
    platform::FileHandle handle = CloseAndOpenExisting(file, std::move(path), access, result);
    if (!handle)
        return result;
    platform::MappingHandle mapping = platform::MapWholeFile(handle, file.writable != 0);
    Layout layout;
    const auto* bytes = static_cast<const uint8_t*>(mapping.address);
    uint64_t fileSize = mapping.length;
    if (!mapping) {
        // An empty file cannot be mapped: that is a short file, not a mapping fault.
        const bool sized = platform::GetFileSize(handle, fileSize);
        result =
            sized && fileSize < fmt::kHeaderSize ? OpenResult::TooShort : OpenResult::NotMappable;
    } else if (fileSize < fmt::kHeaderSize) {
        result = OpenResult::TooShort;
    } else if ((result = ReadHeader(bytes, fileSize, layout)) == OpenResult::Opened &&
               (result = ReadFieldTable(bytes + fmt::kFieldTableOffset, layout)) ==
                   OpenResult::Opened) {
        result = SlotsFit(layout, fileSize);
    }
    if (result != OpenResult::Opened) {
        platform::UnmapFile(mapping);
        platform::CloseFile(handle);
        return result;
    }
    AdoptLayout(file, std::move(layout));
    file.fileHandle = handle;
    file.mappingHandle = mapping;
    file.view = static_cast<uint8_t*>(mapping.address);
    if (countTags) { // a real open, not the remap after a growth step
        // A placement that a kill cut short is finished before anyone reads the records.
        if (mapping.writable)
            FinishPlacement(file);
        CountLiveRecords(file);
    }
    return OpenResult::Opened;
}

} // namespace

OpenResult OpenRecordFileDirect(RecordFile& file, std::string path, Access access) {
    OpenResult result = OpenResult::Opened;
    platform::FileHandle handle = CloseAndOpenExisting(file, std::move(path), access, result);
    if (!handle)
        return result;
    uint8_t header[fmt::kHeaderSize];
    uint64_t fileSize = 0;
    Layout layout;
    if (!platform::GetFileSize(handle, fileSize))
        result = OpenResult::CannotOpen;
    else if (fileSize < fmt::kHeaderSize)
        result = OpenResult::TooShort;
    else if (!platform::ReadFileBytes(handle, header, sizeof header))
        result = OpenResult::CannotOpen;
    else
        result = ReadHeader(header, fileSize, layout);
    if (result == OpenResult::Opened) {
        // ReadHeader checked that the table lies inside the file, so its size is bounded.
        std::vector<uint8_t> table(static_cast<size_t>(layout.fieldCount) * fmt::kFieldEntrySize);
        result = platform::ReadFileBytes(handle, table.data(), table.size())
                     ? ReadFieldTable(table.data(), layout)
                     : OpenResult::CannotOpen;
    }
    if (result != OpenResult::Opened) {
        platform::CloseFile(handle);
        return result;
    }
    AdoptLayout(file, std::move(layout));
    file.fileHandle = handle;
    return OpenResult::Opened;
}

int CreateRecordFile(RecordFile& file) {
    CloseRecordFile(file);
    if (file.fieldCount == 0 || file.fieldCount > kMaxFieldCount)
        return 0;
    platform::FileHandle handle = platform::CreateFileAlways(file.fileName.c_str());
    if (!handle)
        return 0;

    uint8_t header[fmt::kHeaderSize] = {};
    std::memcpy(header + fmt::kMagicOffset, fmt::kMagic, 4);
    std::memcpy(header + fmt::kVersionOffset, fmt::kVersion, 4);
    StoreLE32(header + fmt::kWordAt608Offset, fmt::kWordAt608Value);
    StoreLE32(header + fmt::kWordAt1352Offset, fmt::kWordAt1352Value);
    StoreLE32(header + fmt::kFieldCountOffset, file.fieldCount);
    StoreLE32(header + fmt::kCapacityOffset, fmt::kInitialCapacity);
    StoreLE32(header + fmt::kWordAt1364Offset, fmt::kWordAt1364Value);
    const bool written = platform::WriteFileBytes(handle, header, sizeof header) &&
                         platform::WriteZeroBytes(handle, fmt::kFieldTableRoom);
    if (!written) {
        platform::CloseFile(handle);
        return 0;
    }
    file.fileHandle = handle;
    file.writable = 1;
    file.capacity = fmt::kInitialCapacity;
    file.liveCount = 0;
    file.fieldTableOffset = fmt::kFieldTableOffset;
    file.recordAreaOffset = fmt::kFieldTableOffset + fmt::kFieldEntrySize * file.fieldCount;
    return 1;
}

int DefineField(RecordFile& file, uint32_t field, uint32_t typeCode) {
    if (!detail::IsDirect(file) || field == 0 || field > file.fieldCount)
        return 0;
    uint8_t entry[fmt::kFieldEntrySize] = {};
    StoreLE32(entry + fmt::kFieldEntryTypeOffset, typeCode);
    const uint64_t at = fmt::kFieldTableOffset + static_cast<uint64_t>(field - 1) * sizeof entry;
    return platform::SeekFile(file.fileHandle, at) &&
                   platform::WriteFileBytes(file.fileHandle, entry, sizeof entry)
               ? 1
               : 0;
}

int LayOutFields(RecordFile& file) {
    if (!detail::IsDirect(file) || file.fieldCount == 0 || file.fieldCount > kMaxFieldCount)
        return 0;
    std::vector<uint8_t> table(static_cast<size_t>(file.fieldCount) * fmt::kFieldEntrySize);
    if (!platform::SeekFile(file.fileHandle, fmt::kFieldTableOffset) ||
        !platform::ReadFileBytes(file.fileHandle, table.data(), table.size()))
        return 0;
    const uint64_t areaOffset =
        fmt::kFieldTableOffset + static_cast<uint64_t>(file.fieldCount) * fmt::kFieldEntrySize;
    uint64_t running = areaOffset + fmt::kTagSize;
    uint64_t recordSize = fmt::kTagSize;
    for (uint32_t f = 0; f < file.fieldCount; ++f) {
        uint8_t* entry = table.data() + static_cast<size_t>(f) * fmt::kFieldEntrySize;
        if (running > kUint32Max)
            return 0;
        StoreLE32(entry + fmt::kFieldEntryOffsetOffset, static_cast<uint32_t>(running));
        const uint32_t size = FieldTypeSize(LoadLE32(entry + fmt::kFieldEntryTypeOffset));
        running += size;
        recordSize += size;
    }
    if (recordSize > kUint32Max)
        return 0;
    file.recordAreaOffset = static_cast<uint32_t>(areaOffset);
    file.recordSize = static_cast<uint32_t>(recordSize);
    const bool written =
        platform::SeekFile(file.fileHandle, fmt::kFieldTableOffset) &&
        platform::WriteFileBytes(file.fileHandle, table.data(), table.size()) &&
        platform::WriteZeroBytes(file.fileHandle, recordSize * fmt::kInitialZeroSlots);
    return written ? 1 : 0;
}

// Compacts (within the move budget) and, when that finished, cuts the file.
// changed: whether anything moved or was cut.
bool CompactAndShrink(RecordFile& file, bool& changed) {
    const uint32_t left = CompactRecords(file);
    changed = left != kCompactionBudget;
    if (left == 0)
        return true; // out of moves: the next add goes on from here
    // Compaction moved every used record below the cut; check it before cutting.
    const uint32_t step = ShrinkStep(file.capacity);
    for (uint32_t slot = file.capacity - step; slot < file.capacity; ++slot)
        if (detail::IsUsedTag(detail::ReadTag(file, slot)))
            return true;
    ShrinkFile(file);
    changed = true;
    return Reopen(file, true) == OpenResult::Opened;
}

namespace {

enum class Resize { None, Grow, Shrink };

// The resizing rule MaintainCapacity applies before an add.
Resize ResizeBeforeAdd(uint32_t capacity, uint32_t used, uint32_t live) {
    const uint32_t free = capacity - used;
    // Without a live record nothing is resized, unless no slot at all is free
    // (a file of capacity 0 could otherwise never take its first word).
    if (live == 0 && free > 0)
        return Resize::None;
    const uint64_t percent = capacity == 0 ? 100 : static_cast<uint64_t>(used) * 100 / capacity;
    if (percent > fmt::kGrowAbovePercent || free < fmt::kGrowBelowFree)
        return Resize::Grow;
    if (percent < fmt::kShrinkBelowPercent && capacity > fmt::kShrinkAboveCapacity)
        return Resize::Shrink;
    return Resize::None;
}

} // namespace

AddsOutcome PredictAdds(const RecordFile& file, uint64_t length, uint32_t adds) {
    AddsOutcome out{file.capacity, length, length, true};
    uint32_t used = file.usedTally;
    uint32_t live = file.liveCount;
    const uint64_t area = file.recordAreaOffset;
    const uint64_t size = file.recordSize;
    for (uint32_t i = 0; i < adds; ++i) {
        switch (ResizeBeforeAdd(out.capacity, used, live)) {
        case Resize::Grow: {
            const uint64_t grown = static_cast<uint64_t>(out.capacity) + GrowStep(used);
            if (grown > fmt::kMaxCapacity)
                break;
            // GrowFile zeroes whatever lies behind the last slot, then appends.
            out.zeroFrom = std::min(out.zeroFrom, area + out.capacity * size);
            out.length += (grown - out.capacity) * size;
            out.capacity = static_cast<uint32_t>(grown);
            break;
        }
        case Resize::Shrink: {
            // Nothing to compact; the cut happens when the slots it drops are free.
            const uint32_t step = ShrinkStep(out.capacity);
            if (out.capacity - step >= used) {
                out.capacity -= step;
                out.length = area + out.capacity * size;
                out.zeroFrom = std::min(out.zeroFrom, out.length);
            }
            break;
        }
        case Resize::None:
            break;
        }
        if (used >= out.capacity) {
            out.fits = false;
            return out;
        }
        ++used;
        ++live;
    }
    return out;
}

int MaintainCapacity(RecordFile& file) {
    if (!detail::IsMapped(file))
        return 0;
    const uint32_t used = file.usedTally;
    const Resize resize = ResizeBeforeAdd(file.capacity, used, file.liveCount);
    if (resize == Resize::Grow) {
        // Appending zeroed slots and only then raising the capacity is safe
        // against a kill at any instant: the file is valid at every step.
        GrowFile(file, used);
        ReopenAfterGrowth(file);
    } else if (resize == Resize::Shrink && detail::IsWritableMapping(file)) {
        // Records move one by one while compacting: on a copy, so that a kill
        // leaves the file as it was or wholly compacted and cut; in place when
        // the file is such a copy already.
        bool changed = false;
        if (file.privateCopy)
            CompactAndShrink(file, changed);
        else
            UpdateAtomically(file, CompactAndShrink);
    }
    return detail::IsMapped(file) ? 1 : 0;
}

uint32_t CompactRecords(RecordFile& file, uint32_t budget) {
    if (!detail::IsWritableMapping(file) || file.liveCount == 0)
        return budget;
    const uint32_t savedDefer = file.deferRecount;
    file.deferRecount = 1;
    // Each move takes the lowest used record that has a free slot right below it one
    // slot down. After a move at slot i nothing below i - 1 has changed, so the scan
    // resumes at i - 2 instead of slot 0: the same moves in the same order, without
    // rescanning the front of the file every time.
    int64_t lastFree = -1;
    uint32_t i = 0;
    while (i != file.capacity && budget != 0) {
        const uint32_t tag = detail::ReadTag(file, i);
        if (!detail::IsUsedTag(tag)) {
            lastFree = i;
            ++i;
        } else if (lastFree < 0) {
            ++i;
        } else {
            const auto target = static_cast<uint32_t>(lastFree);
            // Through WriteTag, so the tallies follow the copy's tag change.
            detail::WriteTag(file, target, tag);
            std::memcpy(detail::SlotAddress(file, target) + fmt::kTagSize,
                        detail::SlotAddress(file, i) + fmt::kTagSize,
                        file.recordSize - fmt::kTagSize);
            detail::WriteTag(file, i, RecordDeleted);
            --budget;
            lastFree = -1;
            i = i >= 2 ? i - 2 : 0;
        }
    }
    file.deferRecount = savedDefer;
    CountLiveRecords(file);
    return budget;
}

} // namespace lexipond
