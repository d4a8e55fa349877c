#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The user's word order: an ICU collator for the locale named by LC_ALL,
// LC_COLLATE or LANG (the root collation when none is set or it is C/POSIX),
// tertiary strength, so the order is linguistic and case-sensitive. At
// identical strength two texts are equal only when they are the same
// characters (canonically equivalent ones count as the same): the import's
// duplicate test, which must not take "dog" and "dog" with an invisible
// character for one word. A Collator
// owns its ICU collator. The sort and the import order words with it, the window
// decodes texts for display; each Collator is used by one thread at a time (see
// UserCollator).
//
// Texts are byte texts. Valid UTF-8 sequences are read as UTF-8; every byte
// that is not part of a valid sequence is read as the Windows-1252 character of
// that byte, so any bytes compare deterministically and distinct junk bytes do
// not all collapse into one replacement character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct UCollator;

namespace lexipond::platform {

class Collator {
  public:
    enum class Strength { Tertiary, Identical };

    // An ICU locale id ("en_US", "de", "" for the root collation).
    explicit Collator(const std::string& localeId, Strength strength = Strength::Tertiary);
    ~Collator();
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;

    // -1, 0 or 1 as a sorts before, equal to, or after b.
    int Compare(std::string_view a, std::string_view b) const;

    // Sort key bytes (no terminating zero). Two texts compare equal exactly
    // when their keys are equal, and keys compare (as unsigned bytes) in the
    // same order as the texts.
    std::string SortKey(std::string_view text) const;
    // As SortKey, but appends to out (saves an allocation per key in bulk use).
    void AppendSortKey(std::string_view text, std::string& out) const;

    // The locale id actually asked of ICU ("" = root).
    const std::string& LocaleId() const { return localeId_; }
    Strength GetStrength() const { return strength_; }

  private:
    UCollator* collator_ = nullptr;
    std::string localeId_;
    Strength strength_;
};

// Turns a POSIX locale name ("de_DE.UTF-8@euro", "C", "POSIX") into an ICU
// locale id: the codeset and modifier are dropped, C and POSIX give "" (root).
std::string IcuLocaleFromPosix(std::string_view posixName);

// The first non-empty of LC_ALL, LC_COLLATE and LANG, as an ICU locale id.
std::string UserCollationLocale();

// The process-wide collator for the user's locale, made on first use (the
// first use is thread-safe). The program uses it from one thread at a time:
// the import runs on the window thread, the sort while the worker holds the
// database.
const Collator& UserCollator();

// Decodes byte text as described above into UTF-16 (appended to out).
void DecodeBytesToUtf16(std::string_view text, std::u16string& out);

} // namespace lexipond::platform
