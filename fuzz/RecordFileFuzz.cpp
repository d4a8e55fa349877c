// Opens arbitrary bytes as a record file and drives the read, match and add paths.
// The input is the whole file. The engine never reads the description text area
// (offset 8) or the zero run behind it (offset 308), so the fuzzer steers the search key
// and the operations through them without changing what the engine validates.
#include "FuzzSupport.h"
#include "core/recordfile/RecordFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

const std::string& ScratchPath() {
    static const lexipond::fuzz::ScratchFolder folder{"recordfile"};
    static const std::string path = (folder.path / "input.lbf").string();
    return path;
}

uint8_t ByteAt(const uint8_t* data, size_t size, size_t offset) {
    return offset < size ? data[offset] : 0;
}

void ReadEveryField(lexipond::RecordFile& file, int32_t slot) {
    for (uint32_t field = 0; field <= file.fieldCount + 1; ++field)
        lexipond::GetField(file, slot, field);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lexipond;
    if (!fuzz::WriteInput(ScratchPath(), data, size))
        return 0;
    RecordFile file;
    file.fileName = ScratchPath();
    file.writable = 1;
    if (!OpenRecordFile(file)) {
        // A failed open holds nothing: direct mode must fail or behave as well.
        file.writable = 1;
        OpenRecordFileDirect(file);
        CloseRecordFile(file);
        return 0;
    }

    // Key from the description area (up to 32 bytes), operation knobs behind it.
    std::memset(file.searchKey, 0, sizeof file.searchKey);
    for (size_t i = 0; i < 32 && ByteAt(data, size, 8 + i) != 0; ++i)
        file.searchKey[i] = static_cast<char>(ByteAt(data, size, 8 + i));
    const uint8_t adds = ByteAt(data, size, 308) % 24;
    const uint8_t deletes = ByteAt(data, size, 309) % 8;
    const uint32_t budget = ByteAt(data, size, 310) * 50u;
    const int32_t probe = static_cast<int8_t>(ByteAt(data, size, 311));

    // Reads and the walk over live records.
    int32_t slot = FindRecordByTag(file, RecordLive, 0);
    for (int steps = 0; slot >= 0 && steps < 4096; ++steps) {
        ReadEveryField(file, slot);
        const int32_t next = NextLiveRecord(file, slot);
        if (next == slot)
            break;
        slot = next;
    }
    ReadEveryField(file, probe);
    ReadEveryField(file, static_cast<int32_t>(file.capacity));

    // The match search from the start and from odd places.
    int32_t at = FindNextMatch(file, -1);
    for (int steps = 0; at >= 0 && steps < 4096; ++steps)
        at = FindNextMatch(file, at);
    FindNextMatch(file, probe);
    RecordMatchesKey(file, probe);

    // Adding (which may grow, compact and shrink), writing fields, deleting, copying.
    // Very wide slots would make every growth step write megabytes: skip those.
    if (file.recordSize <= 65536) {
        for (uint8_t i = 0; i < adds; ++i) {
            const int32_t added = AddRecord(file);
            if (added < 0)
                break;
            std::snprintf(file.textValue, sizeof file.textValue, "word%u",
                          static_cast<unsigned>(i));
            file.numberValue = i;
            for (uint32_t field = 1; field <= file.fieldCount && field <= 16; ++field) {
                if (PutField(file, added, field) >= 0)
                    std::snprintf(file.textValue, sizeof file.textValue, "w%u", field);
            }
        }
    }
    for (uint8_t i = 0; i < deletes; ++i)
        SetRecordTag(file, static_cast<int32_t>(i) * 3, RecordDeleted);
    CopyRecord(file, probe, 0);
    CompactRecords(file, budget);
    CountUsedRecords(file);
    CountLiveRecords(file);
    CloseRecordFile(file);

    // A file that opened stays a file that opens, whatever the engine did to it.
    file.writable = 0;
    if (!OpenRecordFile(file))
        std::abort();
    CloseRecordFile(file);
    return 0;
}
