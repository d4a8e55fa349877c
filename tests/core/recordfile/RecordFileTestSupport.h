#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Raw header words, a new word database built by hand, text fields, folder listings
// and a full disk for the record file tests.
#include "TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <ostream>

namespace lexipond {

// gtest prints a failed OpenResult comparison by name.
inline std::ostream& operator<<(std::ostream& out, OpenResult result) {
    static constexpr const char* kNames[] = {
        "Opened",           "Missing",        "NotPermitted",     "NotAFile",
        "CannotOpen",       "NotMappable",    "TooShort",         "BadMagic",
        "BadVersion",       "BadFieldCount",  "CapacityTooLarge", "FieldTableCut",
        "TextFieldTooWide", "RecordTooLarge", "FieldOutsideSlot", "SlotsCut"};
    const auto index = static_cast<size_t>(result);
    return out << (index < std::size(kNames) ? kNames[index] : "?");
}

namespace testing {

inline constexpr uint32_t kArea = 1556; // record area of a word database
inline constexpr uint32_t kSlot = 416;  // its slot size

inline void PutWordAt(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
}

// The new word database built by hand from the layout, independent of the engine.
inline std::string NewDatabaseBytes() {
    std::string bytes(7796, '\0');
    bytes.replace(0, 8, "DATA1000");
    PutWordAt(bytes, 608, 1);
    PutWordAt(bytes, 1352, 2);
    PutWordAt(bytes, 1356, 14); // fields
    PutWordAt(bytes, 1360, 10); // capacity
    PutWordAt(bytes, 1364, 2);
    for (uint32_t field = 1, offset = 1560; field <= 14; ++field) {
        const uint32_t type = field == 1 ? 12 : field == 14 ? 13 : 2;
        PutWordAt(bytes, 1444 + 8 * (field - 1), type);
        PutWordAt(bytes, 1448 + 8 * (field - 1), offset);
        offset += type == 12 ? 64 : type == 13 ? 300 : 4;
    }
    PutWordAt(bytes, kArea, RecordDeleted); // slot 0: taken once, then deleted
    return bytes;
}

inline bool PutText(RecordFile& file, int32_t slot, const std::string& text,
                    uint32_t field = kFieldWord) {
    return WriteText(file, slot, field, text);
}

inline std::string GetText(RecordFile& file, int32_t slot, uint32_t field = kFieldWord) {
    return ReadText(file, slot, field).value_or("<failed>");
}

inline int32_t AddWord(RecordFile& file, const std::string& word) {
    const int32_t slot = AddRecord(file);
    if (slot >= 0)
        PutText(file, slot, word);
    return slot;
}

inline OpenResult Reopen(RecordFile& file, bool writable = true) {
    return OpenRecordFile(file, file.fileName, writable ? Access::ReadWrite : Access::ReadOnly);
}

// The names of the files in a folder, sorted.
inline std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every write from now on finds the disk full.
inline void FillDisk(platform::FileOperations& operations) {
    operations.write = [](int, const void*, size_t) -> ssize_t { return errno = ENOSPC, -1; };
}

} // namespace testing
} // namespace lexipond
