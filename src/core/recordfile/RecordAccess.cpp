// Reading and writing fields, adding, tagging, copying, counting and searching records.
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFileInternal.h"
#include "core/text/TextHelpers.h"

#include <cstring>

namespace lexipond {

namespace fmt = recordformat;
using detail::IsMapped;
using detail::IsWritableMapping;
using detail::LoadLE32;
using detail::ReadTag;
using detail::SlotAddress;
using detail::StoreLE32;

namespace {

bool IsTextType(uint32_t type) {
    return type >= fmt::kFirstTextType;
}

// Checks shared by GetField and PutField; gives the field's bytes in the given slot.
const FieldLayout* FieldFor(const RecordFile& file, int32_t slot, uint32_t field) {
    if (!IsMapped(file) || field == 0 || file.liveCount == 0)
        return nullptr;
    if (!detail::SlotInRange(file, slot) || !detail::FieldInRange(file, field))
        return nullptr;
    return &file.fields[field - 1];
}

uint8_t* FieldBytes(const RecordFile& file, int32_t slot, const FieldLayout& layout) {
    return file.view + layout.offset +
           static_cast<uint64_t>(static_cast<uint32_t>(slot)) * file.recordSize;
}

bool IsContinuationByte(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence a lead byte starts; 0 for anything else.
uint32_t SequenceLength(uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF4)
        return 4;
    return 0;
}

// Where a text cut at limit bytes has to end so that it does not split a UTF-8
// character: limit itself unless the bytes around the cut are the head of a multi-byte
// character whose tail lies beyond the limit. Bytes that are not UTF-8 (older
// single-byte texts) are cut at the limit as they always were.
uint32_t SafeCut(const char* text, uint32_t limit) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    // Only a text that runs on past the limit is cut at all.
    if (limit == 0 || std::memchr(text, 0, limit) != nullptr || !IsContinuationByte(bytes[limit]))
        return limit;
    uint32_t start = limit;
    while (start > 0 && limit - start < 3 && IsContinuationByte(bytes[start - 1]))
        --start;
    if (start == 0)
        return limit;
    const uint32_t lead = start - 1;
    const uint32_t length = SequenceLength(bytes[lead]);
    return length > limit - lead ? lead : limit;
}

// The key scan: ASCII letters match in either case, every other byte only exactly; a
// mismatch restarts the key at the next text character, never at the one that failed.
bool ScanKey(const char* key, const char* text) {
    const auto* k = reinterpret_cast<const uint8_t*>(key);
    const auto* t = reinterpret_cast<const uint8_t*>(text);
    uint32_t ki = 0;
    uint32_t ti = 0;
    for (;;) {
        if (k[ki] == 0)
            return true;
        uint8_t ch = t[ti];
        if (ch == k[ki]) {
            ++ki;
            ++ti;
            continue;
        }
        if (ch < 123) {
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<uint8_t>(ch - 32);
            else if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<uint8_t>(ch + 32);
            if (ch == 0)
                return false;
            if (ch == k[ki]) {
                ++ki;
                ++ti;
                continue;
            }
        }
        ++ti;
        ki = 0;
    }
}

// The key's number: 0 turns the number comparison off, as -1.
int32_t KeyNumber(RecordFile& file) {
    // The buffer's last byte always ends the key, so a key the caller left without a
    // terminator cannot run past the buffer.
    file.searchKey[kTextBufferSize - 1] = '\0';
    const int32_t number = TextToNumber(file.searchKey);
    return number == 0 ? -1 : number;
}

bool MatchesKey(RecordFile& file, int32_t slot, int32_t number) {
    for (uint32_t field = file.fieldCount; field >= 1; --field) {
        const int32_t type = GetField(file, slot, field);
        if (type < 0)
            continue;
        if (!IsTextType(static_cast<uint32_t>(type))) {
            if (number != -1 && file.numberValue == number)
                return true;
        } else if (ScanKey(file.searchKey, file.textValue)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool KeyFoundInText(const char* key, const char* text) {
    return ScanKey(key, text);
}

int32_t GetField(RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = FieldFor(file, slot, field);
    if (layout == nullptr)
        return -1;
    const uint8_t* bytes = FieldBytes(file, slot, *layout);
    if (!IsTextType(layout->type)) {
        if (layout->type == 0)
            file.numberValue = bytes[0];
        else if (layout->type == 1)
            file.numberValue = static_cast<int32_t>(bytes[0] | (bytes[1] << 8));
        else
            file.numberValue = static_cast<int32_t>(LoadLE32(bytes));
    } else {
        // Open refused text fields wider than the buffer.
        std::memcpy(file.textValue, bytes, layout->size - 1);
        file.textValue[layout->size - 1] = '\0';
    }
    return static_cast<int32_t>(layout->type);
}

int32_t PutField(RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = FieldFor(file, slot, field);
    if (layout == nullptr || !IsWritableMapping(file))
        return -1;
    uint8_t* bytes = FieldBytes(file, slot, *layout);
    if (!IsTextType(layout->type)) {
        const auto value = static_cast<uint32_t>(file.numberValue);
        if (layout->type == 0) {
            bytes[0] = static_cast<uint8_t>(value);
        } else if (layout->type == 1) {
            bytes[0] = static_cast<uint8_t>(value);
            bytes[1] = static_cast<uint8_t>(value >> 8);
        } else {
            StoreLE32(bytes, value);
        }
    } else {
        const uint32_t limit = layout->size - 1;
        std::memcpy(bytes, file.textValue, limit);
        const uint32_t cut = SafeCut(file.textValue, limit);
        std::memset(bytes + cut, 0, layout->size - cut);
        file.textValue[0] = '\0';
    }
    return static_cast<int32_t>(layout->type);
}

int32_t AddRecord(RecordFile& file) {
    if (!IsWritableMapping(file) || file.writable == 0)
        return -1;
    MaintainCapacity(file);
    if (!IsWritableMapping(file))
        return -1;
    uint32_t slot = file.freeHint;
    while (slot < file.capacity && !detail::IsTakeableTag(ReadTag(file, slot)))
        ++slot;
    if (slot >= file.capacity) {
        file.freeHint = file.capacity;
        return -1;
    }
    detail::WriteTag(file, slot, RecordLive);
    file.freeHint = slot + 1;
    if (file.deferRecount == 0)
        file.liveCount = file.liveTally;
    return static_cast<int32_t>(slot);
}

int SetRecordTag(RecordFile& file, int32_t slot, uint32_t tag) {
    if (!IsWritableMapping(file) || !detail::SlotInRange(file, slot))
        return 0;
    detail::WriteTag(file, static_cast<uint32_t>(slot), tag);
    if (file.deferRecount == 0)
        file.liveCount = file.liveTally;
    return 1;
}

int CopyRecord(RecordFile& file, int32_t source, int32_t target) {
    if (!IsWritableMapping(file) || !detail::SlotInRange(file, source) ||
        !detail::SlotInRange(file, target))
        return 0;
    if (source == target)
        return 1;
    const auto from = static_cast<uint32_t>(source);
    const auto to = static_cast<uint32_t>(target);
    detail::WriteTag(file, to, ReadTag(file, from));
    std::memcpy(SlotAddress(file, to) + fmt::kTagSize, SlotAddress(file, from) + fmt::kTagSize,
                file.recordSize - fmt::kTagSize);
    return 1;
}

uint32_t CountLiveRecords(RecordFile& file) {
    if (!IsMapped(file)) {
        file.liveCount = 0;
        return 0;
    }
    detail::RescanTags(file);
    file.liveCount = file.liveTally;
    return file.liveCount;
}

uint32_t CountUsedRecords(RecordFile& file) {
    if (!IsMapped(file))
        return 0;
    detail::RescanTags(file);
    return file.usedTally;
}

int32_t FindRecordByTag(RecordFile& file, uint32_t tag, int32_t first) {
    if (!IsMapped(file) || file.liveCount == 0 || first < 0)
        return -1;
    for (auto slot = static_cast<uint32_t>(first); slot < file.capacity; ++slot) {
        if (ReadTag(file, slot) == tag)
            return static_cast<int32_t>(slot);
    }
    return -1;
}

int32_t NextLiveRecord(RecordFile& file, int32_t slot) {
    if (!IsMapped(file) || file.liveCount == 0 || slot < -1)
        return slot;
    for (int64_t next = static_cast<int64_t>(slot) + 1; next < file.capacity; ++next) {
        if (ReadTag(file, static_cast<uint32_t>(next)) == RecordLive)
            return static_cast<int32_t>(next);
    }
    return slot;
}

int32_t FindNextMatch(RecordFile& file, int32_t slot) {
    if (!IsMapped(file) || file.liveCount == 0 || slot < -1)
        return -1;
    const int32_t number = KeyNumber(file);
    for (int64_t next = static_cast<int64_t>(slot) + 1; next < file.capacity; ++next) {
        if (ReadTag(file, static_cast<uint32_t>(next)) == RecordLive &&
            MatchesKey(file, static_cast<int32_t>(next), number))
            return static_cast<int32_t>(next);
    }
    return -1;
}

int32_t RecordMatchesKey(RecordFile& file, int32_t slot) {
    if (!IsMapped(file) || !detail::SlotInRange(file, slot))
        return -1;
    return MatchesKey(file, slot, KeyNumber(file)) ? slot : -1;
}

std::vector<int32_t> LiveSlots(RecordFile& file) {
    std::vector<int32_t> slots;
    slots.reserve(file.view ? file.liveCount : 0);
    ForEachLiveRecord(file, [&slots](int32_t slot) { slots.push_back(slot); });
    return slots;
}

} // namespace lexipond
