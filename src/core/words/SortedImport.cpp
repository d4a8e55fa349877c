// SPDX-License-Identifier: GPL-3.0-or-later
// How the one-pass import reaches the same bytes as adding the new words one by
// one and sorting:
// - Duplicates. A word equal at identical strength is also equal at tertiary
//   strength, so only words with equal tertiary keys can be duplicates: words
//   whose bytes equal a present word's are dropped at once, the rest are
//   sorted by tertiary key and only runs of equal keys (and the present words
//   of that key, found by binary search) are compared at identical strength.
//   The first of equal words stays, as when adding line by line.
// - Order. The sort is stable and new records are added behind the present
//   ones in list order, so the result is the present records merged with the
//   new ones sorted by (key, list position), present first among equals.
// - Record bytes. Adding writes the word through the engine's text buffer and
//   then an empty note from it, so behind each terminator lie the bytes the
//   buffer kept from longer earlier words (or from the last present word, read
//   when the present words were collected). The buffer is replayed here
//   through the words in list order.
// - File size. PredictAdds gives the capacity and length the adds would leave;
//   slots behind the records keep their bytes up to where a resize zeroed them.
#include "core/words/SortedImport.h"

#include "core/platform/Collation.h"
#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"
#include "core/text/LittleEndian.h"
#include "core/text/Utf8.h"
#include "core/words/WordDatabase.h"
#include "core/words/WordListLines.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace lexipond {

namespace fmt = recordformat;

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kWordFieldSize = kWordMaxLength + 1; // 64
constexpr uint32_t kNotesFieldSize = kNotesMaxLength + 1; // 300

// The word database's slot as CreateWordDatabase lays it out: the tag, the word,
// twelve numbers, the notes.
constexpr uint32_t kWordAt = fmt::kTagSize;
constexpr uint32_t kNumbersAt = kWordAt + kWordFieldSize;
constexpr uint32_t kNotesAt = kNumbersAt + (kFieldReservedB - kFieldReservedA + 1) * 4;
constexpr uint32_t kSlotSize = kNotesAt + kNotesFieldSize;

bool HasWordLayout(const RecordFile& db) {
    if (db.fieldCount != kWordFieldCount || db.fields.size() != kWordFieldCount ||
        db.recordSize != kSlotSize)
        return false;
    uint32_t at = db.recordAreaOffset + fmt::kTagSize;
    for (uint32_t f = 1; f <= kWordFieldCount; ++f) {
        const FieldLayout& field = db.fields[f - 1];
        const uint32_t type = f == kFieldWord    ? fmt::kTypeWord
                              : f == kFieldNotes ? fmt::kTypeNotes
                                                 : fmt::kTypeInt32;
        if (field.type != type || field.offset != at)
            return false;
        at += field.size;
    }
    return true;
}

const uint8_t* SlotAt(const uint8_t* view, const RecordFile& db, uint32_t slot) {
    return view + db.recordAreaOffset + static_cast<uint64_t>(slot) * db.recordSize;
}

// A stored word: its bytes up to the first zero, at most 63.
std::string_view WordIn(const uint8_t* slot) {
    const auto* text = reinterpret_cast<const char*>(slot + kWordAt);
    return std::string_view(text, strnlen(text, kWordMaxLength));
}

uint64_t HashBytes(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

// The present words by their bytes: slot numbers in an open-addressing table,
// each with bits of its hash so that a probe rarely reads a word it cannot be.
class PresentBytes {
  public:
    PresentBytes(const RecordFile& db, uint32_t count) : db_(db) {
        size_t capacity = 16;
        while (capacity < static_cast<size_t>(count) * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{kNone, 0});
    }

    void Add(uint32_t slot, std::string_view word) {
        const uint64_t hash = HashBytes(word);
        const size_t mask = slots_.size() - 1;
        size_t i = hash & mask;
        while (slots_[i].slot != kNone)
            i = (i + 1) & mask;
        slots_[i] = Slot{slot, static_cast<uint32_t>(hash >> 32)};
    }

    // Where a lookup of this hash starts, to fetch it ahead; then the word it
    // will most likely compare.
    const void* Start(uint64_t hash) const { return &slots_[hash & (slots_.size() - 1)]; }
    const void* FirstWord(uint64_t hash) const {
        const uint32_t slot = slots_[hash & (slots_.size() - 1)].slot;
        return slot == kNone ? nullptr : SlotAt(db_.view, db_, slot) + kWordAt;
    }

    bool Contains(std::string_view word, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        const auto bits = static_cast<uint32_t>(hash >> 32);
        for (size_t i = hash & mask; slots_[i].slot != kNone; i = (i + 1) & mask)
            if (slots_[i].bits == bits && Word(slots_[i].slot) == word)
                return true;
        return false;
    }

  private:
    struct Slot {
        uint32_t slot;
        uint32_t bits;
    };

    std::string_view Word(uint32_t slot) const { return WordIn(SlotAt(db_.view, db_, slot)); }

    const RecordFile& db_;
    std::vector<Slot> slots_;
};

// Sort keys packed into one buffer.
struct Keys {
    std::string bytes;
    std::vector<uint32_t> start{0};

    std::string_view Key(uint32_t i) const {
        return std::string_view(bytes).substr(start[i], start[i + 1] - start[i]);
    }
};

// The first eight key bytes, big-endian: they decide most comparisons.
uint64_t KeyPrefix(std::string_view key) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0u);
    return prefix;
}

struct Entry {
    uint64_t prefix;
    uint32_t index; // the candidate's number, in list order
};

// Output through one buffer; long runs of present records go out directly.
class Output {
  public:
    explicit Output(platform::FileHandle out)
        : out_(out), buffer_(std::make_unique_for_overwrite<uint8_t[]>(kBufferSize)) {}

    bool Append(const uint8_t* bytes, size_t size) {
        if (size >= kBufferSize / 4) {
            if (!Flush() || !platform::WriteFileBytes(out_, bytes, size))
                return false;
            pending_ += size;
            StartWriteBack(false);
            return true;
        }
        if (used_ + size > kBufferSize && !Flush())
            return false;
        std::memcpy(buffer_.get() + used_, bytes, size);
        used_ += size;
        return true;
    }

    uint8_t* Reserve(size_t size) {
        if (used_ + size > kBufferSize && !Flush())
            return nullptr;
        used_ += size;
        return buffer_.get() + used_ - size;
    }

    bool Flush() {
        const bool written = used_ == 0 || platform::WriteFileBytes(out_, buffer_.get(), used_);
        pending_ += used_;
        used_ = 0;
        StartWriteBack(false);
        return written;
    }

    // The result is synced before it takes the database's name: hand the disk
    // each written stretch at once, so that the sync waits for less.
    void StartWriteBack(bool all) {
        if (pending_ == 0 || (!all && pending_ < kWriteBackStep))
            return;
        (void)sync_file_range(out_.fd, static_cast<off64_t>(handed_),
                              static_cast<off64_t>(pending_), SYNC_FILE_RANGE_WRITE);
        handed_ += pending_;
        pending_ = 0;
    }

  private:
    static constexpr size_t kBufferSize = 1 << 20;
    static constexpr uint64_t kWriteBackStep = 8u << 20;
    platform::FileHandle out_;
    std::unique_ptr<uint8_t[]> buffer_; // kBufferSize bytes, used_ of them filled
    size_t used_ = 0;
    uint64_t handed_ = 0;  // bytes handed to the disk
    uint64_t pending_ = 0; // bytes written behind them
};

} // namespace

struct SortedImport::State {
    explicit State(const platform::Collator& order)
        : collator(order) {}

    const platform::Collator& collator;
    // Made on first need: most lists have no words equal at tertiary strength.
    std::unique_ptr<platform::Collator> identical;

    // The file as Prepare saw it.
    RecordFile* db = nullptr;
    uint32_t present = 0; // records, packed at the front and in order
    AddsOutcome outcome;

    // Candidates: non-empty lines whose bytes are no present word's, in list order.
    std::string words;
    std::vector<uint32_t> wordStart{0};
    std::string_view Word(uint32_t i) const {
        return std::string_view(words).substr(wordStart[i], wordStart[i + 1] - wordStart[i]);
    }

    // The words added, in list order (candidate numbers).
    std::vector<uint32_t> added;
    // For each added word, in the final order, the engine's text buffer right
    // after the word was written: its bytes up to where only zeros follow.
    std::unique_ptr<uint8_t[]> images;
    std::vector<uint32_t> imageStart;
    // The same words in their final order (numbers into `added`), each with the
    // number of present records that go before it.
    std::vector<uint32_t> sorted;
    std::vector<uint32_t> presentBefore;
    // The engine's text buffer before the first add: the last present word's bytes.
    uint8_t buffer[kWordFieldSize] = {};

    std::string_view PresentWord(uint32_t slot) const {
        return WordIn(SlotAt(db->view, *db, slot));
    }

    bool ReadPresent(PresentBytes* bytes) const;
    void DropPresentBytes(const PresentBytes& bytes);
    void DropDuplicates(std::vector<Entry>& entries, const Keys& keys);
    bool MakeImages();
    bool MakeKeys(Keys& keys, std::vector<Entry>& entries) const;
    void AppendKeys(const platform::Collator& order, uint32_t first, uint32_t last, Keys& keys,
                    Entry* entries) const;
    void MakeRecord(uint32_t place, uint8_t* slot) const;
};

// One pass over the present records: all live and packed at the front, every
// other slot free, the words in order; fills `bytes` on the way.
bool SortedImport::State::ReadPresent(PresentBytes* bytes) const {
    for (uint32_t slot = present; slot < db->capacity; ++slot) {
        const uint32_t tag = LoadLE32(SlotAt(db->view, *db, slot));
        if (tag != RecordEmpty && tag != RecordDeleted)
            return false;
    }
    std::string_view previous;
    for (uint32_t slot = 0; slot < present; ++slot) {
        if (LoadLE32(SlotAt(db->view, *db, slot)) != RecordLive)
            return false;
        const std::string_view word = PresentWord(slot);
        if (slot > 0 && previous != word && collator.Compare(previous, word) > 0)
            return false;
        if (bytes)
            bytes->Add(slot, word);
        previous = word;
    }
    return true;
}

// Keeps as candidates only the words whose bytes are no present word's: those
// are duplicates without a sort key. Looks ahead so that the probes into the
// table and the mapping overlap.
void SortedImport::State::DropPresentBytes(const PresentBytes& bytes) {
    constexpr uint32_t kAhead = 8;
    const auto count = static_cast<uint32_t>(wordStart.size() - 1);
    std::vector<uint64_t> hashes(count);
    for (uint32_t i = 0; i < count; ++i)
        hashes[i] = HashBytes(Word(i));
    std::string kept;
    std::vector<uint32_t> keptStart{0};
    for (uint32_t i = 0; i < count; ++i) {
        if (i + kAhead < count)
            __builtin_prefetch(bytes.Start(hashes[i + kAhead]));
        if (i + kAhead / 2 < count)
            if (const void* next = bytes.FirstWord(hashes[i + kAhead / 2]))
                __builtin_prefetch(next);
        const std::string_view word = Word(i);
        if (bytes.Contains(word, hashes[i]))
            continue;
        kept.append(word);
        keptStart.push_back(static_cast<uint32_t>(kept.size()));
    }
    words.swap(kept);
    wordStart.swap(keptStart);
}

// entries are sorted by (key, list position). Keeps the first of each set of
// words equal at identical strength, and none equal to a present word; fills
// `sorted` (as candidate numbers for now) and presentBefore.
void SortedImport::State::DropDuplicates(std::vector<Entry>& entries, const Keys& keys) {
    std::vector<uint32_t> group, keep;
    std::vector<std::pair<std::string, uint32_t>> exact;
    size_t first = 0;
    while (first < entries.size()) {
        size_t end = first + 1;
        // Equal prefixes are rare: only then are the keys read.
        while (end < entries.size() && entries[end].prefix == entries[first].prefix &&
               keys.Key(entries[end].index) == keys.Key(entries[first].index))
            ++end;
        if (end == first + 1 && present == 0) {
            sorted.push_back(entries[first].index);
            presentBefore.push_back(0);
            first = end;
            continue;
        }
        group.clear();
        for (size_t i = first; i < end; ++i)
            group.push_back(entries[i].index);
        const std::string_view word = Word(group.front());
        // The present records of this key: [low, high).
        uint32_t low = 0, high = present;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            if (collator.Compare(PresentWord(middle), word) < 0)
                low = middle + 1;
            else
                high = middle;
        }
        high = low;
        while (high < present && collator.Compare(PresentWord(high), word) == 0)
            ++high;
        if (group.size() > 1 || high > low) {
            // Equal at tertiary strength: compare at identical strength.
            if (!identical)
                identical = std::make_unique<platform::Collator>(
                    collator.LocaleId(), platform::Collator::Strength::Identical);
            exact.clear();
            for (uint32_t slot = low; slot < high; ++slot)
                exact.emplace_back(identical->SortKey(PresentWord(slot)), 0);
            for (const uint32_t index : group)
                exact.emplace_back(identical->SortKey(Word(index)), index + 1);
            // Present words (0) first, then list order: the first of each key stays.
            std::sort(exact.begin(), exact.end());
            keep.clear();
            for (size_t i = 0; i < exact.size(); ++i)
                if (exact[i].second != 0 && (i == 0 || exact[i].first != exact[i - 1].first))
                    keep.push_back(exact[i].second - 1);
            std::sort(keep.begin(), keep.end());
            group.swap(keep);
        }
        for (const uint32_t index : group) {
            sorted.push_back(index);
            presentBefore.push_back(high);
        }
        first = end;
    }
}

// The keys of words [first, last) appended to keys, their prefixes into entries.
void SortedImport::State::AppendKeys(const platform::Collator& order, uint32_t first,
                                     uint32_t last, Keys& keys, Entry* entries) const {
    keys.bytes.reserve(static_cast<size_t>(last - first) * 24);
    keys.start.reserve(keys.start.size() + (last - first));
    for (uint32_t i = first; i < last; ++i) {
        const size_t from = keys.bytes.size();
        order.AppendSortKey(Word(i), keys.bytes);
        keys.start.push_back(static_cast<uint32_t>(
            std::min<size_t>(keys.bytes.size(), std::numeric_limits<uint32_t>::max())));
        entries[i - first] = Entry{KeyPrefix(std::string_view(keys.bytes).substr(from)), i};
    }
}

// One sort key per candidate. Making keys is most of the import's work: a large
// list is split between this thread and one more, each with its own collator
// (an ICU collator serves one thread at a time). False when the keys would not
// fit 32-bit offsets.
bool SortedImport::State::MakeKeys(Keys& keys, std::vector<Entry>& entries) const {
    const auto count = static_cast<uint32_t>(entries.size());
    constexpr uint32_t kSplitFrom = 20000;
    const uint32_t half = count >= kSplitFrom && std::thread::hardware_concurrency() > 1
                              ? count / 2
                              : count;
    Keys upper;
    std::thread helper;
    if (half < count) {
        try {
            helper = std::thread([&] {
                const platform::Collator own(collator.LocaleId(), collator.GetStrength());
                AppendKeys(own, half, count, upper, entries.data() + half);
            });
        } catch (const std::system_error&) {
            AppendKeys(collator, half, count, upper, entries.data() + half);
        }
    }
    AppendKeys(collator, 0, half, keys, entries.data());
    if (helper.joinable())
        helper.join();
    const uint64_t total = static_cast<uint64_t>(keys.bytes.size()) + upper.bytes.size();
    if (total > std::numeric_limits<uint32_t>::max())
        return false;
    const auto shift = static_cast<uint32_t>(keys.bytes.size());
    keys.bytes.append(upper.bytes);
    for (size_t i = 1; i < upper.start.size(); ++i)
        keys.start.push_back(upper.start[i] + shift);
    return true;
}

// Replays the engine's text buffer through the adds in list order, laying
// each image down where its record goes in the final order, so that writing
// the records reads them front to back. Returns false when the images would
// not fit 32-bit offsets.
bool SortedImport::State::MakeImages() {
    uint8_t text[kWordFieldSize];
    std::memcpy(text, buffer, sizeof text);
    // Every byte from `used` on is zero.
    size_t used = kWordMaxLength;
    while (used > 0 && text[used - 1] == 0)
        --used;
    const size_t count = added.size();
    std::vector<uint8_t> size(count);
    for (size_t r = 0, reach = used; r < count; ++r) {
        reach = std::max(reach, Word(added[r]).size());
        size[r] = static_cast<uint8_t>(reach);
    }
    imageStart.assign(count + 1, 0);
    std::vector<uint32_t> position(count);
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        position[sorted[i]] = static_cast<uint32_t>(i);
        total += size[sorted[i]];
        if (total > std::numeric_limits<uint32_t>::max())
            return false;
        imageStart[i + 1] = static_cast<uint32_t>(total);
    }
    images = std::make_unique_for_overwrite<uint8_t[]>(total);
    for (size_t r = 0; r < count; ++r) {
        const std::string_view word = Word(added[r]);
        std::memcpy(text, word.data(), word.size());
        text[word.size()] = 0;
        std::memcpy(images.get() + imageStart[position[r]], text, size[r]);
    }
    return true;
}

// The record of the word at `place` in the final order.
void SortedImport::State::MakeRecord(uint32_t place, uint8_t* slot) const {
    std::memset(slot, 0, kSlotSize);
    StoreLE32(slot, RecordLive);
    const uint8_t* image = images.get() + imageStart[place];
    const uint32_t size = imageStart[place + 1] - imageStart[place]; // 1 or more
    std::memcpy(slot + kWordAt, image, size);
    // The empty note stores the same buffer, whose first byte is zero by then.
    std::memcpy(slot + kNotesAt + 1, image + 1, size - 1);
}

SortedImport::SortedImport(const platform::Collator& collator)
    : state_(std::make_unique<State>(collator)) {}

SortedImport::~SortedImport() = default;

SortedImport::Plan SortedImport::Prepare(RecordFile& db, const char* listPath,
                                         ImportReport& report) {
    State& s = *state_;
    s.db = &db;
    if (!db.view || !HasWordLayout(db))
        return Plan::NotApplicable;
    // Present records: all live, packed at the front; every other slot free.
    s.present = db.usedTally;
    if (db.liveTally != s.present || db.liveCount != s.present)
        return Plan::NotApplicable;

    WordListLines lines(listPath);
    if (!lines.opened())
        return Plan::NotApplicable;
    ImportReport counts;
    counts.opened = true;
    bool tooMany = false;
    lines.ReadAll([&](std::string_view line, bool tooLong) {
        ++counts.lines;
        if (tooLong)
            ++counts.longLines;
        if (line.empty()) {
            ++counts.empty;
            return;
        }
        s.words.append(CutText(line, kWordMaxLength));
        if (s.words.size() > std::numeric_limits<uint32_t>::max())
            tooMany = true;
        s.wordStart.push_back(static_cast<uint32_t>(s.words.size()));
    });
    const auto nonEmpty = static_cast<uint32_t>(s.wordStart.size() - 1);
    // A short list into a large database: building the table would cost more
    // than finding its few words among the present ones by binary search.
    std::unique_ptr<PresentBytes> presentBytes;
    if (s.present > 0 && nonEmpty > 0 && nonEmpty >= s.present / 16)
        presentBytes = std::make_unique<PresentBytes>(db, s.present);
    if (tooMany || !s.ReadPresent(presentBytes.get()))
        return Plan::NotApplicable;
    if (presentBytes)
        s.DropPresentBytes(*presentBytes);
    presentBytes.reset();

    const auto candidates = static_cast<uint32_t>(s.wordStart.size() - 1);
    {
        Keys keys;
        std::vector<Entry> entries(candidates);
        if (!s.MakeKeys(keys, entries))
            return Plan::NotApplicable;
        std::sort(entries.begin(), entries.end(), [&keys](const Entry& a, const Entry& b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            const int c = keys.Key(a.index).compare(keys.Key(b.index));
            return c < 0 || (c == 0 && a.index < b.index);
        });
        s.sorted.reserve(candidates);
        s.presentBefore.reserve(candidates);
        s.DropDuplicates(entries, keys);
    }

    // Number the added words in list order.
    const auto addedCount = static_cast<uint32_t>(s.sorted.size());
    constexpr uint32_t kKept = kNone - 1;
    std::vector<uint32_t> rank(candidates, kNone);
    for (const uint32_t index : s.sorted)
        rank[index] = kKept;
    s.added.reserve(addedCount);
    for (uint32_t i = 0; i < candidates; ++i)
        if (rank[i] == kKept) {
            rank[i] = static_cast<uint32_t>(s.added.size());
            s.added.push_back(i);
        }
    for (uint32_t& entry : s.sorted)
        entry = rank[entry];
    rank = {};
    if (s.present > 0) {
        std::memcpy(s.buffer, SlotAt(db.view, db, s.present - 1) + kWordAt, kWordMaxLength);
        s.buffer[kWordMaxLength] = 0;
    }
    if (!s.MakeImages())
        return Plan::NotApplicable;
    s.words = {};
    s.wordStart = {};

    counts.added = addedCount;
    counts.duplicates = nonEmpty - addedCount;
    report = counts;
    if (addedCount == 0)
        return Plan::Unchanged;
    s.outcome = PredictAdds(db, db.mappingHandle.length, addedCount);
    return s.outcome.fits ? Plan::Write : Plan::NotApplicable;
}

bool SortedImport::Write(const uint8_t* source, uint64_t sourceLength,
                         platform::FileHandle out) const {
    const State& s = *state_;
    const RecordFile& db = *s.db;
    if (!platform::SeekFile(out, 0))
        return false;
    Output output(out);
    // Header and field table: only the capacity changes.
    std::vector<uint8_t> head(source, source + db.recordAreaOffset);
    StoreLE32(head.data() + fmt::kCapacityOffset, s.outcome.capacity);
    if (!output.Append(head.data(), head.size()))
        return false;
    uint32_t next = 0; // the next present record
    for (size_t i = 0; i < s.sorted.size(); ++i) {
        const uint32_t before = s.presentBefore[i];
        if (before > next) {
            if (!output.Append(SlotAt(source, db, next),
                               static_cast<size_t>(before - next) * kSlotSize))
                return false;
            next = before;
        }
        uint8_t* slot = output.Reserve(kSlotSize);
        if (!slot)
            return false;
        s.MakeRecord(static_cast<uint32_t>(i), slot);
    }
    if (next < s.present &&
        !output.Append(SlotAt(source, db, next), static_cast<size_t>(s.present - next) * kSlotSize))
        return false;
    // Behind the records the slots keep their bytes up to where a resize zeroed them.
    const uint64_t written = db.recordAreaOffset +
                             (static_cast<uint64_t>(s.present) + s.sorted.size()) * kSlotSize;
    const uint64_t kept = std::min({s.outcome.zeroFrom, sourceLength, s.outcome.length});
    if (kept > written && !output.Append(source + written, static_cast<size_t>(kept - written)))
        return false;
    if (!output.Flush())
        return false;
    output.StartWriteBack(true);
    const uint64_t end = std::max(written, kept);
    // Zeros to the end, with their blocks taken now: a full disk fails here
    // rather than on some later write into the mapping.
    if (!platform::TruncateFile(out, end) || !platform::TruncateFile(out, s.outcome.length))
        return false;
    return s.outcome.length <= end ||
           posix_fallocate(out.fd, static_cast<off_t>(end),
                           static_cast<off_t>(s.outcome.length - end)) == 0;
}

} // namespace lexipond
