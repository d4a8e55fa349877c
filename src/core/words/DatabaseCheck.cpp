// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/words/DatabaseCheck.h"

#include "core/platform/FileCopy.h"
#include "core/platform/FileMapping.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"
#include "core/text/LittleEndian.h"
#include "core/words/WordDatabase.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lexipond::words {

namespace {

using namespace recordformat;

// Tags from this value up count as used.
constexpr uint32_t kTagUsedFrom = RecordLive;
constexpr uint32_t kTagLive = RecordLive;
constexpr uint32_t kRecordAreaOffset = kHeaderSize + kFieldEntrySize * kWordFieldCount;

// The word database's field types, field 1 first.
constexpr uint32_t kExpectedType[kWordFieldCount] = {
    kTypeWord,  kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32,
    kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeNotes};

// What a check that failed says: one line, for the user.
using Damage = std::optional<std::string>;

// Reads exactly size bytes at offset, or fails.
bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The magic, the version and the field count; fills the two counts in facts.
Damage CheckHeader(int fd, DatabaseFacts& facts) {
    if (facts.fileSize < kHeaderSize)
        return "the file is " + std::to_string(facts.fileSize) +
               " bytes long, shorter than the 1444-byte header";
    std::vector<unsigned char> header(kHeaderSize);
    if (!ReadAt(fd, 0, header.data(), header.size()))
        return "the header cannot be read";
    if (std::memcmp(header.data() + kMagicOffset, kMagic, sizeof kMagic) != 0)
        return "the file does not begin with the magic \"DATA\"";
    if (std::memcmp(header.data() + kVersionOffset, kVersion, sizeof kVersion) != 0)
        return "the format version is not \"1000\"";
    facts.fieldCount = LoadLE32(header.data() + kFieldCountOffset);
    facts.capacity = LoadLE32(header.data() + kCapacityOffset);
    if (facts.fieldCount != kWordFieldCount)
        return "the file has " + std::to_string(facts.fieldCount) +
               " fields; a word database has 14";
    return std::nullopt;
}

// Every field's type and offset, field 1 first; sums the record size into facts.
Damage CheckFieldTable(int fd, DatabaseFacts& facts) {
    if (facts.fileSize < kRecordAreaOffset)
        return "the field table runs past the end of the file";
    std::vector<unsigned char> table(kFieldEntrySize * kWordFieldCount);
    if (!ReadAt(fd, kHeaderSize, table.data(), table.size()))
        return "the field table cannot be read";
    uint32_t expectedOffset = kRecordAreaOffset + kTagSize;
    facts.recordSize = kTagSize;
    for (uint32_t f = 0; f < kWordFieldCount; ++f) {
        const unsigned char* entry = table.data() + f * kFieldEntrySize;
        const uint32_t type = LoadLE32(entry + kFieldEntryTypeOffset);
        const uint32_t offset = LoadLE32(entry + kFieldEntryOffsetOffset);
        const std::string field = "field " + std::to_string(f + 1);
        if (type != kExpectedType[f])
            return field + " has type " + std::to_string(type) + ", not " +
                   std::to_string(kExpectedType[f]);
        if (offset != expectedOffset)
            return field + " is stored at offset " + std::to_string(offset) + ", not " +
                   std::to_string(expectedOffset);
        expectedOffset += FieldTypeSize(kExpectedType[f]);
        facts.recordSize += FieldTypeSize(kExpectedType[f]);
    }
    return std::nullopt;
}

// A capacity that slot numbers reach and the file holds.
Damage CheckCapacity(const DatabaseFacts& facts) {
    if (facts.capacity == 0)
        return "the capacity is 0 slots";
    if (facts.capacity > kMaxCapacity)
        return "the capacity of " + std::to_string(facts.capacity) +
               " slots is beyond the largest slot number";
    const uint64_t needed =
        kRecordAreaOffset + static_cast<uint64_t>(facts.capacity) * facts.recordSize;
    if (facts.fileSize < needed)
        return "the file is " + std::to_string(facts.fileSize) + " bytes long but its " +
               std::to_string(facts.capacity) + " slots need " + std::to_string(needed);
    return std::nullopt;
}

// One slot's rules: a used slot's text fields end with their terminator.
Damage CheckSlot(const unsigned char* slot, uint64_t number, uint32_t recordSize,
                 DatabaseFacts& facts) {
    const uint32_t wordEnd = kTagSize + FieldTypeSize(kTypeWord) - 1;
    const uint32_t notesEnd = recordSize - 1;
    const uint32_t tag = LoadLE32(slot);
    if (tag < kTagUsedFrom)
        return std::nullopt;
    ++facts.usedCount;
    if (tag == kTagLive)
        ++facts.liveCount;
    for (uint32_t end : {wordEnd, notesEnd}) {
        if (slot[end] != 0)
            return "slot " + std::to_string(number) + ": field " + (end == wordEnd ? "1" : "14") +
                   " has no terminating zero byte";
    }
    return std::nullopt;
}

// Every slot in use: its text fields end with their terminator. Counts the used and
// live slots into facts.
// A set `stop` ends the walk early (with no damage found).
Damage CheckSlots(int fd, DatabaseFacts& facts, const std::atomic<bool>* stop = nullptr) {
    constexpr uint32_t kChunkSlots = 4096;
    std::vector<unsigned char> chunk;
    for (uint64_t first = 0; first < facts.capacity && !(stop && *stop); first += kChunkSlots) {
        const uint64_t count = std::min<uint64_t>(kChunkSlots, facts.capacity - first);
        chunk.resize(count * facts.recordSize);
        if (!ReadAt(fd, kRecordAreaOffset + first * facts.recordSize, chunk.data(), chunk.size()))
            return "the record area cannot be read";
        for (uint64_t i = 0; i < count; ++i)
            if (Damage damage =
                    CheckSlot(chunk.data() + i * facts.recordSize, first + i, facts.recordSize, facts))
                return damage;
    }
    return std::nullopt;
}

// The rules of the file's layout, in the order of the file: the first rule
// broken is the one reported, and each check may rely on what the ones before
// it found. fd is the file opened for reading (negative: the open failed).
CheckOutcome CheckLayout(const Fd& fd, DatabaseFacts& facts, std::string& reason) {
    facts = DatabaseFacts{};
    if (fd.get() < 0) {
        reason = std::strerror(errno);
        return CheckOutcome::Missing;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return CheckOutcome::Missing;
    }
    facts.fileSize = static_cast<uint64_t>(info.st_size);
    Damage damage = CheckHeader(fd.get(), facts);
    if (!damage)
        damage = CheckFieldTable(fd.get(), facts);
    if (!damage)
        damage = CheckCapacity(facts);
    if (!damage)
        return CheckOutcome::Valid;
    reason = std::move(*damage);
    return CheckOutcome::Damaged;
}

} // namespace

CheckOutcome CheckWordDatabase(const std::string& path, DatabaseFacts& facts, std::string& reason) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (const CheckOutcome layout = CheckLayout(fd, facts, reason); layout != CheckOutcome::Valid)
        return layout;
    if (Damage damage = CheckSlots(fd.get(), facts)) {
        reason = std::move(*damage);
        return CheckOutcome::Damaged;
    }
    return CheckOutcome::Valid;
}

CheckOutcome CopyCheckedWordDatabase(const std::string& from, const std::string& to,
                                     std::string& reason) {
    DatabaseFacts facts;
    Fd fd(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (const CheckOutcome layout = CheckLayout(fd, facts, reason); layout != CheckOutcome::Valid)
        return layout;
    const platform::FileHandle source{fd.get()};
    Damage damage;
    const bool copied = platform::ReplaceFileWith(
        to,
        [&](int out) {
            // The kernel copies the file (as cp does) while a second thread
            // checks its slots from the same page cache: on two cores the check
            // adds almost nothing to the copy. A damaged slot stops the copy.
            std::atomic<bool> stop{false};
            auto check = [&] {
                damage = CheckSlots(fd.get(), facts, &stop);
                if (damage)
                    stop = true;
            };
            std::thread checker;
            try {
                checker = std::thread(check);
            } catch (const std::system_error&) {
                check(); // no thread to be had: check first, then copy
            }
            constexpr uint64_t kPiece = uint64_t{64} << 20;
            bool written = true;
            for (uint64_t offset = 0; written && !stop && offset < facts.fileSize; offset += kPiece)
                written = platform::CopyFileRange(source, offset, platform::FileHandle{out},
                                                  std::min(kPiece, facts.fileSize - offset));
            if (!written)
                stop = true;
            if (checker.joinable())
                checker.join();
            return written && !damage;
        },
        platform::Durability::Fast);
    if (damage) {
        reason = std::move(*damage);
        return CheckOutcome::Damaged;
    }
    if (!copied) {
        reason = "the copy could not be written";
        return CheckOutcome::Missing;
    }
    return CheckOutcome::Valid;
}

} // namespace lexipond::words
