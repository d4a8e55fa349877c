// SPDX-License-Identifier: GPL-3.0-or-later
// Opens arbitrary bytes as a record file and drives the read, match and add paths.
// The input is the whole file. The engine never reads the description text area
// (offset 8) or the zero run behind it (offset 308), so the fuzzer steers the search key
// and the operations through them without changing what the engine validates.
#include "FuzzSupport.h"
#include "core/recordfile/RecordFile.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

const std::string& ScratchPath() {
    static const lexipond::fuzz::ScratchFolder folder{"recordfile"};
    static const std::string path = (folder.path / "input.lbf").string();
    return path;
}

uint8_t ByteAt(const uint8_t* data, size_t size, size_t offset) {
    return offset < size ? data[offset] : 0;
}

// Reads every field, the ones the file lacks included. A field of a record holds a
// number or a text, never both, and a text always ends inside its field.
void ReadEveryField(lexipond::RecordFile& file, int32_t slot) {
    for (uint32_t field = 0; field <= file.fieldCount + 1; ++field) {
        const std::optional<int32_t> number = lexipond::ReadNumber(file, slot, field);
        const std::optional<std::string> text = lexipond::ReadText(file, slot, field);
        lexipond::fuzz::Check(!(number && text), "recordfile", "a field read as both kinds");
        if (text)
            lexipond::fuzz::Check(text->size() < file.fields[field - 1].size, "recordfile",
                                  "a text ran past its field");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lexipond;
    if (!fuzz::WriteInput(ScratchPath(), data, size))
        return 0;
    RecordFile file;
    if (OpenRecordFile(file, ScratchPath(), Access::ReadWrite) != OpenResult::Opened) {
        // A failed open holds nothing: direct mode must fail or behave as well.
        OpenRecordFileDirect(file, ScratchPath(), Access::ReadWrite);
        CloseRecordFile(file);
        return 0;
    }

    // Key from the description area (up to 32 bytes), operation knobs behind it.
    std::string key;
    for (size_t i = 0; i < 32 && ByteAt(data, size, 8 + i) != 0; ++i)
        key.push_back(static_cast<char>(ByteAt(data, size, 8 + i)));
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
    std::optional<int32_t> at = FindText(file, key, -1);
    for (int steps = 0; at && steps < 4096; ++steps)
        at = FindText(file, key, *at);
    FindText(file, key, probe);

    // Adding (which may grow, compact and shrink), writing fields, deleting, copying.
    // Very wide slots would make every growth step write megabytes: skip those.
    if (file.recordSize <= 65536) {
        for (uint8_t i = 0; i < adds; ++i) {
            const int32_t added = AddRecord(file);
            if (added < 0)
                break;
            for (uint32_t field = 1; field <= file.fieldCount && field <= 16; ++field) {
                const std::string text = (field == 1 ? "word" : "w") + std::to_string(i);
                if (!WriteText(file, added, field, text))
                    WriteNumber(file, added, field, i);
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
    if (OpenRecordFile(file, ScratchPath(), Access::ReadOnly) != OpenResult::Opened)
        std::abort();
    CloseRecordFile(file);
    return 0;
}
