#include "platform/Collation.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

using lexipond::platform::Collator;
using lexipond::platform::IcuLocaleFromPosix;
using lexipond::platform::Utf8PrefixLength;

namespace {

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Restores one environment variable when the test ends.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(Collation, RootOrderIsLinguisticAndCaseSensitive) {
    const Collator root("");
    // Code-point order would put every capital before every small letter.
    EXPECT_EQ(root.Compare("B", "a"), 1);
    EXPECT_EQ(root.Compare("a", "B"), -1);
    EXPECT_EQ(root.Compare("apple", "Banana"), -1);
    // Case and accents still tell words apart.
    EXPECT_NE(root.Compare("Dog", "dog"), 0);
    EXPECT_NE(root.Compare("cafe", "caf\xC3\xA9"), 0);
    EXPECT_EQ(root.Compare("dog", "dog"), 0);
    EXPECT_EQ(root.Compare("", ""), 0);
    EXPECT_EQ(root.Compare("", "a"), -1);
    // Canonically equivalent spellings are the same word.
    EXPECT_EQ(root.Compare("caf\xC3\xA9", "cafe\xCC\x81"), 0);
    // Numbers given as text: 10 before 9.
    EXPECT_EQ(root.Compare("10", "9"), -1);
}

TEST(Collation, LocaleChangesTheOrder) {
    // Swedish puts o-umlaut after z; German sorts it with o.
    const Collator swedish("sv");
    const Collator german("de");
    EXPECT_EQ(swedish.Compare("\xC3\xB6l", "zebra"), 1);
    EXPECT_EQ(german.Compare("\xC3\xB6l", "zebra"), -1);
}

TEST(Collation, InvalidUtf8ComparesDeterministicallyAsWindows1252) {
    const Collator root("");
    // Lone high bytes are distinct characters, not one shared replacement.
    EXPECT_NE(root.Compare("\xE9", "\xE8"), 0);
    EXPECT_EQ(root.Compare("\xE9", "\xE8"), -root.Compare("\xE8", "\xE9"));
    // 0xE9 alone reads as e-acute, the same character as its UTF-8 form.
    EXPECT_EQ(root.Compare("caf\xE9", "caf\xC3\xA9"), 0);
    // 0x80 is the euro sign in Windows-1252.
    EXPECT_EQ(root.Compare("\x80", "\xE2\x82\xAC"), 0);
    // Cut, overlong and surrogate sequences do not break anything.
    for (const char* junk : {"\xC3", "a\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        EXPECT_EQ(root.Compare(junk, junk), 0) << junk;
        EXPECT_EQ(root.SortKey(junk), root.SortKey(std::string(junk))) << junk;
    }
    // Embedded zero bytes are part of the compared view.
    EXPECT_EQ(root.Compare(std::string_view("a\0b", 3), std::string_view("a\0b", 3)), 0);
}

TEST(Collation, SortKeysAgreeWithCompareOnRandomTexts) {
    const Collator collator("en_US");
    std::mt19937 random(12345);
    const std::vector<std::string> pieces = {"a",
                                             "A",
                                             "b",
                                             "B",
                                             "z",
                                             "\xC3\xA9",
                                             "e\xCC\x81",
                                             "\xE9",
                                             "\x80",
                                             "-",
                                             " ",
                                             "1",
                                             "10",
                                             "9",
                                             "\xF0\x9F\x98\x80",
                                             "\xFF",
                                             "\xC3",
                                             "'",
                                             "\xE4\xB8\xAD",
                                             "ss",
                                             "\xC3\x9F"};
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) {
        std::string text;
        const int parts = static_cast<int>(random() % 5);
        for (int p = 0; p < parts; ++p)
            text += pieces[random() % pieces.size()];
        texts.push_back(text);
    }
    for (size_t i = 0; i + 1 < texts.size(); i += 1) {
        const std::string& a = texts[i];
        const std::string& b = texts[(i * 7 + 3) % texts.size()];
        const int byCompare = collator.Compare(a, b);
        const int byKey = Sign(collator.SortKey(a).compare(collator.SortKey(b)));
        ASSERT_EQ(byCompare, byKey) << "'" << a << "' vs '" << b << "'";
        ASSERT_EQ(collator.Compare(b, a), -byCompare);
    }
    // AppendSortKey appends exactly the key.
    std::string joined = "prefix";
    collator.AppendSortKey("word", joined);
    EXPECT_EQ(joined, "prefix" + collator.SortKey("word"));
    // A long text takes the slow path of the key buffer and still agrees.
    const std::string longText(5000, 'q');
    EXPECT_EQ(Sign(collator.SortKey(longText).compare(collator.SortKey(longText + "a"))),
              collator.Compare(longText, longText + "a"));
}

TEST(Collation, PosixLocaleNamesMapToIcuIds) {
    struct Row {
        const char* posix;
        const char* icu;
    };
    for (const Row& row : {Row{"en_US.UTF-8", "en_US"}, Row{"de_DE@euro", "de_DE"},
                           Row{"sv_SE.ISO-8859-1@x", "sv_SE"}, Row{"C", ""}, Row{"POSIX", ""},
                           Row{"C.UTF-8", ""}, Row{"", ""}, Row{"fr", "fr"}}) {
        EXPECT_EQ(IcuLocaleFromPosix(row.posix), row.icu) << row.posix;
    }
    EXPECT_EQ(IcuLocaleFromPosix(std::string(500, 'x')), "");
}

TEST(Collation, UserLocaleTakesLcAllThenLcCollateThenLang) {
    {
        ScopedEnv all("LC_ALL", "sv_SE.UTF-8");
        ScopedEnv collate("LC_COLLATE", "de_DE.UTF-8");
        ScopedEnv lang("LANG", "fr_FR.UTF-8");
        EXPECT_EQ(lexipond::platform::UserCollationLocale(), "sv_SE");
    }
    {
        ScopedEnv all("LC_ALL", "");
        ScopedEnv collate("LC_COLLATE", "de_DE.UTF-8");
        ScopedEnv lang("LANG", "fr_FR.UTF-8");
        EXPECT_EQ(lexipond::platform::UserCollationLocale(), "de_DE");
    }
    {
        ScopedEnv all("LC_ALL", nullptr);
        ScopedEnv collate("LC_COLLATE", nullptr);
        ScopedEnv lang("LANG", "fr_FR.UTF-8");
        EXPECT_EQ(lexipond::platform::UserCollationLocale(), "fr_FR");
    }
    {
        ScopedEnv all("LC_ALL", "C");
        ScopedEnv lang("LANG", "fr_FR.UTF-8");
        EXPECT_EQ(lexipond::platform::UserCollationLocale(), "");
    }
    {
        ScopedEnv all("LC_ALL", nullptr);
        ScopedEnv collate("LC_COLLATE", nullptr);
        ScopedEnv lang("LANG", nullptr);
        EXPECT_EQ(lexipond::platform::UserCollationLocale(), "");
    }
    // An unknown locale still collates (ICU falls back to the root order).
    const Collator unknown("xx_YY");
    EXPECT_EQ(unknown.Compare("B", "a"), 1);
}

TEST(Collation, Utf8PrefixNeverSplitsACharacter) {
    struct Row {
        std::string text;
        size_t limit;
        size_t expected;
    };
    const Row rows[] = {
        {"abc", 5, 3},
        {"abcdef", 3, 3},
        {"a\xC3\xA9", 2, 1},                // e-acute would be cut in half
        {"a\xC3\xA9", 3, 3},                // fits exactly
        {"\xE4\xB8\xAD\xE4\xB8\xAD", 5, 3}, // second CJK character needs 3 more
        {"\xF0\x9F\x98\x80x", 3, 0},        // a 4-byte character does not fit at all
        {"\xE9\xE9\xE9", 2, 2},             // invalid bytes are single characters
        {"ab\xC3", 3, 3},                   // a cut sequence is single bytes too
        {"", 0, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Utf8PrefixLength(row.text, row.limit), row.expected)
            << row.text << " limit " << row.limit;
}
