#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Puts a few changed records of a sorted file back in order without sorting the
// rest: each changed record's place is found by binary search among the others,
// and only the records between its old and new place shift by one slot. The
// result is byte for byte what SortRecords (compaction, then the stable sort)
// makes of the same file, at a cost that grows with the records shifted, not with
// the sort of all of them.
//
// All or nothing against a kill: before any record moves, the moves and the
// changed records' bytes go into a small journal beside the file
// ("<name>.placing"), which counts the records moved as it goes. An open for
// writing (OpenRecordFile) finishes a journal that a kill left behind, so the
// file is always either as it was or wholly placed once it is opened again.
//
// Works on the caller's open RecordFile under the caller's guard, like SortRecords.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {
struct RecordFile;
namespace platform {
class Collator;
}

enum class PlaceOutcome {
    Placed,    // the file holds what SortRecords would have made of it
    NeedsSort, // not a change this handles (see below): nothing was touched
    Failed,    // the journal could not be written (a full disk): nothing was touched
};

// `changed` lists every slot touched since the used records were last compact
// from slot 0 and in order by `field` (as SortRecords leaves them): records
// whose key was rewritten, records added, and records freed. The caller
// promises that every other record is as it was then. NeedsSort when that
// cannot hold as far as a cheap look can tell, when more than one record below
// the last was freed, or when closing the gap would take SortRecords'
// compaction past its budget (it would stop part-way). `follow`, when given, is a
// slot whose record is followed: on Placed it holds that record's slot now (-1
// when the slot held the freed record).
PlaceOutcome PlaceChangedRecords(RecordFile& file, uint32_t field,
                                 const platform::Collator& collator,
                                 const std::vector<int32_t>& changed, int32_t* follow = nullptr);

// RecordsInOrder (SortRecords.h) a few slots at a time, for a caller that lets
// others use the file between the steps (and starts again when they change a key).
struct OrderCheck {
    uint32_t nextSlot = 0;
    bool seenFree = false;
    std::string previousKey;
};
enum class OrderCheckResult { InOrder, OutOfOrder, NotYet };
// Looks at up to `slots` more slots.
OrderCheckResult CheckOrderStep(RecordFile& file, uint32_t field,
                                const platform::Collator& collator, OrderCheck& check,
                                uint32_t slots);

// In a file whose used records are compact from slot 0 and in order by the text
// field `field` (as SortRecords leaves them): the used slots whose field holds
// exactly `text`, in slot order, found by binary search.
std::vector<int32_t> SlotsHoldingExactly(RecordFile& file, uint32_t field,
                                         const platform::Collator& collator,
                                         std::string_view text);

// "<fileName>.placing".
std::string PlacementJournalName(const std::string& fileName);

// Finishes the placement a kill interrupted, from its journal beside the file,
// and removes the journal; a journal that was not yet complete when the kill
// came (no record had moved) is only removed. True when nothing was left to
// do or it was finished. The file must be mapped for writing; the caller
// recounts its tags afterwards. A journal still held by a running placement
// is left alone.
bool FinishPlacement(RecordFile& file);
// For a file not yet open: when a journal lies beside `path`, opens the file for
// writing (which finishes the placement) and closes it again. Callers that read
// the file on their own first (the structural check) call this before: part-way
// through a placement a record may be torn in two.
void FinishPlacementAt(const std::string& path);

} // namespace lexipond
