#include "core/words/DatabaseCheck.h"

#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"
#include "core/words/WordDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lexipond::words {

namespace {

using namespace recordformat;

// Tags from this value up count as used.
constexpr uint32_t kTagUsedFrom = RecordLive;
constexpr uint32_t kTagLive = RecordLive;

// The word database's field types, field 1 first.
constexpr uint32_t kExpectedType[kWordFieldCount] = {
    kTypeWord,  kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32,
    kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeInt32, kTypeNotes};

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

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

CheckOutcome Damaged(std::string& reason, std::string text) {
    reason = std::move(text);
    return CheckOutcome::Damaged;
}

} // namespace

CheckOutcome CheckWordDatabase(const std::string& path, DatabaseFacts& facts, std::string& reason) {
    facts = DatabaseFacts{};
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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

    if (facts.fileSize < kHeaderSize)
        return Damaged(reason, "the file is " + std::to_string(facts.fileSize) +
                                   " bytes long, shorter than the 1444-byte header");
    std::vector<unsigned char> header(kHeaderSize);
    if (!ReadAt(fd.get(), 0, header.data(), header.size()))
        return Damaged(reason, "the header cannot be read");
    if (std::memcmp(header.data() + kMagicOffset, kMagic, sizeof kMagic) != 0)
        return Damaged(reason, "the file does not begin with the magic \"DATA\"");
    if (std::memcmp(header.data() + kVersionOffset, kVersion, sizeof kVersion) != 0)
        return Damaged(reason, "the format version is not \"1000\"");

    facts.fieldCount = Le32(header.data() + kFieldCountOffset);
    facts.capacity = Le32(header.data() + kCapacityOffset);
    if (facts.fieldCount != kWordFieldCount)
        return Damaged(reason, "the file has " + std::to_string(facts.fieldCount) +
                                   " fields; a word database has 14");
    const uint32_t recordAreaOffset = kHeaderSize + kFieldEntrySize * kWordFieldCount;
    if (facts.fileSize < recordAreaOffset)
        return Damaged(reason, "the field table runs past the end of the file");

    std::vector<unsigned char> table(kFieldEntrySize * kWordFieldCount);
    if (!ReadAt(fd.get(), kHeaderSize, table.data(), table.size()))
        return Damaged(reason, "the field table cannot be read");
    uint32_t expectedOffset = recordAreaOffset + kTagSize;
    facts.recordSize = kTagSize;
    for (uint32_t f = 0; f < kWordFieldCount; ++f) {
        const uint32_t type = Le32(table.data() + f * kFieldEntrySize);
        const uint32_t offset = Le32(table.data() + f * kFieldEntrySize + kFieldEntryOffsetOffset);
        const std::string field = "field " + std::to_string(f + 1);
        if (type != kExpectedType[f])
            return Damaged(reason, field + " has type " + std::to_string(type) + ", not " +
                                       std::to_string(kExpectedType[f]));
        if (offset != expectedOffset)
            return Damaged(reason, field + " is stored at offset " + std::to_string(offset) +
                                       ", not " + std::to_string(expectedOffset));
        expectedOffset += FieldTypeSize(kExpectedType[f]);
        facts.recordSize += FieldTypeSize(kExpectedType[f]);
    }

    if (facts.capacity == 0)
        return Damaged(reason, "the capacity is 0 slots");
    if (facts.capacity > kMaxCapacity)
        return Damaged(reason, "the capacity of " + std::to_string(facts.capacity) +
                                   " slots is beyond the largest slot number");
    const uint64_t needed =
        recordAreaOffset + static_cast<uint64_t>(facts.capacity) * facts.recordSize;
    if (facts.fileSize < needed)
        return Damaged(reason, "the file is " + std::to_string(facts.fileSize) +
                                   " bytes long but its " + std::to_string(facts.capacity) +
                                   " slots need " + std::to_string(needed));

    // Every slot in use: its text fields end with their terminator.
    constexpr uint32_t kChunkSlots = 4096;
    std::vector<unsigned char> chunk;
    for (uint64_t first = 0; first < facts.capacity; first += kChunkSlots) {
        const uint64_t count = std::min<uint64_t>(kChunkSlots, facts.capacity - first);
        chunk.resize(count * facts.recordSize);
        if (!ReadAt(fd.get(), recordAreaOffset + first * facts.recordSize, chunk.data(),
                    chunk.size()))
            return Damaged(reason, "the record area cannot be read");
        for (uint64_t i = 0; i < count; ++i) {
            const unsigned char* slot = chunk.data() + i * facts.recordSize;
            const uint32_t tag = Le32(slot);
            if (tag < kTagUsedFrom)
                continue;
            ++facts.usedCount;
            if (tag == kTagLive)
                ++facts.liveCount;
            const uint32_t wordEnd = kTagSize + FieldTypeSize(kTypeWord) - 1;
            const uint32_t notesEnd = facts.recordSize - 1;
            for (uint32_t end : {wordEnd, notesEnd}) {
                if (slot[end] != 0)
                    return Damaged(reason, "slot " + std::to_string(first + i) + ": field " +
                                               (end == wordEnd ? "1" : "14") +
                                               " has no terminating zero byte");
            }
        }
    }
    return CheckOutcome::Valid;
}

} // namespace lexipond::words
