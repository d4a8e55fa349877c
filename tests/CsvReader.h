#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A strict reader of RFC 4180 text, written apart from the writer under test:
// rows end in CR LF (the last one too), a field is either plain (no comma,
// quote, CR or LF) or quoted with its quotes doubled. Anything else is refused.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexipond::testing {

using CsvRecords = std::vector<std::vector<std::string>>;

inline std::optional<CsvRecords> ReadCsv(std::string_view text) {
    CsvRecords records;
    std::vector<std::string> record;
    size_t at = 0;
    while (at < text.size()) {
        std::string field;
        if (text[at] == '"') {
            ++at;
            for (;;) {
                if (at >= text.size())
                    return std::nullopt; // no closing quote
                if (text[at] == '"') {
                    if (at + 1 < text.size() && text[at + 1] == '"') {
                        field += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                field += text[at++];
            }
        } else {
            while (at < text.size() && text[at] != ',' && text[at] != '\r') {
                if (text[at] == '"' || text[at] == '\n')
                    return std::nullopt; // belongs in a quoted field
                field += text[at++];
            }
        }
        record.push_back(std::move(field));
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (text.substr(at, 2) != "\r\n")
            return std::nullopt; // text after a closing quote, or a bare CR
        at += 2;
        records.push_back(std::move(record));
        record.clear();
    }
    if (!record.empty())
        return std::nullopt; // the last row lacks its CR LF
    return records;
}

} // namespace lexipond::testing
