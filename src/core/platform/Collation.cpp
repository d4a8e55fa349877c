// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Collation.h"

#include "core/text/Utf8.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

namespace lexipond::platform {

namespace {

// Windows-1252 code points of the bytes 0x80..0x9F; the five unassigned bytes
// keep their C1 control code point.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Cp1252ToUnit(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return kCp1252High[byte - 0x80];
    return static_cast<char16_t>(byte);
}

// Decodes into buffer, which must hold text.size() units (UTF-16 never needs
// more units than UTF-8 has bytes). Returns the number of units written.
size_t DecodeInto(std::string_view text, char16_t* buffer) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    size_t n = 0;
    while (i < size) {
        const size_t length = Utf8SequenceLength(p + i, size - i);
        if (length == 1) {
            buffer[n++] = p[i];
        } else if (length == 0) {
            // Not valid UTF-8: this one byte stands for itself.
            buffer[n++] = Cp1252ToUnit(p[i]);
            ++i;
            continue;
        } else {
            uint32_t cp;
            if (length == 2)
                cp = (p[i] & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
            else if (length == 3)
                cp = (p[i] & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            else
                cp = (p[i] & 0x07u) << 18 | (p[i + 1] & 0x3Fu) << 12 | (p[i + 2] & 0x3Fu) << 6 |
                     (p[i + 3] & 0x3Fu);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                buffer[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
                buffer[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                buffer[n++] = static_cast<char16_t>(cp);
            }
        }
        i += length;
    }
    return n;
}

// UTF-16 form of a text, on the stack for the usual short words.
class Utf16Text {
  public:
    explicit Utf16Text(std::string_view text) {
        char16_t* target = local_;
        if (text.size() > sizeof(local_) / sizeof(local_[0])) {
            heap_ = std::make_unique<char16_t[]>(text.size());
            target = heap_.get();
        }
        data_ = target;
        length_ = DecodeInto(text, target);
    }
    const UChar* data() const { return reinterpret_cast<const UChar*>(data_); }
    int32_t length() const { return static_cast<int32_t>(length_); }

  private:
    char16_t local_[256];
    std::unique_ptr<char16_t[]> heap_;
    const char16_t* data_ = nullptr;
    size_t length_ = 0;
};

static_assert(sizeof(UChar) == sizeof(char16_t));

UCollator* OpenCollator(const std::string& localeId, Collator::Strength strength) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(localeId.c_str(), &status);
    if (U_FAILURE(status)) {
        if (collator)
            ucol_close(collator);
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
        if (U_FAILURE(status)) {
            if (collator)
                ucol_close(collator);
            return nullptr;
        }
    }
    ucol_setStrength(collator,
                     strength == Collator::Strength::Identical ? UCOL_IDENTICAL : UCOL_TERTIARY);
    return collator;
}

} // namespace

Collator::Collator(const std::string& localeId, Strength strength)
    : collator_(OpenCollator(localeId, strength)), localeId_(localeId), strength_(strength) {}

Collator::~Collator() {
    if (collator_)
        ucol_close(collator_);
}

int Collator::Compare(std::string_view a, std::string_view b) const {
    if (!collator_) {
        // No collation data at all: plain byte order keeps the result total.
        const int r = a.compare(b);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    const Utf16Text ua(a);
    const Utf16Text ub(b);
    switch (ucol_strcoll(collator_, ua.data(), ua.length(), ub.data(), ub.length())) {
    case UCOL_LESS:
        return -1;
    case UCOL_GREATER:
        return 1;
    default:
        return 0;
    }
}

void Collator::AppendSortKey(std::string_view text, std::string& out) const {
    if (!collator_) {
        out.append(text);
        return;
    }
    const Utf16Text u(text);
    uint8_t local[512];
    int32_t needed = ucol_getSortKey(collator_, u.data(), u.length(), local, sizeof(local));
    if (needed <= 0)
        return;
    if (static_cast<size_t>(needed) <= sizeof(local)) {
        out.append(reinterpret_cast<const char*>(local), static_cast<size_t>(needed) - 1);
        return;
    }
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    needed = ucol_getSortKey(collator_, u.data(), u.length(),
                             reinterpret_cast<uint8_t*>(out.data() + start), needed);
    out.resize(start + (needed > 0 ? static_cast<size_t>(needed) - 1 : 0));
}

std::string Collator::SortKey(std::string_view text) const {
    std::string key;
    AppendSortKey(text, key);
    return key;
}

std::string IcuLocaleFromPosix(std::string_view posixName) {
    std::string name(posixName.substr(0, posixName.find_first_of(".@")));
    if (name.empty() || name == "C" || name == "POSIX")
        return std::string();
    // ICU ids are short; anything longer is not a locale name.
    if (name.size() > ULOC_FULLNAME_CAPACITY)
        return std::string();
    return name;
}

std::string UserCollationLocale() {
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return IcuLocaleFromPosix(value);
    }
    return std::string();
}

const Collator& UserCollator() {
    static const Collator collator(UserCollationLocale());
    return collator;
}

void DecodeBytesToUtf16(std::string_view text, std::u16string& out) {
    const size_t start = out.size();
    out.resize(start + text.size());
    out.resize(start + DecodeInto(text, out.data() + start));
}

} // namespace lexipond::platform
