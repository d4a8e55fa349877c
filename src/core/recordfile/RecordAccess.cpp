// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing fields, adding, tagging, copying, counting and searching records.
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFileInternal.h"
#include "core/text/TextHelpers.h"
#include "core/text/Utf8.h"

#include <algorithm>
#include <cstring>

namespace lexipond {

namespace fmt = recordformat;
using detail::IsMapped;
using detail::IsWritableMapping;
using detail::ReadTag;
using detail::SlotAddress;
using fmt::IsTextType;

namespace {

// Checks shared by every field access; gives the field's layout.
const FieldLayout* FieldFor(const RecordFile& file, int32_t slot, uint32_t field) {
    if (!IsMapped(file) || field == 0 || file.liveCount == 0)
        return nullptr;
    if (!detail::SlotInRange(file, slot) || !detail::FieldInRange(file, field))
        return nullptr;
    return &file.fields[field - 1];
}

uint8_t* FieldBytes(const RecordFile& file, int32_t slot, const FieldLayout& layout) {
    return detail::FieldAddress(file, static_cast<uint32_t>(slot), layout);
}

// Where a stored text cut at limit bytes ends. The field's own rule, older than the
// program's UTF-8 cut (CutText) and kept byte for byte: only a continuation byte at
// the limit moves the cut, back to the lead byte before it when that lead announces
// a character longer than what fits. The lead byte alone decides; malformed sequences
// are not looked into. Callers that cut first with CutText never reach it.
uint32_t SafeCut(const char* text, uint32_t limit) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    // Only a text that runs on past the limit is cut at all.
    if (limit == 0 || std::memchr(text, 0, limit) != nullptr || !IsUtf8Continuation(bytes[limit]))
        return limit;
    uint32_t start = limit;
    while (start > 0 && limit - start < 3 && IsUtf8Continuation(bytes[start - 1]))
        --start;
    if (start == 0)
        return limit;
    const uint32_t lead = start - 1;
    const uint32_t length = Utf8LeadLength(bytes[lead]);
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
int32_t KeyNumber(const char* key) {
    const int32_t number = TextToNumber(key);
    return number == 0 ? -1 : number;
}

// Reads through GetField, last field first: the search leaves the value buffers as
// it always has, and with them the bytes the next text write stores behind its text.
bool MatchesKey(RecordFile& file, int32_t slot, const char* key, int32_t number) {
    for (uint32_t field = file.fieldCount; field >= 1; --field) {
        const int32_t type = GetField(file, slot, field);
        if (type < 0)
            continue;
        if (!IsTextType(static_cast<uint32_t>(type))) {
            if (number != -1 && file.numberValue == number)
                return true;
        } else if (ScanKey(key, file.textValue)) {
            return true;
        }
    }
    return false;
}

// The layout of a field of a used slot, for the typed functions; nullptr otherwise.
const FieldLayout* RecordField(const RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = FieldFor(file, slot, field);
    if (layout == nullptr || !detail::IsUsedTag(ReadTag(file, static_cast<uint32_t>(slot))))
        return nullptr;
    return layout;
}

// GetField and PutField after their checks.
void LoadField(RecordFile& file, int32_t slot, const FieldLayout& layout) {
    const uint8_t* bytes = FieldBytes(file, slot, layout);
    if (!IsTextType(layout.type)) {
        file.numberValue = detail::NumberAt(bytes, layout.type);
    } else {
        // Open refused text fields wider than the buffer.
        std::memcpy(file.textValue, bytes, layout.size - 1);
        file.textValue[layout.size - 1] = '\0';
    }
}

void StoreField(RecordFile& file, int32_t slot, const FieldLayout& layout) {
    uint8_t* bytes = FieldBytes(file, slot, layout);
    if (!IsTextType(layout.type)) {
        const auto value = static_cast<uint32_t>(file.numberValue);
        if (layout.type == 0) {
            bytes[0] = static_cast<uint8_t>(value);
        } else if (layout.type == 1) {
            bytes[0] = static_cast<uint8_t>(value);
            bytes[1] = static_cast<uint8_t>(value >> 8);
        } else {
            StoreLE32(bytes, value);
        }
    } else {
        const uint32_t limit = layout.size - 1;
        std::memcpy(bytes, file.textValue, limit);
        const uint32_t cut = SafeCut(file.textValue, limit);
        std::memset(bytes + cut, 0, layout.size - cut);
        file.textValue[0] = '\0';
    }
}

} // namespace

bool KeyFoundInText(const char* key, const char* text) {
    return ScanKey(key, text);
}

int32_t GetField(RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = FieldFor(file, slot, field);
    if (layout == nullptr)
        return -1;
    LoadField(file, slot, *layout);
    return static_cast<int32_t>(layout->type);
}

int32_t PutField(RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = FieldFor(file, slot, field);
    if (layout == nullptr || !IsWritableMapping(file))
        return -1;
    StoreField(file, slot, *layout);
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

// The typed functions go through the value buffers as GetField and PutField do, so
// the buffers, and with them what later text writes store, stay as they always were.

std::optional<int32_t> ReadNumber(RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = RecordField(file, slot, field);
    if (layout == nullptr || IsTextType(layout->type))
        return std::nullopt;
    LoadField(file, slot, *layout);
    return file.numberValue;
}

std::optional<std::string> ReadText(RecordFile& file, int32_t slot, uint32_t field) {
    const FieldLayout* layout = RecordField(file, slot, field);
    if (layout == nullptr || !IsTextType(layout->type))
        return std::nullopt;
    LoadField(file, slot, *layout);
    return std::string(file.textValue);
}

bool WriteNumber(RecordFile& file, int32_t slot, uint32_t field, int32_t value) {
    const FieldLayout* layout = RecordField(file, slot, field);
    if (layout == nullptr || IsTextType(layout->type) || !IsWritableMapping(file))
        return false;
    file.numberValue = value;
    StoreField(file, slot, *layout);
    return true;
}

bool WriteText(RecordFile& file, int32_t slot, uint32_t field, std::string_view text) {
    const FieldLayout* layout = RecordField(file, slot, field);
    if (layout == nullptr || !IsTextType(layout->type))
        return false;
    // Only the text and its terminator go into the buffer; PutField stores what the
    // buffer holds behind them, as every text write always has.
    const size_t length = std::min<size_t>(text.size(), kTextBufferSize - 1);
    std::memcpy(file.textValue, text.data(), length);
    file.textValue[length] = '\0';
    if (!IsWritableMapping(file))
        return false;
    StoreField(file, slot, *layout);
    return true;
}

std::optional<int32_t> FindText(RecordFile& file, std::string_view key, int32_t after) {
    if (!IsMapped(file) || file.liveCount == 0 || after < -1)
        return std::nullopt;
    char terminated[kTextBufferSize];
    const size_t length = std::min<size_t>(key.size(), kTextBufferSize - 1);
    std::memcpy(terminated, key.data(), length);
    terminated[length] = '\0';
    const int32_t number = KeyNumber(terminated);
    for (int64_t next = static_cast<int64_t>(after) + 1; next < file.capacity; ++next) {
        if (ReadTag(file, static_cast<uint32_t>(next)) == RecordLive &&
            MatchesKey(file, static_cast<int32_t>(next), terminated, number))
            return static_cast<int32_t>(next);
    }
    return std::nullopt;
}

std::vector<int32_t> LiveSlots(RecordFile& file) {
    std::vector<int32_t> slots;
    slots.reserve(file.view ? file.liveCount : 0);
    ForEachLiveRecord(file, [&slots](int32_t slot) { slots.push_back(slot); });
    return slots;
}

} // namespace lexipond
