#pragma once
// The record file engine: one memory-mapped file of a fixed header, a field
// table and equal-sized record slots. The byte layout is in docs/record-file-format.md
// and its constants in RecordFormat.h. Every operation takes the RecordFile it
// works on; results follow the engine's convention (-1 none/failure for slots and
// type codes, 0 not done, 1 done).
#include "core/platform/FileMapping.h"

#include <cstdint>
#include <string>
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
    std::string fileName;                  // full path; set by the owner before opening or creating
    uint8_t* view = nullptr;               // non-null while open in mapped mode
    platform::FileHandle fileHandle;       // the open file (the only handle in direct mode)
    platform::MappingHandle mappingHandle; // empty in direct mode
    uint32_t fieldCount = 0;
    uint32_t capacity = 0;
    uint32_t liveCount = 0;
    uint32_t fieldTableOffset = 0;
    uint32_t recordAreaOffset = 0;
    uint32_t recordSize = 0;
    int32_t numberValue = 0;
    char textValue[kTextBufferSize] = {};
    char searchKey[kTextBufferSize] = {};
    uint32_t writable = 0;
    uint32_t deferRecount = 0;

    // Engine bookkeeping, not stored in the file. Filled at open from the field table
    // and one scan of the tags, then kept in step by every tag the engine writes, so
    // adding, counting and resizing need no scan per call. Tags must only change
    // through the engine's operations; CountLiveRecords rescans and resynchronises.
    std::vector<FieldLayout> fields; // fields[f - 1] for field f
    uint32_t usedTally = 0;          // slots tagged 10 or more
    uint32_t liveTally = 0;          // slots tagged exactly 10
    uint32_t freeHint = 0;           // no slot below holds tag 0 or 5
};

// File lifecycle and resizing.
int OpenRecordFile(RecordFile& file);
void CloseRecordFile(RecordFile& file);
int CreateRecordFile(RecordFile& file);
int DefineField(RecordFile& file, uint32_t field, uint32_t typeCode);
int LayOutFields(RecordFile& file);
int OpenRecordFileDirect(RecordFile& file);
int AppendEmptyRecords(RecordFile& file, uint32_t count);
int MaintainCapacity(RecordFile& file);
uint32_t FieldTypeSize(uint32_t typeCode);
// budget: the number of one-slot moves allowed (a parameter so tests can exhaust it).
uint32_t CompactRecords(RecordFile& file, uint32_t budget = kCompactionBudget);

// Records and fields. Values travel through numberValue / textValue.
int32_t GetField(RecordFile& file, int32_t slot, uint32_t field);
int32_t PutField(RecordFile& file, int32_t slot, uint32_t field);
int32_t AddRecord(RecordFile& file);
int SetRecordTag(RecordFile& file, int32_t slot, uint32_t tag);
int CopyRecord(RecordFile& file, int32_t source, int32_t target);
uint32_t CountLiveRecords(RecordFile& file);
uint32_t CountUsedRecords(RecordFile& file);
int32_t FindRecordByTag(RecordFile& file, uint32_t tag, int32_t first);
int32_t NextLiveRecord(RecordFile& file, int32_t slot);
int32_t FindNextMatch(RecordFile& file, int32_t slot);
int32_t RecordMatchesKey(RecordFile& file, int32_t slot);

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
// The key scan RecordMatchesKey applies to each text field: true when key is found in text.
bool KeyFoundInText(const char* key, const char* text);

} // namespace lexipond
