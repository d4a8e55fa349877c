#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Comma-separated values as RFC 4180 writes them: rows end in CR LF, a field
// holding a comma, a quote, CR or LF is quoted and its quotes doubled, every
// other field is written as it is. Bytes pass through unchanged, so a word
// that is not UTF-8 comes back byte for byte from any reader of the format.
// Pure functions over the caller's string: any layer, any thread.
#include <initializer_list>
#include <string>
#include <string_view>

namespace lexipond {

// Appends one field (no separator).
void AppendCsvField(std::string& out, std::string_view field);

// Appends the fields separated by commas, then CR LF.
void AppendCsvRow(std::string& out, std::initializer_list<std::string_view> fields);

} // namespace lexipond
