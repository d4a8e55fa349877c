// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/words/WordDatabase.h"

#include "core/recordfile/RecordFile.h"
#include "core/recordfile/RecordFormat.h"

namespace lexipond {

namespace fmt = recordformat;

int CreateWordDatabase(RecordFile& file) {
    file.fieldCount = kWordFieldCount;
    if (!CreateRecordFile(file))
        return 0;
    bool defined = DefineField(file, kFieldWord, fmt::kTypeWord) != 0;
    for (uint32_t field = kFieldReservedA; field <= kFieldReservedB; ++field)
        defined = defined && DefineField(file, field, fmt::kTypeInt32) != 0;
    defined = defined && DefineField(file, kFieldNotes, fmt::kTypeNotes) != 0;
    defined = defined && LayOutFields(file) != 0;
    CloseRecordFile(file);
    if (!defined || OpenRecordFile(file, file.fileName, Access::ReadWrite) != OpenResult::Opened)
        return 0;
    const int32_t first = AddRecord(file);
    if (first < 0) {
        CloseRecordFile(file);
        return 0;
    }
    SetRecordTag(file, first, RecordDeleted);
    return file.view != nullptr ? 1 : 0;
}

} // namespace lexipond
