// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Collation.h"

#include "TestSupport.h"

namespace lexipond::platform {
namespace {

TEST(Collation, OrderIsLinguisticCaseSensitiveLocalAndReadsNonUtf8AsWindows1252) {
    const std::tuple<const char*, const char*, const char*, const char*, int> rows[] = {
        {"not code-point order", "", "B", "a", 1},
        {"numbers as text", "", "10", "9", -1},
        {"lower case first", "", "dog", "Dog", -1},
        {"accent after the plain letter", "", "cafe", "caf\xC3\xA9", -1},
        {"canonically equivalent", "", "caf\xC3\xA9", "cafe\xCC\x81", 0},
        {"Swedish o umlaut after z", "sv", "\xC3\xB6l", "zebra", 1},
        {"German o umlaut before z", "de", "\xC3\xB6l", "zebra", -1},
        {"unknown locales use the root order", "xx_YY", "B", "a", 1},
        {"Windows-1252 e acute", "", "caf\xE9", "caf\xC3\xA9", 0},
        {"Windows-1252 euro sign", "", "\x80", "\xE2\x82\xAC", 0},
        {"not one shared replacement character", "", "\xE9", "\xE8", -1},
        {"an overlong form, byte by byte", "", "\xC0\xAF", "\xC3\x80\xC2\xAF", 0},
        {"a sequence cut short", "", "a\xE2\x82", "a\xC3\xA2\xE2\x80\x9A", 0},
    };
    for (const auto& [name, locale, a, b, order] : rows) {
        SCOPED_TRACE(name);
        const Collator collator(locale);
        EXPECT_EQ(collator.Compare(a, b), order);
        EXPECT_EQ(collator.Compare(b, a), -order);
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
