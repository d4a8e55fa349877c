// SPDX-License-Identifier: GPL-3.0-or-later
// A new word database, byte for byte.
#include "core/recordfile/RecordFileTestSupport.h"

namespace lexipond {
namespace {

using namespace lexipond::testing;

TEST(WordDatabase, ANewOneReplacesAnyFileWithExactBytes) {
    TempFolder folder;
    RecordFile file;
    file.fileName = folder / "LPDB.lbf";
    WriteBytes(file.fileName, std::string(20000, '\xAB'));
    ASSERT_NE(CreateWordDatabase(file), 0);
    CloseRecordFile(file);
    const std::string bytes = ReadBytes(file.fileName), expected = NewDatabaseBytes();
    ASSERT_EQ(bytes.size(), expected.size());
    const auto at = std::mismatch(bytes.begin(), bytes.end(), expected.begin()).first;
    EXPECT_EQ(at, bytes.end()) << "first difference at offset " << (at - bytes.begin());
}

} // namespace
} // namespace lexipond
