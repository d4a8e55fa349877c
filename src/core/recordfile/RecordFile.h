#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The record file engine: one memory-mapped file of a fixed header, a field
// table and equal-sized record slots. The byte layout is in docs/record-file-format.md
// and its constants in RecordFormat.h.
//
// A RecordFile owns its open file and mapping from an open until CloseRecordFile.
// The engine has no lock: whoever shares one RecordFile between threads guards every
// call with one mutex. In the program that is TutorState::lock, which the window
// thread and the worker hold around every use of the word database; lexipond-db and
// start-up use theirs from one thread. Slots are numbered from 0, fields from 1.
//
// Callers outside the engine read and write values through the typed functions
// (ReadNumber ... FindText). The engine's own operations pass values through the
// buffers numberValue and textValue and answer in numbers: -1 for no slot, no type
// or failure; 0 not done, 1 done.
#include "core/platform/FileMapping.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond {

enum RecordTag : uint32_t {
    RecordEmpty = 0,
    RecordDeleted = 5,
    RecordLive = 10,
};

inline constexpr uint32_t kTextBufferSize = 1024;
inline constexpr uint32_t kCompactionBudget = 500000;

// One entry of the field table as checked at open.
struct FieldLayout {
    uint32_t type = 0;
    uint32_t size = 0;
    uint32_t offset = 0; // stored file offset of the field in slot 0
};

struct RecordFile {
    std::string fileName;                  // full path: set by an open, or by the owner to create
    uint8_t* view = nullptr;               // non-null while open in mapped mode
    platform::FileHandle fileHandle;       // the open file (the only handle in direct mode)
    platform::MappingHandle mappingHandle; // empty in direct mode
    uint32_t fieldCount = 0;
    uint32_t capacity = 0;
    uint32_t liveCount = 0;
    uint32_t fieldTableOffset = 0;
    uint32_t recordAreaOffset = 0;
    uint32_t recordSize = 0;
    // The engine's value buffers. A text write stores the buffer's bytes up to the
    // field's size, so the bytes behind a stored text's terminator are whatever the
    // buffer last held there; the typed functions keep using them for that reason.
    int32_t numberValue = 0;
    char textValue[kTextBufferSize] = {};
    uint32_t writable = 0;
    uint32_t deferRecount = 0;
    // Set on a copy that no one else reads yet (AtomicUpdate.h hands such copies
    // to a change): resizing may then move records in place instead of on a
    // copy of its own.
    bool privateCopy = false;

    // Engine bookkeeping, not stored in the file. Filled at open from the field table
    // and one scan of the tags, then kept in step by every tag the engine writes, so
    // adding, counting and resizing need no scan per call. Tags must only change
    // through the engine's operations; CountLiveRecords rescans and resynchronises.
    std::vector<FieldLayout> fields; // fields[f - 1] for field f
    uint32_t usedTally = 0;          // slots tagged 10 or more
    uint32_t liveTally = 0;          // slots tagged exactly 10
    uint32_t freeHint = 0;           // no slot below holds tag 0 or 5
};

// Why an open gave no file, one reason per check, in the order they are made.
enum class OpenResult {
    Opened,
    Missing,          // no file of that name
    NotPermitted,     // there, but not to be opened as asked (read-only and writing asked)
    NotAFile,         // a folder or a device
    CannotOpen,       // any other refusal of the system (too many open files, I/O error)
    NotMappable,      // opened, but it could not be mapped into memory
    TooShort,         // shorter than the 1444-byte header
    BadMagic,         // does not begin with "DATA"
    BadVersion,       // the version is not "1000"
    BadFieldCount,    // no fields, or more than 32-bit offsets can reach
    CapacityTooLarge, // more slots than a signed 32-bit slot number reaches
    FieldTableCut,    // the field table runs past the end of the file
    TextFieldTooWide, // a text field wider than the 1024-byte text buffer
    RecordTooLarge,   // a slot wider than 32 bits can measure
    FieldOutsideSlot, // a field's stored offset lies on the tag or outside its slot
    SlotsCut,         // the file is shorter than the slots its header declares
};

enum class Access { ReadOnly, ReadWrite };

// --- Opening, creating and resizing ---

// Closes whatever file is open, then opens path, maps it whole and checks the header
// and the field table. Opened: the file is open with its live records counted;
// anything else: nothing is open and the result says which check failed.
OpenResult OpenRecordFile(RecordFile& file, std::string path, Access access);
// The same checks without a mapping (direct mode, for creation and resizing steps):
// only the header and the field table are read. Records cannot be read this way.
OpenResult OpenRecordFileDirect(RecordFile& file, std::string path, Access access);
// Unmaps and closes; safe on a closed file. fileName stays for a later open.
void CloseRecordFile(RecordFile& file);
// Replaces file.fileName with a new file of file.fieldCount fields (header and table
// room only) and leaves it open in direct mode for DefineField. 1 done, 0 failed.
int CreateRecordFile(RecordFile& file);
// Direct mode, after CreateRecordFile: stores field's type code in the table. 1 / 0.
int DefineField(RecordFile& file, uint32_t field, uint32_t typeCode);
// Direct mode, after every DefineField: stores each field's offset from the types and
// writes the first zeroed slots. 1 / 0; close and open the file to use it.
int LayOutFields(RecordFile& file);
// Grows or shrinks the file by the resizing rules of the format and maps it again.
// Called by AddRecord before every add. 1 when the file is mapped afterwards; 0 also
// when it was not mapped or held no live record (nothing is done then).
int MaintainCapacity(RecordFile& file);
// What `adds` calls of AddRecord would do to the size of a file whose used
// records are all live, packed at the front, and whose other slots are all
// free (tag 0 or 5): the capacity and length afterwards, and the offset from
// which every byte would then be zero (a growth zeroes a stray tail, a shrink
// cuts). fits is false when some add would find no slot. length is the file's
// length now. Lets a writer lay out the result of many adds in one go.
struct AddsOutcome {
    uint32_t capacity = 0;
    uint64_t length = 0;
    uint64_t zeroFrom = 0;
    bool fits = true;
};
AddsOutcome PredictAdds(const RecordFile& file, uint64_t length, uint32_t adds);
// The stored size of a field of this type code (codes 16 and above: 64).
uint32_t FieldTypeSize(uint32_t typeCode);
// Moves used records down into free slots, one slot per move, until no free slot lies
// below a used one or budget moves are made (a parameter so tests can exhaust it).
// Returns the moves left: 0 means it may not have finished. Without a writable mapping
// or a live record nothing moves.
uint32_t CompactRecords(RecordFile& file, uint32_t budget = kCompactionBudget);

// --- Typed values, for callers outside the engine ---
// Each takes a used slot (tag 10 or more) of an open file; a free slot, a field the
// file lacks or a field of the other kind gives nullopt or false and changes nothing.

// The value of a number field (the low 1, 2 or 4 bytes by type, zero-extended).
std::optional<int32_t> ReadNumber(RecordFile& file, int32_t slot, uint32_t field);
// The text of a text field, up to its first zero byte.
std::optional<std::string> ReadText(RecordFile& file, int32_t slot, uint32_t field);
// Stores a number in a number field; false without a writable mapping.
bool WriteNumber(RecordFile& file, int32_t slot, uint32_t field, int32_t value);
// Stores text in a text field, cut to the field's size - 1 bytes without splitting a
// UTF-8 character whose lead byte lies inside; false without a writable mapping.
bool WriteText(RecordFile& file, int32_t slot, uint32_t field, std::string_view text);
// The first live slot after `after` (-1: from slot 0) with a text field containing
// key (ASCII letters in either case; KeyFoundInText) or a number field equal to
// key's decimal value when that is not 0. Only the key's first 1023 bytes, up to a
// zero byte, count. nullopt when there is none.
std::optional<int32_t> FindText(RecordFile& file, std::string_view key, int32_t after);

// --- Records ---

// The engine's field access: GetField reads a field into numberValue or textValue,
// PutField stores numberValue or textValue (then empties textValue). Both return the
// field's type code, or -1 (no mapping, no live record in the file, no such slot or
// field; PutField also without a writable mapping). Any slot below capacity is read.
int32_t GetField(RecordFile& file, int32_t slot, uint32_t field);
int32_t PutField(RecordFile& file, int32_t slot, uint32_t field);
// Makes room if needed (MaintainCapacity), then tags the lowest slot tagged 0 or 5
// live and returns it; -1 when the file is not open for writing or has no room.
// The new record holds whatever bytes the slot held: the caller writes every field.
int32_t AddRecord(RecordFile& file);
// Stores any tag in a slot (RecordDeleted deletes). 1 / 0 (no writable mapping, no slot).
int SetRecordTag(RecordFile& file, int32_t slot, uint32_t tag);
// Copies the whole slot, tag included, over target. 1 / 0.
int CopyRecord(RecordFile& file, int32_t source, int32_t target);
// Scans every tag: sets and returns liveCount (slots tagged exactly 10); 0 when not mapped.
uint32_t CountLiveRecords(RecordFile& file);
// Scans every tag: the slots tagged 10 or more; 0 when not mapped.
uint32_t CountUsedRecords(RecordFile& file);
// The first slot from first on that holds exactly tag; -1 when none (or no live record).
int32_t FindRecordByTag(RecordFile& file, uint32_t tag, int32_t first);
// The next live slot after slot (-1: from 0); slot itself when there is none.
int32_t NextLiveRecord(RecordFile& file, int32_t slot);

// Calls visit(slot) for every live record in slot order.
template <typename Visit> void ForEachLiveRecord(RecordFile& file, Visit visit) {
    int32_t slot = FindRecordByTag(file, RecordLive, 0);
    while (slot >= 0) {
        visit(slot);
        const int32_t next = NextLiveRecord(file, slot);
        slot = next == slot ? -1 : next;
    }
}
// The live slots in slot order.
std::vector<int32_t> LiveSlots(RecordFile& file);
// The key scan FindText applies to each text field: true when key is found in text.
bool KeyFoundInText(const char* key, const char* text);

} // namespace lexipond
