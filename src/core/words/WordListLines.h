#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a word list file as the import reads them: LF, CR LF or CR end
// a line, the last line also without one; NUL bytes add nothing; a byte order
// mark at the very start is not part of the first word; no trimming. A line
// keeps its first 1023 bytes. Shared by the one-by-one import and the sorted
// import of lexipond-db, so both see the same words.
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace lexipond {

class WordListLines {
  public:
    // Called for every line, empty ones too; tooLong when bytes were dropped.
    using LineHandler = std::function<void(std::string_view line, bool tooLong)>;

    explicit WordListLines(const char* path);
    ~WordListLines();
    WordListLines(const WordListLines&) = delete;
    WordListLines& operator=(const WordListLines&) = delete;

    bool opened() const { return file_ != nullptr; }
    // Reads the whole file once. After a read error the last piece may be half
    // a word: only the true end of the file ends a last line.
    void ReadAll(const LineHandler& handle);

  private:
    std::FILE* file_ = nullptr;
};

} // namespace lexipond
