#pragma once
// Raw header words and text fields for the record file tests.
#include "TestSupport.h"

namespace lexipond::testing {

inline constexpr uint32_t kArea = 1556; // record area of a word database
inline constexpr uint32_t kSlot = 416;  // its slot size

inline void PutWordAt(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
}

inline int32_t PutText(RecordFile& file, int32_t slot, const std::string& text,
                       uint32_t field = kFieldWord) {
    std::memset(file.textValue, 0, sizeof file.textValue);
    text.copy(file.textValue, sizeof file.textValue - 1);
    return PutField(file, slot, field);
}

inline std::string GetText(RecordFile& file, int32_t slot, uint32_t field = kFieldWord) {
    return GetField(file, slot, field) < 0 ? "<failed>" : file.textValue;
}

inline int32_t AddWord(RecordFile& file, const std::string& word) {
    const int32_t slot = AddRecord(file);
    if (slot >= 0)
        PutText(file, slot, word);
    return slot;
}

inline int Reopen(RecordFile& file, bool writable = true) {
    file.writable = writable ? 1 : 0;
    return OpenRecordFile(file);
}

} // namespace lexipond::testing
