// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/words/WordListLines.h"

#include "core/recordfile/RecordFile.h"

#include <string>

namespace lexipond {

namespace {

constexpr size_t kMaxLineLength = kTextBufferSize - 1; // 1023

// Encoding marks at the very start of a file are not part of the first word.
size_t ByteOrderMarkLength(const unsigned char* bytes, size_t size) {
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return 3;
    if (size >= 2 &&
        ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        return 2;
    return 0;
}

class LineSplitter {
  public:
    explicit LineSplitter(const WordListLines::LineHandler& handle) : handle_(handle) {
        line_.reserve(kMaxLineLength);
    }

    void Feed(const unsigned char* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const unsigned char byte = bytes[i];
            if (byte == '\0')
                continue; // also between the CR and LF of a UTF-16 file
            const bool lfOfCrLf = byte == '\n' && afterCr_;
            afterCr_ = byte == '\r';
            if (byte == '\r' || byte == '\n') {
                if (!lfOfCrLf)
                    EndLine();
            } else if (line_.size() < kMaxLineLength) {
                line_.push_back(static_cast<char>(byte));
            } else {
                lineTooLong_ = true;
            }
        }
    }

    // The end of the file ends a last line that has no line end of its own.
    void Finish() {
        if (!line_.empty())
            EndLine();
    }

  private:
    void EndLine() {
        handle_(line_, lineTooLong_);
        line_.clear();
        lineTooLong_ = false;
    }

    const WordListLines::LineHandler& handle_;
    std::string line_;
    bool lineTooLong_ = false;
    bool afterCr_ = false; // the last byte but NULs was a CR
};

} // namespace

WordListLines::WordListLines(const char* path) : file_(path ? std::fopen(path, "rb") : nullptr) {}

WordListLines::~WordListLines() {
    if (file_)
        std::fclose(file_);
}

void WordListLines::ReadAll(const LineHandler& handle) {
    if (!file_)
        return;
    LineSplitter splitter(handle);
    unsigned char buffer[64 * 1024];
    bool first = true;
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof(buffer), file_);
        if (got == 0)
            break; // end of file or a read error: what was read stays imported
        size_t skip = 0;
        if (first) {
            skip = ByteOrderMarkLength(buffer, got);
            first = false;
        }
        splitter.Feed(buffer + skip, got - skip);
    }
    if (!std::ferror(file_))
        splitter.Finish();
}

} // namespace lexipond
