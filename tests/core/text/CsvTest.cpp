// SPDX-License-Identifier: GPL-3.0-or-later
// CSV as RFC 4180 has it: what a strict reader of the format (written apart,
// in tests/CsvReader.h) reads back is what was written, byte for byte.
#include "core/text/Csv.h"

#include "CsvReader.h"

#include <gtest/gtest.h>

namespace lexipond {
namespace {

TEST(CsvTest, FieldsAreQuotedOnlyWhenTheyMustBeAndComeBackWhole) {
    const struct {
        const char* name;
        std::string field;
        std::string written;
    } rows[] = {
        {"plain", "cat", "cat"},
        {"empty", "", ""},
        {"spaces stay bare", " a b ", " a b "},
        {"a comma", "a,b", "\"a,b\""},
        {"quotes doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a lone quote", "\"", "\"\"\"\""},
        {"CR LF", "two\r\nlines", "\"two\r\nlines\""},
        {"a bare LF", "a\nb", "\"a\nb\""},
        {"a bare CR", "a\rb", "\"a\rb\""},
        {"not UTF-8", "caf\xe9 \xff\xfe", "caf\xe9 \xff\xfe"},
        {"UTF-8", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
        {"a zero byte", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string field;
        AppendCsvField(field, row.field);
        EXPECT_EQ(field, row.written);
        std::string line;
        AppendCsvRow(line, {"before", row.field, "after"});
        EXPECT_EQ(line, "before," + row.written + ",after\r\n");
        EXPECT_EQ(testing::ReadCsv(line), (testing::CsvRecords{{"before", row.field, "after"}}));
    }
}

} // namespace
} // namespace lexipond
