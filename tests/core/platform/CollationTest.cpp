#include "core/platform/Collation.h"

#include "TestSupport.h"

namespace lexipond::platform {
namespace {

TEST(Collation, OrderIsLinguisticCaseSensitiveLocalAndReadsNonUtf8AsWindows1252) {
    const std::tuple<const char*, const char*, const char*, int> rows[] = {
        {"", "B", "a", 1}, // not code-point order
        {"", "10", "9", -1},
        {"", "dog", "Dog", -1},
        {"", "cafe", "caf\xC3\xA9", -1},
        {"", "caf\xC3\xA9", "cafe\xCC\x81", 0}, // canonically equivalent
        {"sv", "\xC3\xB6l", "zebra", 1},
        {"de", "\xC3\xB6l", "zebra", -1},
        {"xx_YY", "B", "a", 1}, // unknown locales use the root order
        {"", "caf\xE9", "caf\xC3\xA9", 0},
        {"", "\x80", "\xE2\x82\xAC", 0},
        {"", "\xE9", "\xE8", -1}, // not one shared replacement character
        {"", "\xC3", "\xC3\x83", 0},
        {"", "\xC0\xAF", "\xC3\x80\xC2\xAF", 0},
        {"", "a\xE2\x82", "a\xC3\xA2\xE2\x80\x9A", 0},
    };
    for (const auto& [locale, a, b, order] : rows) {
        const Collator collator(locale);
        EXPECT_EQ(collator.Compare(a, b), order) << locale << ": " << a << " / " << b;
        EXPECT_EQ(collator.Compare(b, a), -order) << locale << ": " << b << " / " << a;
    }
}

TEST(Collation, UserLocaleTakesLcAllThenLcCollateThenLang) {
    using Env = std::optional<std::string>;
    const std::tuple<Env, Env, Env, const char*> rows[] = {
        {"sv_SE.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "sv_SE"},
        {"", "de_DE@euro", "fr_FR.UTF-8", "de_DE"},
        {"C", std::nullopt, "fr_FR.UTF-8", ""},
        {std::nullopt, std::nullopt, std::nullopt, ""}};
    for (const auto& [all, collate, lang, locale] : rows) {
        const testing::ScopedEnv a("LC_ALL", all), c("LC_COLLATE", collate), l("LANG", lang);
        EXPECT_EQ(UserCollationLocale(), locale) << all.value_or("-");
    }
}

} // namespace
} // namespace lexipond::platform
