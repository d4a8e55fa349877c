// SPDX-License-Identifier: GPL-3.0-or-later
// How the placement reaches SortRecords' bytes. After SortRecords the used
// records are compact and in order; a few edits later, its compaction would
// close the one freed slot (shifting the records above it down one, and leaving
// the last of them tagged free with its old bytes) and its stable sort, keyed by
// (sort key, position), would merge the changed records into the others, which
// are still in order. So each changed record's final position is the number of
// unchanged records that sort before it (a binary search) plus its rank among
// the changed ones, and each unchanged record moves by a constant amount
// between those positions: a handful of runs, each shifted in one go.
//
// Runs moving down are copied lowest record first and runs moving up highest
// first, all the downward runs before the upward ones; since unchanged records
// keep their order, no copy then overwrites a record that has yet to move. The
// copies go a chunk at a time through the journal's chunk room (a shift by one
// slot overwrites most of its own chunk's sources, so a chunk cut short by a
// kill is made again from the room), and the journal counts the records
// copied; the changed records wait in it and are written last.
#include "core/recordfile/PlaceRecords.h"

#include "core/platform/Collation.h"
#include "core/platform/FileMapping.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFileInternal.h"
#include "core/text/LittleEndian.h"
#include "core/text/TextHelpers.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

namespace lexipond {

namespace {

using detail::IsUsedTag;
using detail::ReadTag;
using detail::SlotAddress;

// The journal: a 72-byte head, the runs (source, target, count: 12 bytes each),
// the changed records' targets (4 bytes each), their bytes, and room for one
// chunk of records in transit.
constexpr char kJournalMagic[4] = {'L', 'P', 'P', 'J'};
constexpr uint32_t kJournalVersion = 1;
constexpr size_t kStateAt = 8;       // 0 being written, 1 moving, 2 done
constexpr size_t kRecordSizeAt = 12;
constexpr size_t kCapacityAt = 16;
constexpr size_t kRunCountAt = 20;
constexpr size_t kChangedCountAt = 24;
constexpr size_t kFreedSlotAt = 28;  // the slot compaction leaves free, or ~0
constexpr size_t kLengthAt = 32;     // the file's length, 8 bytes
constexpr size_t kProgressAt = 40;   // records copied so far, 8 bytes
constexpr size_t kChecksumAt = 48;   // 8 bytes
constexpr size_t kFileIdAt = 56;     // the file's inode number, 8 bytes
constexpr size_t kSavedAt = 64;      // the copy count at which the chunk room's records start
constexpr size_t kHeadSize = 72;
// Records copied in one go: big enough for memcpy speed, small enough that the
// journal stays small.
constexpr uint32_t kChunkRecords = 1024;
constexpr uint32_t kStateWriting = 0, kStateMoving = 1, kStateDone = 2;
constexpr uint32_t kNoSlot = ~0u;

struct Run {
    uint32_t source, target, count;
};

struct Plan {
    std::vector<Run> runs;            // in the order they are copied
    std::vector<uint32_t> sources;    // changed records: where they are
    std::vector<uint32_t> targets;    // and where they go
    uint32_t freedSlot = kNoSlot;
    int32_t follow = -1; // a slot whose record is followed to its new slot
};

void Store64(uint8_t* at, uint64_t value) {
    StoreLE32(at, static_cast<uint32_t>(value));
    StoreLE32(at + 4, static_cast<uint32_t>(value >> 32));
}

uint64_t Load64(const uint8_t* at) {
    return LoadLE32(at) | static_cast<uint64_t>(LoadLE32(at + 4)) << 32;
}

// FNV-1a over the journal, leaving out the fields that change as it runs.
uint64_t Checksum(const uint8_t* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        if ((i >= kStateAt && i < kStateAt + 4) || (i >= kProgressAt && i < kChecksumAt + 8) ||
            (i >= kSavedAt && i < kSavedAt + 8))
            continue;
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

uint64_t FileId(platform::FileHandle handle) {
    struct stat info {};
    return fstat(handle.fd, &info) == 0 ? static_cast<uint64_t>(info.st_ino) : 0;
}

void AppendKey(const RecordFile& file, uint32_t slot, uint32_t field,
               const platform::Collator& collator, std::string& key) {
    key.clear();
    const FieldLayout& layout = file.fields[field - 1];
    const uint8_t* bytes = detail::FieldAddress(file, slot, layout);
    if (!recordformat::IsTextType(layout.type)) {
        char number[12];
        NumberToText(detail::NumberAt(bytes, layout.type), number);
        collator.AppendSortKey(number, key);
    } else {
        collator.AppendSortKey(detail::TextAt(bytes, layout), key);
    }
}

// Writes whole slots from `from`. Through the file rather than the mapping: the
// first store into each page of a shared mapping costs a page fault, which for
// tens of megabytes adds up to far more than the copy itself; the mapping sees
// the same pages either way. Should the write fail, the mapping takes the bytes.
void WriteSlots(RecordFile& file, uint32_t slot, const uint8_t* from, size_t bytes) {
    const uint64_t offset = uint64_t{file.recordAreaOffset} + uint64_t{slot} * file.recordSize;
    if (!platform::SeekFile(file.fileHandle, offset) ||
        !platform::WriteFileBytes(file.fileHandle, from, bytes))
        std::memcpy(SlotAddress(file, slot), from, bytes);
}

// Copies the runs from the journal's count of copied records on, a chunk at a
// time: the chunk's records go into the journal's chunk room first, then from
// there to their targets. A copy cut short by a kill may have overwritten part
// of its own sources, so it is made again from the chunk room; any other chunk
// still has its sources intact.
void CopyRuns(RecordFile& file, const std::vector<Run>& runs, uint8_t* journal, uint8_t* room) {
    const uint64_t done = Load64(journal + kProgressAt);
    const uint64_t saved = Load64(journal + kSavedAt);
    const size_t size = file.recordSize;
    uint64_t first = 0; // the count of the run's first record
    for (const Run& run : runs) {
        const uint64_t end = first + run.count;
        for (uint64_t n = std::max(done, first); n < end;) {
            const auto k0 = static_cast<uint32_t>(n - first);
            const uint32_t k1 = std::min(run.count, k0 + kChunkRecords);
            // Downward runs go lowest record first, upward ones highest first.
            const uint32_t low = run.target < run.source ? k0 : run.count - k1;
            const size_t bytes = size_t{k1 - k0} * size;
            if (n != done || saved != n) {
                std::memcpy(room, SlotAddress(file, run.source + low), bytes);
                std::atomic_signal_fence(std::memory_order_seq_cst);
                Store64(journal + kSavedAt, n);
                std::atomic_signal_fence(std::memory_order_seq_cst);
            }
            WriteSlots(file, run.target + low, room, bytes);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            n = first + k1;
            Store64(journal + kProgressAt, n);
            std::atomic_signal_fence(std::memory_order_seq_cst);
        }
        first = end;
    }
}

// Where the chunk room begins: behind everything the checksum covers.
size_t ChunkRoomAt(const RecordFile& file, const Plan& plan) {
    return kHeadSize + plan.runs.size() * 12 + plan.targets.size() * 4 +
           plan.targets.size() * file.recordSize;
}

// The journal's runs, changed records and freed slot after its head.
bool ReadPlan(const uint8_t* journal, size_t size, Plan& plan, const uint8_t*& records) {
    const uint32_t runCount = LoadLE32(journal + kRunCountAt);
    const uint32_t changedCount = LoadLE32(journal + kChangedCountAt);
    const uint64_t recordSize = LoadLE32(journal + kRecordSizeAt);
    const uint64_t need = kHeadSize + uint64_t{runCount} * 12 + uint64_t{changedCount} * 4 +
                          uint64_t{changedCount} * recordSize + uint64_t{kChunkRecords} * recordSize;
    if (need != size)
        return false;
    const uint8_t* at = journal + kHeadSize;
    plan.runs.resize(runCount);
    for (Run& run : plan.runs) {
        run = Run{LoadLE32(at), LoadLE32(at + 4), LoadLE32(at + 8)};
        at += 12;
    }
    plan.targets.resize(changedCount);
    for (uint32_t& target : plan.targets) {
        target = LoadLE32(at);
        at += 4;
    }
    plan.freedSlot = LoadLE32(journal + kFreedSlotAt);
    records = at;
    return true;
}

bool PlanFitsFile(const Plan& plan, const RecordFile& file) {
    const auto inside = [&](uint64_t slot, uint64_t count) {
        return slot + count <= file.capacity;
    };
    for (const Run& run : plan.runs)
        if (!inside(run.source, run.count) || !inside(run.target, run.count))
            return false;
    for (const uint32_t target : plan.targets)
        if (!inside(target, 1))
            return false;
    return plan.freedSlot == kNoSlot || inside(plan.freedSlot, 1);
}

// Everything after the journal is complete: the copies, the changed records,
// the freed slot's tag. Each step may be made again after a kill.
void CarryOut(RecordFile& file, const Plan& plan, uint8_t* journal, const uint8_t* records) {
    CopyRuns(file, plan.runs, journal, journal + ChunkRoomAt(file, plan));
    for (size_t i = 0; i < plan.targets.size(); ++i)
        std::memcpy(SlotAddress(file, plan.targets[i]), records + i * file.recordSize,
                    file.recordSize);
    if (plan.freedSlot != kNoSlot)
        StoreLE32(SlotAddress(file, plan.freedSlot), RecordDeleted);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    StoreLE32(journal + kStateAt, kStateDone);
}

// Works out the moves; false when the change is not one this handles.
bool MakePlan(RecordFile& file, uint32_t field, const platform::Collator& collator,
              const std::vector<int32_t>& changed, Plan& plan) {
    std::vector<uint32_t> slots;
    for (const int32_t slot : changed)
        if (slot >= 0 && static_cast<uint32_t>(slot) < file.capacity)
            slots.push_back(static_cast<uint32_t>(slot));
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());

    const uint32_t used = file.usedTally;
    if (used == 0)
        return false;
    // The freed slot below the last used one, if any; freed slots above it are
    // no gap (compaction moves nothing for them).
    uint64_t top = used - 1;
    int64_t hole = -1;
    std::vector<uint32_t> changedSlots;
    for (const uint32_t slot : slots) {
        if (IsUsedTag(ReadTag(file, slot))) {
            changedSlots.push_back(slot);
        } else if (slot <= top) {
            if (hole >= 0)
                return false;
            hole = slot;
            ++top;
        }
    }
    if (top >= file.capacity || !IsUsedTag(ReadTag(file, static_cast<uint32_t>(top))) ||
        (top + 1 < file.capacity && IsUsedTag(ReadTag(file, static_cast<uint32_t>(top + 1)))))
        return false;
    if (hole >= 0 && top - static_cast<uint64_t>(hole) > kCompactionBudget)
        return false;
    if (!changedSlots.empty() && changedSlots.back() > top)
        return false;

    // Positions count the used records from 0, as after the compaction.
    const auto positionOf = [hole](uint32_t slot) {
        return hole >= 0 && slot > hole ? slot - 1 : slot;
    };
    const auto slotOf = [hole](uint32_t position) {
        return hole >= 0 && position >= hole ? position + 1 : position;
    };
    std::vector<uint32_t> changedPositions;
    for (const uint32_t slot : changedSlots)
        changedPositions.push_back(positionOf(slot));
    // The position of the j-th unchanged record.
    const auto cleanPosition = [&changedPositions](uint32_t j) {
        uint32_t position = j;
        for (const uint32_t taken : changedPositions) {
            if (taken > position)
                break;
            ++position;
        }
        return position;
    };

    struct Changed {
        std::string key;
        uint32_t position, slot, before = 0; // before: unchanged records sorting first
    };
    std::vector<Changed> records;
    for (const uint32_t slot : changedSlots) {
        Changed record{{}, positionOf(slot), slot};
        AppendKey(file, slot, field, collator, record.key);
        records.push_back(std::move(record));
    }
    // Equal keys keep their positions' order: the stable sort's tie-break.
    std::sort(records.begin(), records.end(), [](const Changed& a, const Changed& b) {
        const int c = a.key.compare(b.key);
        return c < 0 || (c == 0 && a.position < b.position);
    });
    const uint32_t cleanCount = used - static_cast<uint32_t>(records.size());
    std::string key;
    for (Changed& record : records) {
        uint32_t low = 0, high = cleanCount;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            const uint32_t position = cleanPosition(middle);
            AppendKey(file, slotOf(position), field, collator, key);
            const int c = key.compare(record.key);
            if (c < 0 || (c == 0 && position < record.position))
                low = middle + 1;
            else
                high = middle;
        }
        record.before = low;
    }

    // Where the j-th unchanged record goes: after every changed record that sorts before it.
    const auto cleanTarget = [&records](uint32_t j) {
        uint32_t target = j;
        for (const Changed& record : records) {
            if (record.before > j)
                break;
            ++target;
        }
        return target;
    };
    // Both the source and the target of unchanged records step by one between
    // these indexes.
    std::vector<uint32_t> breaks{0, cleanCount};
    for (size_t t = 0; t < changedPositions.size(); ++t)
        breaks.push_back(changedPositions[t] - static_cast<uint32_t>(t));
    for (const Changed& record : records)
        breaks.push_back(record.before);
    if (hole >= 0) {
        const auto below = static_cast<uint32_t>(
            std::lower_bound(changedPositions.begin(), changedPositions.end(),
                             static_cast<uint32_t>(hole)) -
            changedPositions.begin());
        breaks.push_back(static_cast<uint32_t>(hole) - below);
    }
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    std::vector<Run> down, up;
    for (size_t b = 0; b + 1 < breaks.size() && breaks[b + 1] <= cleanCount; ++b) {
        const uint32_t first = breaks[b], count = breaks[b + 1] - first;
        const Run run{slotOf(cleanPosition(first)), cleanTarget(first), count};
        const uint32_t last = first + count - 1;
        // A run that does not step evenly would be a fault in the breaks above.
        if (slotOf(cleanPosition(last)) != run.source + count - 1 ||
            cleanTarget(last) != run.target + count - 1)
            return false;
        if (run.target < run.source)
            down.push_back(run);
        else if (run.target > run.source)
            up.push_back(run);
    }
    plan.runs = std::move(down);
    plan.runs.insert(plan.runs.end(), up.rbegin(), up.rend());
    for (size_t i = 0; i < records.size(); ++i) {
        plan.sources.push_back(records[i].slot);
        plan.targets.push_back(records[i].before + static_cast<uint32_t>(i));
    }
    if (hole >= 0)
        plan.freedSlot = static_cast<uint32_t>(top);
    if (plan.follow >= 0 && static_cast<uint32_t>(plan.follow) <= top) {
        const auto slot = static_cast<uint32_t>(plan.follow);
        const auto mine = std::find(plan.sources.begin(), plan.sources.end(), slot);
        if (mine != plan.sources.end()) {
            plan.follow = static_cast<int32_t>(plan.targets[mine - plan.sources.begin()]);
        } else if (slot == hole) {
            plan.follow = -1;
        } else {
            const uint32_t position = positionOf(slot);
            const auto before = static_cast<uint32_t>(
                std::lower_bound(changedPositions.begin(), changedPositions.end(), position) -
                changedPositions.begin());
            plan.follow = static_cast<int32_t>(cleanTarget(position - before));
        }
    }
    return true;
}

std::vector<uint8_t> JournalBytes(const RecordFile& file, const Plan& plan) {
    const size_t covered = ChunkRoomAt(file, plan);
    std::vector<uint8_t> bytes(covered + size_t{kChunkRecords} * file.recordSize, 0);
    std::memcpy(bytes.data(), kJournalMagic, 4);
    StoreLE32(&bytes[4], kJournalVersion);
    StoreLE32(&bytes[kStateAt], kStateWriting);
    StoreLE32(&bytes[kRecordSizeAt], file.recordSize);
    StoreLE32(&bytes[kCapacityAt], file.capacity);
    StoreLE32(&bytes[kRunCountAt], static_cast<uint32_t>(plan.runs.size()));
    StoreLE32(&bytes[kChangedCountAt], static_cast<uint32_t>(plan.targets.size()));
    StoreLE32(&bytes[kFreedSlotAt], plan.freedSlot);
    Store64(&bytes[kLengthAt], file.mappingHandle.length);
    Store64(&bytes[kFileIdAt], FileId(file.fileHandle));
    Store64(&bytes[kSavedAt], ~uint64_t{0});
    uint8_t* at = bytes.data() + kHeadSize;
    for (const Run& run : plan.runs) {
        StoreLE32(at, run.source);
        StoreLE32(at + 4, run.target);
        StoreLE32(at + 8, run.count);
        at += 12;
    }
    for (const uint32_t target : plan.targets) {
        StoreLE32(at, target);
        at += 4;
    }
    for (const uint32_t source : plan.sources) {
        std::memcpy(at, SlotAddress(file, source), file.recordSize);
        at += file.recordSize;
    }
    Store64(&bytes[kChecksumAt], Checksum(bytes.data(), covered));
    return bytes;
}

// An open journal, locked against a second placement or recovery while it lasts.
struct Journal {
    std::string name;
    platform::FileHandle handle;
    platform::MappingHandle mapping;
    uint8_t* Bytes() const { return static_cast<uint8_t*>(mapping.address); }
    void Close(bool remove) {
        platform::UnmapFile(mapping);
        // Removed while still locked, so no one finds it half gone.
        if (remove)
            platform::RemoveFile(name.c_str());
        platform::CloseFile(handle);
    }
};

bool HeadValid(const uint8_t* bytes, size_t size) {
    if (size < kHeadSize || std::memcmp(bytes, kJournalMagic, 4) != 0 ||
        LoadLE32(bytes + 4) != kJournalVersion)
        return false;
    const uint64_t recordSize = LoadLE32(bytes + kRecordSizeAt);
    const uint64_t changed = LoadLE32(bytes + kChangedCountAt);
    const uint64_t covered =
        kHeadSize + uint64_t{LoadLE32(bytes + kRunCountAt)} * 12 + changed * (4 + recordSize);
    return covered + uint64_t{kChunkRecords} * recordSize == size &&
           Load64(bytes + kChecksumAt) == Checksum(bytes, covered);
}

} // namespace

OrderCheckResult CheckOrderStep(RecordFile& file, uint32_t field,
                                const platform::Collator& collator, OrderCheck& check,
                                uint32_t slots) {
    if (!detail::IsMapped(file) || field == 0 || field > file.fieldCount)
        return OrderCheckResult::OutOfOrder;
    std::string key;
    const uint64_t end = std::min<uint64_t>(file.capacity, uint64_t{check.nextSlot} + slots);
    for (; check.nextSlot < end; ++check.nextSlot) {
        if (!IsUsedTag(ReadTag(file, check.nextSlot))) {
            check.seenFree = true;
            continue;
        }
        if (check.seenFree)
            return OrderCheckResult::OutOfOrder;
        AppendKey(file, check.nextSlot, field, collator, key);
        if (check.nextSlot > 0 && key < check.previousKey)
            return OrderCheckResult::OutOfOrder;
        check.previousKey.swap(key);
    }
    return check.nextSlot >= file.capacity ? OrderCheckResult::InOrder
                                           : OrderCheckResult::NotYet;
}

std::vector<int32_t> SlotsHoldingExactly(RecordFile& file, uint32_t field,
                                         const platform::Collator& collator,
                                         std::string_view text) {
    std::vector<int32_t> slots;
    if (!detail::IsMapped(file) || field == 0 || field > file.fieldCount ||
        !recordformat::IsTextType(file.fields[field - 1].type))
        return slots;
    const FieldLayout& layout = file.fields[field - 1];
    const std::string wanted = collator.SortKey(text);
    std::string key;
    uint32_t low = 0, high = std::min(file.usedTally, file.capacity);
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        AppendKey(file, middle, field, collator, key);
        if (key < wanted)
            low = middle + 1;
        else
            high = middle;
    }
    // Equal texts have equal keys, and equal keys lie together.
    for (uint32_t slot = low; slot < file.usedTally && IsUsedTag(ReadTag(file, slot)); ++slot) {
        AppendKey(file, slot, field, collator, key);
        if (key != wanted)
            break;
        if (detail::TextAt(detail::FieldAddress(file, slot, layout), layout) == text)
            slots.push_back(static_cast<int32_t>(slot));
    }
    return slots;
}

std::string PlacementJournalName(const std::string& fileName) {
    return fileName + ".placing";
}

bool FinishPlacement(RecordFile& file) {
    if (!detail::IsWritableMapping(file))
        return false;
    Journal journal{PlacementJournalName(file.fileName), {}, {}};
    journal.handle = platform::OpenExistingFile(journal.name.c_str(), true);
    if (!journal.handle)
        return true; // the usual case: nothing was left
    if (flock(journal.handle.fd, LOCK_EX | LOCK_NB) != 0) {
        platform::CloseFile(journal.handle); // a placement is running now
        return false;
    }
    journal.mapping = platform::MapWholeFile(journal.handle, true);
    uint8_t* bytes = journal.Bytes();
    const size_t size = journal.mapping ? journal.mapping.length : 0;
    // A journal cut short, never started or already carried out: nothing to do
    // but remove it. So too one that belongs to another file (a replaced one).
    Plan plan;
    const uint8_t* records = nullptr;
    const bool pending = journal.mapping && HeadValid(bytes, size) &&
                         LoadLE32(bytes + kStateAt) == kStateMoving &&
                         LoadLE32(bytes + kRecordSizeAt) == file.recordSize &&
                         LoadLE32(bytes + kCapacityAt) == file.capacity &&
                         Load64(bytes + kLengthAt) == file.mappingHandle.length &&
                         Load64(bytes + kFileIdAt) == FileId(file.fileHandle) &&
                         ReadPlan(bytes, size, plan, records) && PlanFitsFile(plan, file);
    if (pending)
        CarryOut(file, plan, bytes, records);
    journal.Close(true);
    return true;
}

void FinishPlacementAt(const std::string& path) {
    struct stat info {};
    if (stat(PlacementJournalName(path).c_str(), &info) != 0)
        return;
    RecordFile file;
    OpenRecordFile(file, path, Access::ReadWrite);
    CloseRecordFile(file);
}

PlaceOutcome PlaceChangedRecords(RecordFile& file, uint32_t field,
                                 const platform::Collator& collator,
                                 const std::vector<int32_t>& changed, int32_t* follow) {
    if (!detail::IsWritableMapping(file) || field == 0 || field > file.fieldCount ||
        file.capacity <= 2 || file.liveCount == 0)
        return PlaceOutcome::NeedsSort;
    const std::string name = PlacementJournalName(file.fileName);
    struct stat leftover {};
    if (stat(name.c_str(), &leftover) == 0) {
        // An earlier placement of this file was cut short and not yet finished:
        // finish it, after which what the caller tracked no longer holds.
        FinishPlacement(file);
        detail::RescanTags(file);
        file.liveCount = file.liveTally;
        return PlaceOutcome::NeedsSort;
    }
    if (changed.empty())
        return PlaceOutcome::Placed;
    Plan plan;
    plan.follow = follow ? *follow : -1;
    if (!MakePlan(file, field, collator, changed, plan))
        return PlaceOutcome::NeedsSort;
    if (follow)
        *follow = plan.follow;
    if (plan.runs.empty() && plan.freedSlot == kNoSlot &&
        std::equal(plan.sources.begin(), plan.sources.end(), plan.targets.begin()))
        return PlaceOutcome::Placed; // every changed record is in its place already

    std::vector<uint8_t> bytes = JournalBytes(file, plan);
    Journal journal{name, platform::CreateFileAlways(name.c_str()), {}};
    if (!journal.handle)
        return PlaceOutcome::Failed;
    const bool written = flock(journal.handle.fd, LOCK_EX | LOCK_NB) == 0 &&
                         platform::WriteFileBytes(journal.handle, bytes.data(), bytes.size());
    if (written)
        journal.mapping = platform::MapWholeFile(journal.handle, true);
    if (!journal.mapping) {
        journal.Close(true);
        return PlaceOutcome::Failed;
    }
    // From here on a kill is finished by the next open.
    StoreLE32(journal.Bytes() + kStateAt, kStateMoving);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    CarryOut(file, plan, journal.Bytes(),
             journal.Bytes() + ChunkRoomAt(file, plan) - plan.sources.size() * file.recordSize);
    journal.Close(true);
    // Records only moved (the gap's slot took a used tag, the freed slot lost
    // one), so the counts stand; the lowest free slot may now be the freed one.
    if (plan.freedSlot != kNoSlot)
        file.freeHint = std::min(file.freeHint, plan.freedSlot);
    file.liveCount = file.liveTally;
    return PlaceOutcome::Placed;
}

} // namespace lexipond
