// SPDX-License-Identifier: GPL-3.0-or-later
// Sorting keeps the result of a stable neighbour-exchange sort (records with equal
// keys keep their order; a record never crosses a free slot) but gets there in
// O(n log n): every key is turned into an ICU sort key once, each run of adjacent
// used slots is sorted by those keys, and the records are then moved into place
// along the cycles of the permutation with a single scratch record.
#include "core/recordfile/SortRecords.h"

#include "core/platform/Collation.h"
#include "core/recordfile/AtomicUpdate.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFileInternal.h"
#include "core/text/TextHelpers.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {

namespace {

using detail::IsUsedTag;
using detail::ReadTag;
using detail::SlotAddress;

// Sort keys of one run, packed into one buffer.
struct RunKeys {
    std::string bytes;
    std::vector<uint32_t> start; // key i is bytes[start[i], start[i + 1])

    std::string_view Key(uint32_t i) const {
        return std::string_view(bytes).substr(start[i], start[i + 1] - start[i]);
    }
};

// Reads the keys straight from the mapping, so the caller's value buffers stay as
// they were. The caller checked the field and that the slots are mapped.
void CollectKeys(const RecordFile& file, uint32_t first, uint32_t count, uint32_t field,
                 const platform::Collator& collator, RunKeys& keys) {
    keys.bytes.clear();
    keys.start.assign(1, 0);
    keys.start.reserve(count + 1);
    const FieldLayout& layout = file.fields[field - 1];
    char number[12];
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* bytes = detail::FieldAddress(file, first + i, layout);
        if (!recordformat::IsTextType(layout.type)) {
            // Numbers sort as their decimal text, so 10 comes before 9.
            NumberToText(detail::NumberAt(bytes, layout.type), number);
            collator.AppendSortKey(number, keys.bytes);
        } else {
            collator.AppendSortKey(detail::TextAt(bytes, layout), keys.bytes);
        }
        keys.start.push_back(static_cast<uint32_t>(keys.bytes.size()));
    }
}

// One record of a run: the first eight key bytes, big-endian, decide most
// comparisons without touching the key buffer.
struct Entry {
    uint64_t prefix;
    uint32_t index;
};

uint64_t KeyPrefix(std::string_view key) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0u);
    return prefix;
}

// Sorts slots first .. first + count - 1 (all used) and moves the records.
void SortRun(RecordFile& file, uint32_t first, uint32_t count, uint32_t field,
             const platform::Collator& collator, RunKeys& keys, std::vector<Entry>& entries,
             std::vector<uint32_t>& order, std::vector<uint8_t>& scratch) {
    CollectKeys(file, first, count, field, collator, keys);
    entries.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        entries[i] = Entry{KeyPrefix(keys.Key(i)), i};
    // Sort keys hold no zero byte, so zero padding keeps a shorter key first.
    // Ties keep slot order: that is what makes the result equal to a stable sort.
    std::sort(entries.begin(), entries.end(), [&keys](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const int c = keys.Key(a.index).compare(keys.Key(b.index));
        return c < 0 || (c == 0 && a.index < b.index);
    });
    order.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        order[i] = entries[i].index;
    // order[j] is the run position whose record belongs at position j.
    const size_t size = file.recordSize;
    for (uint32_t j = 0; j < count; ++j) {
        if (order[j] == j)
            continue;
        std::memcpy(scratch.data(), SlotAddress(file, first + j), size);
        uint32_t k = j;
        while (order[k] != j) {
            const uint32_t source = order[k];
            std::memcpy(SlotAddress(file, first + k), SlotAddress(file, first + source), size);
            order[k] = k;
            k = source;
        }
        std::memcpy(SlotAddress(file, first + k), scratch.data(), size);
        order[k] = k;
    }
}

} // namespace

int SortRecords(RecordFile& file, uint32_t field) {
    return SortRecords(file, field, platform::UserCollator());
}

int SortRecords(RecordFile& file, uint32_t field, const platform::Collator& collator) {
    if (!file.view || file.capacity <= 2 || field == 0 || file.liveCount == 0)
        return 0;
    // A field the file does not have, or a read-only mapping, would fault.
    if (field > file.fieldCount || !file.mappingHandle.writable)
        return 0;
    CompactRecords(file);
    if (!file.view || file.liveCount == 0)
        return 0;

    const uint32_t savedDefer = file.deferRecount;
    file.deferRecount = 1;
    int result = 1;
    try {
        RunKeys keys;
        std::vector<Entry> entries;
        std::vector<uint32_t> order;
        std::vector<uint8_t> scratch(file.recordSize);
        // Records only move within a run of adjacent used slots, so the tags of
        // the slots keep their used/free pattern and the engine's tallies stay true.
        uint32_t slot = 0;
        while (slot < file.capacity) {
            if (!IsUsedTag(ReadTag(file, slot))) {
                ++slot;
                continue;
            }
            uint32_t end = slot + 1;
            while (end < file.capacity && IsUsedTag(ReadTag(file, end)))
                ++end;
            if (end - slot > 1)
                SortRun(file, slot, end - slot, field, collator, keys, entries, order, scratch);
            slot = end;
        }
    } catch (const std::bad_alloc&) {
        // Compacted, perhaps partly sorted, every record whole.
        result = 0;
    }
    file.deferRecount = savedDefer;
    return result;
}

bool RecordsInOrder(RecordFile& file, uint32_t field, const platform::Collator& collator) {
    if (!file.view || field == 0 || field > file.fieldCount)
        return false;
    const FieldLayout& layout = file.fields[field - 1];
    std::string previous, current;
    char number[12];
    bool seenFree = false;
    for (uint32_t slot = 0; slot < file.capacity; ++slot) {
        if (!IsUsedTag(ReadTag(file, slot))) {
            seenFree = true;
            continue;
        }
        if (seenFree)
            return false; // compaction would move this record down
        const uint8_t* bytes = detail::FieldAddress(file, slot, layout);
        current.clear();
        if (!recordformat::IsTextType(layout.type)) {
            NumberToText(detail::NumberAt(bytes, layout.type), number);
            collator.AppendSortKey(number, current);
        } else {
            collator.AppendSortKey(detail::TextAt(bytes, layout), current);
        }
        // Equal keys keep their order in a stable sort, so only a fall breaks it.
        if (slot > 0 && current < previous)
            return false;
        previous.swap(current);
    }
    return true;
}

int SortRecordsAtomically(RecordFile& file, uint32_t field, const platform::Collator& collator) {
    if (!file.view || file.liveCount == 0 || field == 0 || field > file.fieldCount)
        return 0;
    if (RecordsInOrder(file, field, collator))
        return 1;
    const UpdateOutcome outcome = UpdateAtomically(file, [&](RecordFile& copy, bool& changed) {
        changed = true;
        return SortRecords(copy, field, collator) != 0;
    });
    return outcome == UpdateOutcome::Failed ? 0 : 1;
}

} // namespace lexipond
