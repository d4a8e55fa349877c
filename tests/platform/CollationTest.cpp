#include "platform/Collation.h"

#include "TestSupport.h"

namespace lexipond::platform {
namespace {

using lexipond::testing::ScopedEnv;

TEST(Collation, RootOrderIsLinguisticAndCaseSensitive) {
    const Collator root("");
    EXPECT_EQ(root.Compare("B", "a"), 1) << "code-point order puts capitals first";
    EXPECT_EQ(root.Compare("apple", "Banana"), -1);
    EXPECT_NE(root.Compare("Dog", "dog"), 0);
    EXPECT_NE(root.Compare("cafe", "caf\xC3\xA9"), 0);
    EXPECT_EQ(root.Compare("caf\xC3\xA9", "cafe\xCC\x81"), 0) << "canonically equivalent";
    EXPECT_EQ(root.Compare("10", "9"), -1);
}

TEST(Collation, LocaleChangesTheOrder) {
    EXPECT_EQ(Collator("sv").Compare("\xC3\xB6l", "zebra"), 1);
    EXPECT_EQ(Collator("de").Compare("\xC3\xB6l", "zebra"), -1);
    EXPECT_EQ(Collator("xx_YY").Compare("B", "a"), 1) << "unknown locales use the root order";
}

TEST(Collation, InvalidUtf8ComparesAsWindows1252) {
    const Collator root("");
    EXPECT_EQ(root.Compare("\xE9", "\xE8"), -root.Compare("\xE8", "\xE9"));
    EXPECT_NE(root.Compare("\xE9", "\xE8"), 0) << "not one shared replacement character";
    EXPECT_EQ(root.Compare("caf\xE9", "caf\xC3\xA9"), 0);
    EXPECT_EQ(root.Compare("\x80", "\xE2\x82\xAC"), 0) << "0x80 is the euro sign";
    for (const char* junk : {"\xC3", "a\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_EQ(root.Compare(junk, junk), 0) << junk;
}

TEST(Collation, UserLocaleTakesLcAllThenLcCollateThenLang) {
    using Env = std::optional<std::string>;
    struct Row {
        Env all, collate, lang;
        const char* locale;
    };
    const Row rows[] = {{"sv_SE.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "sv_SE"},
                        {"", "de_DE@euro", "fr_FR.UTF-8", "de_DE"},
                        {std::nullopt, std::nullopt, "fr_FR.ISO-8859-1", "fr_FR"},
                        {"C", std::nullopt, "fr_FR.UTF-8", ""},
                        {"C.UTF-8", std::nullopt, std::nullopt, ""},
                        {std::nullopt, std::nullopt, std::nullopt, ""}};
    for (const Row& row : rows) {
        const ScopedEnv all("LC_ALL", row.all), collate("LC_COLLATE", row.collate),
            lang("LANG", row.lang);
        EXPECT_EQ(UserCollationLocale(), row.locale) << row.all.value_or("-");
    }
    EXPECT_EQ(IcuLocaleFromPosix(std::string(500, 'x')), "");
}

} // namespace
} // namespace lexipond::platform
